#pragma once
// LineBuffer: splits a byte stream (standard input, a child's output) into lines. A line
// longer than the limit is dropped whole (up to its line feed) so that no input can grow
// memory without bound. One owner; not thread-safe.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvel {

class LineBuffer {
public:
    static constexpr std::size_t kMaxLine = 2'000'000;

    explicit LineBuffer(std::size_t maxLine = kMaxLine) : maxLine_(maxLine) {}

    // Appends `bytes` and returns every line completed by them, without its line feed.
    // Empty lines are returned too; the caller skips them.
    std::vector<std::string> append(std::string_view bytes);
    // Bytes of the line not yet ended (none while dropping an over-long one).
    std::size_t pendingBytes() const { return partial_.size(); }

private:
    std::size_t maxLine_;
    std::string partial_;
    bool discarding_ = false;  // inside an over-long line, waiting for its end
};

}  // namespace orvel
