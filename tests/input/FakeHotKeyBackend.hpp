#pragma once
// FakeHotKeyBackend: a desktop for GlobalHotKey's tests. It logs every call in `calls` ("start",
// "grab 35+0x1900 #1 -> t1", "ungrab t1", "stop"), refuses the shortcuts it is told to, fails start
// when told, and emits events as the desktop would, outside of any call.
// Owner: the test, then the GlobalHotKey under test. Thread: the test thread. Ends with it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "input/HotKeyBackend.hpp"

namespace orvel::test {

class FakeHotKeyBackend final : public HotKeyBackend {
public:
    std::optional<StartFailure> start(Events events) override {
        calls.push_back("start");
        if (!startFailure) events_ = std::move(events);
        return startFailure;
    }
    std::variant<Token, Refusal> grab(const KeyboardShortcut& shortcut,
                                      std::uint32_t identifier) override {
        if (!events_) ADD_FAILURE() << "grab before start";
        char call[48];
        static_cast<void>(std::snprintf(call, sizeof call, "grab %u+0x%x #%u",
                                        unsigned{shortcut.code}, unsigned{shortcut.modifiers},
                                        unsigned{identifier}));
        const auto refused = std::ranges::find(refusals_, shortcut, &Refusals::value_type::first);
        if (refused != refusals_.end()) {
            calls.push_back(std::string(call) + " refused");
            return refused->second;
        }
        held_.insert(++lastToken_);
        calls.push_back(call + (" -> t" + std::to_string(lastToken_)));
        return lastToken_;
    }
    void ungrab(Token token) override {
        if (held_.erase(token) == 0) ADD_FAILURE() << "ungrab of t" << token << ", not held";
        calls.push_back("ungrab t" + std::to_string(token));
    }
    void stop() override {
        calls.push_back("stop");
        held_.clear();
        events_ = nullptr;
    }

    void refuse(const KeyboardShortcut& shortcut, Refusal refusal) {
        refusals_.emplace_back(shortcut, refusal);
    }
    // Any identifier, held or not, as a late or foreign event would come.
    void emit(std::uint32_t identifier, bool pressed = true) {
        if (auto events = events_) events(identifier, pressed);
    }
    std::vector<std::string> takeCalls() { return std::exchange(calls, {}); }

    std::vector<std::string> calls;
    std::optional<StartFailure> startFailure;

private:
    using Refusals = std::vector<std::pair<KeyboardShortcut, Refusal>>;
    Events events_;
    Refusals refusals_;
    std::set<Token> held_;
    Token lastToken_ = 0;
};

}  // namespace orvel::test
