#include "bridge/companion/Opack.hpp"

#include <bit>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>

#include "bridge/companion/OpackRules.hpp"

namespace orvel {
namespace {

constexpr std::size_t kInlineReferences = 33;  // 0xA0..0xC0
constexpr std::size_t kInlineLength = 32;      // strings 0x40..0x60, data 0x70..0x90
constexpr std::size_t kCountedEntries = 14;    // arrays 0xD0..0xDE, dictionaries 0xE0..0xEE

template <typename T>
bool fitsIn(std::int64_t value) {
    return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

bool fitsWidth(std::int64_t value, std::uint8_t width) {
    switch (width) {
        case 1:
            return fitsIn<std::int8_t>(value);
        case 2:
            return fitsIn<std::int16_t>(value);
        case 4:
            return fitsIn<std::int32_t>(value);
        case 8:
            return true;
        default:
            return false;
    }
}

class Encoder {
public:
    std::vector<std::uint8_t> take() { return std::move(out_); }

    void write(const OpackValue& value) {
        if (isOpackNumbered(value)) {
            auto [entry, added] = numbers_.try_emplace(identity(value), numbers_.size());
            if (!added) return writeReference(entry->second);
        }
        std::visit([this](const auto& content) { body(content); }, value.storage());
    }

private:
    // Equal objects (as OpackValue compares them) have equal identities.
    static std::string identity(const OpackValue& value) {
        std::string key(1, static_cast<char>(value.kind()));
        const auto appendBytes = [&key](auto bits) {
            for (std::size_t i = 0; i < sizeof(bits); ++i)
                key += static_cast<char>((bits >> (8 * i)) & 0xFF);
        };
        const auto& storage = value.storage();
        if (const auto* integer = std::get_if<OpackValue::Integer>(&storage))
            appendBytes(static_cast<std::uint64_t>(integer->value));
        else if (const auto* single = std::get_if<float>(&storage))
            appendBytes(std::bit_cast<std::uint32_t>(*single));
        else if (const auto* real = std::get_if<double>(&storage))
            appendBytes(std::bit_cast<std::uint64_t>(*real));
        else if (const auto* date = std::get_if<OpackValue::Date>(&storage))
            appendBytes(std::bit_cast<std::uint64_t>(date->secondsSince2001));
        else if (auto text = value.asString())
            key += *text;
        else if (auto bytes = value.asData())
            key.append(bytes->begin(), bytes->end());
        else if (auto uuid = value.asUuid())
            key.append(uuid->begin(), uuid->end());
        return key;
    }

    void littleEndian(std::uint64_t number, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i)
            out_.push_back(static_cast<std::uint8_t>((number >> (8 * i)) & 0xFF));
    }

    void writeReference(std::size_t index) {
        if (index < kInlineReferences) {
            out_.push_back(static_cast<std::uint8_t>(0xA0 + index));
            return;
        }
        std::size_t bytes = 1;
        while (bytes < 4 && index >> (8 * bytes) != 0) ++bytes;
        out_.push_back(static_cast<std::uint8_t>(0xC0 + bytes));
        littleEndian(index, bytes);
    }

    // `base` is the tag of length 0; `counted` the tag whose length follows in 1 byte.
    void lengthTag(std::size_t length, std::uint8_t base, std::uint8_t counted) {
        if (length <= kInlineLength) {
            out_.push_back(static_cast<std::uint8_t>(base + length));
        } else if (length <= 0xFF) {
            out_.push_back(counted);
            littleEndian(length, 1);
        } else if (length <= 0xFFFF) {
            out_.push_back(static_cast<std::uint8_t>(counted + 1));
            littleEndian(length, 2);
        } else if (length <= 0xFFFFFFFF) {
            out_.push_back(static_cast<std::uint8_t>(counted + 2));
            littleEndian(length, 4);
        } else {
            out_.push_back(static_cast<std::uint8_t>(counted + 3));
            littleEndian(length, 8);
        }
    }

    void body(OpackValue::Null) { out_.push_back(0x04); }
    void body(bool value) { out_.push_back(value ? 0x01 : 0x02); }
    void body(OpackValue::Integer integer) {
        std::uint8_t width = integer.width;
        if (!fitsWidth(integer.value, width)) {
            if (isSmallOpackInteger(integer.value)) {
                out_.push_back(static_cast<std::uint8_t>(0x08 + integer.value));
                return;
            }
            width = fitsIn<std::int8_t>(integer.value)    ? 1
                    : fitsIn<std::int16_t>(integer.value) ? 2
                    : fitsIn<std::int32_t>(integer.value) ? 4
                                                          : 8;
        }
        out_.push_back(static_cast<std::uint8_t>(0x30 + std::countr_zero(width)));
        littleEndian(static_cast<std::uint64_t>(integer.value), width);
    }
    void body(float value) {
        out_.push_back(0x35);
        littleEndian(std::bit_cast<std::uint32_t>(value), 4);
    }
    void body(double value) {
        out_.push_back(0x36);
        littleEndian(std::bit_cast<std::uint64_t>(value), 8);
    }
    void body(OpackValue::Date date) {
        out_.push_back(0x06);
        littleEndian(std::bit_cast<std::uint64_t>(date.secondsSince2001), 8);
    }
    void body(const std::string& text) {
        lengthTag(text.size(), 0x40, 0x61);
        out_.insert(out_.end(), text.begin(), text.end());
    }
    void body(const OpackValue::Data& bytes) {
        lengthTag(bytes.size(), 0x70, 0x91);
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }
    void body(const OpackValue::Uuid& uuid) {
        out_.push_back(0x05);
        out_.insert(out_.end(), uuid.begin(), uuid.end());
    }
    void body(const OpackValue::Array& items) {
        const bool counted = items.size() <= kCountedEntries;
        out_.push_back(counted ? static_cast<std::uint8_t>(0xD0 + items.size()) : 0xDF);
        for (const auto& item : items) write(item);
        if (!counted) out_.push_back(kOpackTerminator);
    }
    void body(const OpackValue::Dictionary& pairs) {
        const bool counted = pairs.size() <= kCountedEntries;
        out_.push_back(counted ? static_cast<std::uint8_t>(0xE0 + pairs.size()) : 0xEF);
        for (const auto& [key, value] : pairs) {
            write(key);
            write(value);
        }
        if (!counted) out_.push_back(kOpackTerminator);
    }

    std::vector<std::uint8_t> out_;
    std::unordered_map<std::string, std::size_t> numbers_;  // identity -> back-reference index
};

}  // namespace

std::vector<std::uint8_t> encodeOpack(const OpackValue& value) {
    Encoder encoder;
    encoder.write(value);
    return encoder.take();
}

}  // namespace orvel
