#include "session/StatusReport.hpp"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using nlohmann::json;

TEST(StatusReport, ReadsEveryFieldAndDefaultsWhatIsMissingOrIllTyped) {
    const StatusReport defaults;
    EXPECT_EQ(defaults.power, "Unknown");
    EXPECT_EQ(defaults.volume, std::nullopt);
    EXPECT_EQ(StatusReport::parse(json::object()), defaults);
    EXPECT_EQ(StatusReport::parse(json::parse(R"({
        "capabilities":"up","playing":1,"title":null,"artist":[],"app":{},"app_id":2,
        "address":false,"notice":0,"duration":"5","position":"1","power":1,"volume":"40",
        "text_focused":"true"})")),
              defaults);

    const StatusReport full{.capabilities = {RemoteAction::up, RemoteAction::launchApp},
                            .playing = true,
                            .title = "T",
                            .artist = "A",
                            .app = "Netflix",
                            .appID = "12",
                            .address = "127.0.0.1",
                            .notice = "N",
                            .duration = 90.5,
                            .position = 3,
                            .power = "Standby",
                            .volume = 0.0,  // zero is a volume, unlike a missing one
                            .textFocused = true};
    EXPECT_EQ(StatusReport::parse(json::parse(R"({
        "device":"roku:x","capabilities":["up","teleport",7,"launchApp","up"],"playing":true,
        "title":"T","artist":"A","app":"Netflix","app_id":"12","address":"127.0.0.1",
        "notice":"N","duration":90.5,"position":3,"power":"Standby","volume":0,
        "text_focused":true})")),
              full);
}

}  // namespace
}  // namespace orvel
