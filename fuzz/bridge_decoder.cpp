// Feeds the bridge line decoder arbitrary bytes in chunks whose sizes come from the input,
// and checks the result against decoding the same lines whole.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/BridgeLineDecoder.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::size_t depth(const nlohmann::json& value) {
    std::size_t deepest = 0;
    if (value.is_structured()) {
        for (const auto& element : value) deepest = std::max(deepest, depth(element));
        return deepest + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Layout: one length byte, then that many bytes of stream, repeated.
    std::string stream;
    std::vector<std::size_t> chunkSizes;
    std::size_t at = 0;
    while (at < size) {
        std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        ++at;
        stream.append(reinterpret_cast<const char*>(data + at), length);
        chunkSizes.push_back(length);
        at += length;
    }

    orvel::BridgeLineDecoder decoder;
    std::vector<nlohmann::json> decoded;
    bool failed = false;
    std::size_t offset = 0;
    for (std::size_t length : chunkSizes) {
        auto result = decoder.append(std::string_view(stream).substr(offset, length));
        offset += length;
        check(decoder.bufferedBytes() <= orvel::BridgeLineDecoder::kMaxBufferedBytes);
        check(!result.error || result.objects.empty());
        for (auto& object : result.objects) {
            check(object.is_object());
            decoded.push_back(std::move(object));
        }
        if (result.error) {
            failed = true;
            break;
        }
    }

    // The same stream, decoded a whole line at a time.
    std::vector<nlohmann::json> expected;
    bool expectedFailure = false;
    std::size_t start = 0;
    for (std::size_t end = stream.find('\n'); end != std::string::npos;
         start = end + 1, end = stream.find('\n', start)) {
        if (end == start) continue;
        const std::string_view line = std::string_view(stream).substr(start, end - start);
        // The parser takes a NUL for the end of its input; a line holding one is not JSON.
        auto value = line.find('\0') == std::string_view::npos
                         ? nlohmann::json::parse(line, nullptr, false)
                         : nlohmann::json(nlohmann::json::value_t::discarded);
        if (value.is_discarded() || !value.is_object() ||
            depth(value) > orvel::BridgeLineDecoder::kMaxDepth) {
            expectedFailure = true;
            break;
        }
        expected.push_back(std::move(value));
    }
    check(failed == expectedFailure);
    if (!failed) check(decoded == expected);
    return 0;
}
