#pragma once
// A keyring in memory, for the tests of what the settings and the dialog do
// with one: it answers as the Secret Service does (nothing kept is no error,
// storing replaces) and can stand for a desktop without a keyring or with a
// locked one, where every call fails as the real one's do.
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
        if (Status problem = refusal(); !problem) return problem.failure();
        if (locked) return failure(FailureKind::File, "The desktop keyring is locked", "it was not unlocked when asked");
        const auto found = kept.find(of(key));
        if (found == kept.end()) return std::optional<std::string>();
        return std::optional<std::string>(found->second);
    }
    Status store(const sap::PasswordKey& key, const std::string& password) override {
        if (Status problem = refusal(); !problem) return problem;
        if (locked)
            return failure(FailureKind::File, "The desktop keyring could not keep the password",
                           "Cannot create an item in a locked collection");
        kept[of(key)] = password;
        return {};
    }
    Status remove(const sap::PasswordKey& key) override {
        if (Status problem = refusal(); !problem) return problem;
        if (locked)
            return failure(FailureKind::File, "The desktop keyring could not forget the password",
                           "Cannot delete an item in a locked collection");
        kept.erase(of(key));
        return {};
    }
    std::optional<std::string> passwordOf(const sap::PasswordKey& key) const {
        const auto found = kept.find(of(key));
        return found == kept.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

private:
    static std::tuple<std::string, std::string, std::string, std::string> of(const sap::PasswordKey& key) {
        return {key.user, key.client, key.system, key.applicationServer};
    }
    Status refusal() {
        ++calls;
        if (!missing.empty()) return failure(FailureKind::File, "The desktop keyring cannot be reached", missing);
        return {};
    }
};

}  // namespace orvex::testing
