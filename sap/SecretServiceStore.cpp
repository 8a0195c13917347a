// The desktop's keyring through libsecret: one item per logon in the default
// collection ("login" on most desktops), found by user, client, system ID
// and application server.
#include <libsecret/secret.h>

#include <mutex>

#include "sap/PasswordStore.h"

namespace orvex::sap {

namespace {

const SecretSchema* logonSchema() {
    static const SecretSchema schema = [] {
        SecretSchema s{};
        s.name = "org.orvex.Logon";
        s.flags = SECRET_SCHEMA_NONE;
        s.attributes[0] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[1] = {"client", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[2] = {"system", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[3] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        s.attributes[4] = {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING};
        return s;
    }();
    return &schema;
}

// Owns one GLib reference or error and gives it back when it goes.
template <typename T, void (*Free)(T*)>
struct Owned {
    T* p = nullptr;
    Owned() = default;
    explicit Owned(T* raw) : p(raw) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (p) Free(p);
    }
};
void freeError(GError* e) { g_error_free(e); }
void freeTable(GHashTable* t) { g_hash_table_unref(t); }
void freeValue(SecretValue* v) { secret_value_unref(v); }
void freeService(SecretService* s) { g_object_unref(s); }
void freeItems(GList* l) { g_list_free_full(l, g_object_unref); }
using Error = Owned<GError, freeError>;

std::string said(const GError* error) { return error && error->message ? error->message : "no reason given"; }

Failure keyringFailure(const std::string& what, const GError* error) {
    return failure(FailureKind::File, what, said(error));
}

GHashTable* attributesOf(const PasswordKey& key) {
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    // The strings outlive the table: it lives for one call with `key` in scope.
    g_hash_table_insert(attributes, const_cast<char*>("user"), const_cast<char*>(key.user.c_str()));
    g_hash_table_insert(attributes, const_cast<char*>("client"), const_cast<char*>(key.client.c_str()));
    g_hash_table_insert(attributes, const_cast<char*>("system"), const_cast<char*>(key.system.c_str()));
    g_hash_table_insert(attributes, const_cast<char*>("server"), const_cast<char*>(key.applicationServer.c_str()));
    return attributes;
}

class SecretServiceStore : public PasswordStore {
public:
    ~SecretServiceStore() override { drop(); }

    std::string unavailable() override {
        Error error;
        Owned<SecretService, freeService> service(connect(&error.p));
        return service.p ? std::string() : "no keyring on this desktop: " + said(error.p);
    }

    Result<std::optional<std::string>> lookup(const PasswordKey& key) override {
        Error error;
        Owned<SecretService, freeService> service(connect(&error.p));
        if (!service.p) return keyringFailure("The desktop keyring cannot be reached", error.p);
        Owned<GHashTable, freeTable> attributes(attributesOf(key));
        const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS);
        Owned<GList, freeItems> items(
            secret_service_search_sync(service.p, logonSchema(), attributes.p, flags, nullptr, &error.p));
        if (error.p) return keyringFailure("The desktop keyring could not be searched", error.p);
        if (!items.p) return std::optional<std::string>();
        auto* item = static_cast<SecretItem*>(items.p->data);
        if (secret_item_get_locked(item))
            return failure(FailureKind::File, "The desktop keyring is locked", "it was not unlocked when asked");
        Owned<SecretValue, freeValue> value(secret_item_get_secret(item));
        if (!value.p) return failure(FailureKind::File, "The desktop keyring gave no password", "the item holds no secret");
        gsize length = 0;
        const gchar* text = secret_value_get(value.p, &length);
        return std::optional<std::string>(std::string(text, length));
    }

    Status store(const PasswordKey& key, const std::string& password) override {
        Error error;
        Owned<SecretService, freeService> service(connect(&error.p));
        if (!service.p) return keyringFailure("The desktop keyring cannot be reached", error.p);
        Owned<GHashTable, freeTable> attributes(attributesOf(key));
        Owned<SecretValue, freeValue> value(secret_value_new(password.data(), static_cast<gssize>(password.size()),
                                                             "text/plain"));
        const std::string label = "ORVEX: SAP password of " + key.user + ", client " + key.client + " of " +
                                  key.system + " (" + key.applicationServer + ")";
        if (!secret_service_store_sync(service.p, logonSchema(), attributes.p, SECRET_COLLECTION_DEFAULT,
                                       label.c_str(), value.p, nullptr, &error.p))
            return keyringFailure("The desktop keyring could not keep the password", error.p);
        return {};
    }

    Status remove(const PasswordKey& key) override {
        Error error;
        Owned<SecretService, freeService> service(connect(&error.p));
        if (!service.p) return keyringFailure("The desktop keyring cannot be reached", error.p);
        Owned<GHashTable, freeTable> attributes(attributesOf(key));
        secret_service_clear_sync(service.p, logonSchema(), attributes.p, nullptr, &error.p);
        if (error.p) return keyringFailure("The desktop keyring could not forget the password", error.p);
        return {};
    }

private:
    // The session's Secret Service with a session open, a reference for the
    // caller; nullptr and `error` when there is none. A session bus that goes
    // away ends the keyring's use, never the program (GLib's default for the
    // shared bus connection); the next call connects afresh.
    SecretService* connect(GError** error) {
        std::lock_guard lock(mutex_);
        if (bus_ && g_dbus_connection_is_closed(bus_)) drop();
        if (!bus_) {
            bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error);
            if (!bus_) return nullptr;
            g_dbus_connection_set_exit_on_close(bus_, FALSE);
            if (g_dbus_connection_is_closed(bus_)) {
                drop();
                g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_CLOSED, "the session bus has gone");
                return nullptr;
            }
        }
        return secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, error);
    }

    void drop() {
        secret_service_disconnect();
        if (bus_) g_object_unref(bus_);
        bus_ = nullptr;
    }

    std::mutex mutex_;
    GDBusConnection* bus_ = nullptr;
};

std::mutex storeMutex;
std::shared_ptr<PasswordStore>& chosenStore() {
    static std::shared_ptr<PasswordStore> store;
    return store;
}

}  // namespace

std::unique_ptr<PasswordStore> makeSecretServiceStore() { return std::make_unique<SecretServiceStore>(); }

PasswordStore& passwordStore() {
    std::lock_guard lock(storeMutex);
    std::shared_ptr<PasswordStore>& store = chosenStore();
    if (!store) store = makeSecretServiceStore();
    return *store;
}

void setPasswordStore(std::shared_ptr<PasswordStore> store) {
    std::lock_guard lock(storeMutex);
    chosenStore() = std::move(store);
}

}  // namespace orvex::sap
