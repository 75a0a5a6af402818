// The two families behind one backend: where each request goes, the merged scan, and the one
// connected TV across families.

#include "bridge/protocol/CombinedBackend.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace orvel::test {
namespace {

using nlohmann::json;

// Notes each call as "op device" and keeps its reply for the test to give.
class FamilyFake final : public Backend {
public:
    std::vector<std::string>& calls;
    std::string name;
    std::deque<BackendReply> replies;
    std::string implied;

    FamilyFake(std::vector<std::string>& log, std::string family)
        : calls(log), name(std::move(family)) {}

    void note(const std::string& what, BackendReply reply) {
        calls.push_back(name + " " + what);
        replies.push_back(std::move(reply));
    }
    void answer(json result = json::object()) {
        auto reply = std::move(replies.front());
        replies.pop_front();
        reply(std::move(result));
    }

    void setEventSink(EventSink) override {}
    void scan(BackendReply reply) override { note("scan", std::move(reply)); }
    void connect(const std::string& device, const Credentials&, BackendReply reply) override {
        note("connect " + device, std::move(reply));
    }
    void disconnect(const std::optional<std::string>& device, BackendReply reply) override {
        note("disconnect " + device.value_or("all"), std::move(reply));
    }
    void watch(const std::string& device, const Credentials&, BackendReply reply) override {
        note("watch " + device, std::move(reply));
    }
    void command(const CommandArgs& args, BackendReply reply) override {
        note("command " + args.device.value_or("-"), std::move(reply));
    }
    void apps(const std::optional<std::string>& device, const std::optional<Credentials>&,
              BackendReply reply) override {
        note("apps " + device.value_or("-"), std::move(reply));
    }
    void pairBegin(const std::string& device, const std::string&, BackendReply reply) override {
        note("pairBegin " + device, std::move(reply));
    }
    void pairFinish(const std::string&, BackendReply reply) override {
        note("pairFinish", std::move(reply));
    }
    void pairCancel(BackendReply reply) override { note("pairCancel", std::move(reply)); }
    void releaseConnection() override { calls.push_back(name + " release"); }
    std::string impliedDevice(BridgeOp) const override { return implied; }
};

struct Combined {
    std::vector<std::string> calls;
    FamilyFake* roku = nullptr;
    FamilyFake* appleTV = nullptr;
    std::unique_ptr<CombinedBackend> backend;
    std::vector<json> replies;

    Combined() {
        auto r = std::make_unique<FamilyFake>(calls, "roku");
        auto a = std::make_unique<FamilyFake>(calls, "atv");
        roku = r.get();
        appleTV = a.get();
        backend = std::make_unique<CombinedBackend>(std::move(r), std::move(a));
    }
    BackendReply keep() {
        return [this](json reply) { replies.push_back(std::move(reply)); };
    }
};

TEST(CombinedBackend, RequestsGoToTheFamilyTheyConcern) {
    Combined c;
    c.backend->watch("roku:A1", {}, c.keep());
    c.backend->connect("atv:den", {}, c.keep());
    c.appleTV->answer();
    c.backend->command({}, c.keep());
    c.backend->apps(std::nullopt, std::nullopt, c.keep());
    CommandArgs named;
    named.device = "roku:A1";
    c.backend->command(named, c.keep());
    c.backend->disconnect("roku:A1", c.keep());
    c.backend->pairBegin("roku:B2", "none", c.keep());
    c.backend->pairFinish("1234", c.keep());
    c.backend->pairBegin("atv:kitchen", "Companion", c.keep());
    c.backend->pairCancel(c.keep());
    EXPECT_EQ(c.calls,
              (std::vector<std::string>{
                  "roku watch roku:A1", "atv connect atv:den", "atv command -", "atv apps -",
                  "roku command roku:A1", "roku disconnect roku:A1", "roku pairBegin roku:B2",
                  "roku pairFinish", "atv pairBegin atv:kitchen", "atv pairCancel"}));
    c.appleTV->implied = "atv:den";
    EXPECT_EQ(c.backend->impliedDevice(BridgeOp::command), "atv:den");
}

TEST(CombinedBackend, OneConnectedTVAcrossFamilies) {
    Combined c;
    c.backend->command({}, c.keep());
    EXPECT_EQ(c.calls.back(), "roku command -") << "nothing connected: Roku says so";
    c.roku->answer({{"error", "No TV is connected."}});
    c.backend->connect("atv:den", {}, c.keep());
    c.appleTV->answer({{"error", "Den is off."}});
    c.backend->connect("roku:A1", {}, c.keep());
    c.roku->answer();
    c.backend->connect("atv:den", {}, c.keep());
    c.appleTV->answer();
    c.backend->connect("atv:den", {}, c.keep());
    c.appleTV->answer();
    EXPECT_EQ(c.calls, (std::vector<std::string>{"roku command -", "atv connect atv:den",
                                                 "roku connect roku:A1", "atv connect atv:den",
                                                 "roku release", "atv connect atv:den"}))
        << "a failed connect keeps the old TV; the same family releases nothing";
    ASSERT_EQ(c.replies.size(), 5u);
    EXPECT_EQ(c.replies[1], (json{{"error", "Den is off."}}));

    c.backend->disconnect(std::nullopt, c.keep());
    c.roku->answer();
    EXPECT_EQ(c.replies.size(), 5u) << "answered once both have let go";
    c.appleTV->answer();
    EXPECT_EQ(c.replies.back(), json::object());
}

TEST(CombinedBackend, AScanAnswersOnceWithBothFamiliesTVs) {
    const json roku{{"id", "roku:A1"}};
    const json atv{{"id", "atv:den"}};
    const json none = json::array();
    const struct {
        const char* name;
        json rokuPart, atvPart, expected;
    } cases[] = {
        {"both found", {{"devices", {roku}}}, {{"devices", {atv}}}, {{"devices", {roku, atv}}}},
        {"a notice passes",
         {{"devices", none}},
         {{"devices", {atv}}, {"notice", "No Avahi."}},
         {{"devices", {atv}}, {"notice", "No Avahi."}}},
        {"one family failing is a notice",
         {{"error", "No network."}},
         {{"devices", {atv}}},
         {{"devices", {atv}}, {"notice", "No network."}}},
        {"both failing is an error",
         {{"error", "No network."}},
         {{"error", "No Avahi."}},
         {{"error", "No network."}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        Combined c;
        c.backend->scan(c.keep());
        c.appleTV->answer(row.atvPart);
        EXPECT_TRUE(c.replies.empty());
        c.roku->answer(row.rokuPart);
        ASSERT_EQ(c.replies.size(), 1u);
        EXPECT_EQ(c.replies[0], row.expected);
    }
}

}  // namespace
}  // namespace orvel::test
