#pragma once
// CommandSender: remote commands for the selected TV or another paired TV, the selected TV's
// volume requests and app lists. At most four commands for the selected TV are on their way;
// a play or pause shows at once and is put back if the TV refuses it.
//
//   commands.send(RemoteAction::up, {}, [](bool accepted) { ... });
//   commands.send(RemoteAction::play, {.to = otherTV.id});   // with its stored credentials
//
// A job of AppStore (see SessionContext); loop thread only. Completions are not called once
// the store is gone; replies from before a reconnection change nothing.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/NamedEntry.hpp"
#include "core/PlaybackFeedback.hpp"
#include "core/RemoteAction.hpp"
#include "session/CommandOptions.hpp"
#include "session/SessionContext.hpp"
#include "session/TVDevice.hpp"
#include "session/VolumeQueue.hpp"

namespace orvel {

class CommandSender {
public:
    static constexpr int kMaxCommandsInFlight = 4;  // for the selected TV
    static constexpr std::size_t kMaxTextScalars = 16384;
    static constexpr const char* kTextTooLong = "Text is too long. Use 16,384 characters or fewer.";
    static constexpr const char* kTextNotUtf8 =
        "Text can't be sent because it isn't valid UTF-8 text.";
    static constexpr const char* kCommandsBusy =
        "The TV is still taking earlier commands. Try again in a moment.";

    using Completion = std::function<void(bool accepted)>;
    using AppsCompletion =
        std::function<void(std::optional<std::vector<NamedEntry>> apps, const std::string& error)>;

    explicit CommandSender(SessionContext& context) : context_(context) {}

    void send(RemoteAction action, CommandOptions options, Completion completion);
    void adjustVolume(int steps);
    void setVolume(double volume);
    void apps(const TVDevice& device, AppsCompletion completion);

    const std::string& lastBackgroundError() const { return lastBackgroundError_; }
    const std::string& lastCommandError() const { return lastCommandError_; }

    // What the remote shows as playing once the TV reported `playing`.
    bool receivePlaying(bool playing);
    void resetFeedback() { playbackFeedback_.reset(); }
    // A level the user set and the TV has not taken yet outranks the TV's report.
    bool holdsVolume() const { return volume_.levelOnItsWay(); }
    void clearVolume();

private:
    void sendToSelected(RemoteAction action, CommandOptions options, Completion completion);
    void sendToOther(RemoteAction action, CommandOptions options, Completion completion);
    void commandReplied(std::uint64_t generation, std::optional<std::int64_t> revision,
                        const nlohmann::json& reply, const Completion& completion);
    void requestApps(const TVDevice& device, bool selected, const CredentialLoad& loaded,
                     AppsCompletion completion);
    void drainSteps();
    void drainLevel();
    // Like SessionContext::failure(), but into lastBackgroundError_, off the error line.
    bool quietFailure(const nlohmann::json& reply);

    SessionContext& context_;
    int inFlightCommands_ = 0;  // for the selected TV; falls only as replies arrive
    std::string lastBackgroundError_;
    std::string lastCommandError_;
    PlaybackFeedback playbackFeedback_;
    VolumeQueue volume_;
};

}  // namespace orvel
