#include "core/PercentEncoding.hpp"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace orvel
