#include "app/SessionSuspension.hpp"

#include <utility>

#include "app/HeadlessApp.hpp"
#include "shell/SessionObserver.hpp"

namespace orvel {

// Raw this in the hooks: the observer is a member and goes first.
SessionSuspension::SessionSuspension(HeadlessApp& core, std::function<void()> closePanel)
    : core_(core), closeRemote_(std::move(closePanel)) {
    observer_ = std::make_unique<SessionObserver>(SessionObserver::Hooks{
        .willSleep =
            [this] {
                closeRemote();
                suspendKeys(true);
                asleep_ = true;
                core_.store().suspend();
            },
        .didWake =
            [this] {
                if (!std::exchange(asleep_, false)) return;
                core_.store().resume();
                suspendKeys(false);
            },
        .sessionInactive =
            [this] {
                closeRemote();
                suspendKeys(true);
            },
        .sessionActive = [this] { suspendKeys(false); },
    });
}

SessionSuspension::~SessionSuspension() = default;

void SessionSuspension::closeRemote() const {
    if (closeRemote_) closeRemote_();
}

void SessionSuspension::suspendKeys(bool suspended) {
    if (auto* keys = core_.keys()) keys->setSuspended(suspended);
}

}  // namespace orvel
