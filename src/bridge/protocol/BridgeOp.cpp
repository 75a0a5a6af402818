#include "bridge/protocol/BridgeOp.hpp"

#include <array>
#include <utility>

namespace orvel {

namespace {

constexpr std::array<std::pair<BridgeOp, std::string_view>, 9> kNames = {{
    {BridgeOp::scan, "scan"},
    {BridgeOp::connect, "connect"},
    {BridgeOp::disconnect, "disconnect"},
    {BridgeOp::pairBegin, "pairBegin"},
    {BridgeOp::pairFinish, "pairFinish"},
    {BridgeOp::pairCancel, "pairCancel"},
    {BridgeOp::watch, "watch"},
    {BridgeOp::command, "command"},
    {BridgeOp::apps, "apps"},
}};

}  // namespace

std::string_view nameOf(BridgeOp op) {
    for (const auto& [candidate, name] : kNames) {
        if (candidate == op) return name;
    }
    return "";
}

std::optional<BridgeOp> bridgeOpNamed(std::string_view name) {
    for (const auto& [op, candidate] : kNames) {
        if (candidate == name) return op;
    }
    return std::nullopt;
}

}  // namespace orvel
