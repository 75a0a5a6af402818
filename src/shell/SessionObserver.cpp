#include "shell/SessionObserver.hpp"

#include <unistd.h>

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <utility>

namespace orvel {
namespace {

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogindSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kLogindProperties = QStringLiteral("org.freedesktop.DBus.Properties");
// logind's name for the caller's own session; it also finds the user's display session for a
// program started outside any session (a user service).
const QString kLogindAutoSession = QStringLiteral("/org/freedesktop/login1/session/auto");
const QString kLogindActive = QStringLiteral("Active");
const QString kLogindLockedHint = QStringLiteral("LockedHint");

bool succeeded(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage;
}

QString pathIn(const QDBusMessage& reply) {
    if (!succeeded(reply) || reply.arguments().isEmpty()) return {};
    return reply.arguments().constFirst().value<QDBusObjectPath>().path();
}

QVariant unwrapped(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

QVariantMap propertiesIn(const QDBusMessage& reply) {
    if (!succeeded(reply) || reply.arguments().isEmpty()) return {};
    const QVariant& value = reply.arguments().constFirst();
    if (value.userType() != qMetaTypeId<QDBusArgument>()) return value.toMap();
    return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
}

}  // namespace

SessionObserver::SessionObserver(Hooks hooks, QDBusConnection bus)
    : hooks_(std::move(hooks)), bus_(std::move(bus)) {
    if (!bus_.isConnected()) {
        finish(false);
        return;
    }
    // Before the look-up, so that no sleep can fall between the two.
    bus_.connect(kLogindService, kLogindManagerPath, kLogindManager,
                 QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (id.isEmpty()) {
        lookUpByPid();
    } else {
        lookUpById(id);
    }
}

SessionObserver::~SessionObserver() {
    disconnectAll();
}

bool SessionObserver::watching() const {
    return watching_;
}

bool SessionObserver::isSettled() const {
    return settled_;
}

QString SessionObserver::sessionPath() const {
    return sessionPath_;
}

void SessionObserver::call(const QString& path, const QString& interface, const QString& method,
                           const QVariantList& arguments, Reply onReply) {
    QDBusMessage message = QDBusMessage::createMethodCall(kLogindService, path, interface, method);
    message.setArguments(arguments);
    // The watcher is our child, so no reply reaches an observer that is gone.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, onReply = std::move(onReply)] {
                watcher->deleteLater();
                onReply(watcher->reply());
            });
}

bool SessionObserver::logindAnswered(const QDBusMessage& reply) {
    if (succeeded(reply)) return true;
    switch (QDBusError(reply).type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::NoReply:
        case QDBusError::NoServer:
        case QDBusError::Disconnected:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            return false;
        default:
            return true;
    }
}

void SessionObserver::lookUpById(const QString& id) {
    call(kLogindManagerPath, kLogindManager, QStringLiteral("GetSession"), {id},
         [this](const QDBusMessage& reply) {
             if (!logindAnswered(reply)) return finish(false);
             const QString path = pathIn(reply);
             if (path.isEmpty()) return lookUpByPid();
             watchSession(path);
         });
}

void SessionObserver::lookUpByPid() {
    call(kLogindManagerPath, kLogindManager, QStringLiteral("GetSessionByPID"),
         {QVariant::fromValue(static_cast<quint32>(::getpid()))},
         [this](const QDBusMessage& reply) {
             if (!logindAnswered(reply)) return finish(false);
             const QString path = pathIn(reply);
             if (path.isEmpty()) return lookUpAuto();
             watchSession(path);
         });
}

void SessionObserver::lookUpAuto() {
    // logind sends the session's signals from its own path, never from "auto": the session's
    // Id names that path.
    call(kLogindAutoSession, kLogindProperties, QStringLiteral("GetAll"), {kLogindSession},
         [this](const QDBusMessage& reply) {
             const QString id =
                 unwrapped(propertiesIn(reply).value(QStringLiteral("Id"))).toString();
             if (id.isEmpty()) return finish(logindAnswered(reply));  // sleep alone, if any
             call(kLogindManagerPath, kLogindManager, QStringLiteral("GetSession"), {id},
                  [this](const QDBusMessage& byId) {
                      const QString path = pathIn(byId);
                      if (path.isEmpty()) return finish(logindAnswered(byId));
                      watchSession(path);
                  });
         });
}

void SessionObserver::watchSession(const QString& path) {
    sessionPath_ = path;
    bus_.connect(kLogindService, path, kLogindSession, QStringLiteral("Lock"), this,
                 SLOT(onLock()));
    bus_.connect(kLogindService, path, kLogindSession, QStringLiteral("Unlock"), this,
                 SLOT(onUnlock()));
    bus_.connect(kLogindService, path, kLogindProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    readSession();
}

void SessionObserver::readSession() {
    call(sessionPath_, kLogindProperties, QStringLiteral("GetAll"), {kLogindSession},
         [this](const QDBusMessage& reply) {
             finish(logindAnswered(reply));
             if (watching_) applyProperties(propertiesIn(reply));
         });
}

void SessionObserver::applyProperties(const QVariantMap& properties) {
    if (properties.contains(kLogindActive))
        active_ = unwrapped(properties.value(kLogindActive)).toBool();
    if (properties.contains(kLogindLockedHint)) {
        locked_ = unwrapped(properties.value(kLogindLockedHint)).toBool();
    }
    update();
}

void SessionObserver::onPrepareForSleep(bool start) {
    if (start == sleeping_) return;
    sleeping_ = start;
    // A copy, called last: a hook may destroy this observer.
    const auto hook = start ? hooks_.willSleep : hooks_.didWake;
    if (hook) hook();
}

void SessionObserver::onLock() {
    locked_ = true;
    update();
}

void SessionObserver::onUnlock() {
    locked_ = false;
    update();
}

void SessionObserver::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                          const QStringList& invalidated) {
    if (interface != kLogindSession) return;
    applyProperties(changed);
    if (invalidated.contains(kLogindActive) || invalidated.contains(kLogindLockedHint))
        readSession();
}

void SessionObserver::update() {
    const bool inFront = active_ && !locked_;
    if (inFront == inFront_) return;
    inFront_ = inFront;
    // A copy, called last: a hook may destroy this observer.
    const auto hook = inFront ? hooks_.sessionActive : hooks_.sessionInactive;
    if (hook) hook();
}

void SessionObserver::finish(bool watching) {
    if (settled_) return;
    settled_ = true;
    watching_ = watching;
    if (!watching) disconnectAll();
    QMetaObject::invokeMethod(this, &SessionObserver::settled, Qt::QueuedConnection);
}

void SessionObserver::disconnectAll() {
    if (!bus_.isConnected()) return;
    bus_.disconnect(kLogindService, kLogindManagerPath, kLogindManager,
                    QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    if (sessionPath_.isEmpty()) return;
    bus_.disconnect(kLogindService, sessionPath_, kLogindSession, QStringLiteral("Lock"), this,
                    SLOT(onLock()));
    bus_.disconnect(kLogindService, sessionPath_, kLogindSession, QStringLiteral("Unlock"), this,
                    SLOT(onUnlock()));
    bus_.disconnect(kLogindService, sessionPath_, kLogindProperties,
                    QStringLiteral("PropertiesChanged"), this,
                    SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
}

}  // namespace orvel
