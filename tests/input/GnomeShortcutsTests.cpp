#include "input/GnomeShortcuts.hpp"

#include <gtest/gtest.h>

#include "../support/ProgramRun.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "../support/ScratchDir.hpp"

namespace orvel {
namespace {

// The shell's schema is relocatable here: opening it as it stands would abort.
constexpr const char* kSchemas = R"(<schemalist>
  <schema id="org.gnome.desktop.wm.keybindings" path="/org/gnome/desktop/wm/keybindings/">
    <key name="close" type="as"><default>['&lt;Alt&gt;F4', 'disabled']</default></key>
    <key name="switch-to-workspace-up" type="as">
      <default>['&lt;Super&gt;Page_Up', '&lt;Control&gt;&lt;Alt&gt;Up']</default>
    </key>
    <key name="num-workspaces" type="i"><default>4</default></key>
  </schema>
  <schema id="org.gnome.shell.keybindings">
    <key name="toggle-overview" type="as"><default>['&lt;Super&gt;s']</default></key>
  </schema>
  <schema id="org.gnome.settings-daemon.plugins.media-keys"
          path="/org/gnome/settings-daemon/plugins/media-keys/">
    <key name="screensaver" type="s"><default>'&lt;Super&gt;l'</default></key>
    <key name="custom-keybindings" type="as"><default>['/custom0/']</default></key>
  </schema>
</schemalist>
)";

// GLib reads the schema folders once per process: this is the one test here that reads them.
TEST(GnomeShortcuts, ReadsTheBindingsOfTheInstalledSchemas) {
    if (std::string(ORVEL_GLIB_COMPILE_SCHEMAS).empty()) GTEST_SKIP() << "no schema compiler";
    test::ScratchDir dir;
    test::ScratchDir::write(dir / "schemas/orvel-test.gschema.xml", kSchemas);
    auto compiled = test::runProgram(ORVEL_GLIB_COMPILE_SCHEMAS, {dir / "schemas"});
    ASSERT_EQ(compiled.status, 0) << compiled.err;

    test::ScopedEnvironment env{"GSETTINGS_SCHEMA_DIR", dir / "schemas"};
    env.set("GSETTINGS_BACKEND", "memory");
    env.set("XDG_DATA_DIRS", dir / "none");
    env.set("XDG_DATA_HOME", dir / "none");
    testing::internal::CaptureStderr();
    auto shortcuts = GnomeShortcuts::read();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    const std::vector<KeyboardShortcut> expected{
        {118, KeyboardShortcut::kAlt},
        {116, KeyboardShortcut::kSuper},
        {126, KeyboardShortcut::kCtrl | KeyboardShortcut::kAlt},
        {37, KeyboardShortcut::kSuper},
    };
    EXPECT_EQ(shortcuts, expected);
}

}  // namespace
}  // namespace orvel
