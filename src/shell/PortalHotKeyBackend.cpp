#include "shell/PortalHotKeyBackend.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QList>
#include <QPair>
#include <utility>

#include "input/KeyCodes.hpp"
#include "session/AppInfo.hpp"

namespace orvel {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kPortalRegistry = QStringLiteral("org.freedesktop.host.portal.Registry");
const QString kPortalRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kPortalSession = QStringLiteral("org.freedesktop.portal.Session");
const QString kPortalAppId = QString::fromLatin1(AppInfo::kDesktopId);
const QString kPortalDescription = QStringLiteral("Open or close the remote");
const char* const kResponseSlot = SLOT(onResponse(uint, QVariantMap, QDBusMessage));
const char* const kActivatedSlot =
    SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap));
const char* const kDeactivatedSlot =
    SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap));

// a(sa{sv}): shortcut ids with their properties.
using Shortcuts = QList<QPair<QString, QVariantMap>>;

bool portalOnBus(QDBusConnection& bus) {
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    // The portal usually starts on its first call: an activatable name counts.
    return bus.interface()->isServiceRegistered(kPortalService).value() ||
           bus.interface()->activatableServiceNames().value().contains(kPortalService);
}

QString pathOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    return value.toString();
}

}  // namespace

PortalHotKeyBackend::PortalHotKeyBackend(QDBusConnection bus) : bus_(std::move(bus)) {
    qDBusRegisterMetaType<Shortcuts::value_type>();
    qDBusRegisterMetaType<Shortcuts>();
    // The signal slots take object paths: until the type is known, connecting them fails and
    // no press would ever arrive.
    qRegisterMetaType<QDBusObjectPath>();
}

PortalHotKeyBackend::~PortalHotKeyBackend() {
    stop();
}

std::optional<QString> PortalHotKeyBackend::preferredTrigger(const KeyboardShortcut& shortcut) {
    const auto name = KeyCodes::keysymNameForKeyCode(shortcut.code);
    if (!name) return std::nullopt;
    static constexpr std::pair<std::uint32_t, const char*> kWords[] = {
        {KeyboardShortcut::kCtrl, "CTRL+"},
        {KeyboardShortcut::kAlt, "ALT+"},
        {KeyboardShortcut::kShift, "SHIFT+"},
        {KeyboardShortcut::kSuper, "LOGO+"},
    };
    QString trigger;
    for (const auto& [bit, word] : kWords) {
        if ((shortcut.modifiers & bit) != 0) trigger += QLatin1String(word);
    }
    return trigger + QString::fromUtf8(name->data(), static_cast<qsizetype>(name->size()));
}

std::optional<HotKeyBackend::StartFailure> PortalHotKeyBackend::start(Events events) {
    if (started_) {
        events_ = std::move(events);
        return std::nullopt;
    }
    if (!portalOnBus(bus_)) return StartFailure{.unsupported = true};
    if (!bus_.connect(kPortalService, kPortalPath, kPortalShortcuts, QStringLiteral("Activated"),
                      this, kActivatedSlot) ||
        !bus_.connect(kPortalService, kPortalPath, kPortalShortcuts, QStringLiteral("Deactivated"),
                      this, kDeactivatedSlot)) {
        disconnectSignals();
        return StartFailure{.unsupported = true};
    }
    started_ = true;
    events_ = std::move(events);
    // Before any other portal call: newer portals refuse host programs they cannot name. An
    // older portal without the registry answers with an error; the session is asked for anyway.
    QDBusMessage registration = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kPortalRegistry, QStringLiteral("Register"));
    registration << kPortalAppId << QVariantMap{};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(registration), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, generation = generation_] {
                watcher->deleteLater();
                if (generation == generation_) createSession();
            });
    return std::nullopt;
}

std::variant<HotKeyBackend::Token, HotKeyBackend::Refusal> PortalHotKeyBackend::grab(
    const KeyboardShortcut& shortcut, std::uint32_t identifier) {
    if (!started_) return Refusal{.code = kNotStarted};
    auto trigger = preferredTrigger(shortcut);
    if (!trigger) return Refusal{.code = kNoSuchKey};
    const Token token = ++nextToken_;
    grabs_.emplace(token, Grab{identifier, std::move(*trigger)});
    bindLatest();
    return token;
}

void PortalHotKeyBackend::disconnectSignals() {
    bus_.disconnect(kPortalService, kPortalPath, kPortalShortcuts, QStringLiteral("Activated"),
                    this, kActivatedSlot);
    bus_.disconnect(kPortalService, kPortalPath, kPortalShortcuts, QStringLiteral("Deactivated"),
                    this, kDeactivatedSlot);
}

void PortalHotKeyBackend::ungrab(Token token) {
    if (grabs_.erase(token) == 0) return;
    bindLatest();
}

void PortalHotKeyBackend::stop() {
    if (!started_) return;
    closeSession();
    disconnectSignals();
    for (const auto& [path, answer] : requests_) {
        bus_.disconnect(kPortalService, path, kPortalRequest, QStringLiteral("Response"), this,
                        kResponseSlot);
    }
    requests_.clear();
    grabs_.clear();
    events_ = nullptr;
    started_ = false;
    ++generation_;
}

bool PortalHotKeyBackend::bound() const {
    return bound_;
}

void PortalHotKeyBackend::request(const QString& interface, const QString& method,
                                  QVariantList arguments, QVariantMap options, Answer answer) {
    const QString token = QStringLiteral("orvel%1").arg(++nextRequest_);
    options.insert(QStringLiteral("handle_token"), token);
    // The portal names the request after our unique name and the token; listening before the
    // call means no answer comes before we hear.
    const QString sender = bus_.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path =
        kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    requests_[path] = std::move(answer);
    watchRequest(path);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    arguments.append(options);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, path, generation = generation_] {
                watcher->deleteLater();
                if (generation != generation_) return;
                const QDBusMessage reply = watcher->reply();
                auto found = requests_.find(path);
                if (found == requests_.end()) return;  // answered already
                const QString handle =
                    reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                        ? pathOf(reply.arguments().constFirst())
                        : QString();
                if (handle == path) return;
                Answer pending = std::move(found->second);
                requests_.erase(found);
                bus_.disconnect(kPortalService, path, kPortalRequest, QStringLiteral("Response"),
                                this, kResponseSlot);
                if (handle.isEmpty()) {
                    pending(2, {});  // refused outright: as the portal's "other" failure
                    return;
                }
                // An older portal that names requests its own way.
                requests_[handle] = std::move(pending);
                watchRequest(handle);
            });
}

void PortalHotKeyBackend::watchRequest(const QString& path) {
    bus_.connect(kPortalService, path, kPortalRequest, QStringLiteral("Response"), this,
                 kResponseSlot);
}

void PortalHotKeyBackend::onResponse(uint response, const QVariantMap& results,
                                     const QDBusMessage& message) {
    auto found = requests_.find(message.path());
    if (found == requests_.end()) return;
    Answer answer = std::move(found->second);
    requests_.erase(found);
    bus_.disconnect(kPortalService, message.path(), kPortalRequest, QStringLiteral("Response"),
                    this, kResponseSlot);
    answer(response, results);
}

void PortalHotKeyBackend::createSession() {
    const QVariantMap options{
        {QStringLiteral("session_handle_token"), QStringLiteral("orvel%1").arg(generation_)}};
    request(kPortalShortcuts, QStringLiteral("CreateSession"), {}, options,
            [this](uint response, const QVariantMap& results) {
                if (response != 0) return;  // no shortcut this run: the portal said no
                session_ = pathOf(results.value(QStringLiteral("session_handle")));
                bindLatest();
            });
}

const PortalHotKeyBackend::Grab* PortalHotKeyBackend::latest() const {
    return grabs_.empty() ? nullptr : &grabs_.rbegin()->second;
}

void PortalHotKeyBackend::bindLatest() {
    const Grab* grab = latest();
    if (session_.isEmpty() || grab == nullptr || boundTrigger_ == grab->trigger) return;
    boundTrigger_ = grab->trigger;
    bound_ = false;
    const Shortcuts shortcuts{{QLatin1String(kShortcutId),
                               {{QStringLiteral("description"), kPortalDescription},
                                {QStringLiteral("preferred_trigger"), grab->trigger}}}};
    request(
        kPortalShortcuts, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString()},
        {}, [this, trigger = grab->trigger](uint response, const QVariantMap&) {
            if (boundTrigger_ == trigger) bound_ = response == 0;
        });
}

void PortalHotKeyBackend::onActivated(const QDBusObjectPath& session, const QString& id, qulonglong,
                                      const QVariantMap&) {
    deliver(session, id, true);
}

void PortalHotKeyBackend::onDeactivated(const QDBusObjectPath& session, const QString& id,
                                        qulonglong, const QVariantMap&) {
    deliver(session, id, false);
}

void PortalHotKeyBackend::deliver(const QDBusObjectPath& session, const QString& id, bool pressed) {
    const Grab* grab = latest();
    if (grab == nullptr || session_.isEmpty() || session.path() != session_ ||
        id != QLatin1String(kShortcutId) || !events_) {
        return;
    }
    // Copies: the receiver may stop or grab again.
    const auto events = events_;
    events(grab->identifier, pressed);
}

void PortalHotKeyBackend::closeSession() {
    if (!session_.isEmpty()) {
        bus_.send(QDBusMessage::createMethodCall(kPortalService, session_, kPortalSession,
                                                 QStringLiteral("Close")));
    }
    session_.clear();
    boundTrigger_.reset();
    bound_ = false;
}

}  // namespace orvel
