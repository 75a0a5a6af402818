#pragma once
// FakePortal: the desktop portal's GlobalShortcuts as the hot-key backend meets it, on a bus of
// the test's own: the registry's Register, CreateSession and BindShortcuts answered through
// Request objects' Response signals, the session's Close, and Activated and Deactivated sent
// when the test says. It writes down every call.
// Owner: the test. Thread: the test's. Ends with destruction, which gives up the name.

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>
#include <utility>

namespace orvel::test {

class FakePortal : public QDBusVirtualObject {
public:
    using Shortcuts = QList<QPair<QString, QVariantMap>>;

    explicit FakePortal(QDBusConnection bus) : bus_(std::move(bus)) {
        qDBusRegisterMetaType<Shortcuts::value_type>();
        qDBusRegisterMetaType<Shortcuts>();
        registered_ = bus_.registerVirtualObject(kPath, this, QDBusConnection::SubPath) &&
                      bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    ~FakePortal() override {
        bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        bus_.unregisterObject(kPath, QDBusConnection::UnregisterTree);
    }
    FakePortal(const FakePortal&) = delete;
    FakePortal& operator=(const FakePortal&) = delete;

    bool registered() const { return registered_; }
    // "Register <app id>", "CreateSession", "BindShortcuts <id>|<description>|<trigger>",
    // "Close", in the order they came.
    const QStringList& calls() const { return calls_; }
    const QString& session() const { return session_; }

    void activate(const QString& session, const QString& id) { send("Activated", session, id); }
    void deactivate(const QString& session, const QString& id) { send("Deactivated", session, id); }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QVariantList arguments = message.arguments();
        if (member == QStringLiteral("Register") && !arguments.isEmpty()) {
            calls_ << QStringLiteral("Register ") + arguments.constFirst().toString();
            connection.send(message.createReply());
            return true;
        }
        if (member == QStringLiteral("Close") && message.path() == session_) {
            calls_ << QStringLiteral("Close");
            connection.send(message.createReply());
            return true;
        }
        if (member == QStringLiteral("CreateSession") && arguments.size() == 1) {
            const QVariantMap options = mapIn(arguments.at(0));
            session_ = kPath + QStringLiteral("/session/") + sender(message) + QLatin1Char('/') +
                       options.value(QStringLiteral("session_handle_token")).toString();
            calls_ << QStringLiteral("CreateSession");
            answer(message, connection, options, 0, {{QStringLiteral("session_handle"), session_}});
            return true;
        }
        if (member == QStringLiteral("BindShortcuts") && arguments.size() == 4) {
            const auto shortcuts = qdbus_cast<Shortcuts>(arguments.at(1).value<QDBusArgument>());
            for (const auto& [id, properties] : shortcuts) {
                calls_ << QStringLiteral("BindShortcuts %1|%2|%3")
                              .arg(
                                  id, properties.value(QStringLiteral("description")).toString(),
                                  properties.value(QStringLiteral("preferred_trigger")).toString());
            }
            answer(message, connection, mapIn(arguments.at(3)), 0, {});
            return true;
        }
        connection.send(message.createErrorReply(QDBusError::UnknownMethod, member));
        return true;
    }

private:
    inline static const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");

    static QVariantMap mapIn(const QVariant& value) {
        if (value.userType() != qMetaTypeId<QDBusArgument>()) return value.toMap();
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    }
    static QString sender(const QDBusMessage& message) {
        return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    }
    // The request's handle, then its Response, as the portal does.
    void answer(const QDBusMessage& message, const QDBusConnection& connection,
                const QVariantMap& options, uint response, const QVariantMap& results) {
        const QString request = kPath + QStringLiteral("/request/") + sender(message) +
                                QLatin1Char('/') +
                                options.value(QStringLiteral("handle_token")).toString();
        connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        connection.send(QDBusMessage::createSignal(request,
                                                   QStringLiteral("org.freedesktop.portal.Request"),
                                                   QStringLiteral("Response"))
                        << response << results);
    }
    void send(const char* name, const QString& session, const QString& id) {
        bus_.send(QDBusMessage::createSignal(
                      kPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                      QLatin1String(name))
                  << QVariant::fromValue(QDBusObjectPath(session)) << id
                  << QVariant::fromValue(qulonglong{0}) << QVariantMap{});
    }

    QDBusConnection bus_;
    bool registered_ = false;
    QStringList calls_;
    QString session_;
};

}  // namespace orvel::test
