#include "bridge/companion/CompanionFrame.hpp"

#include <gtest/gtest.h>

#include "HexBytes.hpp"
#include "bridge/companion/Opack.hpp"

namespace orvel {
namespace {

// Pair-setup M1 and pair-verify M4 as the device's documentation shows them.
const char* const kPairSetupM1 = "03000013 E2 43 5F7064 76 000100060101 45 5F70775479 09";
const char* const kPairVerifyM4 = "06000009 E1 43 5F7064 73 060104";

TEST(CompanionFrame, TheReaderYieldsWholeFramesHoweverTheBytesAreSplit) {
    const std::vector<std::uint8_t> sent[] = {hexBytes(kPairSetupM1), hexBytes("01000000"),
                                              hexBytes(kPairVerifyM4)};
    const auto stream = joinedBytes({sent[0], sent[1], sent[2]});
    // Where the stream is cut into reads: nowhere, inside headers, between frames, everywhere.
    std::vector<std::vector<std::size_t>> splits = {{}, {1}, {3, 4}, {23}, {24, 27}, {5, 31, 36}};
    auto& everywhere = splits.emplace_back();
    for (std::size_t i = 1; i < stream.size(); ++i) everywhere.push_back(i);
    for (auto& cuts : splits) {
        cuts.push_back(stream.size());
        FrameReader reader;
        std::vector<std::string> frames;  // header and payload in hex
        std::size_t from = 0;
        for (std::size_t to : cuts) {
            auto got = reader.append(std::span(stream).subspan(from, to - from));
            ASSERT_TRUE(got) << got.error();
            for (const auto& frame : *got) {
                frames.push_back(hexText(frame.header));
                frames.back() += hexText(frame.payload);
            }
            from = to;
        }
        EXPECT_EQ(frames, (std::vector{hexText(sent[0]), hexText(sent[1]), hexText(sent[2])}))
            << ::testing::PrintToString(cuts);
        EXPECT_EQ(reader.pendingBytes(), 0u);
    }
}

TEST(CompanionFrame, HandshakeFramesCarryTheirOpack) {
    using Data = OpackValue::Data;
    const std::tuple<const char*, FrameType, OpackValue> rows[] = {
        {kPairSetupM1, FrameType::PS_Start,
         OpackValue::Dictionary{{"_pd", Data{0, 1, 0, 6, 1, 1}}, {"_pwTy", 1}}},
        {kPairVerifyM4, FrameType::PV_Next, OpackValue::Dictionary{{"_pd", Data{6, 1, 4}}}},
    };
    for (const auto& [hex, type, message] : rows) {
        FrameReader reader;
        auto frames = reader.append(hexBytes(hex));
        ASSERT_TRUE(frames && frames->size() == 1) << hex;
        EXPECT_EQ(frames->front().type, type);
        auto decoded = decodeOpack(frames->front().payload);
        ASSERT_TRUE(decoded) << decoded.error();
        EXPECT_TRUE(*decoded == message) << hex;

        auto built = buildFrame(type, encodeOpack(message));
        ASSERT_TRUE(built);
        EXPECT_EQ(hexText(*built), hexText(hexBytes(hex)));
    }
}

TEST(CompanionFrame, LengthsPastTheCapAreRefused) {
    EXPECT_TRUE(frameHeader(FrameType::E_OPACK, kMaxFramePayload));
    EXPECT_EQ(hexText(*frameHeader(FrameType::E_OPACK, 0x13)), "08000013");
    EXPECT_FALSE(frameHeader(FrameType::E_OPACK, kMaxFramePayload + 1));
    EXPECT_FALSE(buildFrame(FrameType::E_OPACK, std::vector<std::uint8_t>(kMaxFramePayload + 1)));

    FrameReader reader;
    // One good frame, then a header claiming 1 MiB + 1: refused at once, and from then on.
    auto first = reader.append(hexBytes("08000001 07 08100001"));
    ASSERT_FALSE(first);
    EXPECT_EQ(first.error(),
              "The Apple TV frame of 1048577 bytes is longer than the 1048576 bytes a frame may "
              "have.");
    auto later = reader.append(hexBytes("08000001 07"));
    ASSERT_FALSE(later);
    EXPECT_EQ(later.error(), first.error());

    FrameReader atCap;
    auto waiting = atCap.append(hexBytes("08100000 0102"));
    ASSERT_TRUE(waiting);
    EXPECT_TRUE(waiting->empty());
    EXPECT_EQ(atCap.pendingBytes(), 6u);
}

}  // namespace
}  // namespace orvel
