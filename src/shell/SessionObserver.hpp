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

#include <QDBusConnection>
#include <QObject>
#include <functional>

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

    // True when logind answered and its signals are connected.
    bool watching() const;
};

}  // namespace orvel
