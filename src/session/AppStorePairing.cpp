// AppStore: pairing a TV protocol by protocol with the PIN it shows, and forgetting a TV.
// Each step runs on the loop; every continuation holds the store weakly and carries the
// pairing generation it started with, so a cancelled or replaced pairing ignores its late
// bridge replies and credential results.

#include <algorithm>

#include "core/JsonFields.hpp"
#include "session/AppStore.hpp"
#include "session/SessionDefaults.hpp"

namespace orvel {

using nlohmann::json;

namespace {

bool isFourAsciiDigits(const std::string& pin) {
    return pin.size() == 4 &&
           std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void AppStore::pair(const TVDevice& device) {
    if (demo_ || forgettingDevices_.contains(device.id) || suspended_) return;
    if (state_.pairingDevice) abandonPairing();
    // The bridge must let go of the TV before it can pair it.
    if (desiredID_ == device.id) {
        disconnect();
    } else {
        release(device.id);
    }
    // Disconnecting looked for TVs to watch before the pairing was marked; this one is not.
    watchPending_.erase(device.id);
    const auto generation = ++pairingGeneration_;
    state_.pairingDevice = device;
    state_.pairingPIN.clear();
    state_.pairingProtocol.clear();
    state_.pairingBusy = true;
    pairingCredentials_.clear();
    pairingQueue_.clear();
    state_.error.clear();
    state_.settingsTab = "tvs";
    changed();
    if (auto hook = onShowSettings_) hook();
    beginPairing(device, generation);
}

bool AppStore::pairingCurrent(const TVDevice& device, std::uint64_t pairingGeneration) const {
    return pairingGeneration == pairingGeneration_ && state_.pairingDevice &&
           state_.pairingDevice->id == device.id;
}

void AppStore::beginPairing(const TVDevice& device, std::uint64_t pairingGeneration) {
    keychain_.load(device.id, [weak = weak_from_this(), device,
                               pairingGeneration](const CredentialLoad& loaded) {
        if (auto self = weak.lock()) {
            self->pairingCredentialsLoaded(device, pairingGeneration, loaded);
        }
    });
}

void AppStore::pairingCredentialsLoaded(const TVDevice& device, std::uint64_t pairingGeneration,
                                        const CredentialLoad& loaded) {
    if (!pairingCurrent(device, pairingGeneration)) return;
    changed();
    if (loaded.error) {
        state_.error = loaded.error->description();
        abandonPairing();
        return;
    }
    pairingCredentials_ = loaded.credentials;
    // Credentials kept from an earlier, broken-off pairing are not asked for again.
    pairingQueue_.clear();
    for (const auto& protocol : device.protocols) {
        if (!pairingCredentials_.contains(protocol)) pairingQueue_.push_back(protocol);
    }
    nextPairingStep();
}

void AppStore::nextPairingStep() {
    if (!state_.pairingDevice) return;
    changed();
    if (pairingQueue_.empty()) {
        completePairing();
        return;
    }
    if (auto error = startBridge()) {
        state_.error = *error;
        abandonPairing();
        return;
    }
    const TVDevice device = *state_.pairingDevice;
    const auto generation = pairingGeneration_;
    state_.pairingProtocol = pairingQueue_.front();
    pairingQueue_.erase(pairingQueue_.begin());
    state_.pairingPIN.clear();
    state_.pairingBusy = true;
    bridge_->request("pairBegin", {{"device", device.id}, {"protocol", state_.pairingProtocol}},
                     kRequestTimeout,
                     [weak = weak_from_this(), device, generation](const json& reply) {
                         if (auto self = weak.lock())
                             self->pairBeginReplied(device, generation, reply);
                     });
}

void AppStore::pairBeginReplied(const TVDevice& device, std::uint64_t pairingGeneration,
                                const json& reply) {
    if (!pairingCurrent(device, pairingGeneration)) return;
    state_.pairingBusy = false;
    changed();
    // Otherwise the TV shows its PIN and the settings wait for submitPIN().
    if (failure(reply)) abandonPairing();
}

void AppStore::submitPIN() {
    if (!state_.pairingDevice || state_.pairingBusy || !isFourAsciiDigits(state_.pairingPIN)) {
        return;
    }
    const TVDevice device = *state_.pairingDevice;
    const auto generation = pairingGeneration_;
    state_.pairingBusy = true;
    changed();
    bridge_->request("pairFinish", {{"pin", state_.pairingPIN}}, kRequestTimeout,
                     [weak = weak_from_this(), device, generation](const json& reply) {
                         if (auto self = weak.lock())
                             self->pairFinishReplied(device, generation, reply);
                     });
}

void AppStore::pairFinishReplied(const TVDevice& device, std::uint64_t pairingGeneration,
                                 const json& reply) {
    if (!pairingCurrent(device, pairingGeneration)) return;
    state_.pairingPIN.clear();
    changed();
    if (failure(reply)) {
        abandonPairing();
        return;
    }
    auto protocol = textField(reply, "protocol");
    auto credential = textField(reply, "credentials");
    // A credential for another protocol than the one asked for cannot be filed safely.
    if (!protocol || *protocol != state_.pairingProtocol || !credential) {
        abandonPairing();
        return;
    }
    pairingCredentials_[*protocol] = *credential;
    // Saved after every protocol, so a pairing that breaks off keeps what it gained.
    keychain_.save(device.id, pairingCredentials_,
                   [weak = weak_from_this(), device,
                    pairingGeneration](const std::optional<CredentialError>& error) {
                       if (auto self = weak.lock())
                           self->pairingSaved(device, pairingGeneration, error);
                   });
}

void AppStore::pairingSaved(const TVDevice& device, std::uint64_t pairingGeneration,
                            const std::optional<CredentialError>& error) {
    if (!pairingCurrent(device, pairingGeneration)) return;
    changed();
    if (error) {
        state_.error = error->description();
        abandonPairing();
        return;
    }
    nextPairingStep();
}

void AppStore::completePairing() {
    const TVDevice device = *state_.pairingDevice;
    auto& saved = state_.savedDevices;
    if (std::none_of(saved.begin(), saved.end(),
                     [&](const TVDevice& known) { return known.id == device.id; })) {
        saved.push_back(device);
    }
    saveDevices();
    state_.pairingDevice.reset();
    state_.pairingBusy = false;
    changed();
    connect(device);
    // The other TVs, skipped while the pairing ran.
    ensureWatched();
}

void AppStore::cancelPairing() {
    if (state_.pairingDevice) abandonPairing();
}

void AppStore::resetPairing() {
    ++pairingGeneration_;
    state_.pairingDevice.reset();
    state_.pairingBusy = false;
    state_.pairingPIN.clear();
    pairingCredentials_.clear();
    pairingQueue_.clear();
    changed();
}

void AppStore::abandonPairing() {
    resetPairing();
    requestIgnoringReply("pairCancel", json::object());
    // Watching again may restart the bridge. Inside a bridge completion that would hide the
    // bridge's death from the failure handler, so it waits for the loop's next turn.
    loop_.post([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->ensureWatched();
    });
}

// --- Forgetting ---

void AppStore::forget(const TVDevice& device) {
    if (forgettingDevices_.contains(device.id)) return;
    if (desiredID_ == device.id) {
        disconnect();
    } else {
        release(device.id);
    }
    // Disconnecting may have begun watching this TV again; a forgotten TV is not watched.
    watchPending_.erase(device.id);
    if (state_.pairingDevice && state_.pairingDevice->id == device.id) abandonPairing();
    if (state_.selectedID == device.id) {
        state_.selectedID.clear();
        defaults_.remove(SessionDefaults::kLastDevice);
    }
    changed();
    if (demo_) {
        std::erase_if(state_.savedDevices,
                      [&](const TVDevice& known) { return known.id == device.id; });
        return;
    }
    forgettingDevices_.insert(device.id);
    keychain_.remove(device.id, [weak = weak_from_this(),
                                 id = device.id](const std::optional<CredentialError>& error) {
        if (auto self = weak.lock()) self->forgotten(id, error);
    });
}

void AppStore::forgotten(const std::string& id, const std::optional<CredentialError>& error) {
    forgettingDevices_.erase(id);
    changed();
    if (error) {
        state_.error = error->description();
        return;
    }
    std::erase_if(state_.savedDevices, [&](const TVDevice& known) { return known.id == id; });
    saveDevices();
}

}  // namespace orvel
