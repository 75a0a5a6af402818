#include "core/RandomUuid.hpp"

#include <sys/random.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <random>

namespace orvel {

namespace {

template <std::size_t N>
void fillRandom(std::array<std::uint8_t, N>& bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n > 0) {
            filled += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            break;
        }
    }
    if (filled == bytes.size()) return;
    // Kernels without getrandom(2): random_device reads the same pool through /dev/urandom.
    std::random_device device;
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(device());
}

// One system call per 32 ids instead of one per id: ids are made on the request path. Per
// thread, and never copied into another process: our children are exec'd at once.
void takeRandom(std::array<std::uint8_t, 16>& bytes) {
    thread_local std::array<std::uint8_t, 512> pool;
    thread_local std::size_t used = pool.size();
    if (used == pool.size()) {
        fillRandom(pool);
        used = 0;
    }
    std::copy_n(pool.begin() + static_cast<std::ptrdiff_t>(used), bytes.size(), bytes.begin());
    std::fill_n(pool.begin() + static_cast<std::ptrdiff_t>(used), bytes.size(), 0);
    used += bytes.size();
}

}  // namespace

std::string randomUuid() {
    std::array<std::uint8_t, 16> bytes{};
    takeRandom(bytes);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

}  // namespace orvel
