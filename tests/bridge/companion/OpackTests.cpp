#include "bridge/companion/Opack.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "../Hex.hpp"

namespace orvel {
namespace {

using Array = OpackValue::Array;
using Data = OpackValue::Data;
using Dictionary = OpackValue::Dictionary;

OpackValue nestedArrays(std::size_t depth) {
    OpackValue value = Array{};
    for (std::size_t i = 1; i < depth; ++i) value = Array{value};
    return value;
}

struct KnownAnswer {
    std::string name;  // "row n" of the protocol notes' known answers, or what the row adds
    OpackValue value;
    std::vector<std::uint8_t> bytes;
    bool encodes = true;  // false: the peer may send these bytes, our encoder writes others
};

std::vector<KnownAnswer> knownAnswers() {
    const OpackValue::Uuid uuid{0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56, 0x78,
                                0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56, 0x78};
    Array fifteen(15, "a");
    Array numbered;  // 34 numbered objects, then repeats of the last and the first
    std::vector<std::uint8_t> numberedBytes{0xDF};
    for (std::uint8_t i = 40; i < 74; ++i) {
        numbered.emplace_back(i);
        numberedBytes.insert(numberedBytes.end(), {0x30, i});
    }
    numbered.emplace_back(73);
    numbered.emplace_back(40);
    numberedBytes.insert(numberedBytes.end(), {0xC1, 0x21, 0xA0, 0x03});
    Dictionary fifteenPairs;
    std::vector<std::uint8_t> fifteenPairBytes{0xEF};
    for (std::uint8_t i = 0; i < 15; ++i) {
        fifteenPairs.emplace_back(i, true);
        fifteenPairBytes.insert(fifteenPairBytes.end(), {static_cast<std::uint8_t>(0x08 + i), 1});
    }
    fifteenPairBytes.push_back(0x03);

    return {
        {"row 1 true", true, hex("01")},
        {"row 1 false", false, hex("02")},
        {"row 1 null", nullptr, hex("04")},
        {"row 2", uuid, hex("05 12345678123456781234567812345678")},
        {"row 3 0", 0, hex("08")},
        {"row 3 39", 39, hex("2F")},
        {"row 4", 40, hex("3028")},
        {"row 5", 0x1FF, hex("31FF01")},
        {"row 6", 0x1FFFFFF, hex("32FFFFFF01")},
        {"row 7", std::int64_t{0x1FFFFFFFFFFFFFF}, hex("33FFFFFFFFFFFFFF01")},
        {"row 8", 1.0, hex("36000000000000F03F")},
        {"row 9 float32", 1.0F, hex("350000803F")},
        {"row 10 abc", "abc", hex("43616263")},
        {"row 11 32", std::string(32, 'a'), joinedBytes({hex("60"), Data(32, 0x61)})},
        {"row 11 33", std::string(33, 'a'), joinedBytes({hex("6121"), Data(33, 0x61)})},
        {"row 11 256", std::string(256, 'a'), joinedBytes({hex("620001"), Data(256, 0x61)})},
        {"row 12 3 bytes", Data{0x12, 0x34, 0x56}, hex("73123456")},
        {"row 13 33", Data(33, 0x5A), joinedBytes({hex("9121"), Data(33, 0x5A)})},
        {"row 13 256", Data(256, 0x5A), joinedBytes({hex("920001"), Data(256, 0x5A)})},
        {"row 13 65536", Data(65536, 0x5A), joinedBytes({hex("9300000100"), Data(65536, 0x5A)})},
        {"row 14 []", Array{}, hex("D0")},
        {"row 14 [1,test,false]", Array{1, "test", false}, hex("D3 09 4474657374 02")},
        {"row 14 [[true]]", Array{OpackValue(Array{true})}, hex("D1 D1 01")},
        {"row 15 {}", Dictionary{}, hex("E0")},
        {"row 15 two keys", Dictionary{{"a", 12}, {false, nullptr}}, hex("E2 4161 14 02 04")},
        {"row 15 nested", Dictionary{{true, Dictionary{{"a", 2}}}}, hex("E1 01 E1 4161 0A")},
        {"row 16", Array{"a", "a"}, hex("D2 4161 A0")},
        {"row 17", Array{"foo", "bar", "foo", "bar"}, hex("D4 43666F6F 43626172 A0 A1")},
        {"row 18", Dictionary{{"a", "b"}, {"c", Dictionary{{"d", "a"}}}, {"d", true}},
         hex("E3 4161 4162 4163 E1 4164 A0 A3 01")},
        {"row 19", Dictionary{{"a", false}, {"b", "test"}, {"c", "test"}},
         hex("E3 4161 02 4162 4474657374 4163 A2")},
        {"row 20", fifteen, joinedBytes({hex("DF 4161"), Data(14, 0xA0), {0x03}})},
        // The peer reads integers signed: 0x31 6CBC is -17300, not 48236.
        {"row 21", Dictionary{{"_pd", Data{0, 1, 0, 6, 1, 1}}, {"_pwTy", 1}, {"_x", -17300}},
         hex("E3 435F7064 76000100060101 455F70775479 09 425F78 316CBC")},
        {"row 22 key", "_ec", hex("435F6563")},
        {"row 22 value", -71165, hex("3203EAFEFF")},
        {"row 23 -1", -1, hex("07")},
        {"row 23 -2", -2, hex("30FE")},
        {"row 23 200", 200, hex("31C800")},

        {"date", OpackValue::Date{1.0}, hex("06 000000000000F03F")},
        {"int64 minimum", std::numeric_limits<std::int64_t>::min(), hex("33 0000000000000080")},
        {"-129", -129, hex("317FFF")},
        {"14 items stay counted", Array(14, nullptr), joinedBytes({{0xDE}, Data(14, 0x04)})},
        {"15 pairs are open-ended", fifteenPairs, fifteenPairBytes},
        {"index 33 takes a byte", numbered, numberedBytes},
        {"unnumbered: empty, 1-byte data, small ints in any form, bool, null",
         Array{"", Data{1}, OpackValue::Integer{5, 1}, true, nullptr, "x", "x"},
         hex("D7 40 7101 3005 01 04 4178 A0")},
        {"a float is not an integer", Array{40, 40.0, 40, 40.0},
         hex("D4 3028 360000000000004440 A0 A1")},
        {"float32 is not float64", Array{1.0F, 1.0, 1.0F},
         hex("D3 350000803F 36000000000000F03F A0")},
        {"32 deep", nestedArrays(32), joinedBytes({Data(31, 0xD1), {0xD0}})},

        {"open-ended array", Array{1, 2}, hex("DF 09 0A 03"), false},
        {"open-ended dictionary", Dictionary{{"a", 1}}, hex("EF 4161 09 03"), false},
        {"NUL-terminated string", Array{"abc", "abc"}, hex("D2 6F61626300 A0"), false},
        {"chunked data, numbered whole", Array{Data{0x12, 0x34, 0x56}, Data{0x12, 0x34, 0x56}},
         hex("D2 9F 721234 7156 03 A0"), false},
        {"4-byte string length", "abc", hex("63 03000000 616263"), false},
        {"8-byte data length", Data{0x12, 0x34}, hex("94 0200000000000000 1234"), false},
        {"references in 1 to 4 bytes", Array(5, "a"),
         hex("D5 4161 C100 C20000 C3000000 C400000000"), false},
        {"repeats are numbered too", Array(3, "a"), hex("D3 4161 4161 A1"), false},
    };
}

TEST(Opack, KnownAnswers) {
    for (const auto& row : knownAnswers()) {
        auto decoded = decodeOpack(row.bytes);
        ASSERT_TRUE(decoded) << row.name << ": " << decoded.error();
        EXPECT_TRUE(*decoded == row.value)
            << row.name << " re-encodes as " << hexOf(encodeOpack(*decoded));
        if (row.encodes) {
            EXPECT_EQ(hexOf(encodeOpack(row.value)), hexOf(row.bytes)) << row.name;
        }
    }
}

TEST(Opack, DecodedIntegersAreWrittenBackAtTheirWidth) {
    for (const char* wire : {"3005", "31FFFF", "32FEFFFFFF", "332800000000000000", "316CBC"}) {
        auto decoded = decodeOpack(hex(wire));
        ASSERT_TRUE(decoded) << wire;
        EXPECT_EQ(hexOf(encodeOpack(*decoded)), hexOf(hex(wire)));
    }
}

TEST(Opack, MalformedInputIsRefusedWithASentence) {
    auto overBudget = joinedBytes({hex("DF 9300000100"), Data(65536, 0x5A)});
    overBudget.insert(overBudget.end(), 300, 0xA0);
    overBudget.push_back(0x03);
    const std::tuple<const char*, std::vector<std::uint8_t>, const char*> rows[] = {
        {"empty", {}, "is empty"},
        {"truncated UUID", hex("05 1234"), "ends inside the object at byte 0"},
        {"truncated integer", hex("31 FF"), "ends inside the object at byte 0"},
        {"truncated array", hex("D2 4161"), "ends inside the object at byte 0"},
        {"truncated open-ended dictionary", hex("EF 4161 09"), "ends inside the object at byte 0"},
        {"key without value", hex("E1 4161"), "ends inside the object at byte 3"},
        {"string without NUL", hex("6F 6162"), "ends inside the object at byte 0"},
        {"chunks without terminator", hex("9F 7112"), "ends inside"},
        {"tag 0x00", hex("00"), "unsupported tag 0x00 at byte 0"},
        {"int128", joinedBytes({{0x34}, Data(16, 0)}), "unsupported tag 0x34 at byte 0"},
        {"tag 0xC5", hex("D1 C5"), "unsupported tag 0xC5 at byte 1"},
        {"tag 0xF0", hex("F0"), "unsupported tag 0xF0"},
        {"terminator alone", hex("03"), "terminator where an object belongs at byte 0"},
        {"terminator in a counted array", hex("D1 03"),
         "terminator where an object belongs at byte 1"},
        {"terminator for a value", hex("EF 4161 03"), "terminator where an object belongs"},
        {"33 deep", joinedBytes({Data(32, 0xD1), {0xD0}}), "more than 32 deep at byte 32"},
        {"reference first", hex("A0"), "refers at byte 0 to object 0 before there is one"},
        {"reference past the last", hex("D2 4161 A1"), "to object 1 before"},
        {"reference to a small integer", hex("D2 08 A0"), "to object 0 before"},
        {"reference in 4 bytes", hex("D2 4161 C4FFFFFFFF"), "to object 4294967295 before"},
        {"string past the end", hex("61 05 6162"), "claims 5 bytes where 2 remain"},
        {"data past the end", hex("93 FFFFFFFF 00"), "claims 4294967295 bytes where 1 remain"},
        {"8-byte length past the end", hex("64 FFFFFFFFFFFFFFFF"),
         "claims 18446744073709551615 bytes"},
        {"not UTF-8", hex("42 C328"), "string at byte 0 that is not UTF-8"},
        {"NUL-terminated, not UTF-8", hex("D1 6F FF 00"), "string at byte 1 that is not UTF-8"},
        {"chunk that is a string", hex("9F 4161 03"), "something other than data"},
        {"two objects", hex("01 01"), "goes on after its object, at byte 1"},
        {"references copying 16 MiB", overBudget, "more than 16 MiB of text and data"},
    };
    for (const auto& [name, bytes, sentence] : rows) {
        auto decoded = decodeOpack(bytes);
        ASSERT_FALSE(decoded) << name;
        EXPECT_NE(decoded.error().find(sentence), std::string::npos)
            << name << ": " << decoded.error();
        EXPECT_EQ(decoded.error().back(), '.') << name;
    }
}

TEST(OpackValue, AccessorsAnswerForTheirOwnKindOnly) {
    const OpackValue message(Dictionary{{1, "one"}, {"_c", Dictionary{{"_vol", 0.5F}}}, {"_c", 2}});
    ASSERT_NE(message.find("_c"), nullptr);
    EXPECT_EQ(message.find("_c")->find("_vol")->asFloat(), 0.5);  // the first of equal keys
    EXPECT_EQ(message.find("one"), nullptr);                      // keys, not values
    EXPECT_EQ(OpackValue("one").find("one"), nullptr);
    EXPECT_EQ(OpackValue(7).asInteger(), 7);
    EXPECT_EQ(OpackValue(7).asFloat(), std::nullopt);
    EXPECT_EQ(OpackValue(OpackValue::Date{3.0}).asFloat(), std::nullopt);
    EXPECT_EQ(OpackValue(Data{1}).asString(), std::nullopt);
    EXPECT_EQ(OpackValue("x").asData(), std::nullopt);
    EXPECT_TRUE(OpackValue(std::nan("")) == OpackValue(std::nan("")));
    EXPECT_FALSE(OpackValue(0.0) == OpackValue(-0.0));
}

}  // namespace
}  // namespace orvel
