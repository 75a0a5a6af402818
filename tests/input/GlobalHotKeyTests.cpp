#include "input/GlobalHotKey.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../session/SessionHarness.hpp"
#include "FakeHotKeyBackend.hpp"
#include "platform/ManualLoop.hpp"

namespace orvel::test {
namespace {

using Calls = std::vector<std::string>;
constexpr auto kCtrl = KeyboardShortcut::kCtrl;
constexpr auto kAlt = KeyboardShortcut::kAlt;
constexpr auto kShift = KeyboardShortcut::kShift;

const KeyboardShortcut kA = KeyboardShortcut::kDefault;  // grabbed as "35+0x1900"
const KeyboardShortcut kB{11, kCtrl | kAlt};             // "11+0x1800"
const KeyboardShortcut kC{8, kAlt};                      // "8+0x800"

// One hot key on a fake desktop that takes the shortcuts in `desktop` for itself; its action
// counts.
struct Rig {
    explicit Rig(MainLoop& loop) {
        auto fake = std::make_unique<FakeHotKeyBackend>();
        backend = fake.get();
        hotKey = GlobalHotKey::create(loop, std::move(fake), [this] { return desktop; });
        hotKey->setAction([this] { ++actions; });
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    std::vector<KeyboardShortcut> desktop;
    FakeHotKeyBackend* backend = nullptr;  // owned by hotKey
    std::shared_ptr<GlobalHotKey> hotKey;
    int actions = 0;
};

TEST(GlobalHotKey, FailuresSayWhyAndHoldNothing) {
    const struct {
        const char* name;
        std::function<void(Rig&)> setUp;
        Calls calls;
        std::string message;
    } cases[] = {
        {"start fails",
         [](Rig& r) { r.backend->startFailure = {.code = -3}; },
         {"start"},
         "Couldn\u2019t start keyboard shortcuts (-3). Restart Orvel to try again."},
        {"no shortcuts here",
         [](Rig& r) { r.backend->startFailure = {.unsupported = true}; },
         {"start"},
         "This desktop offers no global shortcuts to applications; open the remote from the tray "
         "icon or by starting Orvel again."},
        {"the desktop's own",
         [](Rig& r) {
             r.desktop = {kB, kA};
         },
         {"start"},
         "This shortcut is used by the desktop. Choose another combination."},
        {"in use",
         [](Rig& r) { r.backend->refuse(kA, {.inUse = true}); },
         {"start", "grab 35+0x1900 #1 refused"},
         "This shortcut is already in use. Choose another combination."},
        {"other refusal",
         [](Rig& r) { r.backend->refuse(kA, {.code = 10}); },
         {"start", "grab 35+0x1900 #1 refused"},
         "Couldn\u2019t register this shortcut (10). Choose another combination."},
    };
    for (const auto& c : cases) {
        ManualLoop loop;
        Rig rig(loop);
        c.setUp(rig);
        EXPECT_FALSE(rig.hotKey->registerShortcut(kA)) << c.name;
        EXPECT_EQ(rig.hotKey->errorMessage(), c.message) << c.name;
        EXPECT_EQ(rig.backend->calls, c.calls) << c.name;
        EXPECT_EQ(rig.hotKey->shortcut(), std::nullopt) << c.name;
    }
}

TEST(GlobalHotKey, TheDesktopsOwnNeedSameCodeAndMaskAndUseNoIdentifier) {
    ManualLoop loop;
    Rig rig(loop);
    rig.desktop = {kA};
    EXPECT_FALSE(rig.hotKey->registerShortcut(kA));
    EXPECT_TRUE(rig.hotKey->registerShortcut({kA.code, kCtrl | kAlt}));
    EXPECT_EQ(rig.backend->takeCalls(), (Calls{"start", "grab 35+0x1800 #1 -> t1"}));
    EXPECT_EQ(rig.hotKey->errorMessage(), "");
}

TEST(GlobalHotKey, TheShortcutInForceAgainCostsNothing) {
    ManualLoop loop;
    Rig rig(loop);
    ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
    rig.desktop = {kB};
    EXPECT_FALSE(rig.hotKey->registerShortcut(kB));
    rig.backend->takeCalls();
    EXPECT_TRUE(rig.hotKey->registerShortcut(kA));
    EXPECT_EQ(rig.hotKey->errorMessage(), "");
    EXPECT_EQ(rig.backend->calls, Calls{});
}

TEST(GlobalHotKey, ReplacingGrabsTheNewFirstAndARefusalKeepsTheOld) {
    ManualLoop loop;
    Rig rig(loop);
    ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
    ASSERT_TRUE(rig.hotKey->registerShortcut(kB));
    rig.backend->refuse(kC, {.code = 2});
    EXPECT_FALSE(rig.hotKey->registerShortcut(kC));
    EXPECT_EQ(rig.hotKey->shortcut(), kB);
    rig.backend->press(2);
    loop.runUntilIdle();
    EXPECT_EQ(rig.actions, 1);
    // Identifiers go on counting past the refused one.
    ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
    EXPECT_EQ(rig.backend->calls,
              (Calls{"start", "grab 35+0x1900 #1 -> t1", "grab 11+0x1800 #2 -> t2", "ungrab t1",
                     "grab 8+0x800 #3 refused", "grab 35+0x1900 #4 -> t3", "ungrab t2"}));
}

TEST(GlobalHotKey, EventsOfOtherIdentifiersRunNothing) {
    ManualLoop loop;
    Rig rig(loop);
    ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
    ASSERT_TRUE(rig.hotKey->registerShortcut(kB));
    rig.backend->press(1);
    rig.backend->press(9);
    loop.runUntilIdle();
    EXPECT_EQ(rig.actions, 0);
    rig.backend->press(2);
    loop.runUntilIdle();
    EXPECT_EQ(rig.actions, 1);
}

TEST(GlobalHotKey, OneActionPerPress) {
    const struct {
        std::vector<bool> events;  // true: pressed
        int actions;
    } cases[] = {
        {{true, true, true}, 1},  // auto-repeat
        {{true, false, true}, 2},
        {{false, true, false}, 1},
        {{true, true, false, true, false, false, true}, 3},
    };
    for (const auto& c : cases) {
        ManualLoop loop;
        Rig rig(loop);
        ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
        for (bool pressed : c.events) rig.backend->emit(1, pressed);
        loop.runUntilIdle();
        EXPECT_EQ(rig.actions, c.actions) << testing::PrintToString(c.events);
    }
}

TEST(GlobalHotKey, TheActionRunsLaterAndOnlyForTheShortcutStillInForce) {
    const struct {
        const char* meanwhile;
        std::function<void(Rig&)> change;
        int actions;
    } cases[] = {
        {"nothing", [](Rig&) {}, 1},
        {"replaced", [](Rig& r) { ASSERT_TRUE(r.hotKey->registerShortcut(kB)); }, 0},
        {"stopped", [](Rig& r) { r.hotKey->stop(); }, 0},
        {"gone", [](Rig& r) { r.hotKey.reset(); }, 0},
    };
    for (const auto& c : cases) {
        ManualLoop loop;
        Rig rig(loop);
        ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
        rig.backend->press(1);
        EXPECT_EQ(rig.actions, 0) << "ran inside the backend's event";
        c.change(rig);
        loop.runUntilIdle();
        EXPECT_EQ(rig.actions, c.actions) << c.meanwhile;
    }
}

TEST(GlobalHotKey, StopReleasesEverythingAndIdentifiersAreNeverReused) {
    ManualLoop loop;
    Rig rig(loop);
    rig.hotKey->stop();
    EXPECT_EQ(rig.backend->takeCalls(), Calls{});
    ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
    rig.backend->takeCalls();
    rig.hotKey->stop();
    EXPECT_EQ(rig.backend->takeCalls(), (Calls{"ungrab t1", "stop"}));
    EXPECT_EQ(rig.hotKey->shortcut(), std::nullopt);
    ASSERT_TRUE(rig.hotKey->registerShortcut(kA));
    EXPECT_EQ(rig.backend->takeCalls(), (Calls{"start", "grab 35+0x1900 #2 -> t2"}));
    rig.backend->press(2);
    loop.runUntilIdle();
    EXPECT_EQ(rig.actions, 1);
}

TEST(GlobalHotKey, RecordingANewShortcut) {
    const KeyboardShortcut ctrlAltA{0, kCtrl | kAlt};
    const struct {
        const char* name;
        bool recording;
        KeyboardShortcut pressed;
        bool refused;  // the desktop refuses `pressed` as in use
        bool stillRecording;
        std::string error;  // was "earlier"
        KeyboardShortcut stored;
        std::string label;
    } cases[] = {
        {"not recording", false, ctrlAltA, false, false, "earlier", kA, "Ctrl+Alt+Super+P"},
        {"escape",
         true,
         {GlobalHotKey::kEscapeCode, kCtrl},
         false,
         false,
         "earlier",
         kA,
         "Ctrl+Alt+Super+P"},
        {"shift alone",
         true,
         {0, kShift},
         false,
         true,
         "Include Super, Ctrl, or Alt.",
         kA,
         "Ctrl+Alt+Super+P"},
        {"taken", true, ctrlAltA, true, true,
         "This shortcut is already in use. Choose another combination.", kA, "Ctrl+Alt+Super+P"},
        {"accepted", true, ctrlAltA, false, false, "", ctrlAltA, "Ctrl+Alt+A"},
    };
    for (const auto& c : cases) {
        SessionHarness h;
        AppStore& store = h.make();
        Rig rig(h.loop);
        store.setRecordingShortcut(c.recording);
        store.setShortcutError("earlier");
        if (c.refused) rig.backend->refuse(c.pressed, {.inUse = true});
        rig.hotKey->record(store, c.pressed, "a");
        EXPECT_EQ(h.state().recordingShortcut, c.stillRecording) << c.name;
        EXPECT_EQ(h.state().shortcutError, c.error) << c.name;
        const KeyboardShortcut stored{h.state().shortcutCode, h.state().shortcutModifiers};
        EXPECT_EQ(stored, c.stored) << c.name;
        EXPECT_EQ(h.state().shortcutLabel, c.label) << c.name;
        EXPECT_EQ(rig.hotKey->shortcut() == c.pressed, c.stored == c.pressed) << c.name;
    }
}

}  // namespace
}  // namespace orvel::test
