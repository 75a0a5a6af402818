#include "bridge/sim/Household.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <tuple>

namespace orvel {
namespace {

std::string errorOf(std::string_view text) {
    auto parsed = Household::parse(text);
    auto* error = std::get_if<std::string>(&parsed);
    return error ? *error : std::string();
}

TEST(Household, FileGivesDefaultsForWhatItLeavesOut) {
    auto parsed = Household::parse(R"({"tvs":[{"id":"roku:a","name":"A"},
        {"id":"b","name":"B","protocols":["P"],"pin":"0007","volume":0,"power":"Off",
         "apps":[{"id":"x","name":"X"}]}]})");
    ASSERT_TRUE(std::holds_alternative<Household>(parsed)) << std::get<std::string>(parsed);
    const auto& tvs = std::get<Household>(parsed).tvs;
    EXPECT_EQ(tvs[0].apps.size(), 4u);
    EXPECT_EQ(tvs[0].volume, 30);
    EXPECT_TRUE(tvs[0].poweredOn);
    EXPECT_EQ(tvs[1].volume, 0);
    EXPECT_FALSE(tvs[1].poweredOn);
    ASSERT_EQ(tvs[1].apps[0].items.size(), 1u);
    EXPECT_EQ(tvs[1].apps[0].items[0].title, "Featured on X");
}

// A household whose first fault nests `depth` levels deep, counting the file's own braces.
std::string deepFaults(std::size_t depth) {
    return R"({"tvs":[],"faults":)" + std::string(depth - 1, '[') + std::string(depth - 1, ']') +
           "}";
}

TEST(Household, FileErrorsSayWhatAndWhere) {
    const std::string deepest = deepFaults(64);
    const std::string tooDeep = deepFaults(65);
    const std::vector<std::tuple<std::string_view, std::string>> cases = {
        {deepest, "has a fault 1 that is not an object."},
        {tooDeep, "nests lists and objects more than 64 deep."},
        {"{\"tvs\": [\n  {\"id\": }]}", "is not valid JSON (line 2, column 10)."},
        {"[]", "is not a JSON object."},
        {R"({"tvs":[{"volume":62E622}]})", "holds a number too large to read."},
        {R"({"tv":[]})", "has an unknown key \"tv\"."},
        {R"({"faults":[]})", "has no \"tvs\" list."},
        {R"({"tvs":[{"name":"A"}]})", "has a TV 1 that has no \"id\" text."},
        {R"({"tvs":[{"id":"a","name":"A"},{"id":"a","name":"B"}]})", "lists the TV \"a\" twice."},
        {R"({"tvs":[{"id":"a","name":"A","protocols":["P"]}]})",
         "has a TV 1 that lists protocols but no \"pin\"."},
        {R"({"tvs":[{"id":"a","name":"A","protocols":["P"],"pin":"12a4"}]})",
         "has a TV 1 that has a \"pin\" that is not four digits."},
        {R"({"tvs":[{"id":"a","name":"A","volume":101}]})",
         "has a TV 1 that has a \"volume\" that is not a whole number from 0 to 100."},
        {R"({"tvs":[{"id":"a","name":"A","apps":[{"id":"x","name":"X","items":[{"title":"T"}]}]}]})",
         "has a TV 1 that has an app 1 that has an item 1 that has no \"duration\" of more than 0 "
         "seconds."},
        {R"({"tvs":[{"id":"a","name":"A","faults":[{"op":"scan","device":"b","noReply":true}]}]})",
         "has a TV 1 that has a fault 1 that names a \"device\" although it belongs to a TV."},
        {R"({"tvs":[],"faults":[{"op":"scan"}]})",
         "has a fault 1 that does nothing: give a \"delay\" or one of \"error\", \"noReply\", "
         "\"exit\" and \"garbage\"."},
        {R"({"tvs":[],"faults":[{"op":"dance","error":"x"}]})",
         "has a fault 1 that has an \"op\" that is not an operation name."},
        {R"({"tvs":[],"faults":[{"error":"x","exit":1}]})",
         "has a fault 1 that has more than one of \"error\", \"noReply\", \"exit\" and "
         "\"garbage\"."},
        {R"({"tvs":[],"faults":[{"exit":256}]})",
         "has a fault 1 that has an \"exit\" that is not a whole number from 0 to 255."},
        {R"({"tvs":[],"faults":[{"garbage":"a\nb"}]})",
         "has a fault 1 that has a \"garbage\" that is neither true nor one line of text."},
        {R"({"tvs":[],"faults":[{"delay":-1}]})",
         "has a fault 1 that has a \"delay\" that is not a number of seconds from 0 to 86400."},
        {R"({"tvs":[],"faults":[{"times":0,"error":"x"}]})",
         "has a fault 1 that has a \"times\" that is not a whole number from 1 to 1000000."},
    };
    for (const auto& [text, error] : cases) {
        EXPECT_EQ(errorOf(text), error) << text;
    }
}

TEST(Household, FaultsOfATVComeFirstAndCountDown) {
    auto parsed = Household::parse(R"({"tvs":[{"id":"a","name":"A","faults":[
        {"error":"tv","times":1}]}], "faults":[{"op":"command","error":"all"}]})");
    ASSERT_TRUE(std::holds_alternative<Household>(parsed));
    auto& faults = std::get<Household>(parsed).faults;
    EXPECT_EQ(faults.take(BridgeOp::command, "a")->text, "tv");
    EXPECT_EQ(faults.take(BridgeOp::command, "a")->text, "all");
    EXPECT_EQ(faults.take(BridgeOp::command, "")->text, "all");
    EXPECT_FALSE(faults.take(BridgeOp::scan, "a"));
}

TEST(Household, LoadNamesTheFileThatCannotBeUsed) {
    auto folder = Household::load("/");
    EXPECT_EQ(std::get<std::string>(folder),
              "The household file \"/\" cannot be read (it is not a regular file).");

    const std::string path = testing::TempDir() + "household-test.json";
    std::ofstream(path) << R"({"tvs":[{"id":"a","name":"A"}]})";
    auto loaded = Household::load(path);
    static_cast<void>(std::remove(path.c_str()));
    ASSERT_TRUE(std::holds_alternative<Household>(loaded));
    EXPECT_EQ(std::get<Household>(loaded).tvs[0].name, "A");
}

}  // namespace
}  // namespace orvel
