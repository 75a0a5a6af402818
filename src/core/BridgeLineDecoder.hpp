#pragma once
// BridgeLineDecoder: splits the byte stream that the TV bridge writes on its stdout into JSON
// objects, one per line feed. A plain value with no threads of its own; each bridge session
// owns one on its reader thread and feeds it every chunk it reads. The buffer is bounded so
// that a child writing without line feeds cannot make us grow without limit, and so is the
// nesting of a line: one nested deeper than kMaxDepth is not JSON we read.
//
//   BridgeLineDecoder decoder;
//   auto result = decoder.append(chunk);
//   if (result.error) { /* the session is over */ }
//   for (auto& object : result.objects) route(object);

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/LineBuffer.hpp"

namespace orvel {

class BridgeLineDecoder {
public:
    // The buffer may hold at most this many bytes; one more is an error.
    static constexpr std::size_t kMaxBufferedBytes = 1'999'999;
    // Far above anything the bridge writes.
    static constexpr std::size_t kMaxDepth = 64;

    enum class DecodeError {
        oversized,      // the buffered bytes reached the size limit
        invalidObject,  // valid JSON whose top level is not an object
        invalidJson,    // not JSON, a bare scalar at the top level, or nested too deep
    };

    struct Result {
        // Every complete line decoded by this call, in order; empty when `error` is set.
        std::vector<nlohmann::json> objects;
        std::optional<DecodeError> error;
    };

    // Appends `data` and decodes every complete line. On an error the failing line and all
    // before it are consumed (later lines stay buffered); an oversized buffer is emptied.
    Result append(std::string_view data);

    std::size_t bufferedBytes() const { return heldBytes_ + lines_.pendingBytes(); }

private:
    void drop();

    LineBuffer lines_;
    // Complete lines not yet decoded: those after a failing line, and their bytes with line feeds.
    std::deque<std::string> waiting_;
    std::size_t heldBytes_ = 0;
};

}  // namespace orvel
