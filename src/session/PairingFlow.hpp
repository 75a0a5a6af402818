#pragma once
// PairingFlow: pairing a TV protocol by protocol with the PIN it shows, and forgetting a TV.
// While a pairing runs, `pairingDevice` is set and no scan, connection or watch starts.
//
//   pairing.pair(tv);                  // asks for each protocol the TV lacks, one PIN each
//   state.pairingPIN = "1234"; pairing.submitPIN();
//
// A job of AppStore (see SessionContext); loop thread only. Every continuation holds the
// store weakly and carries the pairing generation it started with, so a cancelled or
// replaced pairing ignores its late bridge replies and credential results.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "session/SessionContext.hpp"
#include "session/TVDevice.hpp"

namespace orvel {

class PairingFlow {
public:
    explicit PairingFlow(SessionContext& context) : context_(context) {}

    // Pairs every protocol the TV lacks, saving the credentials after each one; a TV that
    // lacks none is saved and connected at once. Replaces any pairing under way.
    void pair(const TVDevice& device);
    // Sends the typed PIN; does nothing unless it is four ASCII digits and no step is pending.
    void submitPIN();
    void cancel();
    // Deletes the TV's credentials, then drops it from the saved TVs (kept if the delete fails).
    void forget(const TVDevice& device);
    bool forgetting(const std::string& id) const { return forgettingDevices_.contains(id); }

    // Ends the pairing without a word to the bridge (it is gone).
    void reset();
    // Ends the pairing and tells the bridge.
    void abandon();
    void shutdown() { ++generation_; }

private:
    bool current(const TVDevice& device, std::uint64_t generation) const;
    void credentialsLoaded(const TVDevice& device, std::uint64_t generation,
                           const CredentialLoad& loaded);
    void nextStep();
    void beginReplied(const TVDevice& device, std::uint64_t generation,
                      const nlohmann::json& reply);
    void finishReplied(const TVDevice& device, std::uint64_t generation,
                       const nlohmann::json& reply);
    void saved(const TVDevice& device, std::uint64_t generation,
               const std::optional<CredentialError>& error);
    void complete();
    void forgotten(const std::string& id, const std::optional<CredentialError>& error);
    void saveDevices();

    SessionContext& context_;
    std::uint64_t generation_ = 0;  // moves whenever a pairing starts or is reset
    std::vector<std::string> queue_;
    CredentialSet credentials_;
    std::set<std::string> forgettingDevices_;
};

}  // namespace orvel
