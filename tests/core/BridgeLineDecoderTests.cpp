#include "core/BridgeLineDecoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

using Error = BridgeLineDecoder::DecodeError;

struct Case {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::vector<std::string>> objects;  // dumped objects returned by each call
    std::optional<Error> lastError;                 // error of the last call, if any
    std::size_t bufferedAfter;
};

class DecoderTable : public testing::TestWithParam<Case> {};

TEST_P(DecoderTable, DecodesChunks) {
    const Case& c = GetParam();
    BridgeLineDecoder decoder;
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
        auto result = decoder.append(c.chunks[i]);
        bool last = i + 1 == c.chunks.size();
        EXPECT_EQ(result.error, last ? c.lastError : std::nullopt) << "chunk " << i;
        std::vector<std::string> dumped;
        for (const auto& object : result.objects) dumped.push_back(object.dump());
        EXPECT_EQ(dumped, c.objects[i]) << "chunk " << i;
    }
    EXPECT_EQ(decoder.bufferedBytes(), c.bufferedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecoderTable,
    testing::Values(
        Case{"SplitOverTwoChunks", {"{\"a\":", "1}\n"}, {{}, {"{\"a\":1}"}}, {}, 0},
        Case{"TwoLinesInOneChunk", {"{\"a\":1}\n{\"b\":2}\n"}, {{"{\"a\":1}", "{\"b\":2}"}}, {}, 0},
        Case{"SecondLineCompletedLater",
             {"{\"a\":1}\n{\"b\"", ":2}\n"},
             {{"{\"a\":1}"}, {"{\"b\":2}"}},
             {},
             0},
        Case{"EmptyLinesSkipped",
             {"\n\n{\"a\":1}\n\n\n{\"b\":[]}\n\n"},
             {{"{\"a\":1}", "{\"b\":[]}"}},
             {},
             0},
        Case{"CarriageReturnLine", {"{\"a\":\"x\"}\r\n"}, {{"{\"a\":\"x\"}"}}, {}, 0},
        Case{"NestedValues",
             {"{\"n\":null,\"t\":true,\"f\":1.5,\"o\":{\"k\":[1,\"s\"]}}\n"},
             {{"{\"f\":1.5,\"n\":null,\"o\":{\"k\":[1,\"s\"]},\"t\":true}"}},
             {},
             0},
        Case{"ArrayIsInvalidObject", {"[1,2]\n"}, {{}}, Error::invalidObject, 0},
        Case{"BareNumber", {"42\n"}, {{}}, Error::invalidJson, 0},
        Case{"BareString", {"\"text\"\n"}, {{}}, Error::invalidJson, 0},
        Case{"BareLiteral", {"true\n"}, {{}}, Error::invalidJson, 0},
        Case{"NotJson", {"this is not json\n"}, {{}}, Error::invalidJson, 0},
        Case{"WhitespaceOnly", {"\r\n"}, {{}}, Error::invalidJson, 0},
        Case{"NumberOutOfRange", {"{\"a\":1E999}\n"}, {{}}, Error::invalidJson, 0},
        Case{"InvalidUtf8", {"{\"a\":\"\xff\"}\n"}, {{}}, Error::invalidJson, 0},
        Case{"ValidThenInvalidReturnsNothingKeepsRest",
             {"{\"a\":1}\nnope\n{\"b\":2}\npart"},
             {{}},
             Error::invalidJson,
             12},
        Case{"PartialLineStaysBuffered", {"{\"a\":1}\n{\"b\""}, {{"{\"a\":1}"}}, {}, 4}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(BridgeLineDecoder, OneByteChunks) {
    std::string stream = "{\"id\":\"X\",\"v\":[1,2]}\r\n\n{\"event\":\"state\"}\n";
    BridgeLineDecoder decoder;
    std::vector<std::string> seen;
    for (char byte : stream) {
        auto result = decoder.append(std::string(1, byte));
        ASSERT_FALSE(result.error);
        for (const auto& object : result.objects) seen.push_back(object.dump());
    }
    EXPECT_EQ(seen,
              (std::vector<std::string>{"{\"id\":\"X\",\"v\":[1,2]}", "{\"event\":\"state\"}"}));
    EXPECT_EQ(decoder.bufferedBytes(), 0u);
}

TEST(BridgeLineDecoder, SizeLimit) {
    // 1,999,999 bytes without a line feed are kept; one more byte is too many.
    BridgeLineDecoder decoder;
    std::string almost(1'999'999, 'x');
    EXPECT_FALSE(decoder.append(almost).error);
    EXPECT_EQ(decoder.bufferedBytes(), 1'999'999u);
    EXPECT_EQ(decoder.append("x").error, Error::oversized);
    EXPECT_EQ(decoder.bufferedBytes(), 0u);

    // Reaching 2,000,000 in one chunk fails even though complete lines are in it.
    std::string withLines = "{\"a\":1}\n" + std::string(2'000'000 - 9, ' ') + "\n";
    ASSERT_EQ(withLines.size(), 2'000'000u);
    auto result = decoder.append(withLines);
    EXPECT_EQ(result.error, Error::oversized);
    EXPECT_TRUE(result.objects.empty());
    EXPECT_EQ(decoder.bufferedBytes(), 0u);

    // The largest line that fits decodes, and the decoder goes on working after an overflow.
    std::string pad(1'999'999 - 9, 'p');
    std::string largest = "{\"p\":\"" + pad + "\"}";
    ASSERT_EQ(largest.size() + 1, 1'999'999u);
    for (std::size_t at = 0; at < largest.size(); at += 65536) {
        EXPECT_TRUE(decoder.append(std::string_view(largest).substr(at, 65536)).objects.empty());
    }
    result = decoder.append("\n");
    ASSERT_FALSE(result.error);
    ASSERT_EQ(result.objects.size(), 1u);
    EXPECT_EQ(result.objects[0]["p"].get<std::string>().size(), pad.size());
}

}  // namespace
}  // namespace orvel
