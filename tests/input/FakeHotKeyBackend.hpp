#pragma once
// FakeHotKeyBackend: a desktop for GlobalHotKey's tests. It writes every call into `calls`
// ("start", "grab 35+0x1900 #1 -> t1", "ungrab t1", "stop"), refuses the shortcuts the test
// names, fails start when told, and emits presses and releases as the desktop would, outside
// of any call. A grab before start or an ungrab of a token it never gave fails the test.
//
//   auto backend = std::make_unique<FakeHotKeyBackend>();
//   backend->refuse(shortcut, {.inUse = true});
//   backend->press(1);
//
// Owner: the test, then the GlobalHotKey under test. Thread: the test thread.

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "input/HotKeyBackend.hpp"

namespace orvel::test {

class FakeHotKeyBackend final : public HotKeyBackend {
public:
    std::optional<StartFailure> start(Events events) override {
        calls.push_back("start");
        if (startFailure) return startFailure;
        events_ = std::move(events);
        return std::nullopt;
    }

    std::variant<Token, Refusal> grab(const KeyboardShortcut& shortcut,
                                      std::uint32_t identifier) override {
        if (!events_) ADD_FAILURE() << "grab before start";
        auto call = "grab " + describe(shortcut) + " #" + std::to_string(identifier);
        for (const auto& [refused, refusal] : refusals_) {
            if (refused == shortcut) {
                calls.push_back(call + " refused");
                return refusal;
            }
        }
        const Token token = ++lastToken_;
        held_[token] = identifier;
        calls.push_back(call + " -> t" + std::to_string(token));
        return token;
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
    // Events for any identifier, held or not, as a late or foreign event would come.
    void press(std::uint32_t identifier) { emit(identifier, true); }
    void release(std::uint32_t identifier) { emit(identifier, false); }
    void emit(std::uint32_t identifier, bool pressed) {
        if (auto events = events_) events(identifier, pressed);
    }

    std::vector<std::string> takeCalls() { return std::exchange(calls, {}); }

    // "35+0x1900": the code, and the mask as it is written in the code.
    static std::string describe(const KeyboardShortcut& shortcut) {
        char mask[8];
        const auto end = std::to_chars(mask, mask + sizeof mask, shortcut.modifiers, 16).ptr;
        return std::to_string(shortcut.code) + "+0x" + std::string(mask, end);
    }

    std::vector<std::string> calls;
    std::optional<StartFailure> startFailure;

private:
    Events events_;
    std::vector<std::pair<KeyboardShortcut, Refusal>> refusals_;
    std::map<Token, std::uint32_t> held_;  // token -> identifier
    Token lastToken_ = 0;
};

}  // namespace orvel::test
