#pragma once
// RokuOptions: the timing of the Roku backend. The defaults are what real TVs get; tests
// shorten them.

#include <cstddef>

namespace orvel {

struct RokuOptions {
    double connectedPoll = 1.0;   // active-app and media-player of the connected TV
    double watchedPoll = 3.0;     // the same for a TV that is only watched
    double deviceInfoPoll = 5.0;  // device-info of every followed TV
    double afterCommand = 0.35;   // one more look this long after each command
    double playingRefresh = 5.0;  // "state" at least this often while something plays
    int failedPollsToDrop = 3;    // polls in a row without an answer before "disconnected"
    // Every request is answered within this many seconds (the application gives up after 28).
    double requestBudget = 20.0;
    double httpTimeout = 5.0;       // the transport's time-out per HTTP request
    std::size_t longestText = 250;  // Unicode scalars typed by one "text" command
    double keyPace = 0.05;          // a TV's usual time per typed key, to refuse text up front
};

}  // namespace orvel
