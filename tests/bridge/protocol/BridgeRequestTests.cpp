#include "bridge/protocol/BridgeRequest.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace orvel {
namespace {

using nlohmann::json;

std::string errorOf(const char* text) {
    auto parsed = BridgeRequest::parse(json::parse(text));
    auto* error = std::get_if<std::string>(&parsed);
    return error ? *error : std::string();
}

TEST(BridgeRequest, RefusesWhatNoTVCouldServeWithASentence) {
    const std::vector<std::tuple<const char*, const char*>> cases = {
        {R"([])", "A request must be a JSON object."},
        {R"({"op":3})", "The request has no \"op\" text."},
        {R"({"op":"Scan"})", "The operation \"Scan\" is not known."},
        {R"({"op":"watch","credentials":{}})", "A \"watch\" request needs the \"device\" field."},
        {R"({"op":"pairBegin","device":"d"})",
         "A \"pairBegin\" request needs the \"protocol\" field."},
        {R"({"op":"pairFinish","pin":1234})", "The \"pin\" field must be text."},
        {R"({"op":"connect","device":"d","credentials":{"AirPlay":1}})",
         "The \"credentials\" field must be an object whose values are texts."},
        {R"({"op":"apps","credentials":"x"})",
         "The \"credentials\" field must be an object whose values are texts."},
        {R"({"op":"command"})", "A \"command\" request needs the \"action\" field."},
        {R"({"op":"command","action":"play-pause"})", "The action \"play-pause\" is not known."},
        {R"({"op":"command","action":"text"})", "The \"text\" action needs the \"text\" field."},
        {R"({"op":"command","action":"launchApp","app":null})",
         "The \"launchApp\" action needs the \"app\" field."},
        {R"({"op":"command","action":"setVolume"})",
         "The \"setVolume\" action needs the \"volume\" field."},
        {R"({"op":"command","action":"setVolume","volume":"50"})",
         "The \"volume\" field must be a number."},
        {R"({"op":"command","action":"setVolume","volume":100.5})",
         "The \"volume\" field must be a number from 0 to 100."},
    };
    for (const auto& [text, error] : cases) {
        EXPECT_EQ(errorOf(text), error) << text;
    }
}

TEST(BridgeRequest, ReadsEveryFieldOfACommand) {
    auto parsed = BridgeRequest::parse(json::parse(R"({"op":"command","action":"setVolume",
        "volume":0,"device":"sim:x","credentials":{"AirPlay":"a"},"text":"t","app":"y",
        "extra":[1]})"));
    ASSERT_TRUE(std::holds_alternative<BridgeRequest>(parsed));
    const auto args = std::get<BridgeRequest>(parsed).commandArgs();
    EXPECT_EQ(args.action, RemoteAction::setVolume);
    EXPECT_EQ(args.volume, 0.0);
    EXPECT_EQ(args.device, "sim:x");
    EXPECT_EQ(args.credentials, (Credentials{{"AirPlay", "a"}}));
    EXPECT_EQ(args.text, "t");
    EXPECT_EQ(args.app, "y");

    auto bare = BridgeRequest::parse(json::parse(R"({"op":"disconnect","device":null})"));
    ASSERT_TRUE(std::holds_alternative<BridgeRequest>(bare));
    EXPECT_EQ(std::get<BridgeRequest>(bare).op, BridgeOp::disconnect);
    EXPECT_FALSE(std::get<BridgeRequest>(bare).device);
}

}  // namespace
}  // namespace orvel
