#include "shell/MediaPlayer.hpp"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <map>

#include "shell/MediaPlayerProperties.hpp"

namespace orvel {
namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNotSupported = QStringLiteral("org.freedesktop.DBus.Error.NotSupported");
const QString kPosition = QStringLiteral("Position");

using Request = MediaPlayerState::Request;

// The transport methods of the player interface, each one request.
const std::map<QString, Request>& transportMethods() {
    static const std::map<QString, Request> methods = {
        {QStringLiteral("Play"), Request::play},
        {QStringLiteral("Pause"), Request::pause},
        {QStringLiteral("PlayPause"), Request::playPause},
        {QStringLiteral("Stop"), Request::stop},
        {QStringLiteral("Next"), Request::next},
        {QStringLiteral("Previous"), Request::previous},
    };
    return methods;
}

QDBusMessage error(const QDBusMessage& message, const QString& name, const char* sentence) {
    return message.createErrorReply(name, QString::fromUtf8(sentence));
}

}  // namespace

const QString MediaPlayer::kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString MediaPlayer::kService = QStringLiteral("org.mpris.MediaPlayer2.orvel");

std::unique_ptr<MediaPlayer> MediaPlayer::start(Hooks hooks, MediaPlayerState initial,
                                                const std::optional<QString>& busAddress) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("orvel-mpris-%1").arg(++counter);
    QDBusConnection connection =
        busAddress ? QDBusConnection::connectToBus(*busAddress, name)
                   : QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    // Not make_unique: the constructor is private, and only start() may leave a player unserved.
    std::unique_ptr<MediaPlayer> player(
        new MediaPlayer(std::move(hooks), std::move(initial), std::move(connection)));
    if (!player->connection_.isConnected() ||
        !player->connection_.registerVirtualObject(kPath, player.get()) || !player->own()) {
        return nullptr;
    }
    return player;
}

MediaPlayer::MediaPlayer(Hooks hooks, MediaPlayerState initial, QDBusConnection connection)
    : hooks_(std::move(hooks)), state_(std::move(initial)), connection_(std::move(connection)) {
    announced_ = MediaPlayerProperties::player(state_, hooks_.now());
    announced_.remove(kPosition);
}

MediaPlayer::~MediaPlayer() {
    const QString name = connection_.name();
    if (!service_.isEmpty()) connection_.unregisterService(service_);
    connection_.unregisterObject(kPath);
    connection_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
}

bool MediaPlayer::own() {
    // A second app on another profile is a second player, as the desktop expects.
    for (const QString& name :
         {kService, kService + QStringLiteral(".instance%1").arg(::getpid())}) {
        if (connection_.registerService(name)) {
            service_ = name;
            return true;
        }
    }
    return false;
}

void MediaPlayer::update(MediaPlayerState state) {
    const double now = hooks_.now();
    const bool jumped = MediaPlayerState::jumped(state_, state, now);
    state_ = std::move(state);
    QVariantMap current = MediaPlayerProperties::player(state_, now);
    current.remove(kPosition);
    QVariantMap changed;
    QStringList invalidated;
    for (auto property = current.cbegin(); property != current.cend(); ++property) {
        const auto before = announced_.constFind(property.key());
        if (before == announced_.cend() || *before != property.value())
            changed.insert(property.key(), property.value());
    }
    for (auto property = announced_.cbegin(); property != announced_.cend(); ++property) {
        if (!current.contains(property.key())) invalidated << property.key();
    }
    announced_ = std::move(current);
    if (!changed.isEmpty() || !invalidated.isEmpty()) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kProperties, QStringLiteral("PropertiesChanged"));
        signal << MediaPlayerProperties::kPlayer << changed << invalidated;
        connection_.send(signal);
    }
    if (jumped) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, MediaPlayerProperties::kPlayer,
                                                         QStringLiteral("Seeked"));
        signal << qlonglong(state_.position(now));
        connection_.send(signal);
    }
}

QString MediaPlayer::introspect(const QString& path) const {
    return path == kPath ? MediaPlayerProperties::introspection() : QString();
}

bool MediaPlayer::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.path() != kPath || message.type() != QDBusMessage::MethodCallMessage) return false;
    if (message.interface() == kProperties) return properties(message, connection);
    if (message.interface() != MediaPlayerProperties::kRoot &&
        message.interface() != MediaPlayerProperties::kPlayer) {
        return false;  // Introspectable and Peer are Qt's
    }
    const QDBusMessage reply = call(message);
    if (reply.type() == QDBusMessage::InvalidMessage) return false;
    connection.send(reply);
    return true;
}

QDBusMessage MediaPlayer::call(const QDBusMessage& message) {
    const QString& member = message.member();
    const QVariantList arguments = message.arguments();
    if (message.interface() == MediaPlayerProperties::kRoot) {
        const bool raise = member == QLatin1String("Raise");
        if (!raise && member != QLatin1String("Quit")) return {};
        if (const auto& hook = raise ? hooks_.raise : hooks_.quit) later(hook);
        return message.createReply();
    }
    if (const auto method = transportMethods().find(member); method != transportMethods().end()) {
        if (!arguments.isEmpty()) return {};
        send(state_.action(method->second));
        return message.createReply();
    }
    if (member == QLatin1String("Seek") && message.signature() == QLatin1String("x")) {
        send(state_.seekAction(arguments.at(0).toLongLong()));
        return message.createReply();
    }
    if (member == QLatin1String("SetPosition") && message.signature() == QLatin1String("ox")) {
        // A stale track is to be ignored; the TV itself only skips.
        const QString track = qvariant_cast<QDBusObjectPath>(arguments.at(0)).path();
        if (track != QString::fromStdString(state_.metadata.trackID)) return message.createReply();
        return error(message, kNotSupported,
                     "The TV cannot go to a position; seeking skips forward or back instead.");
    }
    if (member == QLatin1String("OpenUri") && message.signature() == QLatin1String("s")) {
        return error(message, kNotSupported, "Orvel Remote opens no addresses on the TV.");
    }
    return {};
}

void MediaPlayer::send(std::optional<RemoteAction> action) {
    if (!action || !hooks_.send) return;
    later([send = hooks_.send, a = *action] { send(a); });
}

void MediaPlayer::later(std::function<void()> work) {
    // The application receives it, not the player, so that the work may end the player.
    QTimer::singleShot(0, QCoreApplication::instance(),
                       [player = QPointer<MediaPlayer>(this), work = std::move(work)] {
                           if (player) work();
                       });
}

QVariantMap MediaPlayer::interfaceProperties(const QString& interface) const {
    if (interface == MediaPlayerProperties::kRoot)
        return MediaPlayerProperties::root(static_cast<bool>(hooks_.raise));
    if (interface == MediaPlayerProperties::kPlayer)
        return MediaPlayerProperties::player(state_, hooks_.now());
    return {};
}

bool MediaPlayer::properties(const QDBusMessage& message, const QDBusConnection& connection) {
    const QVariantList arguments = message.arguments();
    const QString& member = message.member();
    const QString interface = arguments.isEmpty() ? QString() : arguments.at(0).toString();
    const bool ours =
        interface == MediaPlayerProperties::kRoot || interface == MediaPlayerProperties::kPlayer;
    QDBusMessage reply;
    if (member == QLatin1String("GetAll") && message.signature() == QLatin1String("s")) {
        reply = ours ? message.createReply(QVariant(interfaceProperties(interface)))
                     : error(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                             "No such interface here.");
    } else if (member == QLatin1String("Get") && message.signature() == QLatin1String("ss")) {
        const QVariantMap all = interfaceProperties(interface);
        const auto found = all.constFind(arguments.at(1).toString());
        reply = found == all.cend()
                    ? error(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                            "No such property here, or none while the TV reports none.")
                    : message.createReply(QVariant::fromValue(QDBusVariant(*found)));
    } else if (member == QLatin1String("Set") && message.signature() == QLatin1String("ssv")) {
        reply = set(message, interface, arguments.at(1).toString(),
                    qvariant_cast<QDBusVariant>(arguments.at(2)).variant());
    } else {
        return false;
    }
    connection.send(reply);
    return true;
}

QDBusMessage MediaPlayer::set(const QDBusMessage& message, const QString& interface,
                              const QString& name, const QVariant& value) {
    const bool player = interface == MediaPlayerProperties::kPlayer;
    if (player && name == QLatin1String("Rate")) return message.createReply();  // always 1
    if (!player || name != QLatin1String("Volume")) {
        return error(message, QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"),
                     "Only the volume can be set.");
    }
    bool number = false;
    const double volume = value.toDouble(&number);
    if (!number) {
        return error(message, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                     "The volume is a number from 0 to 1.");
    }
    if (!state_.canSetVolume || !hooks_.setVolume) {
        return error(message, kNotSupported, "This TV cannot be set to a volume.");
    }
    later([set = hooks_.setVolume, v = std::clamp(volume, 0.0, 1.0)] { set(v); });
    return message.createReply();
}

}  // namespace orvel
