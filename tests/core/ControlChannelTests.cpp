#include "core/ControlChannel.hpp"

#include <gtest/gtest.h>

#include "core/ControlMessage.hpp"

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

using nlohmann::json;

TEST(ControlMessage, ReadsOnlyASingleObject) {
    const std::vector<std::pair<std::string, std::optional<json>>> table = {
        {R"({"command":"tvs"})", json{{"command", "tvs"}}},
        {"{}\n", json::object()},
        {" {\"a\":[1,{\"b\":null}]} \r\n", json{{"a", {1, {{"b", nullptr}}}}}},
        {R"({"path":"a\/b"})", json{{"path", "a/b"}}},
        {"", std::nullopt},
        {"[]", std::nullopt},
        {"\"tvs\"", std::nullopt},
        {"null", std::nullopt},
        {"{} {}", std::nullopt},
        {"{}\n{}\n", std::nullopt},
        {"{\"a\":", std::nullopt},
        {"{\"a\":\"\xFF\"}", std::nullopt},
        {"{\"a\":1e999}", std::nullopt},
    };
    for (const auto& [bytes, expected] : table) {
        EXPECT_EQ(ControlMessage::parseObject(bytes), expected) << bytes;
    }
}

TEST(ControlMessage, RefusesDeepNestingButNotBracketsInStrings) {
    auto nested = [](int depth) {
        std::string text = "{\"a\":";
        for (int i = 1; i < depth; ++i) text += "[";
        for (int i = 1; i < depth; ++i) text += "]";
        return text + "}";
    };
    EXPECT_TRUE(ControlMessage::parseObject(nested(ControlMessage::kMaxDepth)));
    EXPECT_FALSE(ControlMessage::parseObject(nested(ControlMessage::kMaxDepth + 1)));
    EXPECT_FALSE(ControlMessage::parseObject(nested(40000)));
    const std::string brackets(200, '[');
    EXPECT_TRUE(ControlMessage::parseObject("{\"text\":\"" + brackets + "\\\"" + brackets + "\"}"));
}

TEST(ControlMessage, WritesOneCompactLineOrNothing) {
    EXPECT_EQ(ControlMessage::serializeLine(json{{"ok", true}, {"tv", {{"name", "Écran"}}}}),
              "{\"ok\":true,\"tv\":{\"name\":\"Écran\"}}\n");
    EXPECT_EQ(ControlMessage::serializeLine(json{{"text", "line\nfeed"}}),
              "{\"text\":\"line\\nfeed\"}\n");
    EXPECT_EQ(ControlMessage::serializeLine(json{{"text", "bad \xC3("}}), std::nullopt);
}

TEST(ControlMessage, OnlyTheBooleanTrueIsSuccess) {
    const std::vector<std::pair<json, bool>> table = {
        {ControlMessage::success(), true},
        {ControlMessage::failure("The TV didn't answer in time."), false},
        {json{{"ok", "true"}}, false},
        {json{{"ok", 1}}, false},
        {json::object(), false},
        {json::array({true}), false},
    };
    for (const auto& [reply, ok] : table) EXPECT_EQ(ControlMessage::isSuccess(reply), ok) << reply;

    EXPECT_EQ(ControlMessage::errorText(ControlMessage::failure("No.")), "No.");
    EXPECT_EQ(ControlMessage::errorText(json{{"ok", false}, {"error", 3}}), std::nullopt);
}

}  // namespace
}  // namespace orvel
