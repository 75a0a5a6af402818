#include "bridge/companion/OpackValue.hpp"

#include <bit>

namespace orvel {
namespace {

struct SameContent {
    bool operator()(OpackValue::Null, OpackValue::Null) const { return true; }
    bool operator()(OpackValue::Integer a, OpackValue::Integer b) const {
        return a.value == b.value;
    }
    bool operator()(float a, float b) const {
        return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
    }
    bool operator()(double a, double b) const {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    }
    bool operator()(OpackValue::Date a, OpackValue::Date b) const {
        return (*this)(a.secondsSince2001, b.secondsSince2001);
    }
    template <typename T>
    bool operator()(const T& a, const T& b) const {
        return a == b;
    }
    template <typename T, typename U>
    bool operator()(const T&, const U&) const {
        return false;
    }
};

}  // namespace

std::optional<bool> OpackValue::asBool() const {
    if (const auto* value = std::get_if<bool>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<std::int64_t> OpackValue::asInteger() const {
    if (const auto* value = std::get_if<Integer>(&storage_)) return value->value;
    return std::nullopt;
}

std::optional<double> OpackValue::asFloat() const {
    if (const auto* value = std::get_if<float>(&storage_)) return *value;
    if (const auto* value = std::get_if<double>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<double> OpackValue::asDate() const {
    if (const auto* value = std::get_if<Date>(&storage_)) return value->secondsSince2001;
    return std::nullopt;
}

std::optional<std::string_view> OpackValue::asString() const {
    if (const auto* value = std::get_if<std::string>(&storage_)) return *value;
    return std::nullopt;
}

std::optional<std::span<const std::uint8_t>> OpackValue::asData() const {
    if (const auto* value = std::get_if<Data>(&storage_)) return std::span(*value);
    return std::nullopt;
}

std::optional<OpackValue::Uuid> OpackValue::asUuid() const {
    if (const auto* value = std::get_if<Uuid>(&storage_)) return *value;
    return std::nullopt;
}

const OpackValue* OpackValue::find(std::string_view key) const {
    const auto* pairs = asDictionary();
    if (!pairs) return nullptr;
    for (const auto& [name, value] : *pairs)
        if (name.asString() == key) return &value;
    return nullptr;
}

bool operator==(const OpackValue& a, const OpackValue& b) {
    return std::visit(SameContent{}, a.storage_, b.storage_);
}

}  // namespace orvel
