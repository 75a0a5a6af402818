#pragma once
// CompanionOptions: the timing of one Companion connection. The defaults are what real TVs get;
// tests shorten them so that a silent TV is found out in milliseconds.

namespace orvel {

struct CompanionOptions {
    // A TV on the local network accepts within milliseconds; one that has not after this long is
    // asleep beyond its network standby or gone.
    double connectTimeout = 5.0;
    // Each pairing step and request; the TV answers in well under a second, and the peer
    // implementations we learned from give up after 5 s too.
    double replyTimeout = 5.0;
    // After this long without a byte from the TV a probe goes out: a quiet session is normal
    // (nothing plays, nothing changes), so only an unanswered probe says the TV is gone.
    double probeInterval = 10.0;
    // Nothing at all for this long, probes included, ends the connection. Two probes and their
    // reply time fit inside it, so one lost on Wi-Fi is not fatal.
    double silenceLimit = 25.0;
    // Connecting and verifying for a request, a retry included: a TV on the local network takes
    // milliseconds, and a command must still have time for its keys within the request's 28 s.
    double openLimit = 12.0;
    // A key held (Home for the control center): long enough for the TV to tell it from a press.
    double holdSeconds = 1.0;
};

}  // namespace orvel
