#pragma once
// X11Fixture: a real loop, the backends' shared connection and a second client, all on the X
// server that with-xvfb.sh started; skips without one. Waits run the loop until a condition
// holds or a deadline passes, never for a fixed time.

#include <gtest/gtest.h>

#include "../../support/ScopedEnvironment.hpp"
#include "../../support/TestXClient.hpp"
#include "input/x11/X11Connection.hpp"
#include "platform/PollLoop.hpp"

namespace orvel::test {

inline constexpr std::uint32_t kSuperL = 0xffeb;
inline constexpr std::uint32_t kControlL = 0xffe3;
inline constexpr std::uint32_t kAltL = 0xffe9;
inline constexpr std::uint32_t kShiftL = 0xffe1;
inline constexpr std::uint32_t kNumLock = 0xff7f;
inline constexpr std::uint32_t kCapsLock = 0xffe5;
inline constexpr std::uint32_t kLetterA = 0x61;  // typed after a key to see it arrive, or not

class X11Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (ScopedEnvironment::get("DISPLAY").empty()) GTEST_SKIP() << "no X server";
        client = std::make_unique<TestXClient>();
        ASSERT_TRUE(client->ok());
        client->setRepeat(40, 10);
        connection = X11Connection::create(loop, [this](int fd, std::function<void()> onReadable) {
            return loop.watchReadable(fd, std::move(onReadable));
        });
    }

    // Runs the loop until `done` holds, at most `seconds`; the last look.
    bool runUntil(const std::function<bool()>& done, double seconds = 5.0) {
        const double deadline = loop.now() + seconds;
        CancelHandle check;
        std::function<void()> look = [&] {
            if (done() || loop.now() >= deadline) {
                loop.quit();
                return;
            }
            check = loop.postAfter(0.002, look);
        };
        loop.post(look);
        loop.run();
        return done();
    }

    xcb_keycode_t key(std::uint32_t keysym) { return client->keycode(keysym); }
    // Counts what the server sends of `type` (XCB_KEY_PRESS or XCB_KEY_RELEASE) for `keycode`.
    [[nodiscard]] CancelHandle countEvents(std::uint8_t type, xcb_keycode_t keycode, int& count) {
        return connection->subscribe([=, &count](const xcb_generic_event_t& event) {
            const auto& each = reinterpret_cast<const xcb_key_press_event_t&>(event);
            if ((event.response_type & 0x7f) == type && each.detail == keycode) ++count;
        });
    }
    // Whether the focused window got `keycode`: it sees the letter A only after every key
    // typed before it.
    bool reachesWindow(xcb_keycode_t keycode) {
        client->tap({key(kLetterA)});
        runUntil([&] { return client->received(key(kLetterA)); });
        return client->received(keycode);
    }

    PollLoop loop;
    std::unique_ptr<TestXClient> client;
    std::shared_ptr<X11Connection> connection;
};

}  // namespace orvel::test
