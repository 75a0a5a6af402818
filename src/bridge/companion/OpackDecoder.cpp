#include "bridge/companion/Opack.hpp"

#include <algorithm>
#include <bit>
#include <optional>
#include <string>
#include <utility>

#include "bridge/companion/OpackRules.hpp"
#include "core/UnicodeScalars.hpp"

namespace orvel {
namespace {

std::string hexByte(std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0xF];
    return text;
}

class Decoder {
public:
    explicit Decoder(std::span<const std::uint8_t> in) : in_(in) {}

    Result<OpackValue> all() {
        if (in_.empty()) return Failure{"The OPACK data is empty."};
        auto value = object(0);
        if (value && at_ != in_.size())
            fail("goes on after its object, at byte " + std::to_string(at_));
        if (!error_.empty()) return Failure{std::move(error_)};
        return std::move(*value);
    }

private:
    using Value = std::optional<OpackValue>;

    std::nullopt_t fail(const std::string& what) {
        if (error_.empty()) {
            error_ = "The OPACK data ";
            error_ += what;
            error_ += '.';
        }
        return std::nullopt;
    }
    std::nullopt_t truncated(std::size_t start) {
        return fail("ends inside the object at byte " + std::to_string(start));
    }
    std::nullopt_t overBudget() {
        return fail("holds more than " + std::to_string(kMaxOpackTextBytes >> 20) +
                    " MiB of text and data");
    }
    std::size_t remaining() const { return in_.size() - at_; }

    std::optional<std::uint64_t> littleEndian(std::size_t bytes, std::size_t start) {
        if (remaining() < bytes) return truncated(start);
        std::uint64_t number = 0;
        for (std::size_t i = 0; i < bytes; ++i) number |= std::uint64_t{in_[at_ + i]} << (8 * i);
        at_ += bytes;
        return number;
    }

    std::optional<std::span<const std::uint8_t>> bytes(std::uint64_t count, std::size_t start) {
        if (count > remaining()) {
            std::string what = "has an object at byte " + std::to_string(start);
            what += " that claims " + std::to_string(count);
            what += " bytes where " + std::to_string(remaining()) + " remain";
            return fail(what);
        }
        if (count > budget_) return overBudget();
        budget_ -= count;
        auto span = in_.subspan(at_, count);
        at_ += count;
        return span;
    }

    // Lengths that follow `counted` take 1, 2, 4 or 8 bytes; `base` + n is a length of n.
    std::optional<std::uint64_t> length(std::uint8_t tag, std::uint8_t base, std::uint8_t counted,
                                        std::size_t start) {
        if (tag < counted) return static_cast<std::uint64_t>(tag - base);
        return littleEndian(std::size_t{1} << (tag - counted), start);
    }

    Value string(std::uint64_t count, std::size_t start) {
        auto text = bytes(count, start);
        if (!text) return std::nullopt;
        std::string value(text->begin(), text->end());
        if (!UnicodeScalars::count(value))
            return fail("has a string at byte " + std::to_string(start) + " that is not UTF-8");
        return OpackValue(std::move(value));
    }

    Value terminatedString(std::size_t start) {
        std::size_t end = at_;
        while (end < in_.size() && in_[end] != 0) ++end;
        if (end == in_.size()) return truncated(start);
        auto value = string(end - at_, start);
        ++at_;  // the NUL
        return value;
    }

    static bool isDataTag(std::uint8_t tag) { return tag >= 0x70 && tag <= 0x94; }

    std::optional<std::span<const std::uint8_t>> data(std::uint8_t tag, std::size_t start) {
        auto count = length(tag, 0x70, 0x91, start);
        if (!count) return std::nullopt;
        return bytes(*count, start);
    }

    // Only the joined whole is numbered, as one object.
    Value chunkedData(std::size_t start) {
        OpackValue::Data joined;
        while (!atTerminator()) {
            if (remaining() == 0) return truncated(start);
            const std::size_t chunkStart = at_;
            const std::uint8_t tag = in_[at_++];
            if (!isDataTag(tag))
                return fail("has chunked data at byte " + std::to_string(start) +
                            " with something other than data in it");
            auto chunk = data(tag, chunkStart);
            if (!chunk) return std::nullopt;
            joined.insert(joined.end(), chunk->begin(), chunk->end());
        }
        return OpackValue(std::move(joined));
    }

    Value reference(std::uint64_t index, std::size_t start) {
        if (index >= numbered_.size())
            return fail("refers at byte " + std::to_string(start) + " to object " +
                        std::to_string(index) + " before there is one");
        const OpackValue& target = numbered_[index];
        std::size_t size = 0;
        if (auto text = target.asString()) size = text->size();
        if (auto body = target.asData()) size = body->size();
        if (size > budget_) return overBudget();
        budget_ -= size;
        return target;
    }

    bool atTerminator() {
        if (remaining() == 0 || in_[at_] != kOpackTerminator) return false;
        ++at_;
        return true;
    }

    // `count` entries, or until the terminator when there is none.
    Value array(std::optional<std::size_t> count, std::size_t depth, std::size_t start) {
        OpackValue::Array items;
        while (count ? items.size() < *count : !atTerminator()) {
            if (remaining() == 0) return truncated(start);
            auto item = object(depth + 1);
            if (!item) return std::nullopt;
            items.push_back(std::move(*item));
        }
        return OpackValue(std::move(items));
    }

    Value dictionary(std::optional<std::size_t> count, std::size_t depth, std::size_t start) {
        OpackValue::Dictionary pairs;
        while (count ? pairs.size() < *count : !atTerminator()) {
            if (remaining() == 0) return truncated(start);
            auto key = object(depth + 1);
            if (!key) return std::nullopt;
            auto value = object(depth + 1);
            if (!value) return std::nullopt;
            pairs.emplace_back(std::move(*key), std::move(*value));
        }
        return OpackValue(std::move(pairs));
    }

    Value integer(std::uint8_t width, std::size_t start) {
        auto raw = littleEndian(width, start);
        if (!raw) return std::nullopt;
        const int unused = 64 - 8 * width;  // sign-extend from the top byte read
        const auto value = static_cast<std::int64_t>(*raw << unused) >> unused;
        return OpackValue(OpackValue::Integer{value, width});
    }

    Value scalarBits(std::uint8_t tag, std::size_t start) {
        auto bits = littleEndian(tag == 0x35 ? 4 : 8, start);
        if (!bits) return std::nullopt;
        if (tag == 0x35) return OpackValue(std::bit_cast<float>(static_cast<std::uint32_t>(*bits)));
        const auto real = std::bit_cast<double>(*bits);
        return tag == 0x36 ? OpackValue(real) : OpackValue(OpackValue::Date{real});
    }

    Value uuid(std::size_t start) {
        if (remaining() < 16) return truncated(start);
        OpackValue::Uuid id{};
        std::copy_n(in_.begin() + static_cast<std::ptrdiff_t>(at_), id.size(), id.begin());
        at_ += id.size();
        return OpackValue(id);
    }

    Value container(std::uint8_t tag, std::size_t depth, std::size_t start) {
        if (depth + 1 > kMaxOpackDepth)
            return fail("nests collections more than " + std::to_string(kMaxOpackDepth) +
                        " deep at byte " + std::to_string(start));
        const bool isArray = tag < 0xE0;
        const std::uint8_t low = tag & 0x0F;
        std::optional<std::size_t> count;
        if (low != 0x0F) count = low;
        return isArray ? array(count, depth, start) : dictionary(count, depth, start);
    }

    // Without the numbering, which `object` does.
    Value uncounted(std::uint8_t tag, std::size_t depth, std::size_t start) {
        if (tag == 0x01 || tag == 0x02) return OpackValue(tag == 0x01);
        if (tag == 0x04) return OpackValue();
        if (tag == 0x05) return uuid(start);
        if (tag == 0x06 || tag == 0x35 || tag == 0x36) return scalarBits(tag, start);
        if (tag >= 0x07 && tag <= 0x2F) return OpackValue(std::int64_t{tag} - 0x08);
        if (tag >= 0x30 && tag <= 0x33) return integer(std::uint8_t{1} << (tag - 0x30), start);
        if (tag >= 0x40 && tag <= 0x64) {
            auto count = length(tag, 0x40, 0x61, start);
            return count ? string(*count, start) : std::nullopt;
        }
        if (tag == 0x6F) return terminatedString(start);
        if (isDataTag(tag)) {
            auto body = data(tag, start);
            return body ? OpackValue(OpackValue::Data(body->begin(), body->end())) : Value();
        }
        if (tag == 0x9F) return chunkedData(start);
        if (tag >= 0xD0 && tag <= 0xEF) return container(tag, depth, start);
        if (tag == kOpackTerminator)
            return fail("has a terminator where an object belongs at byte " +
                        std::to_string(start));
        return fail("has the unsupported tag " + hexByte(tag) + " at byte " +
                    std::to_string(start));
    }

    // `depth`: the collections around this object.
    Value object(std::size_t depth) {
        const std::size_t start = at_;
        if (remaining() == 0) return truncated(start);
        const std::uint8_t tag = in_[at_++];
        if (tag >= 0xA0 && tag <= 0xC0) return reference(tag - 0xA0, start);
        if (tag >= 0xC1 && tag <= 0xC4) {
            auto index = littleEndian(tag - 0xC0, start);
            return index ? reference(*index, start) : std::nullopt;
        }
        auto value = uncounted(tag, depth, start);
        if (value && isOpackNumbered(*value)) numbered_.push_back(*value);
        return value;
    }

    std::span<const std::uint8_t> in_;
    std::size_t at_ = 0;
    std::vector<OpackValue> numbered_;  // what back-references point at, in order
    std::size_t budget_ = kMaxOpackTextBytes;
    std::string error_;
};

}  // namespace

Result<OpackValue> decodeOpack(std::span<const std::uint8_t> bytes) {
    return Decoder(bytes).all();
}

}  // namespace orvel
