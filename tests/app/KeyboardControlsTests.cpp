// KeyboardControls on fake backends: which shortcut is in force after the start and after a
// change, and what the settings are told, including the fall-back to the default at start only.

#include "app/KeyboardControls.hpp"

#include <gtest/gtest.h>

#include "../input/FakeHotKeyBackend.hpp"
#include "../input/FakeMediaKeyBackend.hpp"
#include "../session/SessionHarness.hpp"

namespace orvel::test {
namespace {

constexpr KeyboardShortcut kCtrlAltA{0, KeyboardShortcut::kCtrl | KeyboardShortcut::kAlt};
constexpr const char* kInUse = "This shortcut is already in use. Choose another combination.";

struct Rig {
    explicit Rig(const nlohmann::json& stored) : h(stored) {
        AppStore& store = h.make();
        auto hotKeyBackend = std::make_unique<FakeHotKeyBackend>();
        hotKey = hotKeyBackend.get();
        auto mediaBackend = std::make_unique<FakeMediaKeyBackend>();
        media = mediaBackend.get();
        keys = std::make_unique<KeyboardControls>(
            h.loop, store,
            KeyboardControls::Backends{std::move(hotKeyBackend), std::move(mediaBackend), {}},
            std::nullopt, [this] { ++actions; });
    }

    SessionHarness h;
    FakeHotKeyBackend* hotKey = nullptr;
    FakeMediaKeyBackend* media = nullptr;
    std::unique_ptr<KeyboardControls> keys;
    int actions = 0;
};

nlohmann::json storing(const KeyboardShortcut& shortcut, const std::string& label) {
    return {{"shortcutCode", shortcut.code},
            {"shortcutModifiers", shortcut.modifiers},
            {"shortcutLabel", label}};
}

TEST(KeyboardControls, AtStartAShortcutThatWasTakenGivesWayToTheDefaultWhenThatIsFree) {
    struct Case {
        const char* name;
        KeyboardShortcut stored;
        std::vector<KeyboardShortcut> refused;
        KeyboardShortcut inForce;  // stored afterwards
        std::string label;
        std::string error;
    };
    const KeyboardShortcut kDefault = KeyboardShortcut::kDefault;
    const std::string kDefaultLabel{KeyboardShortcut::kDefaultLabel};
    const std::string restored = std::string(kInUse) + " Restored Ctrl+Alt+Super+P.";
    const std::vector<Case> cases{
        {"free", kCtrlAltA, {}, kCtrlAltA, "Ctrl+Alt+A", ""},
        {"taken", kCtrlAltA, {kCtrlAltA}, kDefault, kDefaultLabel, restored},
        {"both taken", kCtrlAltA, {kCtrlAltA, kDefault}, kCtrlAltA, "Ctrl+Alt+A", kInUse},
        {"the default taken", kDefault, {kDefault}, kDefault, kDefaultLabel, kInUse},
    };
    for (const auto& c : cases) {
        Rig rig(storing(c.stored, c.stored == kDefault ? kDefaultLabel : "Ctrl+Alt+A"));
        for (const auto& each : c.refused) rig.hotKey->refuse(each, {.inUse = true});
        rig.keys->start();
        const auto& state = rig.h.state();
        EXPECT_EQ((KeyboardShortcut{state.shortcutCode, state.shortcutModifiers}), c.inForce)
            << c.name;
        EXPECT_EQ(state.shortcutLabel, c.label) << c.name;
        EXPECT_EQ(state.shortcutError, c.error) << c.name;
        EXPECT_EQ(rig.keys->hotKey().shortcut().has_value(), c.error != kInUse) << c.name;
    }
}

TEST(KeyboardControls, ALaterChangeThatFailsKeepsTheUsersChoiceAndTheOldShortcut) {
    Rig rig(storing(KeyboardShortcut::kDefault, "Ctrl+Alt+Super+P"));
    rig.keys->start();
    rig.hotKey->refuse(kCtrlAltA, {.inUse = true});
    rig.h.store->setShortcut(kCtrlAltA.code, kCtrlAltA.modifiers, "Ctrl+Alt+A");
    EXPECT_EQ(rig.h.state().shortcutCode, kCtrlAltA.code);
    EXPECT_EQ(rig.h.state().shortcutError, kInUse);
    EXPECT_EQ(rig.keys->hotKey().shortcut(), KeyboardShortcut::kDefault);
}

TEST(KeyboardControls, StopReleasesTheShortcutAndOnceGoneTheSessionNoLongerCallsIn) {
    Rig rig(nlohmann::json::object());
    rig.keys->start();
    ASSERT_TRUE(rig.keys->hotKey().shortcut());
    rig.keys->stop();
    EXPECT_FALSE(rig.keys->hotKey().shortcut());
    rig.keys.reset();
    // Hooks left in the store would run on what is gone (the sanitizer build says so).
    rig.h.store->setMediaKeys(false);
    rig.h.store->setShortcut(kCtrlAltA.code, kCtrlAltA.modifiers, "Ctrl+Alt+A");
    rig.h.idle();
}

}  // namespace
}  // namespace orvel::test
