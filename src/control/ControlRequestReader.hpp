#pragma once
// ControlRequestReader: turns the bytes a client sends into its one request. The request is
// the line before the first line feed (or everything, when the client ends its side without
// one); bytes after that line feed are ignored. A line longer than the limit, line feed
// included, is unreadable. No socket here: the server feeds what recv returned, the fuzz
// target feeds arbitrary bytes.
//
//   ControlRequestReader reader;
//   while (std::size_t room = reader.wanted()) {
//       ...recv at most `room` bytes, stop at the end or on a time-out...
//       reader.append(bytes);
//   }
//   std::optional<nlohmann::json> request = reader.request();   // none: "couldn't read"
//
// A value type; one per connection, on the server's polling thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/ControlChannel.hpp"

namespace orvel {

class ControlRequestReader {
public:
    static constexpr std::size_t kChunkBytes = 4096;

    explicit ControlRequestReader(std::size_t limit = ControlChannel::kMaxRequestBytes)
        : limit_(limit) {}

    // How many bytes the next read may take: 0 once the line is complete or already too long.
    std::size_t wanted() const;
    void append(std::string_view bytes);
    // The request object, or nothing when the line is too long, not JSON or not an object.
    // Call once the input ended (wanted() is 0, end of stream, a failed or timed-out read).
    std::optional<nlohmann::json> request() const;

private:
    std::size_t limit_;
    std::string line_;
    bool complete_ = false;    // the line feed arrived
    std::size_t counted_ = 0;  // line bytes plus its line feed, as measured against the limit
};

}  // namespace orvel
