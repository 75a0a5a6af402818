#include "bridge/appletv/AppleTVActions.hpp"

#include <algorithm>

#include "bridge/appletv/CompanionMedia.hpp"

namespace orvel::AppleTVActions {

std::optional<KeyPlan> keyPlanFor(RemoteAction action) {
    using enum RemoteAction;
    using How = KeyPlan::How;
    switch (action) {
        case up:
            return KeyPlan{How::press, CompanionKey::up};
        case down:
            return KeyPlan{How::press, CompanionKey::down};
        case left:
            return KeyPlan{How::press, CompanionKey::left};
        case right:
            return KeyPlan{How::press, CompanionKey::right};
        case select:
            return KeyPlan{How::press, CompanionKey::select};
        case back:
        case menu:
            return KeyPlan{How::press, CompanionKey::menu};
        case home:
            return KeyPlan{How::press, CompanionKey::home};
        case appSwitcher:
            return KeyPlan{How::twice, CompanionKey::home};
        case controlCenter:
            return KeyPlan{How::hold, CompanionKey::home};
        case playPause:
            return KeyPlan{How::press, CompanionKey::playPause};
        case volumeUp:
            return KeyPlan{How::press, CompanionKey::volumeUp};
        case volumeDown:
            return KeyPlan{How::press, CompanionKey::volumeDown};
        case wake:
            return KeyPlan{How::wake, CompanionKey::wake};
        case sleep:
            return KeyPlan{How::sleep, CompanionKey::sleep};
        default:
            return std::nullopt;
    }
}

bool offered(RemoteAction action) {
    return keyPlanFor(action) || CompanionMedia::isMediaAction(action) ||
           action == RemoteAction::text || action == RemoteAction::launchApp;
}

std::vector<RemoteAction> capabilities(std::optional<std::int64_t> mediaFlags) {
    const auto media = CompanionMedia::actionsAllowed(mediaFlags.value_or(0));
    std::vector<RemoteAction> actions;
    for (RemoteAction action : kAllRemoteActions) {
        const bool allowed = CompanionMedia::isMediaAction(action)
                                 ? std::find(media.begin(), media.end(), action) != media.end()
                                 : offered(action);
        if (allowed) actions.push_back(action);
    }
    return actions;
}

}  // namespace orvel::AppleTVActions
