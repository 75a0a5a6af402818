#include "core/BridgeLineDecoder.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

using Error = BridgeLineDecoder::DecodeError;

// What one append returned: its objects dumped and its error, joined by spaces.
std::string outcome(const BridgeLineDecoder::Result& result) {
    std::vector<std::string> parts;
    for (const auto& object : result.objects) parts.push_back(object.dump());
    if (result.error == Error::invalidJson) parts.push_back("invalid JSON");
    if (result.error == Error::invalidObject) parts.push_back("not an object");
    if (result.error == Error::oversized) parts.push_back("oversized");
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : " ") + part;
    return text;
}

TEST(BridgeLineDecoder, DecodesLinesAcrossChunks) {
    const struct {
        std::vector<std::string> chunks;
        std::vector<std::string> outcomes;  // one per chunk
        std::size_t bufferedAfter = 0;
    } table[] = {
        {{"{\"a\":", "1}\n"}, {"", R"({"a":1})"}},
        {{"{\"a\":1}\n{\"b\":2}\n"}, {R"({"a":1} {"b":2})"}},
        {{"{\"a\":1}\n{\"b\"", ":2}\n"}, {R"({"a":1})", R"({"b":2})"}},
        {{"\n\n{\"a\":1}\n\n\n{\"b\":[]}\n\n"}, {R"({"a":1} {"b":[]})"}},
        {{"{\"a\":\"x\"}\r\n"}, {R"({"a":"x"})"}},
        {{R"({"n":null,"t":true,"f":1.5,"o":{"k":[1,"s"]}})"
          "\n"},
         {R"({"f":1.5,"n":null,"o":{"k":[1,"s"]},"t":true})"}},
        {{"[1,2]\n"}, {"not an object"}},
        {{"42\n"}, {"invalid JSON"}},
        {{"nope\n"}, {"invalid JSON"}},
        {{"\r\n"}, {"invalid JSON"}},
        {{"{\"a\":1E999}\n"}, {"invalid JSON"}},
        {{"{\"a\":\"\xff\"}\n"}, {"invalid JSON"}},
        // Nested deeper than a reader recurses safely: refused like any unreadable line.
        {{"{\"a\":" + std::string(64, '[') + std::string(64, ']') + "}\n"}, {"invalid JSON"}},
        {{"{\"a\":" + std::string(63, '[') + std::string(63, ']') + "}\n"},
         {"{\"a\":" + std::string(63, '[') + std::string(63, ']') + "}"}},
        // A bad line fails the whole chunk, yet a partial line after it stays.
        {{"{\"a\":1}\nnope\n{\"b\":2}\npart"}, {"invalid JSON"}, 12},
        {{"{\"a\":1}\n{\"b\""}, {R"({"a":1})"}, 4},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::PrintToString(row.chunks));
        BridgeLineDecoder decoder;
        std::vector<std::string> outcomes;
        for (const auto& chunk : row.chunks) outcomes.push_back(outcome(decoder.append(chunk)));
        EXPECT_EQ(outcomes, row.outcomes);
        EXPECT_EQ(decoder.bufferedBytes(), row.bufferedAfter);
    }

    BridgeLineDecoder decoder;
    std::string seen;
    for (char byte : std::string("{\"id\":\"X\",\"v\":[1,2]}\r\n\n{\"event\":\"state\"}\n")) {
        seen += outcome(decoder.append(std::string(1, byte)));
    }
    EXPECT_EQ(seen, R"({"id":"X","v":[1,2]}{"event":"state"})") << "one byte at a time";
}

TEST(BridgeLineDecoder, SizeLimit) {
    // 1,999,999 bytes without a line feed are kept; one more byte is too many.
    BridgeLineDecoder decoder;
    EXPECT_EQ(outcome(decoder.append(std::string(1'999'999, 'x'))), "");
    EXPECT_EQ(decoder.bufferedBytes(), 1'999'999u);
    EXPECT_EQ(outcome(decoder.append("x")), "oversized");
    EXPECT_EQ(decoder.bufferedBytes(), 0u);

    // Reaching 2,000,000 in one chunk fails even though complete lines are in it.
    std::string withLines = "{\"a\":1}\n" + std::string(2'000'000 - 9, ' ') + "\n";
    ASSERT_EQ(withLines.size(), 2'000'000u);
    EXPECT_EQ(outcome(decoder.append(withLines)), "oversized");
    EXPECT_EQ(decoder.bufferedBytes(), 0u);

    // The largest line that fits decodes, and the decoder goes on working after an overflow.
    std::string largest = "{\"p\":\"" + std::string(1'999'999 - 9, 'p') + "\"}";
    ASSERT_EQ(largest.size() + 1, 1'999'999u);
    for (std::size_t at = 0; at < largest.size(); at += 65536) {
        EXPECT_EQ(outcome(decoder.append(std::string_view(largest).substr(at, 65536))), "");
    }
    EXPECT_EQ(outcome(decoder.append("\n")), largest);
}

}  // namespace
}  // namespace orvel
