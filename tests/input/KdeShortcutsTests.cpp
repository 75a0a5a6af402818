#include "input/KdeShortcuts.hpp"

#include <gtest/gtest.h>

#include "../support/ScratchDir.hpp"

namespace orvel {
namespace {

using K = KeyboardShortcut;

TEST(KdeShortcuts, ReadsOneShortcut) {
    const std::pair<const char*, std::optional<KeyboardShortcut>> cases[] = {
        {"Meta+L", K{37, K::kSuper}},
        {"Ctrl+Alt+T", K{17, K::kCtrl | K::kAlt}},
        {"Alt+F4", K{118, K::kAlt}},
        {"Meta+Shift+Page Up", K{116, K::kSuper | K::kShift}},
        {"Meta+PgDown", K{121, K::kSuper}},
        {"Ctrl+Esc", K{53, K::kCtrl}},
        {"Alt+Shift+Backtab", K{48, K::kAlt | K::kShift}},
        {"Meta+Enter", K{76, K::kSuper}},
        {"Ctrl+Del", K{117, K::kCtrl}},
        {"Meta+Space", K{49, K::kSuper}},
        {"Ctrl+-", K{27, K::kCtrl}},
        {"Meta+,", K{43, K::kSuper}},
        {"Ctrl++", std::nullopt},
        {"Meta+Volume Up", std::nullopt},
        {"Num+5", std::nullopt},
        {"none", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(KdeShortcuts::parseShortcut(text), expected) << text;
}

constexpr const char* kSample = R"([$Version]
update_info=kded.upd:kde-5
[kwin]
_k_friendly_name=KWin
Window Close=Alt+F4,Alt+F4,Close Window
Switch to Desktop 1=Ctrl+F1\tMeta+1,Ctrl+F1,Switch to Desktop 1
Show Desktop=none,Meta+D,Peek at Desktop
Kill Window=,Meta+Ctrl+Esc,Kill Window
Broken=Hyper+Q,none,Unreadable
[ksmserver]
Lock Session=Meta+L\tScreensaver,Meta+L\tScreensaver,Lock Session
[services][org.kde.konsole.desktop]
_launch=Ctrl+Alt+T
)";

TEST(KdeShortcuts, ReadsTheActiveShortcutsOfEveryComponent) {
    const std::vector<KeyboardShortcut> expected{{118, K::kAlt},
                                                 {122, K::kCtrl},
                                                 {18, K::kSuper},
                                                 {37, K::kSuper},
                                                 {17, K::kCtrl | K::kAlt}};
    EXPECT_EQ(KdeShortcuts::parseConfig(kSample), expected);
}

TEST(KdeShortcuts, ReadsTheFileInTheConfigHome) {
    test::ScratchDir dir;
    AppPaths::Environment env{dir / "home", dir / "config", ""};
    EXPECT_TRUE(KdeShortcuts::read(env).empty());
    test::ScratchDir::write(dir / "config/kglobalshortcutsrc", kSample);
    EXPECT_EQ(KdeShortcuts::read(env).size(), 5U);
    test::ScratchDir::write(dir / "config/kglobalshortcutsrc",
                            std::string(KdeShortcuts::kMaxFileBytes + 1, '\n') + kSample);
    EXPECT_TRUE(KdeShortcuts::read(env).empty());
}

}  // namespace
}  // namespace orvel
