#include "bridge/companion/Tlv8.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "../Hex.hpp"

namespace orvel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes tlvFilled(std::size_t size, std::uint8_t first) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>(first + i);
    return out;
}

TEST(Tlv8, EncodesToTheWireFormAndDecodesBack) {
    const Bytes b256 = tlvFilled(256, 0), b255 = tlvFilled(255, 7), b600 = tlvFilled(600, 3);
    const auto part = [](const Bytes& bytes, std::size_t from, std::size_t to) {
        return Bytes(bytes.begin() + static_cast<long>(from),
                     bytes.begin() + static_cast<long>(to));
    };
    const std::tuple<const char*, Tlv8::Items, Bytes> rows[] = {
        {"nothing", {}, {}},
        {"pair-setup M1", {{0x06, {0x01}}, {0x00, {0x00}}}, {0x06, 0x01, 0x01, 0x00, 0x01, 0x00}},
        {"empty value", {{0x0A, {}}, {0x06, {0x04}}}, {0x0A, 0x00, 0x06, 0x01, 0x04}},
        {"256 bytes in two fragments",
         {{0x02, b256}},
         joinedBytes({{0x02, 0xFF}, part(b256, 0, 255), {0x02, 0x01, b256[255]}})},
        {"exactly one full fragment", {{0x03, b255}}, joinedBytes({{0x03, 0xFF}, b255})},
        {"600 bytes in three fragments",
         {{0x03, b600}, {0x06, {0x02}}},
         joinedBytes({{0x03, 0xFF},
                      part(b600, 0, 255),
                      {0x03, 0xFF},
                      part(b600, 255, 510),
                      {0x03, 90},
                      part(b600, 510, 600),
                      {0x06, 0x01, 0x02}})},
        {"two items of one type separated",
         {{0x01, {'a'}}, {0x01, {'b'}}},
         {0x01, 0x01, 'a', 0xFF, 0x00, 0x01, 0x01, 'b'}},
        {"full fragment, then a distinct item of its type",
         {{0x03, b255}, {0x03, {0x09}}},
         joinedBytes({{0x03, 0xFF}, b255, {0xFF, 0x00, 0x03, 0x01, 0x09}})},
    };
    for (const auto& [name, items, wire] : rows) {
        EXPECT_EQ(Tlv8::encode(items), wire) << name;
        auto decoded = Tlv8::decode(wire);
        ASSERT_TRUE(decoded) << name << ": " << decoded.error();
        EXPECT_EQ(*decoded, items) << name;
    }
    // A short item followed by one of its type is two items, not one fragmented.
    EXPECT_EQ(Tlv8::decode(Bytes{0x01, 0x01, 'a', 0x01, 0x01, 'b'}).value(),
              (Tlv8::Items{{0x01, {'a'}}, {0x01, {'b'}}}));
}

TEST(Tlv8, TruncatedInputIsRefusedWithASentence) {
    for (const Bytes& wire : {Bytes{0x06}, Bytes{0x06, 0x02, 0x01},
                              joinedBytes({{0x02, 0xFF}, tlvFilled(255, 7), {0x02, 0x03, 0x00}})}) {
        auto decoded = Tlv8::decode(wire);
        ASSERT_FALSE(decoded) << wire.size();
        EXPECT_FALSE(decoded.error().empty());
    }
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
