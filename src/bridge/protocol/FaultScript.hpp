#pragma once
// FaultScript: the misbehaviour a household file asks of the bridge, so that the application's
// handling of slow, failing, silent, dying and garbling bridges can be exercised. The
// Dispatcher consults it for every valid request before the backend sees it. Loop thread.
//
// A fault matches by operation and TV (either may be left open); the first match in file order
// applies, and one with "times" stops applying after that many requests.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/protocol/BridgeOp.hpp"

namespace orvel {

struct Fault {
    enum class Effect {
        answer,   // only delayed, then answered as usual
        error,    // refused with `text`
        noReply,  // swallowed: never answered, never performed
        exit,     // the bridge exits with `exitStatus`
        garbage,  // `text` is written as a line instead of the reply
    };

    std::optional<BridgeOp> op;         // none: every operation
    std::optional<std::string> device;  // none: every TV, and requests naming none
    double delay = 0;                   // seconds before the effect
    Effect effect = Effect::answer;
    std::string text;
    int exitStatus = 0;
    std::optional<int> times;  // none: every matching request
};

class FaultScript {
public:
    // Reads one fault object. `device` is given for the faults listed under a TV, which may
    // not name another. On failure returns a sentence fragment saying what is wrong.
    static std::variant<Fault, std::string> parse(const nlohmann::json& object,
                                                  const std::optional<std::string>& device);

    void add(Fault fault) { faults_.push_back(std::move(fault)); }

    // The fault for a request of `op` concerning `device` (empty when it concerns no TV), counted
    // against its "times"; none when the request is to be answered normally.
    std::optional<Fault> take(BridgeOp op, const std::string& device);

private:
    std::vector<Fault> faults_;
};

}  // namespace orvel
