#include "bridge/http/CurlTransport.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "../../support/LoopThread.hpp"
#include "../../support/LoopbackHttpServer.hpp"
#include "../Loopback.hpp"

namespace orvel {
namespace {

using test::FakeHttpRequest;
using test::FakeHttpResponse;
using test::LoopbackHttpServer;

class CurlTransportTest : public ::testing::Test {
protected:
    // this: the server is a member, stopped before the fields it uses go.
    CurlTransportTest()
        : server_([this](const FakeHttpRequest& request) {
              std::lock_guard lock(mutex_);
              seen_.push_back(request);
              FakeHttpResponse response;
              response.status = request.target == "/missing" ? 404 : 200;
              response.body = request.target.starts_with("/bytes/")
                                  ? std::string(std::stoul(request.target.substr(7)), 'b')
                                  : "answer to " + request.target;
              return response;
          }) {}

    std::string url(const std::string& path) const { return "http://" + server_.hostPort() + path; }
    std::vector<FakeHttpRequest> seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

    bool runGuarded() { return test::runGuarded(loop_, 5.0); }

    HttpResponse fetch(HttpTransport& transport, HttpMethod method, const std::string& target) {
        std::optional<HttpResponse> result;
        CancelHandle pending = transport.send({method, target}, [&](HttpResponse response) {
            result = std::move(response);
            loop_.quit();
        });
        EXPECT_FALSE(result) << "completed inside send()";
        EXPECT_TRUE(runGuarded()) << "no answer for " << target;
        EXPECT_FALSE(pending.pending()) << "a finished transfer still looks pending";
        if (result) return *result;
        HttpResponse none;
        none.failure = "no answer";
        return none;
    }

    PollLoop loop_;
    std::mutex mutex_;
    std::vector<FakeHttpRequest> seen_;  // guarded by mutex_
    LoopbackHttpServer server_;
    CurlTransport transport_{loop_, {}};
};

TEST_F(CurlTransportTest, ItsKeptConnectionIsNotInheritedByChildren) {
    ASSERT_TRUE(fetch(transport_, HttpMethod::get, url("/a")).ok());
    int sockets = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename());
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode)) continue;
        ++sockets;
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "socket " << fd;
    }
    EXPECT_GE(sockets, 3);  // the listener, and both ends of the kept connection
}

TEST_F(CurlTransportTest, RequestsReachTheServerWithMethodTargetAndHost) {
    const std::vector<std::tuple<HttpMethod, std::string, std::string>> cases = {
        {HttpMethod::get, "/query/device-info", "GET /query/device-info 200"},
        {HttpMethod::post, "/keypress/Lit_%C3%A9", "POST /keypress/Lit_%C3%A9 200 length 0"},
        {HttpMethod::post, "/launch/12?contentId=a%20b",
         "POST /launch/12?contentId=a%20b 200 length 0"},
        {HttpMethod::get, "/missing", "GET /missing 404"},
    };
    for (const auto& [method, target, expected] : cases) {
        HttpResponse response = fetch(transport_, method, url(target));
        EXPECT_TRUE(response.answered()) << target << ": " << response.failure;
        EXPECT_EQ(response.body, "answer to " + target);
        ASSERT_FALSE(seen().empty());
        FakeHttpRequest request = seen().back();
        EXPECT_EQ(request.headers["host"], server_.hostPort());
        EXPECT_EQ(request.body, "");
        const auto length = request.headers.find("content-length");
        EXPECT_EQ(request.method + " " + request.target + " " + std::to_string(response.status) +
                      (length == request.headers.end() ? "" : " length " + length->second),
                  expected);
    }
    EXPECT_EQ(seen().size(), cases.size());
}

TEST_F(CurlTransportTest, SequentialRequestsShareOneConnectionUnlessTheServerCloses) {
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(fetch(transport_, HttpMethod::post, url("/keypress/Up")).ok()) << i;
    }
    EXPECT_EQ(server_.connectionsAccepted(), 1);

    server_.setCloseAfterAnswer(true);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(fetch(transport_, HttpMethod::get, url("/query/apps")).ok()) << i;
    }
    // The first of them still went over the connection kept from before.
    EXPECT_EQ(server_.connectionsAccepted(), 3);
}

TEST_F(CurlTransportTest, FailuresAndOversizedAnswersAreReportedWithoutAnAnswer) {
    // Bound but never listening: connecting is refused.
    sockaddr_in address{};
    const UniqueFd closedPort = test::boundToLoopback(SOCK_STREAM, address);

    CurlTransport quick(loop_, {.connectTimeout = 3.0, .requestTimeout = 0.2});
    const double start = loop_.now();
    HttpResponse refused =
        fetch(quick, HttpMethod::get,
              "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/");
    EXPECT_FALSE(refused.answered());
    EXPECT_FALSE(refused.timedOut);
    EXPECT_LT(loop_.now() - start, 1.0) << "a refusal must not wait for the time-out";

    HttpResponse secure = fetch(quick, HttpMethod::get, "https://" + server_.hostPort() + "/");
    EXPECT_EQ(secure.failure, "unsupported protocol");
    EXPECT_EQ(server_.connectionsAccepted(), 0) << "only plain HTTP goes out";

    server_.setDropWithoutAnswer(true);
    HttpResponse dropped = fetch(quick, HttpMethod::post, url("/keypress/Up"));
    EXPECT_FALSE(dropped.answered());
    EXPECT_FALSE(dropped.timedOut);

    server_.setDropWithoutAnswer(false);
    server_.setAnswerDelay(2.0);
    HttpResponse late = fetch(quick, HttpMethod::get, url("/query/active-app"));
    EXPECT_FALSE(late.answered());
    EXPECT_TRUE(late.timedOut);
    EXPECT_EQ(late.failure, "timed out");
    EXPECT_EQ(late.status, 0);

    server_.setAnswerDelay(0);
    CurlTransport limited(loop_, {.maxBodyBytes = 1000});
    EXPECT_EQ(fetch(limited, HttpMethod::get, url("/bytes/1000")).body.size(), 1000u);
    for (const char* bytes : {"1001", "200000"}) {
        HttpResponse tooLarge = fetch(limited, HttpMethod::get, url("/bytes/") + bytes);
        EXPECT_FALSE(tooLarge.answered()) << bytes;
        EXPECT_TRUE(tooLarge.body.empty()) << bytes;
    }
}

TEST_F(CurlTransportTest, TransfersInFlightAllCompleteAndCancelledOnesStaySilent) {
    server_.setAnswerDelay(0.05);
    std::vector<std::string> completed;
    std::vector<CancelHandle> pending;
    for (int i = 0; i < 6; ++i) {
        std::string target = "/query/" + std::to_string(i);
        pending.push_back(
            transport_.send({HttpMethod::get, url(target)}, [&, target](const HttpResponse& r) {
                EXPECT_TRUE(r.ok()) << target << ": " << r.failure;
                completed.push_back(target);
                if (completed.size() == 4) loop_.quit();
            }));
    }
    pending[1].cancel();                                                   // before it started
    CancelHandle later = loop_.postAfter(0.01, [&] { pending[4] = {}; });  // while under way
    EXPECT_TRUE(runGuarded());
    std::sort(completed.begin(), completed.end());
    for (const FakeHttpRequest& request : seen()) {
        EXPECT_NE(request.target, "/query/1") << "a transfer cancelled before it began went out";
    }
    EXPECT_EQ(completed,
              (std::vector<std::string>{"/query/0", "/query/2", "/query/3", "/query/5"}));
}

TEST_F(CurlTransportTest, CallbacksMaySendAgainDropTheirOwnHandleOrDestroyTheTransport) {
    std::vector<std::string> bodies;
    std::optional<CancelHandle> first;
    CancelHandle second;
    first = transport_.send({HttpMethod::get, url("/a")}, [&](const HttpResponse& response) {
        bodies.push_back(response.body);
        first.reset();
        second = transport_.send({HttpMethod::post, url("/b")}, [&](const HttpResponse& again) {
            bodies.push_back(again.body);
            loop_.quit();
        });
    });
    EXPECT_TRUE(runGuarded());
    EXPECT_EQ(bodies, (std::vector<std::string>{"answer to /a", "answer to /b"}));

    // Destroyed in a callback, the transport drops its other transfers.
    auto transport = std::make_unique<CurlTransport>(loop_, CurlTransport::Options{});
    int calls = 0;
    std::vector<CancelHandle> pending;
    pending.reserve(3);
    for (int i = 0; i < 3; ++i) {
        pending.push_back(
            transport->send({HttpMethod::get, url("/query/apps")}, [&](const HttpResponse&) {
                ++calls;
                transport.reset();
                // Long enough for the other answers to arrive, were they still wanted.
                loop_.postAfter(0.1, [&] { loop_.quit(); }).detach();
            }));
    }
    EXPECT_TRUE(runGuarded());
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace orvel
