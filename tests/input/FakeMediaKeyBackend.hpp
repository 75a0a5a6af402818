#pragma once
// FakeMediaKeyBackend: a desktop the test controls. It holds what MediaKeys asks for (or
// refuses when told to) and delivers the test's key events the way a grab would: a key it
// does not hold goes straight to the desktop.

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "input/MediaKeyBackend.hpp"

namespace orvel::test {

class FakeMediaKeyBackend final : public MediaKeyBackend {
public:
    Readiness readiness() override {
        ++readinessAsks;
        return state;
    }
    bool capture(const std::set<std::uint16_t>& codes, Presses handler) override {
        captures.push_back(codes);
        presses = std::move(handler);
        const bool granted = codes.empty() || !refuse;
        held = granted ? codes : std::set<std::uint16_t>{};
        return granted;
    }
    bool capturing() const override { return !held.empty(); }
    void requestAccess() override {
        ++accessRequests;
        if (grantOnRequest) state = Readiness::ready;
    }

    // True when the application took the event; false when the desktop got it.
    bool press(std::uint16_t code, MediaKeyPress::Phase phase, bool isRepeat = false,
               bool super = true, bool otherModifiers = false) {
        if (!held.contains(code) || !presses) return false;
        return presses({code, phase, isRepeat}, super, otherModifiers);
    }
    bool down(std::uint16_t code, bool isRepeat = false) {
        return press(code, MediaKeyPress::Phase::down, isRepeat);
    }
    bool up(std::uint16_t code) { return press(code, MediaKeyPress::Phase::up); }

    Readiness state = Readiness::ready;
    bool refuse = false;          // every non-empty capture fails
    bool grantOnRequest = false;  // requestAccess() makes it ready
    int readinessAsks = 0;
    int accessRequests = 0;
    std::set<std::uint16_t> held;
    std::vector<std::set<std::uint16_t>> captures;
    Presses presses;
};

}  // namespace orvel::test
