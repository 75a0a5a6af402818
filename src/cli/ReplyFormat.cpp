#include "cli/ReplyFormat.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/JoinText.hpp"

namespace orvel::ReplyFormat {
namespace {

using Json = nlohmann::json;

const std::string* stringAt(const Json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get_ptr<const std::string*>()
                                                       : nullptr;
}

std::string stringOr(const Json& object, std::string_view key, std::string_view fallback) {
    const std::string* value = stringAt(object, key);
    return value ? *value : std::string(fallback);
}

bool isTrue(const Json& object, std::string_view key) {
    if (!object.is_object()) return false;
    const auto found = object.find(key);
    return found != object.end() && found->is_boolean() && found->get<bool>();
}

double numberOr(const Json& object, std::string_view key, double fallback) {
    if (!object.is_object()) return fallback;
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? found->get<double>() : fallback;
}

const Json* objectPtr(const Json& reply, std::string_view key) {
    if (!reply.is_object()) return nullptr;
    const auto found = reply.find(key);
    return found != reply.end() && found->is_object() ? &*found : nullptr;
}

const Json& objectAt(const Json& reply, std::string_view key) {
    static const Json kEmpty = Json::object();
    const Json* found = objectPtr(reply, key);
    return found ? *found : kEmpty;
}

// An array of objects; anything else counts as an empty list.
const Json& objectsAt(const Json& reply, std::string_view key) {
    static const Json kNone = Json::array();
    if (!reply.is_object()) return kNone;
    const auto found = reply.find(key);
    if (found == reply.end() || !found->is_array()) return kNone;
    for (const Json& item : *found) {
        if (!item.is_object()) return kNone;
    }
    return *found;
}

}  // namespace

std::string clock(double seconds) {
    if (!std::isfinite(seconds)) return "0:00";
    // Clamped into the 64-bit range; such values cannot come from the app anyway.
    constexpr double kLimit = 9.0e18;
    const auto whole = static_cast<long long>(std::clamp(std::floor(seconds), -kLimit, kLimit));
    char text[64];
    if (whole < 3600) {
        (void)std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    } else {
        (void)std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600,
                            (whole / 60) % 60, whole % 60);
    }
    return text;
}

std::string describe(const Json& tv) {
    std::vector<std::string> parts{stringOr(tv, "kind", "TV")};
    const std::string* title = stringAt(tv, "title");
    const std::string* app = stringAt(tv, "app");
    if (isTrue(tv, "playing")) {
        parts.push_back("▶ " + (title && !title->empty() ? *title : app ? *app : "playing"));
    } else if (app && !app->empty()) {
        parts.push_back(*app);
    }
    if (!isTrue(tv, "connected")) parts.emplace_back("not connected");
    for (const char* key : {"notice", "error"}) {
        if (const std::string* text = stringAt(tv, key); text && !text->empty())
            parts.push_back(*text);
    }
    return stringOr(tv, "name", "?") + " — " + joinText(parts, " · ");
}

std::string nowPlaying(const Json& tv) {
    if (!isTrue(tv, "connected")) return stringOr(tv, "name", "TV") + " isn't connected.";
    const std::string title = stringOr(tv, "title", "");
    const std::string artist = stringOr(tv, "artist", "");
    const std::string app = stringOr(tv, "app", "");
    const bool playing = isTrue(tv, "playing");
    const double duration = numberOr(tv, "duration", 0);
    if (!playing && title.empty() && duration == 0) {
        return app.empty() ? "Nothing playing." : "Nothing playing (" + app + ").";
    }
    std::vector<std::string> parts{playing ? "▶" : "⏸"};
    if (!title.empty()) parts.push_back(artist.empty() ? title : title + " — " + artist);
    if (!app.empty()) parts.push_back(title.empty() ? app : "(" + app + ")");
    if (duration > 0) parts.push_back(clock(numberOr(tv, "position", 0)) + " / " + clock(duration));
    return joinText(parts, " ");
}

std::string json(const nlohmann::json& value) {
    try {
        return value.dump();  // objects keep their keys sorted
    } catch (const nlohmann::json::exception&) {
        return "{}";
    }
}

std::vector<std::string> resultLines(std::string_view command, const nlohmann::json& reply) {
    std::vector<std::string> lines;
    if (command == "tvs") {
        const auto& tvs = objectsAt(reply, "tvs");
        if (tvs.empty()) lines.emplace_back("No TVs paired. Pair one in Orvel Remote's Settings.");
        for (const auto& tv : tvs)
            lines.push_back((isTrue(tv, "selected") ? "* " : "  ") + describe(tv));
    } else if (command == "status") {
        if (const Json* tv = objectPtr(reply, "tv")) lines.push_back(describe(*tv));
    } else if (command == "nowplaying") {
        lines.push_back(nowPlaying(objectAt(reply, "tv")));
    } else if (command == "apps") {
        const auto& apps = objectsAt(reply, "apps");
        if (apps.empty()) lines.emplace_back("This TV didn't list any apps.");
        for (const auto& app : apps) lines.push_back(stringOr(app, "name", "?"));
    }
    return lines;
}

std::string watchLine(const nlohmann::json& line) {
    const auto& tv = objectAt(line, "tv");
    return stringOr(tv, "name", "TV") + ": " + nowPlaying(tv);
}

}  // namespace orvel::ReplyFormat
