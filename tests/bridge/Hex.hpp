#pragma once
// Test vectors as the documents print them: hex digits, spaces and line breaks ignored.

#include <gtest/gtest.h>

#include <charconv>
#include <initializer_list>
#include <string>
#include <string_view>

#include "bridge/crypto/Bytes.hpp"

namespace orvel {

inline crypto::Bytes hex(std::string_view text) {
    std::string digits;
    for (const char c : text) {
        if (c != ' ' && c != '\n') digits += c;
    }
    EXPECT_EQ(digits.size() % 2, 0u) << "odd number of hex digits";
    crypto::Bytes bytes;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        std::uint8_t byte = 0;
        const char* pair = digits.data() + i;
        const auto [end, error] = std::from_chars(pair, pair + 2, byte, 16);
        EXPECT_TRUE(error == std::errc{} && end == pair + 2) << "not hex: " << digits.substr(i, 2);
        bytes.push_back(byte);
    }
    return bytes;
}

inline std::string hexOf(crypto::ByteView bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xf];
    }
    return text;
}

inline crypto::Bytes joinedBytes(std::initializer_list<crypto::Bytes> parts) {
    crypto::Bytes bytes;
    for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

}  // namespace orvel
