// The TV in the desktop's media controls, on a session bus of the test's own: the built app
// headless against a simulated TV, driven and read by playerctl as a desktop would, its
// PropertiesChanged caught as a TV change happens, and the preference that takes the player off
// the bus and puts it back. Skipped without dbus-daemon or playerctl.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "../../session/SessionHarness.hpp"
#include "../../shell/PrivateBus.hpp"
#include "../../support/HeadlessProfile.hpp"
#include "../../support/ProgramRun.hpp"
#include "../../support/ScopedEnvironment.hpp"
#include "../../support/ScratchDir.hpp"
#include "../../support/Waiting.hpp"
#include "ChangeSpy.hpp"
#include "app/MediaPlayerService.hpp"
#include "platform/ChildProcess.hpp"
#include "shell/MediaPlayer.hpp"

namespace orvel::test {

namespace {

// One Qt application for the program, for the bus connections' events.
class QtCore : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[24] = "orvel_app_bus_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};
[[maybe_unused]] auto* const qtCore = ::testing::AddGlobalTestEnvironment(new QtCore);

constexpr int kGuardMs = 10000;
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.orvel");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");

// Waits (on the event, not the clock) until a change holds what `wanted` looks for.
bool waitForChange(ChangeSpy& spy, const std::function<bool(const QVariantMap&)>& wanted) {
    auto found = [&] { return std::any_of(spy.changes.cbegin(), spy.changes.cend(), wanted); };
    if (found()) return true;
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&spy, &ChangeSpy::arrived, &loop, [&] {
        if (found()) loop.quit();
    });
    guard.start(kGuardMs);
    loop.exec();
    return found();
}

// A dbus-daemon of the test's own, of the session kind, listening in a scratch folder and
// starting no services (so that no keyring comes up on it when the app looks for one). Not
// available without dbus-daemon on the PATH; its destruction kills it.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const ScratchDir& dir) {
        const std::string socket = dir / "session-bus";
        const std::string config = dir / "session-bus.conf";
        ScratchDir::write(config, R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=)" + socket + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
        // env finds it on the PATH; it prints its address once it accepts connections.
        auto started = ChildProcess::spawn(
            "/usr/bin/env",
            {"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"});
        if (!started) return;
        daemon_ = std::move(*started);
        const UniqueFd out = daemon_->takeStdout();
        if (readUntil(out.get(), "\n", 10).starts_with("unix:")) address_ = "unix:path=" + socket;
    }

    bool available() const { return !address_.empty(); }
    const std::string& address() const { return address_; }

private:
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
};

class MediaPlayerOnBus : public ::testing::Test {
protected:
    MediaPlayerOnBus() : profile("sim:den"), bus(profile.dir()) {}

    void SetUp() override {
        if (!bus.available()) GTEST_SKIP() << "no dbus-daemon to run a bus with";
        hasPlayerctl = runProgram("/usr/bin/env", {"playerctl", "--version"}).status == 0;
        // A TV with every transport action and an absolute volume, paired without a code.
        const std::string household = profile.dir() / "household.json";
        ScratchDir::write(household, R"({"tvs": [{"id": "sim:den", "name": "Den",
                                                   "protocols": [], "volume": 50}]})");
        environment.set("ORVEL_SIMULATE", household);
        environment.set("DBUS_SESSION_BUS_ADDRESS", bus.address());
        session.emplace("DBUS_SESSION_BUS_ADDRESS");
        ASSERT_TRUE(session->available());
    }

    void launch() {
        app = profile.launch(ORVEL_APP_PATH, ORVEL_TOOL_PATH);
        ASSERT_TRUE(app) << "the app did not connect to its TV";
        ASSERT_TRUE(eventually([&] { return registered(kService); }, 10))
            << "the player never took its name";
    }
    bool registered(const QString& name) const {
        return session->connection().interface()->isServiceRegistered(name).value();
    }

    ProgramRun player(const std::vector<std::string>& arguments) const {
        std::vector<std::string> all = {"playerctl", "-p", "orvel"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return runProgram("/usr/bin/env", all, 20);
    }
    // The TV as the tool reports it.
    static nlohmann::json status() {
        const auto run = runProgram(ORVEL_TOOL_PATH, {"--json", "status"}, 20);
        const auto reply = nlohmann::json::parse(run.out, nullptr, false);
        return reply.is_object() ? reply.value("tv", nlohmann::json()) : nlohmann::json();
    }
    static bool tvShows(const char* field, const nlohmann::json& value) {
        return eventually([&] {
            const auto now = status();
            return now.is_object() && now.value(field, nlohmann::json()) == value;
        });
    }

    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) const {
        auto message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        message.setArguments(arguments);
        return session->connection().call(message, QDBus::Block, kGuardMs);
    }

    HeadlessProfile profile;
    PrivateSessionBus bus;
    ScopedEnvironment environment;
    bool hasPlayerctl = false;
    std::optional<PrivateBus> session;  // the test's own connection to `bus`
    std::unique_ptr<ChildProcess> app;
};

#if defined(ORVEL_APP_PATH) && defined(ORVEL_TOOL_PATH)
// Its PropertiesChanged come as the TV changes, never with the position.
TEST_F(MediaPlayerOnBus, PlayerctlReadsAndDrivesTheTVAndEachChangeIsAnnounced) {
    if (!hasPlayerctl) GTEST_SKIP() << "no playerctl";
    launch();
    ChangeSpy spy;
    ASSERT_TRUE(session->connection().connect(kService, kPath,
                                              QStringLiteral("org.freedesktop.DBus.Properties"),
                                              QStringLiteral("PropertiesChanged"), &spy,
                                              SLOT(changed(QString, QVariantMap, QStringList))));
    EXPECT_EQ(player({"status"}).out, "Stopped\n");
    // Through the tool, so that only the TV's own report can tell the player.
    ASSERT_EQ(runProgram(ORVEL_TOOL_PATH, {"launch", "netflix"}, 20).status, 0);
    EXPECT_TRUE(waitForChange(spy, [](const QVariantMap& changed) {
        const auto metadata = qdbus_cast<QVariantMap>(changed.value(QStringLiteral("Metadata")));
        return metadata.value(QStringLiteral("xesam:album")).toString() == "Netflix";
    }));

    ASSERT_EQ(player({"play-pause"}).status, 0);
    EXPECT_TRUE(tvShows("playing", true)) << status().dump();
    EXPECT_TRUE(waitForChange(spy, [](const QVariantMap& changed) {
        return changed.value(QStringLiteral("PlaybackStatus")).toString() == "Playing";
    }));
    EXPECT_TRUE(tvShows("title", "Night Harbor")) << status().dump();
    EXPECT_EQ(player({"status"}).out, "Playing\n");

    ASSERT_EQ(player({"next"}).status, 0);
    EXPECT_TRUE(tvShows("artist", "Season 1, Episode 4")) << status().dump();
    const auto metadata = player({"metadata", "--format",
                                  "{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}|"
                                  "{{mpris:length}}|{{mpris:trackid}}"});
    EXPECT_TRUE(
        metadata.out.starts_with("Night Harbor|Season 1, Episode 4|Netflix|2710000000|"
                                 "'/quillon/orvel/Remote/track/"))
        << metadata.out << metadata.err;

    EXPECT_EQ(player({"volume"}).out, "0.500000\n");
    ASSERT_EQ(player({"volume", "0.3"}).status, 0);
    EXPECT_TRUE(tvShows("volume", 30)) << status().dump();
    EXPECT_TRUE(eventually([&] { return player({"volume"}).out == "0.300000\n"; }));

    ASSERT_EQ(player({"stop"}).status, 0);
    EXPECT_TRUE(tvShows("playing", false)) << status().dump();
    const double paused = status().value("position", -1.0);
    ASSERT_EQ(player({"position", "10+"}).status, 0);  // a seek: one skip forward
    EXPECT_TRUE(eventually([&] {
        return std::abs(status().value("position", -1.0) - (paused + 10)) < 0.05;
    })) << paused
        << " then " << status().dump();
    for (const auto& changed : spy.changes) EXPECT_FALSE(changed.contains("Position"));
}

TEST_F(MediaPlayerOnBus, SaysWhatItIsAndQuitsTheAppWhenAsked) {
    launch();
    const auto root = call(QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("GetAll"), {QStringLiteral("org.mpris.MediaPlayer2")});
    ASSERT_EQ(root.type(), QDBusMessage::ReplyMessage) << root.errorMessage().toStdString();
    const auto properties = qdbus_cast<QVariantMap>(root.arguments().value(0));
    EXPECT_EQ(properties.value("Identity").toString(), "Orvel Remote");
    EXPECT_EQ(properties.value("DesktopEntry").toString(), "quillon.orvel.Remote");
    EXPECT_FALSE(properties.value("CanRaise").toBool()) << "headless has nothing to raise";
    EXPECT_TRUE(properties.value("CanQuit").toBool());
    EXPECT_FALSE(properties.value("HasTrackList").toBool());

    const auto opened = call(QStringLiteral("org.mpris.MediaPlayer2.Player"),
                             QStringLiteral("OpenUri"), {QStringLiteral("file:///a.mp4")});
    EXPECT_EQ(opened.errorName(), "org.freedesktop.DBus.Error.NotSupported");

    EXPECT_EQ(call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Quit")).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(waitForExit(*app, 10), 0);
    EXPECT_FALSE(registered(kService));
}
#endif

// The preference, on the session's own store: off releases the name, on takes it again.
TEST_F(MediaPlayerOnBus, ThePreferenceTakesThePlayerOffTheBusAndBack) {
    SessionHarness h;
    auto& store = h.make();
    MediaPlayerService service(h.loop, store,
                               {.busAddress = QString::fromStdString(bus.address())});
    ASSERT_TRUE(service.player());
    EXPECT_TRUE(registered(kService));

    store.setShowsInMediaControls(false);
    h.idle();
    EXPECT_FALSE(service.player());
    EXPECT_TRUE(eventually([&] { return !registered(kService); }, 10)) << "the name stayed";

    store.setShowsInMediaControls(true);
    h.idle();
    EXPECT_TRUE(service.player());
    EXPECT_TRUE(registered(kService));
}

}  // namespace
}  // namespace orvel::test
