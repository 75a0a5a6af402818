#include "core/UnicodeScalars.hpp"

namespace orvel::UnicodeScalars {

std::optional<std::size_t> count(std::string_view text) {
    std::size_t scalars = 0;
    std::size_t i = 0;
    const std::size_t size = text.size();
    while (i < size) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        // The bounds of the second byte rule out overlong forms, surrogates and values past
        // U+10FFFF in one comparison.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return std::nullopt;
        }
        if (size - i < length) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (byte < min || byte > max) return std::nullopt;
        }
        i += length;
        ++scalars;
    }
    return scalars;
}

}  // namespace orvel::UnicodeScalars
