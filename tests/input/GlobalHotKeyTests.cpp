#include "input/GlobalHotKey.hpp"

#include <gtest/gtest.h>

#include "../session/SessionHarness.hpp"
#include "FakeHotKeyBackend.hpp"

namespace orvel::test {
namespace {

using Calls = std::vector<std::string>;
using StartFailure = HotKeyBackend::StartFailure;
using Refusal = HotKeyBackend::Refusal;
constexpr auto kCtrl = KeyboardShortcut::kCtrl;
constexpr auto kAlt = KeyboardShortcut::kAlt;

const KeyboardShortcut kA = KeyboardShortcut::kDefault;  // grabbed as "35+0x1900"
const KeyboardShortcut kB{11, kCtrl | kAlt};             // "11+0x1800"
const KeyboardShortcut kC{8, kAlt};                      // "8+0x800"
constexpr const char* kInUse = "This shortcut is already in use. Choose another combination.";

// One hot key on a fake desktop whose own shortcuts are `desktop`, on its own loop unless
// given one; its action counts.
struct Rig {
    explicit Rig(MainLoop* on = nullptr) {
        auto fake = std::make_unique<FakeHotKeyBackend>();
        backend = fake.get();
        hotKey = GlobalHotKey::create(on ? *on : loop, std::move(fake), [this] { return desktop; });
        hotKey->setAction([this] { ++actions; });
    }
    bool add(const KeyboardShortcut& shortcut) { return hotKey->registerShortcut(shortcut); }

    ManualLoop loop;
    std::vector<KeyboardShortcut> desktop;
    FakeHotKeyBackend* backend = nullptr;  // owned by hotKey
    std::shared_ptr<GlobalHotKey> hotKey;
    int actions = 0;
};

TEST(GlobalHotKey, FailuresSayWhyAndHoldNothing) {
    const struct {
        std::string message;
        std::optional<StartFailure> start = {};
        std::optional<Refusal> refusal = {};
        std::vector<KeyboardShortcut> desktop = {};
    } cases[] = {
        {.message = "Couldn\u2019t start keyboard shortcuts (-3). Restart Orvel to try again.",
         .start = StartFailure{.code = -3}},
        {.message = "This desktop offers no global shortcuts to applications; open the remote from "
                    "the tray icon or by starting Orvel again.",
         .start = StartFailure{.unsupported = true}},
        {.message = "This shortcut is used by the desktop. Choose another combination.",
         .desktop = {kB, kA}},
        {.message = kInUse, .refusal = Refusal{.inUse = true}},
        {.message = "Couldn\u2019t register this shortcut (10). Choose another combination.",
         .refusal = Refusal{.code = 10}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.backend->startFailure = c.start;
        if (c.refusal) rig.backend->refuse(kA, *c.refusal);
        rig.desktop = c.desktop;
        EXPECT_FALSE(rig.add(kA)) << c.message;
        EXPECT_EQ(rig.hotKey->errorMessage(), c.message);
        EXPECT_EQ(rig.backend->calls.size(), c.refusal ? 2u : 1u) << "a grab only when asked for";
        EXPECT_EQ(rig.hotKey->shortcut(), std::nullopt) << c.message;
    }
}

TEST(GlobalHotKey, TheDesktopsOwnNeedCodeAndMaskAndTheOneInForceAgainCostsNothing) {
    Rig rig;
    const KeyboardShortcut sameKey{kA.code, kCtrl | kAlt};
    rig.desktop = {kA};
    EXPECT_FALSE(rig.add(kA));
    EXPECT_TRUE(rig.add(sameKey));
    rig.desktop = {kA, sameKey};
    EXPECT_FALSE(rig.add(kA));
    EXPECT_TRUE(rig.add(sameKey));
    EXPECT_EQ(rig.hotKey->errorMessage(), "");
    EXPECT_EQ(rig.backend->calls, (Calls{"start", "grab 35+0x1800 #1 -> t1"}));
}

TEST(GlobalHotKey, ReplacingGrabsTheNewFirstAndARefusalKeepsTheOld) {
    Rig rig;
    ASSERT_TRUE(rig.add(kA));
    ASSERT_TRUE(rig.add(kB));
    rig.backend->refuse(kC, {.code = 2});
    EXPECT_FALSE(rig.add(kC));
    EXPECT_EQ(rig.hotKey->shortcut(), kB);
    rig.backend->emit(1);  // replaced
    rig.backend->emit(3);  // refused
    rig.loop.runUntilIdle();
    EXPECT_EQ(rig.actions, 0);
    rig.backend->emit(2);
    rig.loop.runUntilIdle();
    EXPECT_EQ(rig.actions, 1);
    ASSERT_TRUE(rig.add(kA));
    EXPECT_EQ(rig.backend->calls,
              (Calls{"start", "grab 35+0x1900 #1 -> t1", "grab 11+0x1800 #2 -> t2", "ungrab t1",
                     "grab 8+0x800 #3 refused", "grab 35+0x1900 #4 -> t3", "ungrab t2"}));
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
        Rig rig;
        ASSERT_TRUE(rig.add(kA));
        for (bool pressed : c.events) rig.backend->emit(1, pressed);
        rig.loop.runUntilIdle();
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
        {"replaced", [](Rig& r) { ASSERT_TRUE(r.add(kB)); }, 0},
        {"stopped", [](Rig& r) { r.hotKey->stop(); }, 0},
        {"gone", [](Rig& r) { r.hotKey.reset(); }, 0},
    };
    for (const auto& c : cases) {
        Rig rig;
        ASSERT_TRUE(rig.add(kA));
        rig.backend->emit(1);
        EXPECT_EQ(rig.actions, 0) << "ran inside the backend's event";
        c.change(rig);
        rig.loop.runUntilIdle();
        EXPECT_EQ(rig.actions, c.actions) << c.meanwhile;
    }
}

TEST(GlobalHotKey, StopReleasesEverythingAndIdentifiersAreNeverReused) {
    Rig rig;
    rig.hotKey->stop();  // never started: nothing to release
    ASSERT_TRUE(rig.add(kA));
    rig.hotKey->stop();
    EXPECT_EQ(rig.hotKey->shortcut(), std::nullopt);
    ASSERT_TRUE(rig.add(kA));
    EXPECT_EQ(rig.backend->calls, (Calls{"start", "grab 35+0x1900 #1 -> t1", "ungrab t1", "stop",
                                         "start", "grab 35+0x1900 #2 -> t2"}));
    rig.backend->emit(2);
    rig.loop.runUntilIdle();
    EXPECT_EQ(rig.actions, 1);
}

TEST(GlobalHotKey, RecordingANewShortcut) {
    const KeyboardShortcut ctrlAltA{0, kCtrl | kAlt};
    const struct {
        bool recording;
        KeyboardShortcut pressed;
        bool refused;  // the desktop refuses `pressed` as in use
        bool stillRecording;
        std::string error;  // was "earlier"
    } cases[] = {
        {false, ctrlAltA, false, false, "earlier"},
        {true, {GlobalHotKey::kEscapeCode, kCtrl}, false, false, "earlier"},
        {true, {0, KeyboardShortcut::kShift}, false, true, "Include Super, Ctrl, or Alt."},
        {true, ctrlAltA, true, true, kInUse},
        {true, ctrlAltA, false, false, ""},
    };
    for (const auto& c : cases) {
        SessionHarness h;
        AppStore& store = h.make();
        Rig rig(&h.loop);
        store.setRecordingShortcut(c.recording);
        store.setShortcutError("earlier");
        if (c.refused) rig.backend->refuse(c.pressed, {.inUse = true});
        rig.hotKey->record(store, c.pressed, "a");
        const bool accepted = c.error.empty();
        EXPECT_EQ(h.state().recordingShortcut, c.stillRecording) << c.error;
        EXPECT_EQ(h.state().shortcutError, c.error);
        EXPECT_EQ((KeyboardShortcut{h.state().shortcutCode, h.state().shortcutModifiers}),
                  accepted ? ctrlAltA : kA)
            << c.error;
        EXPECT_EQ(h.state().shortcutLabel, accepted ? "Ctrl+Alt+A" : "Ctrl+Alt+Super+P");
        EXPECT_EQ(rig.hotKey->shortcut().has_value(), accepted) << c.error;
    }
}

}  // namespace
}  // namespace orvel::test
