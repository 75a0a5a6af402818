#pragma once
// SessionObserver: the computer going to sleep and waking, and the user's desktop session
// locked, unlocked or left for another user's, from logind on the system bus. Where no system
// bus or no logind answers it says nothing and watches nothing.
//
//   SessionObserver observer({.willSleep = [&] { ... }, .didWake = [&] { ... },
//                             .sessionInactive = [&] { ... }, .sessionActive = [&] { ... }});
//
// Owner: the application. Thread: the GUI thread (Qt's event loop, a QCoreApplication at
// least). Ends with destruction, which disconnects every signal.
//
// Nothing blocks: the session is looked up with asynchronous calls (by $XDG_SESSION_ID, else
// by our pid, else logind's "auto" session), so watching() turns true a few loop turns after
// construction; settled() says when the look-up has ended either way. Each hook runs once per
// change: repeated signals that change nothing call nothing.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>

class QDBusMessage;
class QDBusPendingCall;

namespace orvel {

class SessionObserver : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> willSleep;
        std::function<void()> didWake;
        std::function<void()> sessionInactive;  // locked, or another user's session in front
        std::function<void()> sessionActive;    // unlocked and in front again
    };

    explicit SessionObserver(Hooks hooks, QDBusConnection bus = QDBusConnection::systemBus());
    ~SessionObserver() override;
    SessionObserver(const SessionObserver&) = delete;
    SessionObserver& operator=(const SessionObserver&) = delete;

    // True when logind answered and its signals are connected.
    bool watching() const;
    // True once the look-up has ended, whatever it found.
    bool isSettled() const;
    // The session object whose signals are watched; empty when none was found.
    QString sessionPath() const;

Q_SIGNALS:
    // Once, from the event loop, when the look-up has ended.
    void settled();

private Q_SLOTS:
    void onPrepareForSleep(bool start);
    void onLock();
    void onUnlock();
    void onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    using Reply = std::function<void(const QDBusMessage&)>;
    void call(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, Reply onReply);
    // False for a failure that means no logind at all (nothing owns its name, or no answer).
    static bool logindAnswered(const QDBusMessage& reply);

    void lookUpById(const QString& id);
    void lookUpByPid();
    void lookUpAuto();
    void watchSession(const QString& path);
    void readSession();
    void applyProperties(const QVariantMap& properties);
    void update();
    void finish(bool watching);
    void disconnectAll();

    Hooks hooks_;
    QDBusConnection bus_;
    QString sessionPath_;
    bool watching_ = false;
    bool settled_ = false;
    bool sleeping_ = false;
    bool active_ = true;   // we run in the session, so it starts in front
    bool locked_ = false;  // the latest word: Lock, Unlock, or the locker's LockedHint
    bool inFront_ = true;  // what the hooks were last told
};

}  // namespace orvel
