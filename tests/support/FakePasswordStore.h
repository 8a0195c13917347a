#pragma once
// A keyring in memory that answers as the Secret Service does (nothing kept is
// no error, storing replaces), or fails as a missing or locked one does.
#include <map>
#include <optional>
#include <string>
#include <tuple>

#include "sap/PasswordStore.h"

namespace orvex::testing {

class FakePasswordStore : public sap::PasswordStore {
public:
    std::string missing;  // "": there is a keyring; else why there is none
    bool locked = false;
    std::map<std::tuple<std::string, std::string, std::string, std::string>, std::string> kept;
    int calls = 0;

    std::string unavailable() override {
        ++calls;
        return missing.empty() ? std::string() : "no keyring on this desktop: " + missing;
    }
    Result<std::optional<std::string>> lookup(const sap::PasswordKey& key) override {
        if (Status problem = refusal("is locked", "it was not unlocked when asked"); !problem) return problem.failure();
        return passwordOf(key);
    }
    Status store(const sap::PasswordKey& key, const std::string& password) override {
        Status problem = refusal("could not keep the password", "Cannot create an item in a locked collection");
        if (problem) kept[of(key)] = password;
        return problem;
    }
    Status remove(const sap::PasswordKey& key) override {
        Status problem = refusal("could not forget the password", "Cannot delete an item in a locked collection");
        if (problem) kept.erase(of(key));
        return problem;
    }
    std::optional<std::string> passwordOf(const sap::PasswordKey& key) const {
        const auto found = kept.find(of(key));
        return found == kept.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

private:
    static std::tuple<std::string, std::string, std::string, std::string> of(const sap::PasswordKey& key) {
        return {key.user, key.client, key.system, key.applicationServer};
    }
    Status refusal(const std::string& whenLocked, const char* why) {
        ++calls;
        if (!missing.empty()) return failure(FailureKind::File, "The desktop keyring cannot be reached", missing);
        if (locked) return failure(FailureKind::File, "The desktop keyring " + whenLocked, why);
        return {};
    }
};

}  // namespace orvex::testing
