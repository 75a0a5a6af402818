// The portal's hot-key backend against a fake portal on a private session bus
// (with-private-system-bus.sh): the calls it makes in order, and whose presses reach the events.

#include <gtest/gtest.h>

#include <QTest>

#include "FakePortal.hpp"
#include "PrivateBus.hpp"
#include "shell/PortalHotKeyBackend.hpp"

namespace orvel::test {
namespace {

using Press = std::pair<std::uint32_t, bool>;
using Presses = std::vector<Press>;
constexpr KeyboardShortcut kShiftSuperSpace{49,
                                            KeyboardShortcut::kShift | KeyboardShortcut::kSuper};

TEST(PortalHotKeyBackend, TriggerNamesTheModifiersInOrderThenTheKeysym) {
    const struct {
        KeyboardShortcut shortcut;
        std::optional<QString> trigger;
    } cases[] = {
        {KeyboardShortcut::kDefault, QStringLiteral("CTRL+ALT+LOGO+p")},
        {kShiftSuperSpace, QStringLiteral("SHIFT+LOGO+space")},
        {{36, KeyboardShortcut::kAlt | KeyboardShortcut::kShift},
         QStringLiteral("ALT+SHIFT+Return")},
        {{200, KeyboardShortcut::kCtrl}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortalHotKeyBackend::preferredTrigger(c.shortcut), c.trigger) << c.shortcut.code;
    }
}

TEST(PortalHotKeyBackend, WithoutABusIsUnsupportedAndGrabsNothing) {
    PortalHotKeyBackend backend(QDBusConnection(QStringLiteral("orvel-no-bus")));
    EXPECT_EQ(backend.start([](std::uint32_t, bool) {}),
              HotKeyBackend::StartFailure{.unsupported = true});
    EXPECT_EQ(std::get<HotKeyBackend::Refusal>(backend.grab(KeyboardShortcut::kDefault, 1)),
              HotKeyBackend::Refusal{.code = PortalHotKeyBackend::kNotStarted});
}

class PortalHotKeyBackendOnBus : public ::testing::Test {
    // First, so closed after everything that uses them.
    PrivateBus backendBus_{"ORVEL_PRIVATE_SESSION_BUS"};
    PrivateBus portalBus_{"ORVEL_PRIVATE_SESSION_BUS"};

protected:
    void SetUp() override {
        if (!backendBus_.available() || !portalBus_.available()) {
            GTEST_SKIP() << "no private bus: run under with-private-system-bus.sh";
        }
        backend_ = std::make_unique<PortalHotKeyBackend>(backendBus_.connection());
    }

    FakePortal& startPortal() {
        portal_ = std::make_unique<FakePortal>(portalBus_.connection());
        EXPECT_TRUE(portal_->registered());
        return *portal_;
    }
    void start() {
        EXPECT_EQ(backend_->start(
                      [this](std::uint32_t id, bool down) { presses_.emplace_back(id, down); }),
                  std::nullopt);
    }
    // A refusal throws, failing the test.
    HotKeyBackend::Token grab(const KeyboardShortcut& shortcut, std::uint32_t identifier) {
        return std::get<HotKeyBackend::Token>(backend_->grab(shortcut, identifier));
    }
    bool waitForCall(const QString& call, qsizetype times = 1) {
        return QTest::qWaitFor([&] { return portal_->calls().count(call) >= times; },
                               kBusDeadlineMs);
    }
    bool waitForPresses(size_t count) {
        return QTest::qWaitFor([&] { return presses_.size() >= count; }, kBusDeadlineMs);
    }

    std::unique_ptr<FakePortal> portal_;
    std::unique_ptr<PortalHotKeyBackend> backend_;
    Presses presses_;
};

const QString kBindDefault =
    QStringLiteral("BindShortcuts toggle-remote|Open or close the remote|CTRL+ALT+LOGO+p");
const QString kBindSpace =
    QStringLiteral("BindShortcuts toggle-remote|Open or close the remote|SHIFT+LOGO+space");
const QString kId = QStringLiteral("toggle-remote");

TEST_F(PortalHotKeyBackendOnBus, WithoutThePortalIsUnsupported) {
    EXPECT_EQ(backend_->start([](std::uint32_t, bool) {}),
              HotKeyBackend::StartFailure{.unsupported = true});
}

TEST_F(PortalHotKeyBackendOnBus, RegistersTheAppFirstThenBindsTheShortcut) {
    startPortal();
    start();
    grab(KeyboardShortcut::kDefault, 1);
    EXPECT_EQ(std::get<HotKeyBackend::Refusal>(backend_->grab({200, KeyboardShortcut::kCtrl}, 2)),
              HotKeyBackend::Refusal{.code = PortalHotKeyBackend::kNoSuchKey});
    EXPECT_TRUE(QTest::qWaitFor([&] { return backend_->bound(); }, kBusDeadlineMs));
    EXPECT_EQ(portal_->calls(), (QStringList{QStringLiteral("Register quillon.orvel.Remote"),
                                             QStringLiteral("CreateSession"), kBindDefault}));
}

TEST_F(PortalHotKeyBackendOnBus, PressesAndReleasesCarryTheLatestGrab) {
    FakePortal& portal = startPortal();
    start();
    grab(KeyboardShortcut::kDefault, 1);
    ASSERT_TRUE(waitForCall(kBindDefault));
    portal.activate(portal.session(), kId);
    portal.deactivate(portal.session(), kId);
    ASSERT_TRUE(waitForPresses(2));
    // Held together, the latest takes the presses and its combination is proposed.
    const auto second = grab(kShiftSuperSpace, 2);
    ASSERT_TRUE(waitForCall(kBindSpace));
    portal.activate(portal.session() + QStringLiteral("x"), kId);  // someone else's session
    portal.activate(portal.session(), QStringLiteral("other"));
    portal.activate(portal.session(), kId);
    ASSERT_TRUE(waitForPresses(3));
    // Let go, the one before it takes them again.
    backend_->ungrab(second);
    ASSERT_TRUE(waitForCall(kBindDefault, 2));
    portal.activate(portal.session(), kId);
    ASSERT_TRUE(waitForPresses(4));
    EXPECT_EQ(presses_, (Presses{{1, true}, {1, false}, {2, true}, {1, true}}));
}

TEST_F(PortalHotKeyBackendOnBus, StopClosesTheSessionAndAStartOpensANewOne) {
    FakePortal& portal = startPortal();
    start();
    grab(KeyboardShortcut::kDefault, 1);
    ASSERT_TRUE(waitForCall(kBindDefault));
    const QString old = portal.session();
    backend_->stop();
    ASSERT_TRUE(waitForCall(QStringLiteral("Close")));
    start();
    grab(KeyboardShortcut::kDefault, 5);
    ASSERT_TRUE(waitForCall(kBindDefault, 2));
    ASSERT_NE(portal.session(), old);
    portal.activate(old, kId);
    portal.activate(portal.session(), kId);
    ASSERT_TRUE(waitForPresses(1));
    EXPECT_EQ(presses_, (Presses{{5, true}}));
}

}  // namespace
}  // namespace orvel::test
