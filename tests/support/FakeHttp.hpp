#pragma once
// FakeHttp: the request and answer that the loopback HTTP fakes of the tests exchange with
// the device models behind them. Plain values; any thread.

#include <functional>
#include <map>
#include <string>

namespace orvel::test {

struct FakeHttpRequest {
    std::string method;                          // "GET", "POST"
    std::string target;                          // as sent: "/keypress/Lit_%C3%A9"
    std::map<std::string, std::string> headers;  // names lower-cased
    std::string body;
};

struct FakeHttpResponse {
    int status = 200;
    std::string contentType = "text/xml; charset=\"utf-8\"";
    std::string body;
};

using FakeHttpHandler = std::function<FakeHttpResponse(const FakeHttpRequest&)>;

}  // namespace orvel::test
