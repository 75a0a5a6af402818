// A locked keyring, in a run of its own (locking it cannot be undone without a prompt).

#include <libsecret/secret.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "platform/SecretServiceCredentialStore.hpp"

namespace orvel {
namespace {

TEST(SecretServiceLocked, ALockedKeyringIsAnErrorNotAnEmptySet) {
    const char* marker = std::getenv("ORVEL_PRIVATE_KEYRING");
    if (!marker || std::string(marker) != "1" || !std::getenv("ORVEL_KEYRING_MAY_LOCK"))
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
    EXPECT_TRUE(store->save("sim:living-room", {{"AirPlay", "b"}}));
}

}  // namespace
}  // namespace orvel
