#include "core/BridgeLineDecoder.hpp"

#include "platform/BoundedJson.hpp"

namespace orvel {

void BridgeLineDecoder::drop() {
    lines_ = LineBuffer();
    std::deque<std::string>().swap(waiting_);
    heldBytes_ = 0;
}

BridgeLineDecoder::Result BridgeLineDecoder::append(std::string_view data) {
    Result result;
    // Checked before any line is looked at, so lines that came with this chunk go too: the
    // session ends on this error and nothing would read them.
    if (bufferedBytes() + data.size() > kMaxBufferedBytes) {
        drop();
        result.error = DecodeError::oversized;
        return result;
    }
    for (std::string& line : lines_.append(data)) {
        heldBytes_ += line.size() + 1;
        waiting_.push_back(std::move(line));
    }

    while (!waiting_.empty()) {
        std::string line = std::move(waiting_.front());
        waiting_.pop_front();
        heldBytes_ -= line.size() + 1;
        if (line.empty()) continue;
        auto value = BoundedJson::parse(line, kMaxDepth);
        // Only an object or an array may stand at the top level of a line.
        std::optional<DecodeError> error;
        if (!value || !(value->is_object() || value->is_array())) {
            error = DecodeError::invalidJson;
        } else if (value->is_array()) {
            error = DecodeError::invalidObject;
        }
        if (error) return Result{{}, error};
        result.objects.push_back(std::move(*value));
    }
    return result;
}

}  // namespace orvel
