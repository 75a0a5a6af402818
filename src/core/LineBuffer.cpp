#include "core/LineBuffer.hpp"

namespace orvel {

std::vector<std::string> LineBuffer::append(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        const auto piece = bytes.substr(0, end);
        if (!discarding_) {
            if (partial_.size() + piece.size() > maxLine_) {
                partial_.clear();
                discarding_ = true;
            } else {
                partial_.append(piece);
            }
        }
        if (end == std::string_view::npos) break;
        if (!discarding_) lines.push_back(std::move(partial_));
        partial_.clear();
        discarding_ = false;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace orvel
