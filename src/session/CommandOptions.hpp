#pragma once
// CommandOptions: what goes with one remote action sent through AppStore::send: whom it is
// for and the text, volume or app the action needs. A plain value.
//
//   store.send(RemoteAction::text, {.text = "hello"}, done);
//   store.send(RemoteAction::select, {.to = "sim:kitchen"}, done);

#include <optional>
#include <string>

namespace orvel {

struct CommandOptions {
    std::optional<std::string> to = {};    // another paired TV's identifier; none: the selected
    std::optional<std::string> text = {};  // with RemoteAction::text
    std::optional<double> volume = {};     // with RemoteAction::setVolume; selected TV only
    std::optional<std::string> app = {};   // with RemoteAction::launchApp: an app identifier
};

}  // namespace orvel
