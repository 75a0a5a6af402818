#include "input/x11/X11HotKeyBackend.hpp"

#include <gmock/gmock.h>
#include <sys/socket.h>

#include "X11Fixture.hpp"
#include "input/KeyCodes.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel {
namespace {

using test::kAltL;
using test::kControlL;
using test::kShiftL;
using test::kSuperL;
using Event = std::pair<std::uint32_t, bool>;

constexpr std::uint32_t kP = 0x70;
constexpr std::uint32_t kK = 0x6b;
constexpr KeyboardShortcut kShiftSuperK{40, KeyboardShortcut::kShift | KeyboardShortcut::kSuper};

class X11HotKeyBackendTest : public test::X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        backend = std::make_unique<X11HotKeyBackend>(connection);
        ASSERT_EQ(backend->start(
                      [this](std::uint32_t id, bool pressed) { events.emplace_back(id, pressed); }),
                  std::nullopt);
    }

    // A refusal throws, failing the test.
    HotKeyBackend::Token grab(const KeyboardShortcut& shortcut, std::uint32_t id) {
        return std::get<HotKeyBackend::Token>(backend->grab(shortcut, id));
    }
    std::vector<xcb_keycode_t> ctrlAltSuperP() {
        return {key(kControlL), key(kAltL), key(kSuperL), key(kP)};
    }
    // Types the default shortcut: `id` pressed once and released once.
    void expectOneTapOf(std::uint32_t id) {
        client->tap(ctrlAltSuperP());
        runUntil([&] { return events.size() >= 2; });
        EXPECT_THAT(events, testing::ElementsAre(Event{id, true}, Event{id, false}));
    }

    std::unique_ptr<X11HotKeyBackend> backend;
    std::vector<Event> events;
};

TEST_F(X11HotKeyBackendTest, AHeldShortcutPressesOnceAndReleasesOnceWhileTheKeyRepeats) {
    grab(KeyboardShortcut::kDefault, 7);
    int rawPresses = 0;
    const auto watching = countEvents(XCB_KEY_PRESS, key(kP), rawPresses);
    const auto keys = ctrlAltSuperP();
    for (auto each : keys) client->press(each);
    ASSERT_TRUE(runUntil([&] { return rawPresses >= 4; })) << "the key never repeated";
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) client->release(*it);
    runUntil([&] { return events.size() >= 2; });

    EXPECT_THAT(events, testing::ElementsAre(Event{7, true}, Event{7, false}));
}

TEST_F(X11HotKeyBackendTest, TheShortcutWorksWithTheLocksOn) {
    grab(KeyboardShortcut::kDefault, 3);
    const std::pair<const char*, std::vector<std::uint32_t>> cases[] = {
        {"NumLock", {test::kNumLock}},
        {"CapsLock", {test::kCapsLock}},
        {"both", {test::kNumLock, test::kCapsLock}},
    };
    for (const auto& [name, locks] : cases) {
        SCOPED_TRACE(name);
        for (auto lock : locks) client->tap({key(lock)});
        expectOneTapOf(3);
        for (auto lock : locks) client->tap({key(lock)});
        events.clear();
    }
}

TEST_F(X11HotKeyBackendTest, AConnectionReopenedAfterTheServerWentAwayHasTheShortcutAgain) {
    grab(KeyboardShortcut::kDefault, 5);
    ASSERT_EQ(::shutdown(connection->descriptor(), SHUT_RDWR), 0);
    ASSERT_TRUE(runUntil([&] { return !connection->isOpen(); }));
    ASSERT_EQ(connection->open(), std::nullopt);  // as the media keys' next sync does
    expectOneTapOf(5);
}

TEST_F(X11HotKeyBackendTest, AloneItReconnectsByItselfAndGrabsAgain) {
    ManualLoop manual;
    auto own = X11Connection::create(manual, {});
    X11HotKeyBackend alone(own);
    ASSERT_EQ(alone.start({}), std::nullopt);
    ASSERT_TRUE(std::holds_alternative<HotKeyBackend::Token>(alone.grab(kShiftSuperK, 1)));
    ASSERT_EQ(::shutdown(own->descriptor(), SHUT_RDWR), 0);
    manual.runUntilIdle();  // the drain finds the server gone
    ASSERT_FALSE(own->isOpen());

    manual.advance(X11HotKeyBackend::kReconnectSeconds);
    EXPECT_TRUE(own->isOpen());
    EXPECT_EQ(client->grab(key(kK), KeyCodes::kX11Shift | KeyCodes::kX11Mod4),
              X11Connection::kBadAccess);
}

TEST_F(X11HotKeyBackendTest, ACombinationAnotherClientHoldsIsInUseAndTheOldGrabKeepsWorking) {
    grab(KeyboardShortcut::kDefault, 1);
    // Only the plain variant: our lock variants would succeed and must be given back.
    ASSERT_EQ(client->grab(key(kK), KeyCodes::kX11Shift | KeyCodes::kX11Mod4), 0);

    EXPECT_EQ(std::get<HotKeyBackend::Refusal>(backend->grab(kShiftSuperK, 2)),
              HotKeyBackend::Refusal{.inUse = true});

    expectOneTapOf(1);
    client->tap({key(test::kNumLock)});
    client->tap({key(kShiftL), key(kSuperL), key(kK)});
    EXPECT_TRUE(reachesWindow(key(kK))) << "a lock variant stayed grabbed";
    client->tap({key(test::kNumLock)});
}

TEST_F(X11HotKeyBackendTest, AnUngrabbedShortcutReachesTheFocusedWindowAgain) {
    backend->ungrab(grab(kShiftSuperK, 4));
    client->tap({key(kShiftL), key(kSuperL), key(kK)});

    EXPECT_TRUE(reachesWindow(key(kK)));
    EXPECT_THAT(events, testing::IsEmpty());
}

TEST_F(X11HotKeyBackendTest, AKeyOffTheTableIsRefusedWithItsOwnCode) {
    EXPECT_EQ(std::get<HotKeyBackend::Refusal>(backend->grab({200, KeyboardShortcut::kSuper}, 1)),
              HotKeyBackend::Refusal{.code = X11HotKeyBackend::kNoSuchKey});
}

TEST_F(X11HotKeyBackendTest, OnlyAWaylandDisplayIsUnsupportedAndNoDisplayAtAllACode) {
    test::ScopedEnvironment environment;
    environment.unset("DISPLAY");
    environment.set("WAYLAND_DISPLAY", "wayland-0");
    X11HotKeyBackend wayland(X11Connection::create(loop, {}));
    const auto onWayland = wayland.start({});
    environment.unset("WAYLAND_DISPLAY");
    X11HotKeyBackend nothing(X11Connection::create(loop, {}));
    const auto onNothing = nothing.start({});

    EXPECT_EQ(onWayland, HotKeyBackend::StartFailure{.unsupported = true});
    ASSERT_TRUE(onNothing.has_value());
    EXPECT_FALSE(onNothing->unsupported);
    EXPECT_NE(onNothing->code, 0);
}

}  // namespace
}  // namespace orvel
