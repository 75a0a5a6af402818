#pragma once
// PrivateBus: one connection of its own to a bus daemon that with-private-system-bus.sh
// started, under a name no other connection in the program has, so that a fake and the code
// under test talk through the daemon as two programs would.
// Owner: the test. Thread: the test's. Ends with destruction, which closes the connection;
// whatever holds a copy of it must be gone first.

#include <QDBusConnection>
#include <optional>

namespace orvel::test {

// How long a test waits for an answer through the daemon, which takes milliseconds.
inline constexpr int kBusDeadlineMs = 5000;

class PrivateBus {
public:
    explicit PrivateBus(const char* addressVariable) {
        const QString address = qEnvironmentVariable(addressVariable);
        if (address.isEmpty()) return;
        static int serial = 0;
        name_ = QStringLiteral("orvel-private-bus-%1").arg(++serial);
        connection_ = QDBusConnection::connectToBus(address, name_);
    }
    ~PrivateBus() {
        connection_.reset();
        if (!name_.isEmpty()) QDBusConnection::disconnectFromBus(name_);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool available() const { return connection_ && connection_->isConnected(); }
    QDBusConnection connection() const { return *connection_; }

private:
    QString name_;
    std::optional<QDBusConnection> connection_;
};

}  // namespace orvel::test
