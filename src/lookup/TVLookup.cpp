#include "lookup/TVLookup.hpp"

#include <memory>

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace orvel::TVLookup {
namespace {

// The root locale's full lower-case mapping ("İ" becomes "i̇", "ẞ" becomes "ß"), the same
// for every user whatever their language. Opened once; ICU allows concurrent use of a
// const UCaseMap.
const UCaseMap* rootCaseMap() {
    struct Close {
        void operator()(UCaseMap* map) const { ucasemap_close(map); }
    };
    static const std::unique_ptr<UCaseMap, Close> map = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCaseMap, Close> opened(ucasemap_open("", 0, &status));
        if (U_FAILURE(status)) opened.reset();
        return opened;
    }();
    return map.get();
}

// Unicode White_Space: the same set as the separators (Z*) plus U+0009-U+000D and U+0085.
// A byte that starts no valid sequence is not white space.
std::string_view trimmed(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t begin = 0;
    while (begin < length) {
        int32_t next = begin;
        UChar32 c = 0;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        begin = next;
    }
    int32_t end = length;
    while (end > begin) {
        int32_t previous = end;
        UChar32 c = 0;
        U8_PREV(bytes, begin, previous, c);
        if (c < 0 || !u_isUWhiteSpace(c)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

std::string lowerCased(std::string_view text) {
    const UCaseMap* map = rootCaseMap();
    if (map == nullptr || text.empty()) return std::string(text);
    // Lower-casing grows a string by at most a few bytes per character; retry once with the
    // size ICU asks for.
    std::string lower(text.size() + 16, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        int32_t needed =
            ucasemap_utf8ToLower(map, lower.data(), static_cast<int32_t>(lower.size()), text.data(),
                                 static_cast<int32_t>(text.size()), &status);
        if (U_SUCCESS(status)) {
            lower.resize(static_cast<std::size_t>(needed));
            return lower;
        }
        if (status != U_BUFFER_OVERFLOW_ERROR) break;
        lower.assign(static_cast<std::size_t>(needed), '\0');
    }
    return std::string(text);
}

// Composed form, so that a name typed as "e" + combining acute equals one stored with "é".
std::string composed(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return text;
    if (nfc->isNormalizedUTF8(text, status) && U_SUCCESS(status)) return text;
    status = U_ZERO_ERROR;
    std::string result;
    icu::StringByteSink<std::string> sink(&result, static_cast<int32_t>(text.size()));
    nfc->normalizeUTF8(0, text, sink, nullptr, status);
    return U_SUCCESS(status) ? result : text;
}

// A prefix that ends inside a character (before a combining mark, say) is no prefix: "e"
// does not begin "é" however that is encoded.
bool beginsWith(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return false;
    if (name.size() == prefix.size()) return true;
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    auto offset = static_cast<int32_t>(prefix.size());
    UChar32 c = 0;
    U8_NEXT(bytes, offset, static_cast<int32_t>(name.size()), c);
    if (c < 0) return true;
    switch (u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK)) {
        case U_GCB_EXTEND:
        case U_GCB_ZWJ:
        case U_GCB_SPACING_MARK:
            return false;
        default:
            return true;
    }
}

template <typename Fits>
Match collect(std::span<const NamedEntry> entries, const std::vector<std::string>& names,
              Fits fits) {
    std::vector<const NamedEntry*> matches;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (fits(names[i])) matches.push_back(&entries[i]);
    }
    if (matches.empty()) return Missing{};
    if (matches.size() == 1) return Found{matches.front()->id};
    Ambiguous ambiguous;
    for (const NamedEntry* entry : matches) ambiguous.names.push_back(entry->name);
    return ambiguous;
}

}  // namespace

std::string normalize(std::string_view text) {
    return composed(lowerCased(trimmed(text)));
}

Match resolve(std::string_view query, std::span<const NamedEntry> entries) {
    const std::string wanted = normalize(query);
    if (wanted.empty()) return Missing{};

    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const NamedEntry& entry : entries) names.push_back(normalize(entry.name));

    Match exact = collect(entries, names, [&](const std::string& name) { return name == wanted; });
    if (!std::holds_alternative<Missing>(exact)) return exact;
    return collect(entries, names,
                   [&](const std::string& name) { return beginsWith(name, wanted); });
}

}  // namespace orvel::TVLookup
