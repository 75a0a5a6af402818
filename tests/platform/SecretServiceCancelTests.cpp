// Quitting never waits on the keyring: a call to a Secret Service that never answers ends as
// soon as the store is cancelled. Runs alone (with-private-keyring.sh, ORVEL_KEYRING_SILENT):
// libsecret keeps the first service it found for the whole process.

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "../support/ScratchDir.hpp"
#include "PrivateKeyring.hpp"
#include "SilentSecretService.hpp"
#include "platform/ChosenCredentialStore.hpp"
#include "platform/SecretServiceCredentialStore.hpp"

namespace orvel {
namespace {

using Clock = std::chrono::steady_clock;

// Far below D-Bus's own 25 seconds, which a call without cancellation would wait.
constexpr auto kPrompt = std::chrono::seconds(3);

TEST(SecretServiceCancel, QuittingEndsTheCallTheServiceNeverAnswers) {
    if (!test::onPrivateKeyring() ||
        !std::getenv("ORVEL_KEYRING_SILENT"))  // NOLINT(concurrency-mt-unsafe): no threads yet
        GTEST_SKIP() << "points libsecret at a fake: runs alone through with-private-keyring.sh";
    test::SilentSecretService service;
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
    const auto cancelled = Clock::now();
    store.cancel();
    ASSERT_EQ(queue.wait_for(kPrompt), std::future_status::ready) << "quitting waited";
    auto loaded = queue.get();
    EXPECT_LT(Clock::now() - cancelled, kPrompt);
    ASSERT_TRUE(loaded.error);
    EXPECT_EQ(loaded.error->code, CredentialErrorCode::kUnavailable);
    EXPECT_EQ(store.kind(), "none") << "quitting chose the file";
}

}  // namespace
}  // namespace orvel
