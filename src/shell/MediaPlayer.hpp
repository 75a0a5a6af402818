#pragma once
// MediaPlayer: the TV as one media player on the session bus, so that the desktop's media
// controls (and its media keys, where it routes them to the active player) drive it. Serves
// org.mpris.MediaPlayer2 and its Player interface at /org/mpris/MediaPlayer2 on a connection of
// its own, under org.mpris.MediaPlayer2.orvel (or .instance<pid> when another app holds that),
// so destruction releases the name. Every update announces what changed with one
// PropertiesChanged per interface, and a jump or a new item with Seeked; Position is read
// from the latest report, never announced.
//
//   auto player = MediaPlayer::start(hooks, MediaPlayerState::make(state, id, art), {});
//   store.observe([&] { player->update(MediaPlayerState::make(store.state(), id, art)); });
//
// Owner: the app's media-player service. Thread: the GUI thread (Qt's event loop, a
// QCoreApplication at least); the hooks run there, each on a turn after the bus's request, and
// may end the player.

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

#include "core/RemoteAction.hpp"
#include "shell/MediaPlayerState.hpp"

namespace orvel {

class MediaPlayer final : public QDBusVirtualObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void(RemoteAction)> send;        // to the player's TV
        std::function<void(double volume)> setVolume;  // 0 to 1, for a TV that takes it
        std::function<void()> raise;                   // empty: CanRaise is false
        std::function<void()> quit;
        std::function<double()> now;  // the loop's uptime, which reports are stamped with
    };

    static const QString kPath;     // "/org/mpris/MediaPlayer2"
    static const QString kService;  // "org.mpris.MediaPlayer2.orvel"

    // On a new connection to the bus at `busAddress` (none: the session bus); null when no bus
    // answers or neither name can be had.
    static std::unique_ptr<MediaPlayer> start(Hooks hooks, MediaPlayerState initial,
                                              const std::optional<QString>& busAddress);
    ~MediaPlayer() override;
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    void update(MediaPlayerState state);
    const MediaPlayerState& state() const { return state_; }
    // The name it owns on the bus.
    const QString& serviceName() const { return service_; }

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    MediaPlayer(Hooks hooks, MediaPlayerState initial, QDBusConnection connection);
    bool own();

    // What a property request answers; false when it is not one of ours.
    bool properties(const QDBusMessage& message, const QDBusConnection& connection);
    QDBusMessage set(const QDBusMessage& message, const QString& interface, const QString& name,
                     const QVariant& value);
    QDBusMessage call(const QDBusMessage& message);
    void send(std::optional<RemoteAction> action);
    // Runs `work` on a later turn, never inside the bus's dispatch; dropped if we are gone.
    void later(std::function<void()> work);
    QVariantMap interfaceProperties(const QString& interface) const;

    Hooks hooks_;
    MediaPlayerState state_;
    QVariantMap announced_;  // the player's properties as last told, Position aside
    QDBusConnection connection_;
    QString service_;
};

}  // namespace orvel
