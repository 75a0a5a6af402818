#include "bridge/companion/BinaryPlistShape.hpp"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace orvel::BinaryPlistShape {

namespace {

constexpr std::size_t kTrailerBytes = 32;

class Walk {
public:
    Walk(crypto::ByteView bytes, std::size_t maxNodes) : bytes_(bytes), maxNodes_(maxNodes) {}

    bool run() {
        if (bytes_.size() < 8 + kTrailerBytes || std::memcmp(bytes_.data(), "bplist00", 8) != 0)
            return false;
        const std::size_t trailer = bytes_.size() - kTrailerBytes;
        offsetSize_ = bytes_[trailer + 6];
        refSize_ = bytes_[trailer + 7];
        const auto count = number(trailer + 8, 8);
        const auto top = number(trailer + 16, 8);
        table_ = number(trailer + 24, 8).value_or(0);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8 || !count || !top ||
            *count == 0 || *top >= *count || table_ < 8 || table_ > trailer ||
            *count > (trailer - table_) / offsetSize_) {
            return false;
        }
        sizes_.assign(*count, kUnseen);
        return size(*top, 0).has_value();
    }

private:
    static constexpr std::size_t kUnseen = SIZE_MAX;
    static constexpr std::size_t kOpen = SIZE_MAX - 1;

    // A big-endian number of `width` bytes at `at`, if the bytes hold it.
    std::optional<std::uint64_t> number(std::size_t at, std::size_t width) const {
        if (width > 8 || at > bytes_.size() || bytes_.size() - at < width) return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes_[at + i];
        return value;
    }

    // The nodes object `index` stands for, shared ones counted each time.
    std::optional<std::size_t> size(std::uint64_t index, int depth) {
        if (index >= sizes_.size() || depth > kMaxDepth) return std::nullopt;
        std::size_t& known = sizes_[index];
        if (known == kOpen) return std::nullopt;  // holds itself
        if (known != kUnseen) return known;
        const auto at = number(table_ + index * offsetSize_, offsetSize_);
        if (!at || *at < 8 || *at >= table_) return std::nullopt;
        const std::uint8_t marker = bytes_[*at];
        const std::uint8_t kind = marker >> 4;
        // Arrays and sets hold `n` references; dictionaries `n` keys and `n` values.
        if (kind != 0xA && kind != 0xB && kind != 0xC && kind != 0xD) {
            known = 1;
            return known;
        }
        std::size_t refsAt = *at + 1;
        std::uint64_t n = marker & 0x0F;
        if (n == 0x0F) {
            if (refsAt >= table_ || bytes_[refsAt] >> 4 != 0x1) return std::nullopt;
            const std::size_t width = std::size_t{1} << (bytes_[refsAt] & 0x0F);
            const auto longCount = number(refsAt + 1, width);
            if (!longCount) return std::nullopt;
            n = *longCount;
            refsAt += 1 + width;
        }
        const std::uint64_t refs = kind == 0xD ? 2 * n : n;
        if (refsAt > table_ || n > table_ || refs > (table_ - refsAt) / refSize_)
            return std::nullopt;
        known = kOpen;
        std::size_t total = 1;
        for (std::uint64_t i = 0; i < refs; ++i) {
            const auto child = number(refsAt + i * refSize_, refSize_);
            const auto childSize = child ? size(*child, depth + 1) : std::nullopt;
            if (!childSize) return std::nullopt;
            total += *childSize;
            if (total > maxNodes_) return std::nullopt;
        }
        sizes_[index] = total;
        return total;
    }

    crypto::ByteView bytes_;
    std::size_t maxNodes_;
    std::size_t offsetSize_ = 0;
    std::size_t refSize_ = 0;
    std::size_t table_ = 0;
    std::vector<std::size_t> sizes_;  // per object: kUnseen, kOpen while walked, or its size
};

}  // namespace

bool fitsIn(crypto::ByteView bytes, std::size_t maxNodes) {
    return Walk(bytes, maxNodes).run();
}

}  // namespace orvel::BinaryPlistShape
