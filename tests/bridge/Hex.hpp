#pragma once
// Test vectors as the documents print them: hex digits, spaces and line breaks ignored.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "bridge/crypto/Bytes.hpp"

namespace orvel {

inline crypto::Bytes hex(std::string_view text) {
    crypto::Bytes bytes;
    int high = -1;
    for (const char c : text) {
        int value = -1;
        if (c >= '0' && c <= '9') value = c - '0';
        if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
        if (value < 0) {
            EXPECT_TRUE(c == ' ' || c == '\n') << "not hex: " << c;
            continue;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    EXPECT_LT(high, 0) << "odd number of hex digits";
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
