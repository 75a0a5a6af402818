#include "session/PairingFlow.hpp"

#include <algorithm>

#include "core/JsonFields.hpp"
#include "session/SessionDefaults.hpp"
#include "session/TVConnection.hpp"
#include "session/TVWatcher.hpp"

namespace orvel {

using nlohmann::json;

namespace {

bool isFourAsciiDigits(const std::string& pin) {
    return pin.size() == 4 &&
           std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void PairingFlow::pair(const TVDevice& device) {
    auto& state = context_.state;
    auto& connection = *context_.jobs.connection;
    // Demo TVs come paired; nothing of demo mode reaches a real TV, nor its credentials.
    if (context_.demo || forgetting(device.id) || connection.suspended()) return;
    if (state.pairingDevice) abandon();
    // The bridge must let go of the TV before it can pair it.
    if (connection.isDesired(device.id)) {
        connection.disconnect();
    } else {
        connection.release(device.id);
    }
    // Disconnecting looked for TVs to watch before the pairing was marked; this one is not.
    context_.jobs.watcher->unwatch(device.id);
    const auto generation = ++generation_;
    state.pairingDevice = device;
    state.pairingPIN.clear();
    state.pairingProtocol.clear();
    state.pairingBusy = true;
    credentials_.clear();
    queue_.clear();
    state.error.clear();
    state.settingsTab = "tvs";
    context_.changed();
    if (auto hook = context_.showSettings) hook();
    // this: a job of the store, which whileAlive holds for the call (so for all below).
    context_.keychain.load(
        device.id, CredentialQueue::Initiator::kUser,
        context_.whileAlive([this, device, generation](const CredentialLoad& loaded) {
            credentialsLoaded(device, generation, loaded);
        }));
}

bool PairingFlow::current(const TVDevice& device, std::uint64_t generation) const {
    const auto& pairing = context_.state.pairingDevice;
    return generation == generation_ && pairing && pairing->id == device.id;
}

void PairingFlow::credentialsLoaded(const TVDevice& device, std::uint64_t generation,
                                    const CredentialLoad& loaded) {
    if (!current(device, generation)) return;
    context_.changed();
    if (loaded.error) {
        context_.state.error = loaded.error->description();
        abandon();
        return;
    }
    credentials_ = loaded.credentials;
    // Credentials kept from an earlier, broken-off pairing are not asked for again.
    queue_.clear();
    for (const auto& protocol : device.protocols) {
        if (!credentials_.contains(protocol)) queue_.push_back(protocol);
    }
    nextStep();
}

void PairingFlow::nextStep() {
    auto& state = context_.state;
    if (!state.pairingDevice) return;
    context_.changed();
    if (queue_.empty()) {
        complete();
        return;
    }
    if (auto started = context_.startBridge(); !started) {
        state.error = started.error();
        abandon();
        return;
    }
    const TVDevice device = *state.pairingDevice;
    const auto generation = generation_;
    state.pairingProtocol = queue_.front();
    queue_.erase(queue_.begin());
    state.pairingPIN.clear();
    state.pairingBusy = true;
    context_.bridge.request("pairBegin",
                            {{"device", device.id}, {"protocol", state.pairingProtocol}},
                            SessionContext::kRequestTimeout,
                            context_.whileAlive([this, device, generation](const json& reply) {
                                beginReplied(device, generation, reply);
                            }));
}

void PairingFlow::beginReplied(const TVDevice& device, std::uint64_t generation,
                               const json& reply) {
    if (!current(device, generation)) return;
    context_.state.pairingBusy = false;
    context_.changed();
    // Otherwise the TV shows its PIN and the settings wait for submitPIN().
    if (context_.failure(reply)) abandon();
}

void PairingFlow::submitPIN() {
    auto& state = context_.state;
    if (!state.pairingDevice || state.pairingBusy || !isFourAsciiDigits(state.pairingPIN)) return;
    const TVDevice device = *state.pairingDevice;
    const auto generation = generation_;
    state.pairingBusy = true;
    context_.changed();
    context_.bridge.request("pairFinish", {{"pin", state.pairingPIN}},
                            SessionContext::kRequestTimeout,
                            context_.whileAlive([this, device, generation](const json& reply) {
                                finishReplied(device, generation, reply);
                            }));
}

void PairingFlow::finishReplied(const TVDevice& device, std::uint64_t generation,
                                const json& reply) {
    if (!current(device, generation)) return;
    context_.state.pairingPIN.clear();
    context_.changed();
    if (context_.failure(reply)) {
        abandon();
        return;
    }
    auto protocol = textField(reply, "protocol");
    auto credential = textField(reply, "credentials");
    // A credential for another protocol than the one asked for cannot be filed safely.
    if (!protocol || *protocol != context_.state.pairingProtocol || !credential) {
        abandon();
        return;
    }
    credentials_[*protocol] = *credential;
    // Saved after every protocol, so a pairing that breaks off keeps what it gained.
    context_.keychain.save(device.id, credentials_, CredentialQueue::Initiator::kUser,
                           context_.whileAlive([this, device, generation](
                                                   const std::optional<CredentialError>& error) {
                               saved(device, generation, error);
                           }));
}

void PairingFlow::saved(const TVDevice& device, std::uint64_t generation,
                        const std::optional<CredentialError>& error) {
    if (!current(device, generation)) return;
    context_.changed();
    if (error) {
        context_.state.error = error->description();
        abandon();
        return;
    }
    nextStep();
}

void PairingFlow::complete() {
    auto& state = context_.state;
    const TVDevice device = *state.pairingDevice;
    if (!state.savedDevice(device.id)) state.savedDevices.push_back(device);
    saveDevices();
    state.pairingDevice.reset();
    state.pairingBusy = false;
    context_.changed();
    context_.jobs.connection->connect(device, CredentialQueue::Initiator::kUser);
    // The other TVs, skipped while the pairing ran.
    context_.jobs.watcher->ensureWatched();
}

void PairingFlow::cancel() {
    if (context_.state.pairingDevice) abandon();
}

void PairingFlow::reset() {
    auto& state = context_.state;
    ++generation_;
    state.pairingDevice.reset();
    state.pairingBusy = false;
    state.pairingPIN.clear();
    credentials_.clear();
    queue_.clear();
    context_.changed();
}

void PairingFlow::abandon() {
    reset();
    context_.requestIgnoringReply("pairCancel", json::object());
    // Watching again may restart the bridge. Inside a bridge completion that would hide the
    // bridge's death from the failure handler, so it waits for the loop's next turn.
    context_.loop.post(context_.whileAlive([this] { context_.jobs.watcher->ensureWatched(); }));
}

// --- Forgetting ---

void PairingFlow::forget(const TVDevice& device) {
    auto& state = context_.state;
    auto& connection = *context_.jobs.connection;
    if (forgetting(device.id)) return;
    if (connection.isDesired(device.id)) {
        connection.disconnect();
    } else {
        connection.release(device.id);
    }
    // Disconnecting may have begun watching this TV again; a forgotten TV is not watched.
    context_.jobs.watcher->unwatch(device.id);
    if (state.pairingDevice && state.pairingDevice->id == device.id) abandon();
    if (state.selectedID == device.id) {
        state.selectedID.clear();
        context_.defaults.remove(SessionDefaults::kLastDevice);
    }
    context_.changed();
    forgettingDevices_.insert(device.id);
    context_.keychain.remove(
        device.id, CredentialQueue::Initiator::kUser,
        context_.whileAlive([this, id = device.id](const std::optional<CredentialError>& error) {
            forgotten(id, error);
        }));
}

void PairingFlow::forgotten(const std::string& id, const std::optional<CredentialError>& error) {
    forgettingDevices_.erase(id);
    context_.changed();
    if (error) {
        context_.state.error = error->description();
        return;
    }
    std::erase_if(context_.state.savedDevices,
                  [&](const TVDevice& known) { return known.id == id; });
    saveDevices();
}

void PairingFlow::saveDevices() {
    SessionDefaults::saveDevices(context_.state.savedDevices, context_.defaults);
}

}  // namespace orvel
