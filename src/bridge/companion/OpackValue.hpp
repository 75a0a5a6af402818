#pragma once
// OpackValue: one object of OPACK, the binary format of the Apple TV's Companion messages. A
// plain value (copy, compare, build in code); `encodeOpack` / `decodeOpack` in Opack.hpp turn it
// into bytes and back. Any thread.
//
//   OpackValue message(OpackValue::Dictionary{{"_i", "_launchApp"}, {"_t", 2}, {"_x", 17}});
//   if (const auto* content = reply.find("_c")) ...;
//
// Integers remember the width they were read at, so a peer's message re-encodes byte for byte;
// one built in code has none and is written in its smallest form. Equality compares what the
// objects say: an integer's width does not count, float32 and float64 differ, floats compare
// by their bits (so NaN equals itself).

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace orvel {

class OpackValue {
public:
    struct Null {};
    struct Integer {
        std::int64_t value = 0;
        std::uint8_t width = 0;  // bytes after the tag it was read with (1, 2, 4, 8); 0: none
    };
    struct Date {
        double secondsSince2001 = 0;
    };
    using Data = std::vector<std::uint8_t>;
    using Uuid = std::array<std::uint8_t, 16>;  // in network order
    using Array = std::vector<OpackValue>;
    using Dictionary = std::vector<std::pair<OpackValue, OpackValue>>;  // in order, any keys

    // In the order of `Storage`'s alternatives.
    enum class Kind : std::uint8_t {
        Null,
        Bool,
        Integer,
        Float32,
        Float64,
        String,
        Data,
        Uuid,
        Date,
        Array,
        Dictionary
    };
    using Storage = std::variant<Null, bool, Integer, float, double, std::string, Data, Uuid, Date,
                                 Array, Dictionary>;

    OpackValue() = default;  // null
    OpackValue(std::nullptr_t) {}
    OpackValue(bool value) : storage_(value) {}
    // Unsigned 64-bit numbers may not fit: cast them knowingly.
    template <std::integral T>
    requires(!std::same_as<T, bool> && (std::is_signed_v<T> || sizeof(T) < 8)) OpackValue(T value)
        : storage_(Integer{static_cast<std::int64_t>(value), 0}) {}
    OpackValue(Integer value) : storage_(value) {}
    OpackValue(float value) : storage_(value) {}
    OpackValue(double value) : storage_(value) {}
    OpackValue(const char* text) : storage_(std::string(text)) {}
    OpackValue(std::string_view text) : storage_(std::string(text)) {}
    OpackValue(std::string text) : storage_(std::move(text)) {}
    OpackValue(Data bytes) : storage_(std::move(bytes)) {}
    OpackValue(const Uuid& uuid) : storage_(uuid) {}
    OpackValue(Date date) : storage_(date) {}
    OpackValue(Array items) : storage_(std::move(items)) {}
    OpackValue(Dictionary pairs) : storage_(std::move(pairs)) {}
    // Any other pointer would otherwise become a bool.
    template <typename T>
    OpackValue(T*) = delete;

    Kind kind() const { return static_cast<Kind>(storage_.index()); }
    const Storage& storage() const { return storage_; }

    bool isNull() const { return kind() == Kind::Null; }
    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<double> asFloat() const;  // float32 or float64
    std::optional<double> asDate() const;   // seconds since 2001-01-01 00:00 UTC
    std::optional<std::string_view> asString() const;
    std::optional<std::span<const std::uint8_t>> asData() const;
    std::optional<Uuid> asUuid() const;
    // Null when this is not an array / a dictionary.
    const Array* asArray() const { return std::get_if<Array>(&storage_); }
    const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&storage_); }

    // The value of the first pair whose key is the string `key`; null when there is none or
    // this is no dictionary.
    const OpackValue* find(std::string_view key) const;

    friend bool operator==(const OpackValue& a, const OpackValue& b);

private:
    Storage storage_;
};

}  // namespace orvel
