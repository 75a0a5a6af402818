#include "core/PercentEncoding.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/UnicodeScalars.hpp"

namespace orvel {
namespace {

TEST(PercentEncoding, KeepsLettersDigitsDashUnderscoreDotAndEncodesEveryOtherByte) {
    const struct {
        std::string text;
        std::string encoded;
    } table[] = {
        {"", ""},
        {"AZaz09-_.", "AZaz09-_."},
        {"tvinput/hdmi 1", "tvinput%2Fhdmi%201"},
        {"~%+?&=#:", "%7E%25%2B%3F%26%3D%23%3A"},
        {"\xC3\x89"
         "cran",
         "%C3%89cran"},  // each byte of the UTF-8 form
        {std::string("a\0b", 3), "a%00b"},
        {"\x7F\xFF", "%7F%FF"},
    };
    for (const auto& row : table) EXPECT_EQ(percentEncode(row.text), row.encoded) << row.text;
}

TEST(UnicodeScalars, CountsScalarsOfWellFormedTextAndRefusesTheRest) {
    struct Row {
        std::string text;
        std::optional<std::size_t> expected;
    };
    const Row table[] = {
        {"", 0},
        {"abc", 3},
        {"\xC3\xA9t\xC3\xA9", 3},             // été
        {"\xE2\x82\xAC", 1},                  // euro sign
        {"\xF0\x9F\x98\x80", 1},              // emoji, one scalar
        {"e\xCC\x81", 2},                     // e + combining accent
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", 2},  // U+FFFF and U+10FFFF
        {std::string("a\0b", 3), 3},          // NUL is a scalar
        {"\xC3", std::nullopt},               // cut off
        {"\xF0\x9F\x98", std::nullopt},       // cut off
        {"\x80", std::nullopt},               // stray continuation
        {"\xC0\xAF", std::nullopt},           // overlong "/"
        {"\xE0\x80\xAF", std::nullopt},       // overlong
        {"\xF0\x80\x80\xAF", std::nullopt},   // overlong
        {"\xED\xA0\x80", std::nullopt},       // surrogate
        {"\xF4\x90\x80\x80", std::nullopt},   // past U+10FFFF
        {"\xF5\x80\x80\x80", std::nullopt},
        {"\xC3\x28", std::nullopt},  // second byte not a continuation
        {"ok\xFF", std::nullopt},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(testing::PrintToString(row.text));
        EXPECT_EQ(UnicodeScalars::count(row.text), row.expected);
    }
}

}  // namespace
}  // namespace orvel
