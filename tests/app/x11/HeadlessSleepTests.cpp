// The headless app hears of sleep from logind too: the computer's sleep drops the TV's
// connection and the wake makes it again (a fake logind on a private system bus).

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <cstdlib>
#include <memory>
#include <optional>

#include "../../shell/FakeLogind.hpp"
#include "../../shell/PrivateBus.hpp"
#include "../../support/HeadlessProfile.hpp"
#include "../../support/ProgramRun.hpp"
#include "../../support/ScopedEnvironment.hpp"
#include "../../support/Waiting.hpp"

namespace orvel::test {
namespace {

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
TEST(HeadlessSleep, TheConnectionGoesWithTheSleepAndComesBackWithTheWake) {
    if (std::getenv("ORVEL_PRIVATE_SYSTEM_BUS") == nullptr)  // NOLINT: before threads
        GTEST_SKIP() << "needs the private system bus of with-private-system-bus.sh";
    int argc = 1;
    char name[] = "headless_sleep";
    char* argv[] = {name, nullptr};
    std::unique_ptr<QCoreApplication> qt;
    if (QCoreApplication::instance() == nullptr)
        qt = std::make_unique<QCoreApplication>(argc, argv);
    PrivateBus bus("ORVEL_PRIVATE_SYSTEM_BUS");
    ASSERT_TRUE(bus.available());
    FakeLogind logind(bus.connection(), {.autoId = QStringLiteral("c3")});
    ASSERT_TRUE(logind.registered());
    const auto until = [](const std::function<bool()>& done) {
        return eventually([&] {
            QCoreApplication::processEvents();
            return done();
        });
    };
    // What the running app says of the TV; nothing when it does not answer.
    const auto connected = []() -> std::optional<bool> {
        const auto status = runProgram(ORVEL_TOOL_PATH, {"status"});
        if (status.status != 0) return std::nullopt;
        return status.out.find("not connected") == std::string::npos;
    };

    ScopedEnvironment environment;
    environment.unset("XDG_SESSION_ID");  // the session is found as logind's "auto"
    HeadlessProfile profile;
    auto app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH, {});
    ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
    ASSERT_TRUE(until([&] { return logind.sessionReads() > 0; })) << "logind was never asked";

    logind.sleep(true);
    EXPECT_TRUE(until([&] { return connected() == false; })) << "still connected in its sleep";
    logind.sleep(false);
    EXPECT_TRUE(until([&] { return connected() == true; })) << "not connected again after the wake";
    app->signal(SIGTERM);
    EXPECT_EQ(waitForExit(*app, 10), 0);
}
#endif

}  // namespace
}  // namespace orvel::test
