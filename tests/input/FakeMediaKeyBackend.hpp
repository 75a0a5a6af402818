#pragma once
// FakeMediaKeyBackend: a desktop the test controls. It holds what MediaKeys asks for, or refuses
// when told to, and delivers the test's key events the way a grab would: a key it does not hold
// goes straight to the desktop. requestAccess() makes it ready.
// Owner: the test, then the MediaKeys under test. Thread: the test thread. Ends with it.

#include <utility>
#include <vector>

#include "input/MediaKeyBackend.hpp"

namespace orvel::test {

class FakeMediaKeyBackend final : public MediaKeyBackend {
public:
    Readiness readiness() override { return state; }
    bool capture(const std::set<std::uint16_t>& codes, Presses handler) override {
        captures.push_back(codes);
        presses = std::move(handler);
        held = codes.empty() || !refuse ? codes : std::set<std::uint16_t>{};
        return held == codes;
    }
    bool capturing() const override { return !held.empty(); }
    void requestAccess() override { state = Readiness::ready; }

    // True when the application took the event; false when the desktop got it.
    bool press(std::uint16_t code, MediaKeyPress::Phase phase = MediaKeyPress::Phase::down,
               bool isRepeat = false, bool super = true, bool otherModifiers = false) {
        return held.contains(code) && presses &&
               presses({code, phase, isRepeat}, super, otherModifiers);
    }

    Readiness state = Readiness::ready;
    bool refuse = false;  // every capture of some key fails
    std::set<std::uint16_t> held;
    std::vector<std::set<std::uint16_t>> captures;
    Presses presses;
};

}  // namespace orvel::test
