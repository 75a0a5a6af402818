#pragma once
// A fixture that runs the headless app in the test's own process, on a PollLoop of its own
// thread, with a HeadlessProfile and the real bridge child serving the simulated household.
// Requests go over the real control socket exactly as the tool sends them. Every wait is
// bounded in real time.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../support/ControlClient.hpp"
#include "../support/HeadlessProfile.hpp"
#include "../support/LoopThread.hpp"
#include "../support/Waiting.hpp"
#include "app/HeadlessApp.hpp"
#include "cli/ReplyFormat.hpp"
#include "core/ControlCommand.hpp"
#include "core/ControlMessage.hpp"

namespace orvel::test {

#ifdef ORVEL_BRIDGE_DIR
class InProcessApp : public ::testing::Test {
protected:
    ~InProcessApp() override {
        onLoop([&] { app.reset(); });
    }

    // Runs `work` on the loop of `where` and waits for it.
    static void on(LoopThread& where, const std::function<void()>& work) {
        std::promise<void> done;
        where.loop().post([&] {
            work();
            done.set_value();
        });
        done.get_future().wait();
    }
    // On the app's loop thread.
    void onLoop(const std::function<void()>& work) { on(thread, work); }

    // Raw this in the app's callbacks: the fixture destroys the app before any of its members.
    void launch() {
        HeadlessApp::Settings settings{
            .bridgeInputs =
                [] {
                    return BridgeLocation::Inputs{ORVEL_BRIDGE_DIR, {}, {}};
                },
            .logUnavailable = [this](const std::string& error) { unavailable.push_back(error); },
            .logStorageProblem =
                [this](const std::string& problem) { storageProblems.push_back(problem); },
            .controlLimits = controlLimits,
            .logProblem = [this](const std::string& problem) { problems.push_back(problem); }};
        onLoop([&] {
            app = std::make_unique<HeadlessApp>(
                thread.loop(), LaunchOptions{.headless = true}, [this] { finished = true; },
                settings);
            started = app->start().ok();
        });
    }

    // Launches the app and waits until the Bedroom TV is connected.
    void launchConnected() {
        launch();
        ASSERT_TRUE(eventually(
            [&] {
                const auto status = ask({"status"});
                return ControlMessage::isSuccess(status) &&
                       printed({"status"}, status).find("not connected") == std::string::npos;
            },
            20));
    }

    // The reply to the request the tool sends for `arguments`; null when none came.
    nlohmann::json ask(const std::vector<std::string>& arguments, double seconds = 10) {
        Client client(profile.socketPath());
        client.send(requestLine(arguments));
        return ControlMessage::parseObject(client.readLine(seconds)).value_or(nullptr);
    }

    // The request the tool sends for `arguments`; an empty object when they are no command.
    static nlohmann::json request(const std::vector<std::string>& arguments) {
        const auto parsed = ControlCommand::parse(arguments);
        const auto* found = std::get_if<ControlCommand::Parsed>(&parsed);
        return found ? found->request : nlohmann::json::object();
    }
    static std::string requestLine(const std::vector<std::string>& arguments) {
        return request(arguments).dump() + "\n";
    }
    // What the tool prints for a successful reply to `arguments`.
    static std::string printed(const std::vector<std::string>& arguments,
                               const nlohmann::json& reply) {
        std::string text;
        for (const auto& line :
             ReplyFormat::resultLines(request(arguments).value("command", ""), reply))
            text += line + "\n";
        return text;
    }

    void quit() {
        onLoop([&] { app->quit(); });
        ASSERT_TRUE(eventually([&] { return finished.load(); }));
    }

    HeadlessProfile profile;
    ControlServer::Limits controlLimits;       // set before launch()
    std::vector<std::string> unavailable;      // loop thread until the app quits
    std::vector<std::string> storageProblems;  // the same
    std::vector<std::string> problems;         // the same
    bool started = false;                      // what start() answered
    std::atomic<bool> finished = false;
    LoopThread thread;
    std::unique_ptr<HeadlessApp> app;  // loop thread
};
#endif

}  // namespace orvel::test
