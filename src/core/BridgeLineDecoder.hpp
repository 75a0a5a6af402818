#pragma once
// BridgeLineDecoder: splits the byte stream that the TV bridge writes on its stdout into JSON
// objects, one per line feed. A plain value with no threads of its own; each bridge session
// owns one on its reader thread and feeds it every chunk it reads. The buffer is bounded so
// that a child writing without line feeds cannot make us grow without limit.
//
//   BridgeLineDecoder decoder;
//   auto result = decoder.append(chunk);
//   if (result.error) { /* the session is over */ }
//   for (auto& object : result.objects) route(object);

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvel {

class BridgeLineDecoder {
public:
    // The buffer may hold at most this many bytes; one more is an error.
    static constexpr std::size_t kMaxBufferedBytes = 1'999'999;

    enum class DecodeError {
        oversized,      // the buffered bytes reached the size limit
        invalidObject,  // valid JSON whose top level is not an object
        invalidJson,    // not JSON, or a bare scalar at the top level
    };

    struct Result {
        // Every complete line decoded by this call, in order; empty when `error` is set.
        std::vector<nlohmann::json> objects;
        std::optional<DecodeError> error;
        std::string errorDetail;  // the parser's own message for invalidJson
    };

    // Appends `data` and decodes every complete line. On an error the failing line and all
    // before it are consumed (later lines stay buffered); an oversized buffer is emptied.
    Result append(std::string_view data);

    std::size_t bufferedBytes() const { return buffer_.size(); }

private:
    std::string buffer_;
    // Bytes at the front of buffer_ already known to hold no line feed: a long line arriving
    // in small chunks is scanned once, not once per chunk.
    std::size_t scanned_ = 0;
};

}  // namespace orvel
