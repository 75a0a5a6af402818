#pragma once
// CompanionSocket: the TCP connection to one Apple TV's Companion port, on the PollLoop and
// without blocking it. It connects (with a time-out), queues what it is given to send, hands on
// whatever bytes arrive, and ends once: the `closed` hook gets the sentence why (refused, timed
// out, closed by the TV, a read or write error). It knows nothing of frames. Owned by one
// CompanionConnection; loop thread only. Destroying it closes the socket without a call back,
// and is safe from inside its own hooks.
//
//   CompanionSocket socket(loop, "192.168.1.40", 49153, 5.0, {.received = ..., .closed = ...});
//   socket.send(frame);   // queued until connected

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/PollLoop.hpp"

namespace orvel {

class CompanionSocket {
public:
    struct Hooks {
        std::function<void(std::span<const std::uint8_t> bytes)> received;
        // Once, at the end; the owner may destroy the socket from inside the call.
        std::function<void(const std::string& reason)> closed;
    };

    // `ip`: a dotted IPv4 address. Starts connecting at once; a failure to even start is
    // reported from the loop, never from inside the constructor.
    CompanionSocket(PollLoop& loop, const std::string& ip, int port, double connectTimeout,
                    Hooks hooks);
    ~CompanionSocket();
    CompanionSocket(const CompanionSocket&) = delete;
    CompanionSocket& operator=(const CompanionSocket&) = delete;

    // Queued in order; nothing once the socket ended.
    void send(std::span<const std::uint8_t> bytes);
    // "192.168.1.40:49153", for sentences.
    const std::string& peer() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace orvel
