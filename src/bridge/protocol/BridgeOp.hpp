#pragma once
// BridgeOp: the operations a bridge request may name, and their wire names.

#include <optional>
#include <string_view>

namespace orvel {

enum class BridgeOp {
    scan,
    connect,
    disconnect,
    pairBegin,
    pairFinish,
    pairCancel,
    watch,
    command,
    apps,
};

std::string_view nameOf(BridgeOp op);
std::optional<BridgeOp> bridgeOpNamed(std::string_view name);

}  // namespace orvel
