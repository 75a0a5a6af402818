#include "bridge/appletv/CompanionConnection.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../../support/FakeAppleTV.hpp"
#include "../../support/LoopThread.hpp"
#include "../Hex.hpp"
#include "bridge/companion/CompanionCredential.hpp"

namespace orvel {
namespace {

using test::FakeAppleTV;
using Press = FakeAppleTV::Press;

// Probes and the silence limit in milliseconds, so a silent TV is found out at once.
constexpr CompanionOptions kQuickSilence{
    .connectTimeout = 2.0, .replyTimeout = 2.0, .probeInterval = 0.03, .silenceLimit = 0.1};

class CompanionConnectionTest : public ::testing::Test {
protected:
    // Runs the loop until `done` holds; every completion and hook here quits the loop so the
    // condition is looked at again. False when it did not hold within `seconds`.
    bool runUntil(const std::function<bool()>& done, double seconds = 10.0) {
        while (!done()) {
            if (!test::runGuarded(loop, seconds)) return done();
        }
        return true;
    }

    // Every hook notes what it was told and quits the loop.
    std::unique_ptr<CompanionConnection> open(FakeAppleTV& to, CompanionOptions options = {}) {
        CompanionConnection::Hooks hooks;
        hooks.event = [this](const std::string& name, const OpackValue&) {
            events.push_back(name);
            loop.quit();
        };
        hooks.power = [this](CompanionPower power) {
            powers.push_back(power);
            loop.quit();
        };
        hooks.closed = [this](const std::string& reason) {
            closes.push_back(reason);
            if (dropOnClose) connection.reset();
            loop.quit();
        };
        return std::make_unique<CompanionConnection>(loop, "127.0.0.1", to.port(), identity,
                                                     std::move(hooks), options);
    }

    template <typename T>
    std::function<void(T)> into(std::optional<T>& slot) {
        return [this, &slot](T result) {
            slot.emplace(std::move(result));
            loop.quit();
        };
    }

    // Starts what completes through the callback `start` is given, and waits for its result.
    template <typename Result, typename Start>
    Result await(Start start) {
        std::optional<Result> got;
        start(into(got));
        EXPECT_TRUE(runUntil([&] { return got.has_value(); }));
        return got ? *got : Result(CompanionError{"no answer"});
    }
    CompanionResult<OpackValue> ask(const std::string& name, OpackValue content, double timeout) {
        return await<CompanionResult<OpackValue>>(
            [&](auto done) { connection->request(name, content, timeout, done); });
    }

    // Shows a PIN on the TV over `over`, then answers it with `pin`.
    CompanionResult<std::string> pair(CompanionConnection& over, const std::string& pin) {
        auto shown = await<CompanionResult<>>([&](auto done) { over.beginPairing(done); });
        EXPECT_TRUE(shown) << (shown ? std::string() : shown.error().sentence);
        return await<CompanionResult<std::string>>(
            [&](auto done) { over.finishPairing(pin, done); });
    }

    CompanionResult<> verify(FakeAppleTV& with, const std::string& credential,
                             CompanionOptions options = {}) {
        connection = open(with, options);
        return await<CompanionResult<>>([&](auto done) { connection->verify(credential, done); });
    }

    // A connection whose session is up with `with`, paired first.
    void connectTo(FakeAppleTV& with, CompanionOptions options = {}) {
        auto credential = pair(*open(with), "1234");
        ASSERT_TRUE(credential) << credential.error().sentence;
        auto up = verify(with, credential.value(), options);
        ASSERT_TRUE(up) << up.error().sentence;
    }

    PollLoop loop;
    FakeAppleTV tv{loop};
    CompanionIdentity identity{.clientId = "a1b2c3d4e5f6", .name = "Desk", .model = "Linux"};
    std::unique_ptr<CompanionConnection> connection;
    bool dropOnClose = false;
    std::vector<std::string> events;
    std::vector<CompanionPower> powers;
    std::vector<std::string> closes;
};

TEST_F(CompanionConnectionTest, PairsWithTheShownPinThenOpensTheSessionWithTheCredential) {
    auto credential = pair(*open(tv), "1234");
    ASSERT_TRUE(credential) << credential.error().sentence;
    EXPECT_EQ(tv.pinsShown(), 1);
    // M1 as a TV is known to take it: PS_Start, {"_pd": Method 0 State 1, "_pwTy": 1}.
    ASSERT_FALSE(tv.plainFrames().empty());
    EXPECT_EQ(hexOf(tv.plainFrames()[0]), "03000013e2435f706476000100060101455f7077547909");
    auto parsed = CompanionCredential::parse(credential.value());
    ASSERT_TRUE(parsed) << parsed.error();

    auto up = verify(tv, credential.value());
    ASSERT_TRUE(up) << up.error().sentence;
    EXPECT_TRUE(connection->sessionUp());
    ASSERT_TRUE(runUntil([&] { return tv.requests().size() >= 4 && tv.events().size() >= 2; }));
    EXPECT_EQ(tv.requests(), (std::vector<std::string>{"_systemInfo", "_sessionStart",
                                                       "TVRCSessionStart", "FetchAttentionState"}));
    const OpackValue* info = tv.lastContent("_systemInfo");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(*info->find("_i"), OpackValue("a1b2c3d4e5f6"));
    EXPECT_EQ(*info->find("name"), OpackValue("Desk"));
    EXPECT_EQ(*info->find("_idsID"), OpackValue(OpackValue::Data(crypto::bytesOf(parsed->ourId))));
    EXPECT_EQ(*tv.lastContent("_sessionStart")->find("_srvT"),
              OpackValue("com.apple.tvremoteservices"));
    // The interests, and every message's transaction: random at first, then one up each time.
    std::vector<OpackValue> interests;
    for (const OpackValue& event : tv.events()) {
        if (*event.find("_i") == OpackValue("_interest")) interests.push_back(*event.find("_c"));
    }
    EXPECT_EQ(interests,
              (std::vector<OpackValue>{
                  OpackValue::Dictionary{{"_regEvents", OpackValue::Array{"SystemStatus"}}},
                  OpackValue::Dictionary{{"_regEvents", OpackValue::Array{"TVSystemStatus"}}},
                  OpackValue::Dictionary{{"_regEvents", OpackValue::Array{"_iMC"}}}}));
    const auto& xids = tv.xids();
    ASSERT_GE(xids.size(), 6U);
    for (std::size_t i = 1; i < xids.size(); ++i) {
        EXPECT_EQ(xids[i], (xids[i - 1] + 1) % 0x8000) << i;
    }
    EXPECT_LT(xids[0], 0x4000);  // the first of this connection
    EXPECT_TRUE(closes.empty());
}

TEST_F(CompanionConnectionTest, AWrongPinLeavesTheConnectionOpenForAnotherTry) {
    connection = open(tv);
    auto wrong = pair(*connection, "4321");
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error().sentence, "The code does not match the one the Apple TV shows.");

    // The connection stays open for another try with the new PIN.
    EXPECT_TRUE(pair(*connection, "1234"));
    EXPECT_EQ(tv.pinsShown(), 2);
    EXPECT_EQ(tv.paired().size(), 1U);
    EXPECT_TRUE(closes.empty());
}

// Which key each action presses is the backend's table; here how long and in what order.
TEST_F(CompanionConnectionTest, KeysReachTheTVInOrder) {
    connectTo(tv);
    const double start = loop.now();
    EXPECT_TRUE(await<CompanionResult<>>(
        [&](auto done) { connection->hold(CompanionKey::menu, 0.05, done); }));
    EXPECT_GE(loop.now() - start, 0.05);
    connection->press(CompanionKey::volumeUp, [](const CompanionResult<>&) {});
    EXPECT_TRUE(
        await<CompanionResult<>>([&](auto done) { connection->press(CompanionKey::home, done); }));
    EXPECT_EQ(tv.presses(), (std::vector<Press>{{5, 1}, {5, 2}, {8, 1}, {8, 2}, {7, 1}, {7, 2}}));
}

TEST_F(CompanionConnectionTest, PowerFollowsTheAttentionStateAndItsEvents) {
    tv.setAttention(1);
    connectTo(tv);
    ASSERT_TRUE(runUntil([&] { return !powers.empty(); }));
    EXPECT_EQ(powers, std::vector<CompanionPower>{CompanionPower::off});

    struct Row {
        const char* event;
        int state;
        CompanionPower power;
    };
    // Each row moves the power from where the row before left it.
    const std::vector<Row> rows = {
        {"SystemStatus", 2, CompanionPower::on},    {"TVSystemStatus", 1, CompanionPower::off},
        {"SystemStatus", 3, CompanionPower::on},    {"SystemStatus", 9, CompanionPower::on},
        {"TVSystemStatus", 1, CompanionPower::off}, {"SystemStatus", 4, CompanionPower::on},
    };
    for (const Row& row : rows) {
        const std::size_t seen = events.size();
        tv.sendSystemStatus(row.state, row.event);
        ASSERT_TRUE(runUntil([&] { return events.size() > seen; })) << row.event << row.state;
        EXPECT_EQ(events.back(), row.event);
        EXPECT_EQ(connection->power(), row.power) << row.event << row.state;
    }
    // A change is reported once; repeats and states that say nothing are not.
    using enum CompanionPower;
    EXPECT_EQ(powers, (std::vector<CompanionPower>{off, on, off, on, off, on}));
}

TEST_F(CompanionConnectionTest, RefusedOptionalStartUpRequestsStillOpenTheSession) {
    // Power then stays unknown until an event tells it.
    FakeAppleTV refusing(loop, {.refuseAttention = true, .refuseRemoteSession = true});
    connectTo(refusing);
    // A round trip after theirs: the start-up requests' refusals have arrived.
    EXPECT_FALSE(ask("FetchAttentionState", OpackValue::Dictionary{}, 2.0));
    EXPECT_EQ(connection->power(), CompanionPower::unknown);

    refusing.sendSystemStatus(3);
    ASSERT_TRUE(runUntil([&] { return !powers.empty(); }));
    EXPECT_EQ(powers, std::vector<CompanionPower>{CompanionPower::on});
}

TEST_F(CompanionConnectionTest, EveryEndIsReportedOnceAndFailsWhatIsPending) {
    struct Row {
        const char* name;
        std::function<void(FakeAppleTV&)> end;
        const char* says;
        CompanionOptions options = {};
        bool dropInHook = false;  // the owner lets go of it from inside its own hook
    };
    const std::vector<Row> rows = {
        {"dropped",
         [](FakeAppleTV& to) { to.dropConnections(); },
         " closed the connection.",
         {},
         true},
        {"silent", [](FakeAppleTV&) {}, "The Apple TV stopped answering.", kQuickSilence},
        {"a tag one bit off", [](FakeAppleTV& to) { to.sendTampered(); },
         "A frame from the Apple TV did not decrypt."},
        {"a length past any real frame",
         [](FakeAppleTV& to) {
             to.sendRaw({0x08, 0xFF, 0xFF, 0xFF});
         },
         "The Apple TV sent a frame that cannot be read: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeAppleTV to(loop);
        closes.clear();
        connectTo(to, row.options);
        to.goSilent();
        std::optional<CompanionResult<>> pressed;
        std::optional<CompanionResult<OpackValue>> asked;
        connection->press(CompanionKey::up, into(pressed));
        connection->request("FetchLaunchableApplicationsEvent", OpackValue::Dictionary{}, 5.0,
                            into(asked));
        dropOnClose = row.dropInHook;
        row.end(to);
        ASSERT_TRUE(runUntil([&] { return !closes.empty() && pressed && asked; }));
        ASSERT_EQ(closes.size(), 1U);
        EXPECT_NE(closes[0].find(row.says), std::string::npos) << closes[0];
        EXPECT_EQ(pressed->error().sentence, closes[0]);
        EXPECT_EQ(asked->error().sentence, closes[0]);
        EXPECT_EQ(!connection, row.dropInHook);
        if (!connection) continue;
        // After the end, calls fail with the same sentence.
        const auto after = await<CompanionResult<>>(
            [&](auto done) { connection->press(CompanionKey::select, done); });
        EXPECT_EQ(after.error().sentence, closes[0]);
        EXPECT_EQ(closes.size(), 1U);
    }
}

TEST_F(CompanionConnectionTest, AQuietTVThatAnswersItsProbesStaysConnected) {
    connectTo(tv, kQuickSilence);
    ASSERT_TRUE(runUntil([&] { return !powers.empty(); }));  // nothing else quits the loop now
    const std::size_t before = tv.requests().size();
    // Several silence limits of nothing but probes.
    EXPECT_FALSE(test::runGuarded(loop, 5 * kQuickSilence.silenceLimit));
    EXPECT_TRUE(closes.empty());
    EXPECT_GE(tv.requests().size(), before + 3);
}

TEST_F(CompanionConnectionTest, TheOwnerMayDestroyItFromInsideACompletion) {
    connectTo(tv);
    bool secondCalled = false;
    bool firstCalled = false;
    connection->press(CompanionKey::up, [&](const CompanionResult<>&) {
        firstCalled = true;
        connection.reset();
        loop.quit();
    });
    connection->press(CompanionKey::down, [&](const CompanionResult<>&) { secondCalled = true; });
    ASSERT_TRUE(runUntil([&] { return firstCalled; }));
    EXPECT_FALSE(test::runGuarded(loop, 0.05));
    EXPECT_FALSE(secondCalled);
    EXPECT_EQ(tv.presses(), (std::vector<Press>{{1, 1}, {1, 2}}));
    EXPECT_TRUE(closes.empty());
}

TEST_F(CompanionConnectionTest, TheTVsOwnRequestsAreAnswered) {
    connectTo(tv);
    tv.setOnRecord([this] { loop.quit(); });
    tv.ask("_ping", 4242);
    ASSERT_TRUE(runUntil([&] { return !tv.answers().empty(); }));
    EXPECT_EQ(tv.answers(), std::vector<std::int64_t>{4242});
    EXPECT_TRUE(closes.empty());
}

TEST_F(CompanionConnectionTest, RequestsWaitForTheSessionAndRefusalsFail) {
    connection = open(tv);
    EXPECT_FALSE(ask("_launchApp", OpackValue::Dictionary{}, 1.0));
    EXPECT_TRUE(tv.requests().empty());

    connectTo(tv);
    const auto refused =
        ask("_launchApp", OpackValue::Dictionary{{"_bundleID", "com.example"}}, 1.0);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().sentence,
              "The Apple TV refused _launchApp: No request handler (58822).");
    EXPECT_EQ(*tv.lastContent("_launchApp")->find("_bundleID"), OpackValue("com.example"));

    tv.goSilent();
    const auto late = ask("_launchApp", OpackValue::Dictionary{}, 0.05);
    ASSERT_FALSE(late);
    EXPECT_EQ(late.error().sentence, "The Apple TV did not answer _launchApp in time.");
    EXPECT_TRUE(closes.empty());
}

}  // namespace
}  // namespace orvel
