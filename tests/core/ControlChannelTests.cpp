#include "core/ControlChannel.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

TEST(ControlChannel, SocketLivesInTheDataFolder) {
    struct Row {
        std::string xdgDataHome;
        std::string home;
        std::optional<std::string> expected;
    };
    const std::vector<Row> table = {
        {"", "/home/ann", "/home/ann/.local/share/Orvel Remote/control.sock"},
        {"/data", "/home/ann", "/data/Orvel Remote/control.sock"},
        {"/data", "", "/data/Orvel Remote/control.sock"},
        {"relative/data", "/home/ann", "/home/ann/.local/share/Orvel Remote/control.sock"},
        {"", "", std::nullopt},
        {"", "home/ann", std::nullopt},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ControlChannel::socketPath(row.xdgDataHome, row.home), row.expected)
            << "[" << row.xdgDataHome << "] [" << row.home << "]";
    }
    EXPECT_EQ(ControlChannel::folderPath("/data", ""), "/data/Orvel Remote");
}

}  // namespace
}  // namespace orvel
