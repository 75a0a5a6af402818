#include "control/ControlRequestReader.hpp"

#include <algorithm>

#include "core/ControlMessage.hpp"

namespace orvel {

std::size_t ControlRequestReader::wanted() const {
    if (complete_ || counted_ > limit_) return 0;
    return std::min(kChunkBytes, limit_ + 1 - counted_);
}

void ControlRequestReader::append(std::string_view bytes) {
    if (complete_ || counted_ > limit_) return;
    const std::size_t feed = bytes.find('\n');
    if (feed != std::string_view::npos) {
        bytes = bytes.substr(0, feed);
        complete_ = true;
    }
    // Never hold more than one byte past the limit: that byte already decides the answer.
    const std::size_t room = limit_ + 1 - counted_;
    line_.append(bytes.substr(0, room));
    counted_ += bytes.size() + (complete_ ? 1 : 0);
}

std::optional<nlohmann::json> ControlRequestReader::request() const {
    if (counted_ > limit_) return std::nullopt;
    return ControlMessage::parseObject(line_);
}

}  // namespace orvel
