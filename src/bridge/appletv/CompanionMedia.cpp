#include "bridge/appletv/CompanionMedia.hpp"

#include <algorithm>
#include <cmath>

namespace orvel::CompanionMedia {

namespace {

// The "_mcc" numbers.
constexpr int kPlay = 1;
constexpr int kPause = 2;
constexpr int kNext = 3;
constexpr int kPrevious = 4;
constexpr int kGetVolume = 5;
constexpr int kSetVolume = 6;
constexpr int kSkipBy = 7;

struct Allowed {
    RemoteAction action;
    std::int64_t flag;
};

// The order of next and previous is as the TV's own remotes read these bits.
constexpr Allowed kFlags[] = {
    {RemoteAction::play, 0x0001},        {RemoteAction::pause, 0x0002},
    {RemoteAction::next, 0x0004},        {RemoteAction::previous, 0x0008},
    {RemoteAction::skipForward, 0x0200}, {RemoteAction::skipBackward, 0x0400},
    {RemoteAction::setVolume, 0x0100},
};

constexpr std::int64_t kVolumeFlag = 0x0100;

}  // namespace

std::vector<RemoteAction> actionsAllowed(std::int64_t flags) {
    std::vector<RemoteAction> actions;
    for (RemoteAction action : kAllRemoteActions) {
        const auto* entry =
            std::find_if(std::begin(kFlags), std::end(kFlags),
                         [&](const Allowed& each) { return each.action == action; });
        if (entry != std::end(kFlags) && (flags & entry->flag) != 0) actions.push_back(action);
    }
    return actions;
}

bool isMediaAction(RemoteAction action) {
    return std::any_of(std::begin(kFlags), std::end(kFlags),
                       [&](const Allowed& each) { return each.action == action; });
}

bool takesVolume(std::int64_t flags) {
    return (flags & kVolumeFlag) != 0;
}

std::optional<OpackValue> request(RemoteAction action, std::optional<double> volume) {
    using Dictionary = OpackValue::Dictionary;
    switch (action) {
        case RemoteAction::play:
            return Dictionary{{"_mcc", kPlay}};
        case RemoteAction::pause:
            return Dictionary{{"_mcc", kPause}};
        case RemoteAction::next:
            return Dictionary{{"_mcc", kNext}};
        case RemoteAction::previous:
            return Dictionary{{"_mcc", kPrevious}};
        case RemoteAction::skipForward:
            return Dictionary{{"_mcc", kSkipBy}, {"_skpS", kSkipSeconds}};
        case RemoteAction::skipBackward:
            return Dictionary{{"_mcc", kSkipBy}, {"_skpS", -kSkipSeconds}};
        case RemoteAction::setVolume:
            if (!volume || !std::isfinite(*volume)) return std::nullopt;
            return Dictionary{{"_mcc", kSetVolume},
                              {"_vol", std::clamp(*volume, 0.0, 100.0) / 100}};
        default:
            return std::nullopt;
    }
}

OpackValue volumeQuery() {
    return OpackValue::Dictionary{{"_mcc", kGetVolume}};
}

std::optional<std::int64_t> flagsIn(const OpackValue& content) {
    const OpackValue* flags = content.find("_mcF");
    return flags ? flags->asInteger() : std::nullopt;
}

std::optional<int> volumeIn(const OpackValue& reply) {
    const OpackValue* volume = reply.find("_vol");
    const auto level = volume ? volume->asFloat() : std::nullopt;
    if (!level || !std::isfinite(*level)) return std::nullopt;
    return static_cast<int>(std::lround(std::clamp(*level, 0.0, 1.0) * 100));
}

}  // namespace orvel::CompanionMedia
