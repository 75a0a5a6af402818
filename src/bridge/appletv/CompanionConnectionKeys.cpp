#include "bridge/appletv/CompanionConnection.hpp"

#include <utility>

// CompanionConnection's keys: presses one after another, each step awaiting its reply.

namespace orvel {

void CompanionConnection::keys(CompanionKey key, std::vector<KeyStep> steps, Done done) {
    if (auto why = unavailable(true); !why.empty())
        return later([done, why] { done(CompanionError{why}); });
    keyQueue_.push_back({static_cast<int>(key),
                         std::make_shared<const std::vector<KeyStep>>(std::move(steps)),
                         std::move(done)});
    if (!keyBusy_) startKey();
}

void CompanionConnection::startKey() {
    if (keyQueue_.empty() || ended_) return;
    keyBusy_ = true;
    KeyPress press = std::move(keyQueue_.front());
    keyQueue_.pop_front();
    nextKey(press, 0);
}

void CompanionConnection::finishKey(const KeyPress& press, const CompanionResult<>& result) {
    keyBusy_ = false;
    const auto alive = alive_;
    press.done(result);
    if (*alive) startKey();
}

void CompanionConnection::nextKey(const KeyPress& press, std::size_t at) {
    if (at == press.steps->size()) return finishKey(press, std::monostate{});
    const KeyStep step = (*press.steps)[at];
    // this: the request's completion and the hold timer are ours and go with us.
    auto send = [this, press, at, state = step.state] {
        sendRequest("_hidC", CompanionStartup::button(press.code, state), options_.replyTimeout,
                    [this, press, at](const CompanionResult<OpackValue>& reply) {
                        if (!reply) return finishKey(press, reply.error());
                        nextKey(press, at + 1);
                    });
    };
    if (step.pauseBefore <= 0) return send();
    const std::uint64_t id = nextHold_++;
    holds_[id] = {loop_.postAfter(step.pauseBefore,
                                  [this, id, send] {
                                      if (holds_.erase(id) == 0 || ended_) return;
                                      send();
                                  }),
                  press.done};
}

void CompanionConnection::press(CompanionKey key, Done done) {
    keys(key, {{kButtonDown, 0}, {kButtonUp, 0}}, std::move(done));
}

void CompanionConnection::pressTwice(CompanionKey key, Done done) {
    keys(key, {{kButtonDown, 0}, {kButtonUp, 0}, {kButtonDown, 0}, {kButtonUp, 0}},
         std::move(done));
}

void CompanionConnection::hold(CompanionKey key, double seconds, Done done) {
    keys(key, {{kButtonDown, 0}, {kButtonUp, seconds}}, std::move(done));
}

// The TV sleeps and wakes on the release alone; a press of these would toggle twice.
void CompanionConnection::sleep(Done done) {
    keys(CompanionKey::sleep, {{kButtonUp, 0}}, std::move(done));
}

void CompanionConnection::wake(Done done) {
    keys(CompanionKey::wake, {{kButtonUp, 0}}, std::move(done));
}

}  // namespace orvel
