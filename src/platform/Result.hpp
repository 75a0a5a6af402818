#pragma once
// Result<T>: a value, or the sentence that says why there is none. The one shape for operations
// that fail with words the user reads; exceptions never carry them across a module boundary.
//
//   Result<Config> read(...) { if (bad) return Failure{"The file is damaged."}; return config; }
//   if (auto config = read(...)) use(*config); else show(config.error());
//
// Result<void> is success or a sentence. Outcome<T, E> below is the same shape with an error
// of another type. Plain values; not thread-safe.

#include <string>
#include <utility>
#include <variant>

namespace orvel {

struct Failure {
    std::string sentence;
};

// Outcome<T, E>: the shape every result shares, for modules whose errors carry more than a
// sentence (they derive and say how an E is made).
template <typename T, typename E>
class [[nodiscard]] Outcome {
public:
    Outcome(T value)
        : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Only for a failure.
    const E& error() const { return std::get<1>(state_); }

protected:
    // A tag, because T and E may be one type.
    struct Error {};
    Outcome(Error /*tag*/, E error) : state_(std::in_place_index<1>, std::move(error)) {}

private:
    std::variant<T, E> state_;
};

template <typename T>
class [[nodiscard]] Result : public Outcome<T, std::string> {
    using Base = Outcome<T, std::string>;

public:
    Result(T value) : Base(std::move(value)) {}  // NOLINT: implicit by design
    Result(Failure failure)                      // NOLINT: implicit by design
        : Base(typename Base::Error{}, std::move(failure.sentence)) {}
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : error_(std::move(failure.sentence)), ok_(false) {}  // NOLINT

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    std::string error_;
    bool ok_ = true;
};

}  // namespace orvel
