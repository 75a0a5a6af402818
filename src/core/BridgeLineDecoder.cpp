#include "core/BridgeLineDecoder.hpp"

namespace orvel {

namespace {

constexpr std::size_t kLimit = BridgeLineDecoder::kMaxBufferedBytes + 1;

}  // namespace

BridgeLineDecoder::Result BridgeLineDecoder::append(std::string_view data) {
    Result result;
    // Checked before any line is looked at, so lines that came with this chunk go too: the
    // session ends on this error and nothing would read them.
    if (buffer_.size() + data.size() >= kLimit) {
        std::string().swap(buffer_);
        scanned_ = 0;
        result.error = DecodeError::oversized;
        return result;
    }
    buffer_.append(data);

    std::size_t start = 0;
    std::size_t end = buffer_.find('\n', scanned_);
    while (end != std::string::npos) {
        std::string_view line(buffer_.data() + start, end - start);
        start = end + 1;
        if (line.empty()) {
            end = buffer_.find('\n', start);
            continue;
        }
        std::optional<DecodeError> error;
        std::string detail;
        nlohmann::json value;
        try {
            value = nlohmann::json::parse(line);
            if (value.is_array()) {
                error = DecodeError::invalidObject;
            } else if (!value.is_object()) {
                // Only an object or an array may stand at the top level of a line.
                error = DecodeError::invalidJson;
                detail = "The line holds a bare JSON value, not an object.";
            }
        } catch (const nlohmann::json::exception& parseError) {
            // Not only parse_error: a number too large for a double is out_of_range.
            error = DecodeError::invalidJson;
            detail = parseError.what();
        }
        if (error) {
            buffer_.erase(0, start);
            scanned_ = 0;
            return Result{{}, error, std::move(detail)};
        }
        result.objects.push_back(std::move(value));
        end = buffer_.find('\n', start);
    }
    buffer_.erase(0, start);
    scanned_ = buffer_.size();
    return result;
}

}  // namespace orvel
