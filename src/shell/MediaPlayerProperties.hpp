#pragma once
// MediaPlayerProperties: the two player interfaces' properties in their D-Bus types, from a
// MediaPlayerState, and their introspection data: the only place that knows those types.
// Metadata is a{sv} with mpris:trackid an object path, xesam:artist a list and mpris:length
// in microseconds; Volume is left out while the TV reports none.
//
//   connection.send(message.createReply(QVariant(MediaPlayerProperties::player(state, now))));
//
// Pure functions of their arguments; any thread.

#include <QString>
#include <QVariantMap>

#include "shell/MediaPlayerState.hpp"

namespace orvel::MediaPlayerProperties {

inline const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
inline const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// org.mpris.MediaPlayer2: an app that can quit, raises only with its interface, and lists no
// tracks or playable addresses.
QVariantMap root(bool canRaise);
// org.mpris.MediaPlayer2.Player, Position at uptime `now` included.
QVariantMap player(const MediaPlayerState& state, double now);
QVariantMap metadata(const MediaPlayerState::Metadata& metadata);

// The <interface> elements of both, for Introspect.
QString introspection();

}  // namespace orvel::MediaPlayerProperties
