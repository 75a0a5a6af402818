// The session observer against a fake logind on a private bus (with-private-system-bus.sh):
// which session it finds, and that each sleep, wake, lock and unlock reaches its hook once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>
#include <iterator>
#include <sstream>

#include "../support/ScopedEnvironment.hpp"
#include "FakeLogind.hpp"
#include "PrivateBus.hpp"
#include "shell/SessionObserver.hpp"

namespace orvel::test {
namespace {

using Log = std::vector<std::string>;

SessionObserver::Hooks recordingInto(Log& log) {
    return {.willSleep = [&log] { log.emplace_back("sleep"); },
            .didWake = [&log] { log.emplace_back("wake"); },
            .sessionInactive = [&log] { log.emplace_back("inactive"); },
            .sessionActive = [&log] { log.emplace_back("active"); }};
}

// Counts what Qt would have printed while it lives.
struct QtMessages {
    QtMessages() {
        printed = 0;
        previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString&) { ++printed; });
    }
    ~QtMessages() { qInstallMessageHandler(previous); }
    inline static int printed = 0;
    QtMessageHandler previous;
};

class SessionObserverOnBus : public ::testing::Test {
    // First, so closed after everything that uses them; the observer's anew with each
    // observer, so that none hears of the fakes before its own.
    std::unique_ptr<PrivateBus> observerBus_ =
        std::make_unique<PrivateBus>("ORVEL_PRIVATE_SYSTEM_BUS");
    PrivateBus fakeBus_{"ORVEL_PRIVATE_SYSTEM_BUS"};

protected:
    void SetUp() override {
        if (!observerBus_->available() || !fakeBus_.available()) {
            GTEST_SKIP() << "no private bus: run under with-private-system-bus.sh";
        }
    }

    FakeLogind& startLogind(FakeLogind::Sessions sessions) {
        logind_ = std::make_unique<FakeLogind>(fakeBus_.connection(), std::move(sessions));
        EXPECT_TRUE(logind_->registered());
        return *logind_;
    }
    SessionObserver& startObserver() {
        observer_.reset();
        observerBus_ = std::make_unique<PrivateBus>("ORVEL_PRIVATE_SYSTEM_BUS");
        observer_ =
            std::make_unique<SessionObserver>(recordingInto(log_), observerBus_->connection());
        EXPECT_TRUE(QTest::qWaitFor([&] { return observer_->isSettled(); }, kBusDeadlineMs));
        return *observer_;
    }
    // The log once a closing sleep has come after everything sent before it (one sender's signals
    // keep their order); a wrong log shows at the deadline. Callers leave the computer awake.
    Log logAfterAll(const Log& expected) {
        logind_->sleep(true);
        Log complete = expected;
        complete.emplace_back("sleep");
        static_cast<void>(QTest::qWaitFor([&] { return log_ == complete; }, kBusDeadlineMs));
        Log seen = log_;
        if (!seen.empty() && seen.back() == "sleep") seen.pop_back();
        return seen;
    }

    Log log_;
    std::unique_ptr<FakeLogind> logind_;
    std::unique_ptr<SessionObserver> observer_;
};

const QString kById = FakeLogind::sessionPath(QStringLiteral("c1"));
const QString kByPid = FakeLogind::sessionPath(QStringLiteral("c2"));
const QString kAuto = FakeLogind::sessionPath(QStringLiteral("c3"));

struct LookUp {
    const char* name;
    const char* sessionId;  // $XDG_SESSION_ID; empty: unset
    bool knowsPid;
    QString autoId;
    QString expected;  // the path watched; empty: sleep alone
};

TEST_F(SessionObserverOnBus, FindsTheSessionByIdThenPidThenAuto) {
    const LookUp cases[] = {
        {"by id", "c1", true, "c3", kById},
        {"unknown id, by pid", "c9", true, "c3", kByPid},
        {"no id, by pid", "", true, "c3", kByPid},
        {"auto", "c9", false, "c3", kAuto},
        {"none", "", false, "", ""},
    };
    for (const LookUp& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment id;
        if (*c.sessionId) {
            id.set("XDG_SESSION_ID", c.sessionId);
        } else {
            id.unset("XDG_SESSION_ID");
        }
        FakeLogind::Sessions sessions{.byId = {{"c1", kById}, {"c3", kAuto}}, .autoId = c.autoId};
        if (c.knowsPid) sessions.byPid.insert(static_cast<quint32>(::getpid()), kByPid);
        log_.clear();
        logind_.reset();
        startLogind(std::move(sessions));
        SessionObserver& observer = startObserver();
        EXPECT_TRUE(observer.watching());
        EXPECT_EQ(observer.sessionPath(), c.expected);
        // Only the session found is listened to.
        for (const QString& path : {kById, kByPid, kAuto}) {
            if (path != c.expected) logind_->lock(path);
        }
        EXPECT_EQ(logAfterAll({}), Log{});
        observer_.reset();
    }
}

// The words of a line, as the steps and the log are written.
Log words(const char* line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

TEST_F(SessionObserverOnBus, SleepLockAndActiveEachTellTheChangeOnceInOrder) {
    const struct {
        const char* name;
        bool initiallyActive;
        const char* steps;  // sleep, wake, lock, unlock, active, inactive, hint, ...
        const char* expected;
    } cases[] = {
        {"sleep and wake, repeated", true, "sleep sleep wake wake sleep wake",
         "sleep wake sleep wake"},
        {"lock and unlock, repeated", true, "lock lock unlock unlock lock",
         "inactive active inactive"},
        {"another user in front and back", true, "inactive inactive active active",
         "inactive active"},
        {"unlocked but still behind", true, "lock inactive unlock active", "inactive active"},
        {"the locker's hint", true, "hint unhint", "inactive active"},
        {"a change named without its value", true, "inactive-named", "inactive"},
        {"started behind", false, "active", "inactive active"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedEnvironment id("XDG_SESSION_ID", "c1");
        log_.clear();
        observer_.reset();
        logind_.reset();
        FakeLogind& logind = startLogind({.byId = {{"c1", kById}}, .active = c.initiallyActive});
        startObserver();
        const Log expected = words(c.expected);
        for (const std::string& step : words(c.steps)) {
            if (step == "lock") logind.lock(kById);
            if (step == "unlock") logind.unlock(kById);
            if (step.ends_with("active") || step == "inactive-named") {
                logind.setProperty(kById, QStringLiteral("Active"), step == "active",
                                   step.ends_with("named"));
            }
            if (step == "sleep" || step == "wake") logind.sleep(step == "sleep");
            if (step == "hint" || step == "unhint") {
                logind.setProperty(kById, QStringLiteral("LockedHint"), step == "hint");
            }
        }
        if (std::string_view(c.steps).ends_with("named")) {
            // Re-read on a later turn: wait for it rather than for the next signal.
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return log_.size() >= expected.size(); }, kBusDeadlineMs));
        }
        EXPECT_EQ(logAfterAll(expected), expected);
    }
}

TEST_F(SessionObserverOnBus, WithoutLogindWatchesNothingAndSaysNothing) {
    const QtMessages messages;
    SessionObserver& observer = startObserver();
    EXPECT_FALSE(observer.watching());
    EXPECT_TRUE(observer.sessionPath().isEmpty());
    EXPECT_EQ(messages.printed, 0);
    EXPECT_EQ(log_, Log{});
}

TEST(SessionObserver, WithoutABusWatchesNothingAndSaysNothing) {
    const QtMessages messages;
    Log log;
    SessionObserver observer(recordingInto(log), QDBusConnection(QStringLiteral("orvel-no-bus")));
    QSignalSpy settled(&observer, &SessionObserver::settled);
    EXPECT_TRUE(settled.wait(kBusDeadlineMs));
    EXPECT_FALSE(observer.watching());
    EXPECT_EQ(messages.printed, 0);
    EXPECT_EQ(log, Log{});
}

}  // namespace
}  // namespace orvel::test
