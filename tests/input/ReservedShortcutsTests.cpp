#include "input/ReservedShortcuts.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

const KeyboardShortcut kGnomeBinding{37, KeyboardShortcut::kSuper};
const KeyboardShortcut kKdeBinding{17, KeyboardShortcut::kCtrl | KeyboardShortcut::kAlt};

TEST(ReservedShortcuts, ReadsTheBindingsOfTheDesktopsNamed) {
    const std::pair<const char*, std::vector<KeyboardShortcut>> cases[] = {
        {"GNOME", {kGnomeBinding}},
        {"ubuntu:GNOME", {kGnomeBinding}},
        {"Unity", {kGnomeBinding}},
        {"Budgie:GNOME", {kGnomeBinding}},
        {"Pantheon", {kGnomeBinding}},
        {"KDE", {kKdeBinding}},
        {"kde", {kKdeBinding}},
        {"GNOME:KDE", {kGnomeBinding, kKdeBinding}},
        {"XFCE", {}},
        {"GNOMEish", {}},
        {"", {}},
    };
    std::string kdeConfig;
    ReservedShortcuts::Readers readers{[] { return std::vector{kGnomeBinding}; },
                                       [&](const AppPaths::Environment& env) {
                                           kdeConfig = env.xdgConfigHome;
                                           return std::vector{kKdeBinding};
                                       }};
    for (const auto& [desktop, expected] : cases) {
        ReservedShortcuts reserved(desktop, {"/home/u", "/cfg", ""}, readers);
        EXPECT_EQ(reserved(), expected) << desktop;
    }
    EXPECT_EQ(kdeConfig, "/cfg");
}

}  // namespace
}  // namespace orvel
