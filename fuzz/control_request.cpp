// Feeds arbitrary bytes, cut into reads of varying sizes, to the control server's request
// reader: it must never crash, never hold more than the limit allows, and only ever yield
// an object that can be written back.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "control/ControlRequestReader.hpp"
#include "core/ControlMessage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first byte picks the read sizes, the second a small or the real limit.
    const std::size_t step = 1 + data[0] % 64;
    const std::size_t limit = data[1] % 2 ? 32 + data[1] : orvel::ControlChannel::kMaxRequestBytes;
    std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);

    orvel::ControlRequestReader reader(limit);
    std::size_t taken = 0;
    while (!bytes.empty()) {
        const std::size_t room = reader.wanted();
        if (room == 0) break;
        if (room > orvel::ControlRequestReader::kChunkBytes) std::abort();
        const std::string_view read = bytes.substr(0, std::min(room, step));
        reader.append(read);
        bytes.remove_prefix(read.size());
        taken += read.size();
    }
    if (taken > limit + 1) std::abort();  // one byte past the limit decides
    if (const auto request = reader.request()) {
        if (!request->is_object()) std::abort();
        if (!orvel::ControlMessage::serializeLine(*request)) std::abort();
    }
    return 0;
}
