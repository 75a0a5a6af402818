#include "platform/SecretServiceCredentialStore.hpp"

#include <libsecret/secret.h>

#include <utility>

#include "platform/JsonFile.hpp"

namespace orvel {
namespace {

const SecretSchema kSchema = {
    "quillon.orvel.pairing",
    SECRET_SCHEMA_NONE,
    {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr};

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorDeleter>;

struct ValueDeleter {
    void operator()(SecretValue* value) const { secret_value_unref(value); }
};
using ValuePtr = std::unique_ptr<SecretValue, ValueDeleter>;

struct ItemsDeleter {
    void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};
using ItemsPtr = std::unique_ptr<GList, ItemsDeleter>;

// The one attribute that names a TV's item; borrows `identifier`.
class AccountAttributes {
public:
    explicit AccountAttributes(const std::string& identifier)
        : table_(g_hash_table_new(g_str_hash, g_str_equal)) {
        g_hash_table_insert(table_, const_cast<char*>("account"),
                            const_cast<char*>(identifier.c_str()));
    }
    ~AccountAttributes() { g_hash_table_unref(table_); }
    AccountAttributes(const AccountAttributes&) = delete;
    AccountAttributes& operator=(const AccountAttributes&) = delete;
    GHashTable* get() const { return table_; }

private:
    GHashTable* table_;
};

bool dbusUnreachable(const GError& error) {
    if (error.domain == G_IO_ERROR) return error.code != G_IO_ERROR_DBUS_ERROR;
    if (error.domain != G_DBUS_ERROR) return false;
    switch (error.code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_REPLY:
        case G_DBUS_ERROR_TIMEOUT:
        case G_DBUS_ERROR_TIMED_OUT:
        case G_DBUS_ERROR_DISCONNECTED:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_IO_ERROR:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
            return true;
        default:
            return false;
    }
}

CredentialError keyringFailure(const GError* error) {
    if (!error) return {CredentialErrorCode::kRefused, "the keyring declined without a reason"};
    std::string detail = error->message ? error->message : "";
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_IS_LOCKED)
        return {CredentialErrorCode::kLocked, std::move(detail)};
    if (error->domain == SECRET_ERROR && error->code == SECRET_ERROR_PROTOCOL)
        return {CredentialErrorCode::kBadReply, std::move(detail)};
    if (dbusUnreachable(*error)) return {CredentialErrorCode::kUnavailable, std::move(detail)};
    return {CredentialErrorCode::kRefused, std::move(detail)};
}

// D-Bus strings must be UTF-8 without NUL; GLib aborts on anything else.
bool validText(const std::string& text) {
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

std::optional<CredentialError> badIdentifier(const std::string& identifier) {
    if (validText(identifier)) return std::nullopt;
    return CredentialError{CredentialErrorCode::kEncodingFailed,
                           "the TV identifier is not valid UTF-8 text"};
}

std::optional<CredentialSet> decodeSecret(std::string_view text) {
    auto object = JsonFile::parseObject(text);
    if (!object) return std::nullopt;
    CredentialSet credentials;
    for (const auto& [protocol, credential] : object->items()) {
        if (!credential.is_string()) return std::nullopt;
        credentials.emplace(protocol, credential.get<std::string>());
    }
    return credentials;
}

CredentialError quitting() {
    return {CredentialErrorCode::kUnavailable, "Orvel is quitting"};
}

}  // namespace

struct SecretServiceCredentialStore::Service {
    GCancellable* cancellable = g_cancellable_new();  // for the object's life; ours
    SecretService* proxy = nullptr;                   // one reference, ours
    SecretCollection* collection = nullptr;           // the default one; ours

    ~Service() {
        if (collection) g_object_unref(collection);
        if (proxy) g_object_unref(proxy);
        g_object_unref(cancellable);
    }
    bool cancelled() const { return g_cancellable_is_cancelled(cancellable); }
};

SecretServiceCredentialStore::SecretServiceCredentialStore()
    : service_(std::make_unique<Service>()) {}

SecretServiceCredentialStore::~SecretServiceCredentialStore() = default;

Result<std::unique_ptr<SecretServiceCredentialStore>> SecretServiceCredentialStore::connect() {
    auto store = std::make_unique<SecretServiceCredentialStore>();
    if (auto opened = store->open(); !opened) return Failure{opened.error()};
    return store;
}

Result<void> SecretServiceCredentialStore::open() {
    std::lock_guard lock(mutex_);
    return openService();
}

Result<void> SecretServiceCredentialStore::openService() {
    if (service_->collection) return {};
    if (service_->cancelled()) return Failure{"Orvel quit before the keyring answered."};
    GError* raw = nullptr;
    SecretService* proxy =
        secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, service_->cancellable, &raw);
    ErrorPtr error(raw);
    if (!proxy) return Failure{"No keyring answers on the session bus."};
    if (!service_->proxy) {
        service_->proxy = proxy;
    } else {
        g_object_unref(proxy);  // the same shared service, opened before
    }
    // Without a default collection, storing would ask the user to create one.
    SecretCollection* collection =
        secret_collection_for_alias_sync(service_->proxy, SECRET_COLLECTION_DEFAULT,
                                         SECRET_COLLECTION_NONE, service_->cancellable, &raw);
    error.reset(raw);
    if (error) return Failure{"The keyring did not say where it keeps passwords."};
    if (!collection)
        return Failure{"The keyring has no default collection to keep pairing credentials in."};
    service_->collection = collection;
    return {};
}

std::optional<CredentialError> SecretServiceCredentialStore::usable() const {
    if (service_->cancelled()) return quitting();
    if (!service_->collection)
        return CredentialError{CredentialErrorCode::kUnavailable, "the keyring is not open"};
    return std::nullopt;
}

// Asked afresh each time: the collection's cached property is only updated on a main context
// that nothing here runs.
std::optional<CredentialError> SecretServiceCredentialStore::unlocked() const {
    if (auto error = usable()) return error;
    GError* raw = nullptr;
    GVariant* reply = g_dbus_proxy_call_sync(
        G_DBUS_PROXY(service_->collection), "org.freedesktop.DBus.Properties.Get",
        g_variant_new("(ss)", "org.freedesktop.Secret.Collection", "Locked"),
        G_DBUS_CALL_FLAGS_NONE, -1, service_->cancellable, &raw);
    ErrorPtr error(raw);
    if (!reply) return keyringFailure(error.get());
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const bool locked =
        g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) ? g_variant_get_boolean(value) : true;
    g_variant_unref(value);
    g_variant_unref(reply);
    if (!locked) return std::nullopt;
    return CredentialError{CredentialErrorCode::kLocked, "the default collection is locked"};
}

std::optional<CredentialError> SecretServiceCredentialStore::unlock() {
    std::lock_guard lock(mutex_);
    auto state = unlocked();
    if (!state || state->code != CredentialErrorCode::kLocked) return state;
    // A user who dismissed the prompt once is not asked again this run.
    if (std::exchange(askedToUnlock_, true)) return state;
    GList* objects = g_list_append(nullptr, service_->collection);
    GList* done = nullptr;
    GError* raw = nullptr;
    const gint count =
        secret_service_unlock_sync(service_->proxy, objects, service_->cancellable, &done, &raw);
    ErrorPtr error(raw);
    g_list_free(objects);
    g_list_free_full(done, g_object_unref);
    if (error) return keyringFailure(error.get());
    if (count < 1)
        return CredentialError{CredentialErrorCode::kLocked, "the unlock prompt was dismissed"};
    return std::nullopt;
}

void SecretServiceCredentialStore::cancel() {
    g_cancellable_cancel(service_->cancellable);
}

std::string SecretServiceCredentialStore::description() const {
    return "Pairing credentials are kept in your keyring.";
}

CredentialLoad SecretServiceCredentialStore::load(const std::string& identifier) {
    if (auto error = badIdentifier(identifier)) return {{}, error};
    std::lock_guard lock(mutex_);
    if (auto error = usable()) return {{}, error};
    AccountAttributes attributes(identifier);
    GError* raw = nullptr;
    // A search rather than a lookup: a lookup answers "nothing" for an item it could not
    // unlock, and a locked keyring must not look like a TV without credentials. Without
    // SECRET_SEARCH_UNLOCK: only unlock() may prompt.
    ItemsPtr items(secret_service_search_sync(service_->proxy, &kSchema, attributes.get(),
                                              SECRET_SEARCH_LOAD_SECRETS, service_->cancellable,
                                              &raw));
    ErrorPtr error(raw);
    if (error) return {{}, keyringFailure(error.get())};
    if (!items) return {};

    auto* item = static_cast<SecretItem*>(items->data);
    if (secret_item_get_locked(item))
        return {{}, CredentialError{CredentialErrorCode::kLocked, "the item stayed locked"}};
    ValuePtr value(secret_item_get_secret(item));
    if (!value)
        return {{}, CredentialError{CredentialErrorCode::kReadFailed, "the secret did not load"}};
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    if (auto credentials = decodeSecret(std::string_view(bytes ? bytes : "", bytes ? length : 0)))
        return {std::move(*credentials), std::nullopt};
    return {{},
            CredentialError{CredentialErrorCode::kMalformed,
                            "the item of " + identifier + " is not a JSON object of texts"}};
}

std::optional<CredentialError> SecretServiceCredentialStore::save(
    const std::string& identifier, const CredentialSet& credentials) {
    auto text = JsonFile::encodeStrict(nlohmann::json(credentials));
    if (!text)
        return CredentialError{CredentialErrorCode::kEncodingFailed,
                               "a credential is not valid UTF-8 text"};
    std::lock_guard lock(mutex_);
    return storeSecret(identifier, *text);
}

std::optional<CredentialError> SecretServiceCredentialStore::storeSecret(
    const std::string& identifier, const std::string& secret) {
    if (auto error = badIdentifier(identifier)) return error;
    // The service would unlock a locked collection for the write, with its prompt.
    if (auto error = unlocked()) return error;
    AccountAttributes attributes(identifier);
    ValuePtr value(
        secret_value_new(secret.data(), static_cast<gssize>(secret.size()), "text/plain"));
    const std::string label = "Orvel Remote pairing: " + identifier;
    GError* raw = nullptr;
    // Replaces the item with the same attributes, so an update keeps one item per TV. The
    // collection's own path, not the alias: for a missing default the service would ask the
    // user to create one.
    const char* collection = g_dbus_proxy_get_object_path(G_DBUS_PROXY(service_->collection));
    const bool stored =
        secret_service_store_sync(service_->proxy, &kSchema, attributes.get(), collection,
                                  label.c_str(), value.get(), service_->cancellable, &raw);
    ErrorPtr error(raw);
    if (stored) return std::nullopt;
    return keyringFailure(error.get());
}

std::optional<CredentialError> SecretServiceCredentialStore::remove(const std::string& identifier) {
    if (auto error = badIdentifier(identifier)) return error;
    std::lock_guard lock(mutex_);
    // Deleting a locked item may prompt too.
    if (auto error = unlocked()) return error;
    AccountAttributes attributes(identifier);
    GError* raw = nullptr;
    // False without an error: nothing matched, which is what removing wants.
    secret_service_clear_sync(service_->proxy, &kSchema, attributes.get(), service_->cancellable,
                              &raw);
    ErrorPtr error(raw);
    if (error) return keyringFailure(error.get());
    return std::nullopt;
}

}  // namespace orvel
