#include "bridge/companion/Opack.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "HexBytes.hpp"

namespace orvel {
namespace {

using Array = OpackValue::Array;
using Data = OpackValue::Data;
using Dictionary = OpackValue::Dictionary;

std::vector<std::uint8_t> repeatedByte(std::uint8_t byte, std::size_t count) {
    return std::vector<std::uint8_t>(count, byte);
}

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
        {"row 1 true", true, hexBytes("01")},
        {"row 1 false", false, hexBytes("02")},
        {"row 1 null", nullptr, hexBytes("04")},
        {"row 2", uuid, hexBytes("05 12345678123456781234567812345678")},
        {"row 3 0", 0, hexBytes("08")},
        {"row 3 15", 15, hexBytes("17")},
        {"row 3 39", 39, hexBytes("2F")},
        {"row 4", 40, hexBytes("3028")},
        {"row 5", 0x1FF, hexBytes("31FF01")},
        {"row 6", 0x1FFFFFF, hexBytes("32FFFFFF01")},
        {"row 7", std::int64_t{0x1FFFFFFFFFFFFFF}, hexBytes("33FFFFFFFFFFFFFF01")},
        {"row 8", 1.0, hexBytes("36000000000000F03F")},
        {"row 9 float32", 1.0F, hexBytes("350000803F")},
        {"row 10 a", "a", hexBytes("4161")},
        {"row 10 abc", "abc", hexBytes("43616263")},
        {"row 11 32", std::string(32, 'a'), joinedBytes({hexBytes("60"), repeatedByte(0x61, 32)})},
        {"row 11 33", std::string(33, 'a'),
         joinedBytes({hexBytes("6121"), repeatedByte(0x61, 33)})},
        {"row 11 256", std::string(256, 'a'),
         joinedBytes({hexBytes("620001"), repeatedByte(0x61, 256)})},
        {"row 12 1 byte", Data{0xAC}, hexBytes("71AC")},
        {"row 12 3 bytes", Data{0x12, 0x34, 0x56}, hexBytes("73123456")},
        {"row 13 33", Data(33, 0x5A), joinedBytes({hexBytes("9121"), repeatedByte(0x5A, 33)})},
        {"row 13 256", Data(256, 0x5A), joinedBytes({hexBytes("920001"), repeatedByte(0x5A, 256)})},
        {"row 13 65536", Data(65536, 0x5A),
         joinedBytes({hexBytes("9300000100"), repeatedByte(0x5A, 65536)})},
        {"row 14 []", Array{}, hexBytes("D0")},
        {"row 14 [1,test,false]", Array{1, "test", false}, hexBytes("D3 09 4474657374 02")},
        {"row 14 [[true]]", Array{OpackValue(Array{true})}, hexBytes("D1 D1 01")},
        {"row 15 {}", Dictionary{}, hexBytes("E0")},
        {"row 15 two keys", Dictionary{{"a", 12}, {false, nullptr}}, hexBytes("E2 4161 14 02 04")},
        {"row 15 nested", Dictionary{{true, Dictionary{{"a", 2}}}}, hexBytes("E1 01 E1 4161 0A")},
        {"row 16", Array{"a", "a"}, hexBytes("D2 4161 A0")},
        {"row 17", Array{"foo", "bar", "foo", "bar"}, hexBytes("D4 43666F6F 43626172 A0 A1")},
        {"row 18", Dictionary{{"a", "b"}, {"c", Dictionary{{"d", "a"}}}, {"d", true}},
         hexBytes("E3 4161 4162 4163 E1 4164 A0 A3 01")},
        {"row 19", Dictionary{{"a", false}, {"b", "test"}, {"c", "test"}},
         hexBytes("E3 4161 02 4162 4474657374 4163 A2")},
        {"row 20", fifteen, joinedBytes({hexBytes("DF 4161"), repeatedByte(0xA0, 14), {0x03}})},
        // The peer reads integers signed: 0x31 6CBC is -17300, not 48236.
        {"row 21", Dictionary{{"_pd", Data{0, 1, 0, 6, 1, 1}}, {"_pwTy", 1}, {"_x", -17300}},
         hexBytes("E3 435F7064 76000100060101 455F70775479 09 425F78 316CBC")},
        {"row 22 key", "_ec", hexBytes("435F6563")},
        {"row 22 value", -71165, hexBytes("3203EAFEFF")},
        {"row 23 -1", -1, hexBytes("07")},
        {"row 23 -2", -2, hexBytes("30FE")},
        {"row 23 200", 200, hexBytes("31C800")},
        {"PS-M1 payload", Dictionary{{"_pd", Data{0, 1, 0, 6, 1, 1}}, {"_pwTy", 1}},
         hexBytes("E2 435F7064 76000100060101 455F70775479 09")},
        {"PV-M4 payload", Dictionary{{"_pd", Data{6, 1, 4}}}, hexBytes("E1 435F7064 73060104")},

        {"date", OpackValue::Date{1.0}, hexBytes("06 000000000000F03F")},
        {"int64 minimum", std::numeric_limits<std::int64_t>::min(),
         hexBytes("33 0000000000000080")},
        {"-129", -129, hexBytes("317FFF")},
        {"14 items stay counted", Array(14, nullptr),
         joinedBytes({{0xDE}, repeatedByte(0x04, 14)})},
        {"15 pairs are open-ended", fifteenPairs, fifteenPairBytes},
        {"index 33 takes a byte", numbered, numberedBytes},
        {"unnumbered: empty, 1-byte data, small ints in any form, bool, null",
         Array{"", Data{1}, OpackValue::Integer{5, 1}, true, nullptr, "x", "x"},
         hexBytes("D7 40 7101 3005 01 04 4178 A0")},
        {"a float is not an integer", Array{40, 40.0, 40, 40.0},
         hexBytes("D4 3028 360000000000004440 A0 A1")},
        {"float32 is not float64", Array{1.0F, 1.0, 1.0F},
         hexBytes("D3 350000803F 36000000000000F03F A0")},
        {"32 deep", nestedArrays(32), joinedBytes({repeatedByte(0xD1, 31), {0xD0}})},

        {"open-ended array", Array{1, 2}, hexBytes("DF 09 0A 03"), false},
        {"open-ended dictionary", Dictionary{{"a", 1}}, hexBytes("EF 4161 09 03"), false},
        {"NUL-terminated string", Array{"abc", "abc"}, hexBytes("D2 6F61626300 A0"), false},
        {"chunked data, numbered whole", Array{Data{0x12, 0x34, 0x56}, Data{0x12, 0x34, 0x56}},
         hexBytes("D2 9F 721234 7156 03 A0"), false},
        {"4-byte string length", "abc", hexBytes("63 03000000 616263"), false},
        {"8-byte data length", Data{0x12, 0x34}, hexBytes("94 0200000000000000 1234"), false},
        {"references in 1 to 4 bytes", Array(5, "a"),
         hexBytes("D5 4161 C100 C20000 C3000000 C400000000"), false},
        {"repeats are numbered too", Array(3, "a"), hexBytes("D3 4161 4161 A1"), false},
    };
}

TEST(Opack, KnownAnswers) {
    for (const auto& row : knownAnswers()) {
        auto decoded = decodeOpack(row.bytes);
        ASSERT_TRUE(decoded) << row.name << ": " << decoded.error();
        EXPECT_TRUE(*decoded == row.value)
            << row.name << " re-encodes as " << hexText(encodeOpack(*decoded));
        if (row.encodes) {
            EXPECT_EQ(hexText(encodeOpack(row.value)), hexText(row.bytes)) << row.name;
        }
    }
}

TEST(Opack, DecodedIntegersAreWrittenBackAtTheirWidth) {
    for (const char* hex : {"3005", "31FFFF", "32FEFFFFFF", "332800000000000000", "316CBC"}) {
        auto decoded = decodeOpack(hexBytes(hex));
        ASSERT_TRUE(decoded) << hex;
        EXPECT_EQ(hexText(encodeOpack(*decoded)), hex);
    }
}

TEST(Opack, MalformedInputIsRefusedWithASentence) {
    auto overBudget = joinedBytes({hexBytes("DF 9300000100"), repeatedByte(0x5A, 65536)});
    overBudget.insert(overBudget.end(), 300, 0xA0);
    overBudget.push_back(0x03);
    const std::tuple<const char*, std::vector<std::uint8_t>, const char*> rows[] = {
        {"empty", {}, "is empty"},
        {"truncated UUID", hexBytes("05 1234"), "ends inside the object at byte 0"},
        {"truncated integer", hexBytes("31 FF"), "ends inside the object at byte 0"},
        {"truncated array", hexBytes("D2 4161"), "ends inside the object at byte 0"},
        {"truncated open-ended dictionary", hexBytes("EF 4161 09"),
         "ends inside the object at byte 0"},
        {"key without value", hexBytes("E1 4161"), "ends inside the object at byte 3"},
        {"string without NUL", hexBytes("6F 6162"), "ends inside the object at byte 0"},
        {"chunks without terminator", hexBytes("9F 7112"), "ends inside"},
        {"tag 0x00", hexBytes("00"), "unsupported tag 0x00 at byte 0"},
        {"int128", joinedBytes({{0x34}, repeatedByte(0, 16)}), "unsupported tag 0x34 at byte 0"},
        {"tag 0xC5", hexBytes("D1 C5"), "unsupported tag 0xC5 at byte 1"},
        {"tag 0xF0", hexBytes("F0"), "unsupported tag 0xF0"},
        {"terminator alone", hexBytes("03"), "terminator where an object belongs at byte 0"},
        {"terminator in a counted array", hexBytes("D1 03"),
         "terminator where an object belongs at byte 1"},
        {"terminator for a value", hexBytes("EF 4161 03"), "terminator where an object belongs"},
        {"33 deep", joinedBytes({repeatedByte(0xD1, 32), {0xD0}}), "more than 32 deep at byte 32"},
        {"reference first", hexBytes("A0"), "refers at byte 0 to object 0 before there is one"},
        {"reference past the last", hexBytes("D2 4161 A1"), "to object 1 before"},
        {"reference to a small integer", hexBytes("D2 08 A0"), "to object 0 before"},
        {"reference in 4 bytes", hexBytes("D2 4161 C4FFFFFFFF"), "to object 4294967295 before"},
        {"string past the end", hexBytes("61 05 6162"), "claims 5 bytes where 2 remain"},
        {"data past the end", hexBytes("93 FFFFFFFF 00"), "claims 4294967295 bytes where 1 remain"},
        {"8-byte length past the end", hexBytes("64 FFFFFFFFFFFFFFFF"),
         "claims 18446744073709551615 bytes"},
        {"not UTF-8", hexBytes("42 C328"), "string at byte 0 that is not UTF-8"},
        {"NUL-terminated, not UTF-8", hexBytes("D1 6F FF 00"),
         "string at byte 1 that is not UTF-8"},
        {"chunk that is a string", hexBytes("9F 4161 03"), "something other than data"},
        {"two objects", hexBytes("01 01"), "goes on after its object, at byte 1"},
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
