#include "input/x11/X11MediaKeyBackend.hpp"

#include <gmock/gmock.h>
#include <sys/socket.h>

#include "X11Fixture.hpp"
#include "input/KeyCodes.hpp"

namespace orvel {
namespace {

using test::kSuperL;
using Phase = MediaKeyPress::Phase;

constexpr std::uint32_t kPlayKeysym = 0x1008ff14;
constexpr std::uint32_t kRaiseVolumeKeysym = 0x1008ff13;
constexpr std::uint32_t kNextKeysym = 0x1008ff17;

struct Seen {
    MediaKeyPress press;
    bool super;
    bool other;
    bool operator==(const Seen&) const = default;
};

class X11MediaKeyBackendTest : public test::X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        backend = std::make_unique<X11MediaKeyBackend>(connection);
        ASSERT_EQ(backend->readiness(), MediaKeyBackend::Readiness::ready);
    }

    MediaKeyBackend::Presses recording() {
        return [this](const MediaKeyPress& press, bool super, bool other) {
            seen.push_back({press, super, other});
            return take;
        };
    }
    std::vector<MediaKeyPress> pressesSeen() const {
        std::vector<MediaKeyPress> presses;
        for (const auto& each : seen) presses.push_back(each.press);
        return presses;
    }
    // Super+Play as typed: taken with its release, both with Super held.
    void expectSuperPlay(xcb_keycode_t play) {
        client->tap({key(kSuperL), play});
        runUntil([&] { return seen.size() >= 2; });
        EXPECT_THAT(seen,
                    testing::ElementsAre(Seen{{MediaKeyPress::kPlay, Phase::down}, true, false},
                                         Seen{{MediaKeyPress::kPlay, Phase::up}, true, false}));
    }
    // After a sequence the keyboard must be free again, and a new Super+Next a fresh press.
    void expectAFreshSuperNext() {
        seen.clear();
        ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay, MediaKeyPress::kNext}, recording()));
        client->tap({key(kSuperL), key(kNextKeysym)});
        client->tap({key(test::kLetterA)});
        EXPECT_TRUE(runUntil([&] { return client->received(key(test::kLetterA)); }))
            << "the keyboard stayed frozen";
        runUntil([&] { return seen.size() >= 2; });
        EXPECT_THAT(pressesSeen(),
                    testing::ElementsAre(MediaKeyPress{MediaKeyPress::kNext, Phase::down, false},
                                         MediaKeyPress{MediaKeyPress::kNext, Phase::up, false}));
    }

    std::unique_ptr<X11MediaKeyBackend> backend;
    std::vector<Seen> seen;
    bool take = true;
};

TEST_F(X11MediaKeyBackendTest, SuperPlayIsTakenWithItsRelease) {
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay}, recording()));
    EXPECT_TRUE(backend->capturing());
    expectSuperPlay(key(kPlayKeysym));
    EXPECT_FALSE(reachesWindow(key(kPlayKeysym)));
}

TEST_F(X11MediaKeyBackendTest, HeldSuperRaiseVolumeRepeatsFlaggedAsRepeats) {
    ASSERT_TRUE(backend->capture({MediaKeyPress::kVolumeUp}, recording()));
    client->press(key(kSuperL));
    client->press(key(kRaiseVolumeKeysym));
    ASSERT_TRUE(runUntil([&] { return seen.size() >= 3; })) << "the key never repeated";
    client->release(key(kRaiseVolumeKeysym));
    client->release(key(kSuperL));
    runUntil([&] { return !seen.empty() && seen.back().press.phase == Phase::up; });

    ASSERT_GE(seen.size(), 4U);
    EXPECT_EQ(seen[0].press, (MediaKeyPress{MediaKeyPress::kVolumeUp, Phase::down, false}));
    for (std::size_t i = 1; i + 1 < seen.size(); ++i) {
        EXPECT_EQ(seen[i].press, (MediaKeyPress{MediaKeyPress::kVolumeUp, Phase::down, true}));
    }
    EXPECT_EQ(seen.back().press.phase, Phase::up);
}

TEST_F(X11MediaKeyBackendTest, KeysPressedDuringAnotherKeysGrabAreLetGoWhenItEnds) {
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay, MediaKeyPress::kNext}, recording()));
    client->press(key(kSuperL));
    client->press(key(kPlayKeysym));
    client->press(key(kNextKeysym));
    client->release(key(kPlayKeysym));  // ends the grab: Next's release goes to the window
    client->release(key(kNextKeysym));
    client->release(key(kSuperL));
    runUntil([&] { return seen.size() >= 4; });

    EXPECT_THAT(pressesSeen(),
                testing::ElementsAre(MediaKeyPress{MediaKeyPress::kPlay, Phase::down, false},
                                     MediaKeyPress{MediaKeyPress::kNext, Phase::down, false},
                                     MediaKeyPress{MediaKeyPress::kPlay, Phase::up, false},
                                     MediaKeyPress{MediaKeyPress::kNext, Phase::up, false}));
    expectAFreshSuperNext();
}

TEST_F(X11MediaKeyBackendTest, AKeyLetGoOfWhileHeldIsFreshWhenTakenAgain) {
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay, MediaKeyPress::kNext}, recording()));
    client->press(key(kSuperL));
    client->press(key(kNextKeysym));
    ASSERT_TRUE(runUntil([&] { return !seen.empty(); }));
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay}, recording()));
    int released = 0;  // the backend, subscribed first, has seen it too
    const auto watching = countEvents(XCB_KEY_RELEASE, key(kNextKeysym), released);
    client->release(key(kNextKeysym));
    client->release(key(kSuperL));
    ASSERT_TRUE(runUntil([&] { return released > 0; }));

    expectAFreshSuperNext();
}

TEST_F(X11MediaKeyBackendTest, PlayWithoutSuperIsNeverGrabbed) {
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay}, recording()));
    client->tap({key(kPlayKeysym)});

    EXPECT_TRUE(reachesWindow(key(kPlayKeysym)));
    EXPECT_THAT(seen, testing::IsEmpty());
}

TEST_F(X11MediaKeyBackendTest, APressLeftToTheDesktopReachesTheFocusedWindow) {
    take = false;
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay}, recording()));
    client->tap({key(kSuperL), key(kPlayKeysym)});
    runUntil([&] { return !seen.empty(); });

    EXPECT_TRUE(reachesWindow(key(kPlayKeysym)));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0], (Seen{{MediaKeyPress::kPlay, Phase::down}, true, false}));
    const auto& keys = client->keys();
    const auto play = std::ranges::find_if(
        keys, [&](const auto& each) { return each.keycode == key(kPlayKeysym); });
    ASSERT_NE(play, keys.end());
    EXPECT_NE(play->state & KeyCodes::kX11Mod4, 0);
}

TEST_F(X11MediaKeyBackendTest, CapturingNothingReleasesEveryKey) {
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay, MediaKeyPress::kNext}, recording()));
    ASSERT_TRUE(backend->capture({}, recording()));
    EXPECT_FALSE(backend->capturing());
    client->tap({key(kSuperL), key(kPlayKeysym)});

    EXPECT_TRUE(reachesWindow(key(kPlayKeysym)));
    EXPECT_THAT(seen, testing::IsEmpty());
}

TEST_F(X11MediaKeyBackendTest, AKeyAnotherClientHoldsFailsTheWholeCapture) {
    ASSERT_EQ(client->grab(key(kPlayKeysym), KeyCodes::kX11Mod4), 0);

    EXPECT_FALSE(backend->capture({MediaKeyPress::kVolumeUp, MediaKeyPress::kPlay}, recording()));
    EXPECT_FALSE(backend->capturing());
    client->tap({key(kSuperL), key(kRaiseVolumeKeysym)});
    EXPECT_TRUE(reachesWindow(key(kRaiseVolumeKeysym)));
}

TEST_F(X11MediaKeyBackendTest, AfterTheServerWentAwayTheNextSyncCapturesAgain) {
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay}, recording()));
    ASSERT_EQ(::shutdown(connection->descriptor(), SHUT_RDWR), 0);
    ASSERT_TRUE(runUntil([&] { return !backend->capturing(); }));

    ASSERT_EQ(backend->readiness(), MediaKeyBackend::Readiness::ready);
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay}, recording()));
    expectSuperPlay(key(kPlayKeysym));
}

TEST_F(X11MediaKeyBackendTest, AKeyMappedLaterIsCapturedToo) {
    constexpr xcb_keycode_t kSpare = 250;  // no symbol on the server's layout
    ASSERT_TRUE(backend->capture({MediaKeyPress::kPlay}, recording()));
    bool remapped = false;
    auto watching = connection->subscribe(
        [&](const xcb_generic_event_t& event) { remapped |= connection->remapsKeys(event); });
    client->map(kSpare, kPlayKeysym);
    ASSERT_TRUE(runUntil([&] { return remapped; }));
    expectSuperPlay(kSpare);
    client->map(kSpare, 0);
}

TEST_F(X11MediaKeyBackendTest, WithoutAnXServerTheKeysAreUnavailable) {
    test::ScopedEnvironment environment;
    environment.unset("DISPLAY");
    X11MediaKeyBackend nowhere(X11Connection::create(loop, {}));
    EXPECT_EQ(nowhere.readiness(), MediaKeyBackend::Readiness::unavailable);
}

}  // namespace
}  // namespace orvel
