#include "app/MediaPlayerService.hpp"

#include <utility>

#include "app/AppIconCache.hpp"
#include "session/AppStore.hpp"
#include "shell/MediaPlayer.hpp"
#include "shell/MediaPlayerState.hpp"

namespace orvel {

MediaPlayerService::MediaPlayerService(MainLoop& loop, AppStore& store, Options options)
    : loop_(loop), store_(store), options_(std::move(options)) {
    refresh();
    // Raw this: the subscription is ours and ends before we do.
    watch_ = store_.observe([this] { refresh(); });
}

MediaPlayerService::~MediaPlayerService() {
    self_.reset();
    watch_.reset();
    player_.reset();
}

void MediaPlayerService::refresh() {
    const bool wanted = store_.state().showsInMediaControls;
    if (wanted != on_) {
        on_ = wanted;
        player_.reset();
        if (wanted) startPlayer();
        return;
    }
    if (player_) player_->update(current());
}

void MediaPlayerService::startPlayer() {
    // Raw this in the hooks: the player is ours, goes first, and drops the calls it queued.
    MediaPlayer::Hooks hooks{
        .send =
            [this](RemoteAction action) {
                if (!player_ || player_->state().tvID.empty()) return;
                store_.send(action, CommandOptions{.to = player_->state().tvID});
            },
        .setVolume = [this](double volume) { store_.setVolume(volume * 100); },
        .raise = options_.raise,
        .quit = options_.quit,
        .now = [this] { return loop_.now(); },
    };
    player_ = MediaPlayer::start(std::move(hooks), current(), options_.busAddress);
}

MediaPlayerState MediaPlayerService::current() {
    const auto target = store_.mediaKeyTarget();
    const std::string& id = target ? target->id : store_.state().selectedID;
    return MediaPlayerState::make(store_.state(), id,
                                  [this](const std::string& url) { return artFile(url); });
}

std::string MediaPlayerService::artFile(const std::string& iconUrl) {
    if (!options_.icons) return {};
    if (auto kept = options_.icons->keptFile(iconUrl)) return *kept;
    // Once per address: an icon the cache cannot keep on disk is never art.
    if (iconsAsked_.insert(iconUrl).second) {
        options_.icons->fetch(iconUrl, [owner = std::weak_ptr(self_)](const std::string& bytes) {
            if (auto self = owner.lock(); self && !bytes.empty()) (*self)->refresh();
        });
    }
    return {};
}

}  // namespace orvel
