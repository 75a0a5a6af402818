#include "bridge/companion/Tlv8.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes tlvFilled(std::size_t size, std::uint8_t first) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

Bytes tlvConcat(std::initializer_list<Bytes> pieces) {
    Bytes out;
    for (const auto& piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
    return out;
}

struct Tlv8Case {
    std::string name;
    Tlv8::Items items;
    Bytes wire;
};

class Tlv8RoundTrip : public testing::TestWithParam<Tlv8Case> {};

TEST_P(Tlv8RoundTrip, EncodesToTheWireFormAndDecodesBack) {
    const auto& c = GetParam();
    EXPECT_EQ(Tlv8::encode(c.items), c.wire);
    auto decoded = Tlv8::decode(c.wire);
    ASSERT_TRUE(decoded) << decoded.error();
    EXPECT_EQ(*decoded, c.items);
}

const Bytes kTlv256 = tlvFilled(256, 0);
const Bytes kTlv255 = tlvFilled(255, 7);
const Bytes kTlv600 = tlvFilled(600, 3);

INSTANTIATE_TEST_SUITE_P(
    Cases, Tlv8RoundTrip,
    testing::Values(
        Tlv8Case{"Nothing", {}, {}},
        Tlv8Case{
            "PairSetupM1", {{0x06, {0x01}}, {0x00, {0x00}}}, {0x06, 0x01, 0x01, 0x00, 0x01, 0x00}},
        Tlv8Case{"EmptyValue", {{0x0A, {}}, {0x06, {0x04}}}, {0x0A, 0x00, 0x06, 0x01, 0x04}},
        Tlv8Case{"TwoHundredFiftySixBytesInTwoFragments",
                 {{0x02, kTlv256}},
                 tlvConcat({{0x02, 0xFF},
                            Bytes(kTlv256.begin(), kTlv256.begin() + 255),
                            {0x02, 0x01, kTlv256[255]}})},
        Tlv8Case{"ExactlyOneFullFragment", {{0x03, kTlv255}}, tlvConcat({{0x03, 0xFF}, kTlv255})},
        Tlv8Case{"SixHundredBytesInThreeFragments",
                 {{0x03, kTlv600}, {0x06, {0x02}}},
                 tlvConcat({{0x03, 0xFF},
                            Bytes(kTlv600.begin(), kTlv600.begin() + 255),
                            {0x03, 0xFF},
                            Bytes(kTlv600.begin() + 255, kTlv600.begin() + 510),
                            {0x03, 90},
                            Bytes(kTlv600.begin() + 510, kTlv600.end()),
                            {0x06, 0x01, 0x02}})},
        Tlv8Case{"TwoItemsOfOneTypeSeparated",
                 {{0x01, {'a'}}, {0x01, {'b'}}},
                 {0x01, 0x01, 'a', 0xFF, 0x00, 0x01, 0x01, 'b'}},
        Tlv8Case{"FullFragmentThenADistinctItemOfItsType",
                 {{0x03, kTlv255}, {0x03, {0x09}}},
                 tlvConcat({{0x03, 0xFF}, kTlv255, {0xFF, 0x00, 0x03, 0x01, 0x09}})}),
    [](const auto& param) { return param.param.name; });

struct Tlv8Truncation {
    std::string name;
    Bytes wire;
};

class Tlv8Refuses : public testing::TestWithParam<Tlv8Truncation> {};

TEST_P(Tlv8Refuses, TruncatedInputWithASentence) {
    auto decoded = Tlv8::decode(GetParam().wire);
    ASSERT_FALSE(decoded);
    EXPECT_FALSE(decoded.error().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Tlv8Refuses,
    testing::Values(Tlv8Truncation{"TypeWithoutLength", {0x06}},
                    Tlv8Truncation{"ValueShorterThanItsLength", {0x06, 0x02, 0x01}},
                    Tlv8Truncation{"SecondFragmentCut",
                                   tlvConcat({{0x02, 0xFF}, kTlv255, {0x02, 0x03, 0x00}})}),
    [](const auto& param) { return param.param.name; });

TEST(Tlv8, AShortItemFollowedByOneOfItsTypeIsTwoItems) {
    auto decoded = Tlv8::decode(Bytes{0x01, 0x01, 'a', 0x01, 0x01, 'b'});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, (Tlv8::Items{{0x01, {'a'}}, {0x01, {'b'}}}));
}

TEST(Tlv8, IntegersAreLittleEndianInTheirShortestForm) {
    struct Case {
        std::uint64_t value;
        Bytes wire;
    };
    for (const auto& c : {Case{0, {0x00}}, Case{6, {0x06}}, Case{0x100, {0x00, 0x01}},
                          Case{0x01000010, {0x10, 0x00, 0x00, 0x01}}}) {
        EXPECT_EQ(Tlv8::integer(c.value), c.wire) << c.value;
        EXPECT_EQ(Tlv8::readInteger({{0x08, c.wire}}, 0x08), c.value) << c.value;
    }
    EXPECT_EQ(Tlv8::readInteger({{0x08, {0x10, 0x00}}}, 0x08), 16u) << "padded form still reads";
    EXPECT_FALSE(Tlv8::readInteger({{0x08, {}}}, 0x08));
    EXPECT_FALSE(Tlv8::readInteger({{0x08, Bytes(9, 1)}}, 0x08));
    EXPECT_FALSE(Tlv8::readInteger({{0x07, {0x02}}}, 0x08));
}

TEST(Tlv8, FindGivesTheFirstItemOfItsType) {
    const Tlv8::Items items = {{0x06, {0x02}}, {0x01, {'a'}}, {0x01, {'b'}}};
    ASSERT_NE(Tlv8::find(items, 0x01), nullptr);
    EXPECT_EQ(*Tlv8::find(items, 0x01), Bytes{'a'});
    EXPECT_EQ(Tlv8::find(items, 0x05), nullptr);
}

}  // namespace
}  // namespace orvel
