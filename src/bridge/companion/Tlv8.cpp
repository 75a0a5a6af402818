#include "bridge/companion/Tlv8.hpp"

#include <algorithm>
#include <cstddef>

namespace orvel::Tlv8 {

namespace {

constexpr std::size_t kFragment = 255;

}  // namespace

std::vector<std::uint8_t> encode(const Items& items) {
    std::vector<std::uint8_t> out;
    const Item* previous = nullptr;
    for (const Item& item : items) {
        if (previous != nullptr && previous->type == item.type) {
            out.push_back(separator);
            out.push_back(0);
        }
        std::size_t offset = 0;
        do {
            const std::size_t length = std::min(kFragment, item.value.size() - offset);
            out.push_back(item.type);
            out.push_back(static_cast<std::uint8_t>(length));
            out.insert(out.end(), item.value.begin() + static_cast<std::ptrdiff_t>(offset),
                       item.value.begin() + static_cast<std::ptrdiff_t>(offset + length));
            offset += length;
        } while (offset < item.value.size());
        previous = &item;
    }
    return out;
}

Result<Items> decode(std::span<const std::uint8_t> bytes) {
    Items items;
    // Only a full fragment continues into the next item of its type; after a shorter one (or a
    // separator) the same type starts a new item.
    bool continues = false;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 2) return Failure{"The pairing data ends inside an item header."};
        const std::uint8_t type = bytes[at];
        const std::size_t length = bytes[at + 1];
        at += 2;
        if (bytes.size() - at < length) return Failure{"The pairing data ends inside an item."};
        const auto value = bytes.subspan(at, length);
        at += length;
        if (type == separator) {
            continues = false;
            continue;
        }
        if (continues && items.back().type == type) {
            items.back().value.insert(items.back().value.end(), value.begin(), value.end());
        } else {
            items.push_back({type, {value.begin(), value.end()}});
        }
        continues = length == kFragment;
    }
    return items;
}

const std::vector<std::uint8_t>* find(const Items& items, std::uint8_t type) {
    const auto it =
        std::find_if(items.begin(), items.end(), [type](const Item& i) { return i.type == type; });
    return it == items.end() ? nullptr : &it->value;
}

std::optional<std::uint64_t> readInteger(const Items& items, std::uint8_t type) {
    const auto* value = find(items, type);
    if (value == nullptr || value->empty() || value->size() > 8) return std::nullopt;
    std::uint64_t result = 0;
    for (std::size_t i = value->size(); i-- > 0;) result = (result << 8) | (*value)[i];
    return result;
}

std::vector<std::uint8_t> integer(std::uint64_t value) {
    std::vector<std::uint8_t> out;
    do {
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
        value >>= 8;
    } while (value != 0);
    return out;
}

std::vector<std::uint8_t> text(std::string_view text) {
    return {text.begin(), text.end()};
}

}  // namespace orvel::Tlv8
