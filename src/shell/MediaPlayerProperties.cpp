#include "shell/MediaPlayerProperties.hpp"

#include <QDBusObjectPath>
#include <QStringList>

#include "session/AppInfo.hpp"

namespace orvel::MediaPlayerProperties {
namespace {

QString text(std::string_view value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

}  // namespace

QVariantMap root(bool canRaise) {
    return {
        {QStringLiteral("CanQuit"), true},
        {QStringLiteral("CanRaise"), canRaise},
        {QStringLiteral("HasTrackList"), false},
        {QStringLiteral("Identity"), QStringLiteral("Orvel Remote")},
        {QStringLiteral("DesktopEntry"), QString::fromLatin1(AppInfo::kDesktopId)},
        {QStringLiteral("SupportedUriSchemes"), QStringList()},
        {QStringLiteral("SupportedMimeTypes"), QStringList()},
    };
}

QVariantMap metadata(const MediaPlayerState::Metadata& metadata) {
    QVariantMap map{
        {QStringLiteral("mpris:trackid"),
         QVariant::fromValue(QDBusObjectPath(text(metadata.trackID)))},
    };
    if (metadata.trackID == MediaPlayerState::kNoTrack) return map;
    map.insert(QStringLiteral("xesam:title"), text(metadata.title));
    QStringList artists;
    for (const auto& artist : metadata.artists) artists << text(artist);
    if (!artists.isEmpty()) map.insert(QStringLiteral("xesam:artist"), artists);
    if (!metadata.album.empty()) map.insert(QStringLiteral("xesam:album"), text(metadata.album));
    if (metadata.length) map.insert(QStringLiteral("mpris:length"), qlonglong(*metadata.length));
    if (!metadata.artUrl.empty()) map.insert(QStringLiteral("mpris:artUrl"), text(metadata.artUrl));
    return map;
}

QVariantMap player(const MediaPlayerState& state, double now) {
    QVariantMap map{
        {QStringLiteral("PlaybackStatus"), text(MediaPlayerState::statusText(state.status))},
        {QStringLiteral("Rate"), 1.0},
        {QStringLiteral("MinimumRate"), 1.0},
        {QStringLiteral("MaximumRate"), 1.0},
        {QStringLiteral("Metadata"), metadata(state.metadata)},
        {QStringLiteral("Position"), qlonglong(state.position(now))},
        {QStringLiteral("CanPlay"), state.canPlay()},
        {QStringLiteral("CanPause"), state.canPause()},
        {QStringLiteral("CanGoNext"), state.canGoNext()},
        {QStringLiteral("CanGoPrevious"), state.canGoPrevious()},
        {QStringLiteral("CanSeek"), state.canSeek()},
        {QStringLiteral("CanControl"), state.canControl()},
    };
    if (state.volume) map.insert(QStringLiteral("Volume"), *state.volume);
    return map;
}

QString introspection() {
    return QStringLiteral(R"(
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/>
      <arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read">
      <annotation name="org.freedesktop.DBus.Property.EmitsChangedSignal" value="false"/>
    </property>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
)");
}

}  // namespace orvel::MediaPlayerProperties
