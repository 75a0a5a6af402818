// A TV as the session holds it: from a scan entry, in its stored form, and its reported state.

#include "session/TVDevice.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

#include "session/StatusReport.hpp"

namespace orvel {
namespace {

using nlohmann::json;

TEST(TVDevice, FromAScanEntry) {
    struct Row {
        const char* entry;
        std::optional<TVDevice> expected;
    };
    const std::vector<Row> table = {
        {R"({"id":"a","name":"A","protocols":["Companion"]})", TVDevice("a", "A", {"Companion"})},
        {R"({"id":"a","name":"A"})", TVDevice("a", "A", {})},
        {R"({"id":"a","name":"A","protocols":"AirPlay"})", TVDevice("a", "A", {})},
        {R"({"id":"a","name":"A","protocols":["AirPlay",1]})", TVDevice("a", "A", {})},
        {R"({"id":"a"})", std::nullopt},
        {R"({"id":1,"name":"A"})", std::nullopt},
        {R"(["a","A"])", std::nullopt},
    };
    for (const auto& row : table) {
        EXPECT_EQ(TVDevice::fromBridge(json::parse(row.entry)), row.expected) << row.entry;
    }
}

TEST(TVDevice, StoredFormNeedsAllThreeKeys) {
    const TVDevice tv("sim:kitchen", "Kitchen", {"Companion"});
    EXPECT_EQ(TVDevice::fromStored(tv.stored()), tv);
    for (const char* key : {"id", "name", "protocols"}) {
        auto stored = tv.stored();
        stored.erase(key);
        EXPECT_EQ(TVDevice::fromStored(stored), std::nullopt) << key;
    }
    EXPECT_EQ(TVDevice::fromStored(json::parse(R"({"id":"a","name":"A","protocols":[2]})")),
              std::nullopt);
}

TEST(TVDevice, KindAndPairingFollowIdentifierAndProtocols) {
    EXPECT_EQ(TVDevice("roku:x", "R", {}).kind(), "Roku");
    EXPECT_EQ(TVDevice("ROKU:x", "R", {}).kind(), "Apple TV");
    EXPECT_EQ(TVDevice("sim:roku:x", "R", {}).kind(), "Apple TV");
    EXPECT_TRUE(TVDevice("a", "A").needsPairing()) << "an Apple TV pairs by default";
    EXPECT_FALSE(TVDevice("a", "A", {}).needsPairing());
    std::unordered_set<TVDevice> set = {TVDevice("a", "A"), TVDevice("a", "A"), TVDevice("a", "B")};
    EXPECT_EQ(set.size(), 2u);
}

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
