// The headless app in the test's process under load from many clients at once: every request
// answered exactly once, watch streams live throughout, and the process's descriptors and
// threads back where they started once the load and the watches are gone.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "../support/ProcessInspection.hpp"
#include "InProcessApp.hpp"

namespace orvel::test {
namespace {

#ifdef ORVEL_BRIDGE_DIR
class HeadlessLoad : public InProcessApp {
protected:
    // A joined thread or a closed stream can stay listed in /proc for a moment. Not above, rather
    // than equal: the launch may still hold a passing descriptor when the start is counted.
    static void expectBackTo(int startFds, int startThreads) {
        int fds = 0, threads = 0;
        EXPECT_TRUE(eventually(
            [&] {
                fds = procEntries(::getpid(), "fd");
                threads = procEntries(::getpid(), "task");
                return fds <= startFds && threads <= startThreads;
            },
            5))
            << "descriptors " << startFds << " -> " << fds << ", threads " << startThreads << " -> "
            << threads;
    }
};

constexpr int kWatches = 16;

// What is wrong with the answer to one request; empty when it is exactly one good answer.
std::string answerFault(const std::string& socket, const std::string& request) {
    Client client(socket);
    client.send(request);
    const std::string line = client.readLine(20);
    const std::string more = client.readAll(20);
    const auto reply = ControlMessage::parseObject(line);
    if (!line.ends_with("\n") || !reply || !ControlMessage::isSuccess(*reply))
        return request + " answered " + line;
    if (!more.empty() || !client.ended()) return request + " answered again: " + more;
    return "";
}

TEST_F(HeadlessLoad, ManyRequestsBesideSixteenWatchesAndNothingLeftBehind) {
    launchConnected();
    const int startFds = procEntries(::getpid(), "fd");
    const int startThreads = procEntries(::getpid(), "task");
    ASSERT_GT(startFds, 0);
    ASSERT_GT(startThreads, 0);

    std::vector<std::unique_ptr<Client>> watches;
    for (int i = 0; i < kWatches; ++i) {
        watches.push_back(std::make_unique<Client>(profile.socketPath()));
        watches.back()->send(requestLine({"watch"}));
        EXPECT_NE(watches.back()->readLine().find("\"ok\":true"), std::string::npos) << i;
    }

    std::vector<std::string> faults;
    std::mutex faultsMutex;
    // Half the senders press: the app takes at most four presses at once and refuses a fifth.
    std::vector<std::thread> senders;
    senders.reserve(8);
    for (int sender = 0; sender < 8; ++sender) {
        senders.emplace_back(
            [&, request = requestLine(sender < 4 ? std::vector<std::string>{"up"}
                                                 : std::vector<std::string>{"status"})] {
                for (int i = 0; i < 50; ++i) {
                    const std::string fault = answerFault(profile.socketPath(), request);
                    std::lock_guard lock(faultsMutex);
                    if (!fault.empty()) faults.push_back(fault);
                }
            });
    }
    for (auto& sender : senders) sender.join();
    EXPECT_TRUE(faults.empty()) << faults.size() << " faulty answers, first: " << faults.front();

    // A change after all that still reaches every watch.
    ASSERT_TRUE(ControlMessage::isSuccess(ask({"launch", "netflix"})));
    for (int i = 0; i < kWatches; ++i) {
        EXPECT_TRUE(eventually([&] {
            return watches[i]->readLine().find("Netflix") != std::string::npos;
        })) << i;
    }

    watches.clear();
    expectBackTo(startFds, startThreads);
}

// Ordering, not speed: the requests are answered while every slow client still waits, and
// each slow client is then cut off although its bytes keep coming. Their latency figure is
// bench_slow_clients.
TEST_F(HeadlessLoad, SilentAndTricklingClientsDelayNobodyAndAreCutOffInTime) {
    controlLimits.requestTimeout = 2.0;
    launchConnected();
    const int startFds = procEntries(::getpid(), "fd");
    const int startThreads = procEntries(::getpid(), "task");

    std::vector<std::unique_ptr<Client>> silent, trickling;
    for (int i = 0; i < 200; ++i) silent.push_back(std::make_unique<Client>(profile.socketPath()));
    for (int i = 0; i < 70; ++i) {
        trickling.push_back(std::make_unique<Client>(profile.socketPath()));
        trickling.back()->send("{");
    }
    // Real clients on a real socket: their pace is real time, well inside the request limit,
    // and they keep it up until every one of them is cut off.
    std::jthread trickle([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            for (auto& client : trickling) client->send(" ");
        }
    });
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(ControlMessage::isSuccess(ask({"tvs"}))) << i;
    const auto cutOffEarly = std::count_if(trickling.begin(), trickling.end(),
                                           [](const auto& client) { return client->readable(); });
    EXPECT_EQ(cutOffEarly, 0) << "trickling clients were cut off before the requests were answered";

    // The request limit counts from the accept, however often a byte arrives. The bound only
    // keeps a broken server from hanging the test.
    const std::string unreadable =
        ControlMessage::serializeLine(ControlMessage::failure(ControlMessage::kUnreadableRequest))
            .value_or("");
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (auto* clients : {&trickling, &silent}) {
        for (auto& client : *clients) {
            const std::chrono::duration<double> left = giveUp - std::chrono::steady_clock::now();
            ASSERT_EQ(client->readAll(std::max(left.count(), 0.01)), unreadable);
            ASSERT_TRUE(client->ended());
        }
    }
    trickle.request_stop();
    trickle.join();
    silent.clear();
    trickling.clear();
    expectBackTo(startFds, startThreads);
}
#endif

}  // namespace
}  // namespace orvel::test
