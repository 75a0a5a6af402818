#include "bridge/companion/SessionCipher.hpp"

#include <gtest/gtest.h>

#include "bridge/crypto/ChaCha20Poly1305.hpp"
#include "bridge/crypto/Hkdf.hpp"

namespace orvel {
namespace {

using crypto::Bytes;
using crypto::ByteView;
using Role = SessionCipher::Role;

const Bytes kSessionShared(32, 0x42);

struct FrameParts {
    ByteView header;
    ByteView body;
};

FrameParts splitFrame(const Bytes& frame) {
    const ByteView view(frame);
    return {view.first(4), view.subspan(4)};
}

// Built from the primitives as the TV would, so both sides of our class cannot share a mistake.
Bytes expectedFrame(const char* info, std::uint64_t counter, const Bytes& payload) {
    const Bytes key = crypto::hkdfSha512(kSessionShared, {}, crypto::bytesOf(info), 32);
    Bytes nonce(12, 0);
    nonce[0] = static_cast<std::uint8_t>(counter);
    const std::size_t length = payload.size() + 16;
    Bytes frame = {0x08, 0x00, static_cast<std::uint8_t>(length >> 8),
                   static_cast<std::uint8_t>(length)};
    const Bytes sealed = crypto::seal(key, nonce, frame, payload);
    frame.insert(frame.end(), sealed.begin(), sealed.end());
    return frame;
}

TEST(SessionCipher, FramesHaveTheLayoutKeysAndNoncesTheTVExpects) {
    SessionCipher client(kSessionShared, Role::client);
    const Bytes payload = {0xE1, 0x41, 0x42};
    for (std::uint64_t counter = 0; counter < 3; ++counter) {
        auto frame = client.seal(0x08, payload);
        ASSERT_TRUE(frame);
        EXPECT_EQ(Bytes(frame->begin(), frame->begin() + 4), (Bytes{0x08, 0x00, 0x00, 0x13}));
        EXPECT_EQ(*frame, expectedFrame("ClientEncrypt-main", counter, payload)) << counter;
    }
    const auto fromTv = expectedFrame("ServerEncrypt-main", 0, payload);
    EXPECT_EQ(client.open(splitFrame(fromTv).header, splitFrame(fromTv).body), payload);
}

TEST(SessionCipher, EmptyPayloadsAreNeitherEncryptedNorCounted) {
    SessionCipher client(kSessionShared, Role::client);
    SessionCipher tv(kSessionShared, Role::accessory);
    EXPECT_EQ(client.seal(0x01, {}), (Bytes{0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(client.sealedCount(), 0u);
    const Bytes header = {0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(tv.open(header, {}), Bytes{});
    EXPECT_EQ(tv.openedCount(), 0u);
    auto frame = client.seal(0x08, Bytes{1});
    EXPECT_EQ(tv.open(splitFrame(*frame).header, splitFrame(*frame).body), Bytes{1})
        << "the first encrypted frame still has counter 0";
}

TEST(SessionCipher, RefusesAlteredReplayedAndMisframedInput) {
    struct Case {
        const char* name;
        std::size_t flipAt;  // byte of the frame to alter; SIZE_MAX: none
        bool replay;
        int headerLengthDelta;
    };
    for (const auto& c : {Case{"frame type", 0, false, 0}, Case{"ciphertext", 5, false, 0},
                          Case{"tag", 4 + 3 + 15, false, 0}, Case{"replayed", SIZE_MAX, true, 0},
                          Case{"length says more", SIZE_MAX, false, 1},
                          Case{"length says less", SIZE_MAX, false, -1}}) {
        SessionCipher client(kSessionShared, Role::client);
        SessionCipher tv(kSessionShared, Role::accessory);
        Bytes frame = *client.seal(0x08, Bytes{7, 8, 9});
        if (c.flipAt != SIZE_MAX) frame[c.flipAt] ^= 0x01;
        frame[3] = static_cast<std::uint8_t>(frame[3] + c.headerLengthDelta);
        if (c.replay) {
            ASSERT_TRUE(tv.open(splitFrame(frame).header, splitFrame(frame).body));
        }
        EXPECT_FALSE(tv.open(splitFrame(frame).header, splitFrame(frame).body)) << c.name;
        EXPECT_EQ(tv.openedCount(), c.replay ? 1u : 0u) << c.name;
    }
    SessionCipher client(kSessionShared, Role::client);
    EXPECT_FALSE(client.open(Bytes{0x08, 0x00, 0x00}, Bytes{})) << "a short header";
    auto own = *client.seal(0x08, Bytes{1});
    EXPECT_FALSE(client.open(splitFrame(own).header, splitFrame(own).body)) << "our own frame back";
}

TEST(SessionCipher, APayloadTooLongForOneFrameIsRefused) {
    SessionCipher client(kSessionShared, Role::client);
    const Bytes largest(SessionCipher::kMaxFrameLength - 16, 0);
    auto frame = client.seal(0x08, largest);
    ASSERT_TRUE(frame);
    EXPECT_EQ(Bytes(frame->begin(), frame->begin() + 4), (Bytes{0x08, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(client.seal(0x08, Bytes(largest.size() + 1, 0)));
    EXPECT_EQ(client.sealedCount(), 1u);
}

}  // namespace
}  // namespace orvel
