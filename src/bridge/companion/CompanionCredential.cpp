#include "bridge/companion/CompanionCredential.hpp"

#include <charconv>
#include <optional>
#include <vector>

namespace orvel {

namespace {

constexpr std::string_view kPrefix = "companion-v";
constexpr std::size_t kKeySize = 32;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<crypto::Bytes> readHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    crypto::Bytes out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>((high << 4) | low));
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t colon = text.find(':'); colon != std::string_view::npos;
         colon = text.find(':', start)) {
        fields.push_back(text.substr(start, colon - start));
        start = colon + 1;
    }
    fields.push_back(text.substr(start));
    return fields;
}

}  // namespace

std::string CompanionCredential::text() const {
    const crypto::Bytes ourIdBytes = crypto::bytesOf(ourId);
    const crypto::Bytes tvIdBytes = crypto::bytesOf(tvId);
    std::string out = "companion-v1";
    for (crypto::ByteView field :
         {crypto::ByteView(ourKeys.seed), crypto::ByteView(ourKeys.publicKey),
          crypto::ByteView(ourIdBytes), crypto::ByteView(tvIdBytes),
          crypto::ByteView(tvPublicKey)}) {
        out += ':';
        out += crypto::hexText(field);
    }
    return out;
}

Result<CompanionCredential> CompanionCredential::parse(std::string_view text) {
    const Failure unreadable{"The Companion credential is not in a form this version reads."};
    const auto fields = splitFields(text);
    if (!fields[0].starts_with(kPrefix)) return unreadable;
    const auto versionText = fields[0].substr(kPrefix.size());
    unsigned version = 0;
    const auto [end, error] =
        std::from_chars(versionText.data(), versionText.data() + versionText.size(), version);
    if (error != std::errc{} || end != versionText.data() + versionText.size() || version < 1 ||
        versionText.starts_with('0')) {
        return unreadable;
    }
    if (fields.size() < 6) return Failure{"The Companion credential lacks some of its fields."};
    std::vector<crypto::Bytes> values;
    for (std::size_t i = 1; i < 6; ++i) {
        auto value = readHex(fields[i]);
        if (!value || value->empty()) {
            return Failure{"The Companion credential has a field that is not hex digits."};
        }
        values.push_back(std::move(*value));
    }
    if (values[0].size() != kKeySize || values[1].size() != kKeySize ||
        values[4].size() != kKeySize) {
        return Failure{"The Companion credential holds a key of the wrong size."};
    }
    auto keys = crypto::ed25519FromSeed(values[0]);
    if (!keys || keys->publicKey != values[1]) {
        return Failure{"The Companion credential's key pair does not belong together."};
    }
    return CompanionCredential{*keys, std::string(values[2].begin(), values[2].end()),
                               std::string(values[3].begin(), values[3].end()),
                               std::move(values[4])};
}

}  // namespace orvel
