#pragma once
// FakeLogind: just enough of logind for the session observer, on a bus of the test's own: the
// Manager's GetSession and GetSessionByPID, the sessions' properties (GetAll), and the signals
// PrepareForSleep, Lock, Unlock and PropertiesChanged, sent when the test says.
// Owner: the test. Thread: the test's. Ends with destruction, which gives up the name.

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QVariantMap>
#include <utility>

namespace orvel::test {

class FakeLogind : public QDBusVirtualObject {
public:
    struct Sessions {
        QMap<QString, QString> byId = {};   // session id → object path
        QMap<quint32, QString> byPid = {};  // process id → object path
        QString autoId = {};                // the "auto" session's Id; empty: no such object
        bool active = true;
        bool lockedHint = false;
    };

    static QString sessionPath(const QString& id) {
        return QStringLiteral("/org/freedesktop/login1/session/") + id;
    }

    FakeLogind(QDBusConnection bus, Sessions sessions)
        : bus_(std::move(bus)), sessions_(std::move(sessions)) {
        registered_ = bus_.registerVirtualObject(kManagerPath, this, QDBusConnection::SubPath) &&
                      bus_.registerService(kService);
    }
    ~FakeLogind() override {
        bus_.unregisterService(kService);
        bus_.unregisterObject(kManagerPath, QDBusConnection::UnregisterTree);
    }
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;

    bool registered() const { return registered_; }
    // How often a session's properties were read: an observer has settled after its first.
    int sessionReads() const { return sessionReads_; }

    void sleep(bool start) {
        send(QDBusMessage::createSignal(kManagerPath, kManager, QStringLiteral("PrepareForSleep"))
             << start);
    }
    void lock(const QString& path) {
        send(QDBusMessage::createSignal(path, kSession, QStringLiteral("Lock")));
    }
    void unlock(const QString& path) {
        send(QDBusMessage::createSignal(path, kSession, QStringLiteral("Unlock")));
    }
    // Announces the change with its value, or (invalidate) only its name, as logind may.
    void setProperty(const QString& path, const QString& name, bool value,
                     bool invalidate = false) {
        (name == QStringLiteral("Active") ? sessions_.active : sessions_.lockedHint) = value;
        QVariantMap changed;
        QStringList invalidated;
        if (invalidate) {
            invalidated << name;
        } else {
            changed.insert(name, value);
        }
        send(QDBusMessage::createSignal(path, kProperties, QStringLiteral("PropertiesChanged"))
             << kSession << changed << invalidated);
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QVariantList arguments = message.arguments();
        if (message.interface() == kManager && !arguments.isEmpty()) {
            QString path;
            if (member == QStringLiteral("GetSession")) {
                path = sessions_.byId.value(arguments.constFirst().toString());
            } else if (member == QStringLiteral("GetSessionByPID")) {
                path = sessions_.byPid.value(arguments.constFirst().toUInt());
            } else {
                return false;
            }
            connection.send(path.isEmpty()
                                ? message.createErrorReply(
                                      QStringLiteral("org.freedesktop.login1.NoSuchSession"),
                                      QStringLiteral("No such session."))
                                : message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
            return true;
        }
        if (message.interface() == kProperties && member == QStringLiteral("GetAll")) {
            ++sessionReads_;
            const bool isAuto = message.path() == sessionPath(QStringLiteral("auto"));
            if (isAuto && sessions_.autoId.isEmpty()) {
                connection.send(message.createErrorReply(QDBusError::UnknownObject,
                                                         QStringLiteral("No such object.")));
                return true;
            }
            QVariantMap properties{{QStringLiteral("Active"), sessions_.active},
                                   {QStringLiteral("LockedHint"), sessions_.lockedHint}};
            if (isAuto) properties.insert(QStringLiteral("Id"), sessions_.autoId);
            connection.send(message.createReply(properties));
            return true;
        }
        return false;
    }

private:
    inline static const QString kService = QStringLiteral("org.freedesktop.login1");
    inline static const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
    inline static const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
    inline static const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
    inline static const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

    void send(const QDBusMessage& signal) { bus_.send(signal); }

    QDBusConnection bus_;
    int sessionReads_ = 0;
    Sessions sessions_;
    bool registered_ = false;
};

}  // namespace orvel::test
