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

// `depth` levels of nesting, counting the object itself.
std::string nested(int depth) {
    return "{\"a\":" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
}

TEST(ControlMessage, ReadsOnlyASingleObjectNotTooDeep) {
    const std::string brackets(200, '[');
    const std::vector<std::pair<std::string, std::optional<json>>> table = {
        {R"({"command":"tvs"})", json{{"command", "tvs"}}},
        {"{}\n", json::object()},
        {" {\"a\":[1,{\"b\":null}]} \r\n", json{{"a", {1, {{"b", nullptr}}}}}},
        {R"({"path":"a\/b"})", json{{"path", "a/b"}}},
        {"{\"t\":\"" + brackets + "\\\"" + brackets + "\"}",
         json{{"t", brackets + "\"" + brackets}}},
        {nested(ControlMessage::kMaxDepth), json::parse(nested(ControlMessage::kMaxDepth))},
        {nested(ControlMessage::kMaxDepth + 1), std::nullopt},
        {nested(40000), std::nullopt},
        {"", std::nullopt},
        {"[]", std::nullopt},
        {"\"tvs\"", std::nullopt},
        {"{} {}", std::nullopt},
        {"{}\n{}\n", std::nullopt},
        {"{\"a\":", std::nullopt},
        {"{\"a\":\"\xFF\"}", std::nullopt},
        {"{\"a\":1e999}", std::nullopt},
        {std::string("{}\0{", 4), std::nullopt},
    };
    for (const auto& [bytes, expected] : table) {
        EXPECT_EQ(ControlMessage::parseObject(bytes), expected) << bytes.substr(0, 80);
    }
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
