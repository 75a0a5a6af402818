#pragma once
// AvahiLoopPoll: Avahi's main-loop interface (AvahiPoll) over our PollLoop, so that the Avahi
// client runs on the bridge's loop thread and starts no thread of its own. Owned by whoever
// owns the Avahi client; loop thread only.
//
//   AvahiLoopPoll poll(loop);
//   AvahiClient* client = avahi_client_new(poll.api(), flags, onState, self, &error);
//
// Every Avahi object made with api() must be freed before the AvahiLoopPoll goes; watches and
// timeouts still held then are dropped unfired. A watch or timeout may be updated or freed from
// inside its own callback. Hang-ups and errors are reported as the events watched (the next
// read or write finds them), since PollLoop tells them apart from neither; a watch for neither
// reading nor writing waits for nothing.

#include <memory>

#include "platform/PollLoop.hpp"

struct AvahiPoll;

namespace orvel {

class AvahiLoopPoll {
public:
    explicit AvahiLoopPoll(PollLoop& loop);
    ~AvahiLoopPoll();
    AvahiLoopPoll(const AvahiLoopPoll&) = delete;
    AvahiLoopPoll& operator=(const AvahiLoopPoll&) = delete;

    [[nodiscard]] const AvahiPoll* api() const;

    // Defined beside the implementation; named here so that Avahi's C callbacks can reach it.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvel
