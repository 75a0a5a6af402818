// What only the keyring store does, on a keyring of our own (see PrivateKeyring.hpp). The
// locked keyring runs alone: locking it cannot be undone without a prompt. So does the silent
// one: libsecret keeps the first service it found for the whole process.

#include <gio/gio.h>
#include <libsecret/secret.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../support/ScratchDir.hpp"
#include "../support/Waiting.hpp"
#include "PrivateKeyring.hpp"
#include "platform/ChosenCredentialStore.hpp"
#include "platform/SecretServiceCredentialStore.hpp"

namespace orvel {
namespace {

class SecretServiceStore : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::onPrivateKeyring())
            GTEST_SKIP() << "needs a keyring of its own: run through "
                            "tests/platform/with-private-keyring.sh (ctest does)";
        auto connected = SecretServiceCredentialStore::connect();
        ASSERT_TRUE(connected) << "the private keyring does not answer: " << connected.error();
        store = std::move(*connected);
    }

    std::unique_ptr<SecretServiceCredentialStore> store;
};

// A schema of one attribute, "account", as ours has.
SecretSchema accountSchema(const char* name) {
    SecretSchema schema{};
    schema.name = name;
    schema.flags = SECRET_SCHEMA_NONE;
    schema.attributes[0] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
    return schema;
}

// Writes `secret` byte for byte as our item for `identifier`, as another program might.
bool plantSecret(const std::string& identifier, const std::string& secret) {
    const SecretSchema ours = accountSchema("quillon.orvel.pairing");
    SecretValue* value =
        secret_value_new(secret.data(), static_cast<gssize>(secret.size()), "text/plain");
    GError* error = nullptr;
    const bool stored =
        secret_password_store_binary_sync(&ours, SECRET_COLLECTION_DEFAULT, "planted", value,
                                          nullptr, &error, "account", identifier.c_str(), nullptr);
    secret_value_unref(value);
    if (error) g_error_free(error);
    return stored;
}

TEST_F(SecretServiceStore, IgnoresItemsOfOtherProgramsForTheSameAccount) {
    const SecretSchema other = accountSchema("some.other.program");
    GError* error = nullptr;
    ASSERT_TRUE(secret_password_store_sync(&other, SECRET_COLLECTION_DEFAULT, "other", "secret",
                                           nullptr, &error, "account", "sim:shared", nullptr));
    auto loaded = store->load("sim:shared");
    EXPECT_EQ(loaded.error, std::nullopt);
    EXPECT_TRUE(loaded.credentials.empty());
    EXPECT_EQ(store->remove("sim:shared"), std::nullopt);
    EXPECT_TRUE(
        secret_password_clear_sync(&other, nullptr, &error, "account", "sim:shared", nullptr))
        << "removing ours took the other program's item";
}

TEST_F(SecretServiceStore, ADamagedSecretIsAnErrorUntilPairingReplacesIt) {
    const char* damaged[] = {"",
                             "not json",
                             "[\"AirPlay\"]",
                             "{\"AirPlay\": 1}",
                             "{\"AirPlay\": {\"nested\": \"x\"}}",
                             "{\"AirPlay\": \"a\"} trailing",
                             "\xff\xfe"};
    for (const char* secret : damaged) {
        SCOPED_TRACE(secret);
        ASSERT_TRUE(plantSecret("sim:damaged", secret));
        auto loaded = store->load("sim:damaged");
        ASSERT_TRUE(loaded.error);
        EXPECT_EQ(loaded.error->code, CredentialErrorCode::kMalformed);
        EXPECT_EQ(loaded.error->description(),
                  "Pairing credentials could not be accessed in the keyring (2).");
        EXPECT_TRUE(loaded.credentials.empty());
    }
    ASSERT_EQ(store->save("sim:damaged", {{"Companion", "fresh"}}), std::nullopt);
    EXPECT_EQ(store->load("sim:damaged").credentials, (CredentialSet{{"Companion", "fresh"}}));
    EXPECT_EQ(store->remove("sim:damaged"), std::nullopt);
}

TEST_F(SecretServiceStore, TextThatDBusCannotCarryFailsCleanly) {
    const std::string badIdentifier = "sim:\xc3\x28";
    EXPECT_EQ(store->load(badIdentifier).error->code, CredentialErrorCode::kEncodingFailed);
    EXPECT_EQ(store->save(badIdentifier, {{"AirPlay", "a"}})->code,
              CredentialErrorCode::kEncodingFailed);
    EXPECT_EQ(store->remove(std::string("sim:\0x", 5))->code, CredentialErrorCode::kEncodingFailed);
    EXPECT_EQ(store->save("sim:kitchen", {{"AirPlay", "\xff"}})->code,
              CredentialErrorCode::kEncodingFailed);
    EXPECT_TRUE(store->load("sim:kitchen").credentials.empty()) << "a failed save wrote";
}

TEST(CredentialStoreChoice, MovesWhatTheFileKeptIntoTheKeyring) {
    if (!test::onPrivateKeyring()) GTEST_SKIP() << "needs a keyring of its own";
    test::ScratchDir dir;
    const std::string file = dir / ".local/share/Orvel Remote/credentials.json";
    test::ScratchDir::write(file, R"({"sim:moved": {"AirPlay": "a", "Companion": "c"},
                                      "sim:damaged": {"AirPlay": 5}})");
    ChosenCredentialStore store({.home = dir.path(), .xdgConfigHome = "", .xdgDataHome = ""});
    ASSERT_TRUE(store.open());
    EXPECT_EQ(store.kind(), "keyring");
    EXPECT_EQ(store.keyringProblem(), "");
    EXPECT_EQ(nlohmann::json::parse(test::ScratchDir::read(file)),
              nlohmann::json::parse(R"({"sim:damaged": {"AirPlay": 5}})"));

    auto keyring = SecretServiceCredentialStore::connect();
    ASSERT_TRUE(keyring) << keyring.error();
    EXPECT_EQ((*keyring)->load("sim:moved").credentials,
              (CredentialSet{{"AirPlay", "a"}, {"Companion", "c"}}));
    EXPECT_EQ((*keyring)->remove("sim:moved"), std::nullopt);
}

TEST(CredentialStoreChoice, FallsBackToThePrivateFileWithoutASessionBus) {
    // The environment is read and set before any thread of this test starts.
    if (std::getenv("ORVEL_PRIVATE_KEYRING"))  // NOLINT(concurrency-mt-unsafe)
        GTEST_SKIP() << "a session bus of our own is set up for this run";
    test::ScratchDir dir;
    // Before anything in this process reached a bus: GLib keeps the first connection.
    const std::string bus = "unix:path=" + dir / "no-bus";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    ChosenCredentialStore store({.home = dir.path(), .xdgConfigHome = "", .xdgDataHome = ""});
    EXPECT_EQ(store.save("sim:kitchen", {{"Companion", "k"}}), std::nullopt);
    EXPECT_EQ(store.kind(), "file");
    EXPECT_EQ(store.keyringProblem(), "No keyring answers on the session bus.");
    EXPECT_TRUE(std::filesystem::exists(dir / ".local/share/Orvel Remote/credentials.json"));
}

TEST(SecretServiceLocked, ALockedKeyringFailsItsCallsAndAsksToBeUnlockedOnce) {
    if (!test::onPrivateKeyring() ||
        !std::getenv("ORVEL_KEYRING_MAY_LOCK"))  // NOLINT(concurrency-mt-unsafe): no threads yet
        GTEST_SKIP() << "locks the keyring: runs alone through with-private-keyring.sh";
    auto connected = SecretServiceCredentialStore::connect();
    ASSERT_TRUE(connected) << connected.error();
    auto& store = *connected;
    ASSERT_EQ(store->save("sim:living-room", {{"AirPlay", "a"}}), std::nullopt);

    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    ASSERT_TRUE(service);
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    ASSERT_TRUE(collection);
    GList* objects = g_list_append(nullptr, collection);
    ASSERT_GE(secret_service_lock_sync(service, objects, nullptr, nullptr, &error), 0);
    g_list_free(objects);
    g_object_unref(collection);
    g_object_unref(service);

    auto loaded = store->load("sim:living-room");
    ASSERT_TRUE(loaded.error) << "a locked item read as a TV without credentials";
    EXPECT_EQ(loaded.error->code, CredentialErrorCode::kLocked);
    EXPECT_EQ(loaded.error->description(),
              "Pairing credentials could not be accessed in the keyring (7).");
    EXPECT_EQ(store->save("sim:living-room", {{"AirPlay", "b"}})->code,
              CredentialErrorCode::kLocked);
    EXPECT_EQ(store->remove("sim:living-room")->code, CredentialErrorCode::kLocked);

    // No prompter answers here: the first unlock asks and fails, the second does not ask.
    auto asked = store->unlock();
    ASSERT_TRUE(asked);
    auto second = store->unlock();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->code, CredentialErrorCode::kLocked);
    EXPECT_NE(asked->detail, second->detail) << "asked twice";
}

// SilentSecretService: a Secret Service of our own on the session bus that opens sessions and
// then answers nothing: every other call is held, unanswered, until the fake goes. It takes a
// bus name of its own and points libsecret at it (SECRET_SERVICE_BUS_NAME), so construct it
// before this process first asks for the service, and only on a private bus.

class SilentSecretService {
public:
    static constexpr const char* kBusName = "quillon.orvel.test.SilentSecrets";

    SilentSecretService()
        : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
        // Before the thread starts: nothing else reads the environment then.
        ::setenv("SECRET_SERVICE_BUS_NAME", kBusName, 1);  // NOLINT(concurrency-mt-unsafe)
        thread_ = std::thread([this] { serve(); });
        ready_.pass();
    }
    ~SilentSecretService() {
        g_main_context_invoke(
            context_,
            [](gpointer self) -> gboolean {
                static_cast<SilentSecretService*>(self)->stop();
                return G_SOURCE_REMOVE;
            },
            this);
        thread_.join();
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
    }
    SilentSecretService(const SilentSecretService&) = delete;
    SilentSecretService& operator=(const SilentSecretService&) = delete;

    bool registered() const { return registered_; }
    // Waits until `count` calls are held.
    bool waitForHeld(int count) { return held_.waitFor(count); }

private:
    static constexpr const char* kInterface = R"(
<node>
  <interface name="org.freedesktop.Secret.Service">
    <method name="OpenSession">
      <arg direction="in" type="s"/><arg direction="in" type="v"/>
      <arg direction="out" type="v"/><arg direction="out" type="o"/>
    </method>
    <method name="ReadAlias"><arg direction="in" type="s"/><arg direction="out" type="o"/></method>
    <method name="SearchItems">
      <arg direction="in" type="a{ss}"/>
      <arg direction="out" type="ao"/><arg direction="out" type="ao"/>
    </method>
    <method name="Unlock">
      <arg direction="in" type="ao"/><arg direction="out" type="ao"/><arg direction="out" type="o"/>
    </method>
  </interface>
</node>)";

    static void call(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                     const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                     gpointer self) {
        if (std::string(method) == "OpenSession") {
            const gchar* algorithm = nullptr;
            GVariant* input = nullptr;
            g_variant_get(parameters, "(&sv)", &algorithm, &input);
            g_variant_unref(input);
            if (std::string(algorithm) != "plain") {
                g_dbus_method_invocation_return_dbus_error(
                    invocation, "org.freedesktop.DBus.Error.NotSupported", "plain only");
                return;
            }
            g_dbus_method_invocation_return_value(
                invocation, g_variant_new("(vo)", g_variant_new_string(""),
                                          "/org/freedesktop/secrets/session/silent"));
            return;
        }
        auto* service = static_cast<SilentSecretService*>(self);
        service->invocations_.push_back(invocation);
        service->held_.add();
    }

    void serve() {
        g_main_context_push_thread_default(context_);
        GError* error = nullptr;
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (address) {
            connection_ = g_dbus_connection_new_for_address_sync(
                address,
                static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                  G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, nullptr, &error);
            g_free(address);
        }
        if (connection_) registered_ = registerService();
        g_clear_error(&error);
        ready_.open();
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    }

    bool registerService() {
        static const GDBusInterfaceVTable vtable = {call, nullptr, nullptr, {}};
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
        const guint object =
            g_dbus_connection_register_object(connection_, "/org/freedesktop/secrets",
                                              node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", kBusName, 4u /* DO_NOT_QUEUE */),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        guint32 answer = 0;
        if (reply) {
            g_variant_get(reply, "(u)", &answer);
            g_variant_unref(reply);
        }
        return object != 0 && answer == 1;  // the primary owner
    }

    void stop() {
        for (auto* invocation : invocations_) {
            g_dbus_method_invocation_return_dbus_error(
                invocation, "org.freedesktop.DBus.Error.Failed", "the test is over");
        }
        invocations_.clear();
        if (connection_) {
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
            connection_ = nullptr;
        }
        g_main_loop_quit(loop_);
    }

    GMainContext* context_;
    GMainLoop* loop_;
    std::thread thread_;
    test::Gate ready_;
    test::Counter held_;
    // The fake's thread only, but registered_ (written before ready_ opens).
    GDBusConnection* connection_ = nullptr;
    std::vector<GDBusMethodInvocation*> invocations_;
    bool registered_ = false;
};

// Quitting never waits on the keyring: a call to a Secret Service that never answers ends as
// soon as the store is cancelled.
TEST(SecretServiceCancel, QuittingEndsTheCallTheServiceNeverAnswers) {
    if (!test::onPrivateKeyring() ||
        !std::getenv("ORVEL_KEYRING_SILENT"))  // NOLINT(concurrency-mt-unsafe): no threads yet
        GTEST_SKIP() << "points libsecret at a fake: runs alone through with-private-keyring.sh";
    SilentSecretService service;
    ASSERT_TRUE(service.registered());
    test::ScratchDir dir;
    ChosenCredentialStore store(std::make_unique<SecretServiceCredentialStore>(),
                                dir / "data/Orvel Remote");
    // As on the credential queue: opening, then a call the user asked for.
    auto queue = std::async(std::launch::async, [&store] {
        (void)store.open();
        (void)store.unlock();
        return store.load("sim:kitchen");
    });
    ASSERT_TRUE(service.waitForHeld(1)) << "the store never asked the service";
    const auto cancelled = std::chrono::steady_clock::now();
    store.cancel();
    // Far below D-Bus's own 25 seconds, which a call without cancellation would wait.
    const auto prompt = std::chrono::seconds(3);
    ASSERT_EQ(queue.wait_for(prompt), std::future_status::ready) << "quitting waited";
    auto loaded = queue.get();
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, prompt);
    ASSERT_TRUE(loaded.error);
    EXPECT_EQ(loaded.error->code, CredentialErrorCode::kUnavailable);
    EXPECT_EQ(store.kind(), "none") << "quitting chose the file";
}

}  // namespace
}  // namespace orvel
