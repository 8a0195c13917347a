#pragma once
// A place for the SAP password apart from the settings file: the desktop's
// keyring, reached through the Secret Service on the session bus. The
// settings code speaks to this interface only, so that tests put a store of
// their own in its place and the sandbox's settings (password in the file)
// never touch a keyring.
#include <memory>
#include <optional>
#include <string>

#include "common/Failure.h"

namespace orvex::sap {

// Which logon a password belongs to: the entry is found by these four.
struct PasswordKey {
    std::string user;
    std::string client;
    std::string system;             // the system ID
    std::string applicationServer;
    bool operator==(const PasswordKey&) const = default;
};

class PasswordStore {
public:
    virtual ~PasswordStore() = default;
    // "" when the store can keep and give passwords now; otherwise why not,
    // in the user's words ("no keyring on this desktop: ...").
    virtual std::string unavailable() = 0;
    // The password kept for `key`; nothing when none is kept. A failure
    // (kind File) when the keyring cannot be asked or is locked.
    virtual Result<std::optional<std::string>> lookup(const PasswordKey& key) = 0;
    // Keeps `password` for `key`, replacing what was kept for it.
    virtual Status store(const PasswordKey& key, const std::string& password) = 0;
    // Forgets the password of `key`; nothing kept is no failure.
    virtual Status remove(const PasswordKey& key) = 0;
};

// The desktop's keyring through the Secret Service (libsecret). Each call
// connects to the session bus named by DBUS_SESSION_BUS_ADDRESS when it
// needs to; a missing bus, service or keyring makes it unavailable, never
// stops the caller.
std::unique_ptr<PasswordStore> makeSecretServiceStore();

// The store the settings use: the Secret Service unless one was set.
PasswordStore& passwordStore();
// Puts `store` in place of the Secret Service (nullptr: back to it).
void setPasswordStore(std::shared_ptr<PasswordStore> store);

}  // namespace orvex::sap
