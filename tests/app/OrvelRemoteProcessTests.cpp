// OrvelRemote's command line as parsed, and as the built program with a HeadlessProfile:
// quitting on each signal, the launches that end at once, and the two renderings (without a
// display).

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QImageReader>
#include <QSize>
#include <QXmlStreamReader>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../support/HeadlessProfile.hpp"
#include "../support/ProgramRun.hpp"
#include "../support/ScopedEnvironment.hpp"
#include "../support/ScratchDir.hpp"
#include "app/LaunchOptions.hpp"
#include "shell/MenuBarPreview.hpp"
#include "shell/RemoteView.hpp"
#include "shell/SettingsView.hpp"

namespace orvel::test {
namespace {

// Every field, to compare and print whole.
auto fields(const LaunchOptions& o) {
    return std::tuple(o.demo, o.headless, o.showRemote, o.help, o.version, o.mediaKeyDiagnostics,
                      o.renderIcon, o.renderPreviews);
}

TEST(LaunchOptions, TakesEachKnownArgumentAtAnyPosition) {
    struct Row {
        std::vector<const char*> arguments;
        LaunchOptions expected;
    };
    const std::vector<Row> table = {
        {{}, {}},
        {{"--headless"}, {.headless = true}},
        {{"--show-remote", "--demo"}, {.demo = true, .showRemote = true}},
        {{"--version", "--help"}, {.help = true, .version = true}},
        {{"--render-icon", "/tmp/icons", "--headless"},
         {.headless = true, .renderIcon = "/tmp/icons"}},
        // The argument after a path flag is its value, whatever it looks like.
        {{"--render-previews", "--headless"}, {.renderPreviews = "--headless"}},
        {{"--media-key-diagnostics", ""}, {.mediaKeyDiagnostics = ""}},
        {{"--render-icon", "a", "--render-icon", "b"}, {.renderIcon = "a"}},
        // A path flag with nothing after it is ignored.
        {{"--headless", "--render-icon"}, {.headless = true}},
        {{"--media-key-diagnostics"}, {}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        const auto parsed = LaunchOptions::parse(row.arguments);
        ASSERT_TRUE(parsed) << parsed.error();
        EXPECT_EQ(fields(*parsed), fields(row.expected));
    }
}

TEST(LaunchOptions, RefusesAnythingElseInOneSentence) {
    const std::string demoHeadless =
        "--demo cannot run with --headless; for simulated TVs, run with ORVEL_SIMULATE=1.";
    const std::pair<std::vector<const char*>, std::string> table[] = {
        {{"--Demo"}, "Unknown argument \"--Demo\"; see OrvelRemote --help."},
        {{"--headless", "-demo"}, "Unknown argument \"-demo\"; see OrvelRemote --help."},
        {{"--demo=1"}, "Unknown argument \"--demo=1\"; see OrvelRemote --help."},
        {{"headless"}, "Unknown argument \"headless\"; see OrvelRemote --help."},
        {{""}, "Unknown argument \"\"; see OrvelRemote --help."},
        {{"--help", "--bogus"}, "Unknown argument \"--bogus\"; see OrvelRemote --help."},
        {{"--render-icon", "x", "y"}, "Unknown argument \"y\"; see OrvelRemote --help."},
        {{"--headless", "--demo"}, demoHeadless},
        {{"--demo", "--show-remote", "--headless"}, demoHeadless},
    };
    for (const auto& [arguments, sentence] : table) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const auto parsed = LaunchOptions::parse(arguments);
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.error(), sentence);
    }
}

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
// A profile where a started app would leave its mark, and no display to show a window on.
struct RenderRun {
    ScratchDir dir;
    ScopedEnvironment environment;
    RenderRun() {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment.set(name, dir / "profile");
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.unset(name);
        environment.set("XDG_RUNTIME_DIR", dir.path());
        environment.set("ORVEL_SIMULATE", "1");
    }
    ProgramRun run(const std::vector<std::string>& arguments) const {
        return runProgram(ORVEL_APP_PATH, arguments, 60);
    }
    bool profileUntouched() const { return !std::filesystem::exists(dir / "profile"); }
};

// The built tool's round trip is InstalledApp's, what a quit leaves HeadlessApp's; here: the
// signals and the profile's lock.
TEST(OrvelRemoteProcess, RefusesASecondAppOnItsProfileAndQuitsOnEitherSignal) {
    HeadlessProfile profile;
    for (int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        auto app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH);
        ASSERT_TRUE(app) << "the app did not connect to the Bedroom TV";
        const auto second = runProgram(ORVEL_APP_PATH, {"--headless"}, 20);
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(second.err, "Orvel Remote is already running.\n");
        app->signal(signo);
        EXPECT_EQ(waitForExit(*app, 10), 0);
        EXPECT_FALSE(std::filesystem::exists(profile.socketPath())) << "quitting left the socket";
    }
}

TEST(OrvelRemoteProcess, AnswersItsCommandLineBeforeTouchingAnything) {
    const RenderRun untouched;  // the full app would find a TV to connect to
    struct Row {
        std::vector<std::string> arguments;
        int status;
        std::string out;  // what standard output starts with
        std::string err;
    };
    const std::string bogus =
        "OrvelRemote: Unknown argument \"--bogus\"; see OrvelRemote --help.\n";
    const std::string demo =
        "OrvelRemote: The demo mode needs the remote's interface, which needs a display; for "
        "simulated TVs without one, run with ORVEL_SIMULATE=1.\n";
    const Row rows[] = {
        {{"--help"}, 0, "Usage: OrvelRemote [--headless]", ""},
        {{"--version"}, 0, "OrvelRemote " ORVEL_EXPECTED_VERSION "\n", ""},
        {{"--headless", "--bogus"}, 2, "", bogus},
        {{"--demo"}, 1, "", demo},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        const auto run = untouched.run(row.arguments);
        EXPECT_EQ(run.status, row.status);
        EXPECT_TRUE(run.out.starts_with(row.out)) << run.out;
        if (row.out.ends_with('\n')) {
            EXPECT_EQ(run.out, row.out);
        }
        EXPECT_EQ(run.err, row.err);
        EXPECT_TRUE(untouched.profileUntouched()) << "the launch wrote a file";
    }
}

TEST(OrvelRemoteProcess, GivesUpWhenItsSocketCannotStart) {
    HeadlessProfile profile;
    ScratchDir::write(profile.dir() / "taken", "a file where the data folder goes");
    profile.useDataHome(profile.dir() / "taken");
    const auto run = runProgram(ORVEL_APP_PATH, {"--headless"}, 20);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("Orvel: the orvel command is unavailable (")) << run.err;
    EXPECT_TRUE(run.err.ends_with(")\n")) << run.err;
    EXPECT_EQ(run.out, "") << "an app without its socket said it was ready";
}

// Whether `file` is a PNG, and its pixel size (zero when it is not one).
QSize pngSize(const std::filesystem::path& file) {
    QImageReader reader(QString::fromStdString(file.string()), "png");
    return reader.canRead() ? reader.size() : QSize();
}

std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing))
        names.insert(entry.path().filename().string());
    return names;
}

// Asked for the previews too, it draws only the icon, into a folder made with its parents.
TEST(OrvelRemoteProcess, RenderIconWritesTheTenSizesAndTheSvgAndStartsNothingElse) {
    const RenderRun render;
    const std::filesystem::path folder = render.dir / "a/b/icons";
    const auto run =
        render.run({"--render-previews", render.dir / "previews", "--render-icon", folder});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "") << "the app started instead of rendering";
    EXPECT_TRUE(render.profileUntouched()) << "the app started: no socket or settings";
    EXPECT_FALSE(std::filesystem::exists(render.dir / "previews"));

    std::set<std::string> expected = {"orvel-remote.svg"};
    for (int points : {16, 32, 128, 256, 512}) {
        const std::string size = std::to_string(points) + "x" + std::to_string(points);
        for (int scale : {1, 2}) {
            const std::string name = "icon_" + size + (scale == 2 ? "@2x.png" : ".png");
            expected.insert(name);
            EXPECT_EQ(pngSize(folder / name), QSize(scale * points, scale * points)) << name;
        }
    }
    EXPECT_EQ(namesIn(folder), expected);

    QFile svg(QString::fromStdString((folder / "orvel-remote.svg").string()));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    std::vector<std::string> elements;
    std::string pathData;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        elements.push_back(xml.name().toString().toStdString());
        if (xml.name() == QStringLiteral("path"))
            pathData = xml.attributes().value("d").toString().toStdString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(elements, (std::vector<std::string>{"svg", "rect", "path"}));
    EXPECT_TRUE(pathData.starts_with("M ") && pathData.ends_with(" Z")) << pathData;
    EXPECT_EQ(std::ranges::count(pathData, 'M'), 2) << "the body and the leaf";
}

// Into a folder that exists: that is no failure.
TEST(OrvelRemoteProcess, RenderPreviewsWritesBothAppearancesAtTwiceTheirSize) {
    const RenderRun render;
    const std::filesystem::path folder = render.dir / "a/previews";
    std::filesystem::create_directories(folder);
    const auto run = render.run({"--render-previews", folder});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(render.profileUntouched());
    const std::map<std::string, int> widths = {
        {"menubar-", MenuBarPreview::kWidth},    {"remote-", RemoteView::kWidth},
        {"navigation-", RemoteView::kWidth},     {"typing-", RemoteView::kWidth},
        {"settings-", SettingsView::kWidth},     {"about-", SettingsView::kWidth},
        {"remote-blocked-", RemoteView::kWidth}, {"remote-offline-", RemoteView::kWidth}};
    std::set<std::string> expected;
    for (const auto& [prefix, width] : widths) {
        for (const char* appearance : {"light", "dark"}) {
            const std::string name = prefix + appearance + ".png";
            expected.insert(name);
            const QSize size = pngSize(folder / name);
            EXPECT_EQ(size.width(), 2 * width) << name;
            EXPECT_TRUE(size.height() > 0 && size.height() % 2 == 0) << name;
        }
    }
    EXPECT_EQ(namesIn(folder), expected);
    // The blocked remote has the notice's lines above the rows that the plain one has.
    EXPECT_GT(pngSize(folder / "remote-blocked-light.png").height(),
              pngSize(folder / "remote-light.png").height());
}

TEST(OrvelRemoteProcess, ARenderingThatCannotWriteSaysSoWithItsOwnStatus) {
    struct Row {
        const char* flag;
        int status;
        const char* prefix;
    };
    const Row rows[] = {
        {"--render-icon", 1, "Icon rendering failed: "},
        {"--render-previews", 0, "Native preview rendering failed: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flag);
        const RenderRun render;
        ScratchDir::write(render.dir / "file", "a file where a folder should be");
        const auto run = render.run({row.flag, render.dir / "file/out"});
        EXPECT_EQ(run.status, row.status);
        EXPECT_TRUE(run.err.starts_with(row.prefix) ||
                    run.err.find(std::string("\n") + row.prefix) != std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("file/out"), std::string::npos) << "the sentence names the folder";
        EXPECT_TRUE(run.err.ends_with(".\n")) << run.err;
        EXPECT_TRUE(render.profileUntouched());
    }
}

#endif

}  // namespace
}  // namespace orvel::test
