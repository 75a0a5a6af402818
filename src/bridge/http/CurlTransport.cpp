#include "bridge/http/CurlTransport.hpp"

#include <curl/curl.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <set>
#include <unordered_map>

namespace orvel {

namespace {

long curlMilliseconds(double seconds) {
    // 0 would mean "no limit" to libcurl.
    return std::max(1L, std::lround(seconds * 1000.0));
}

std::string curlFailure(CURLcode code) {
    if (code == CURLE_OPERATION_TIMEDOUT) return "timed out";
    std::string text = curl_easy_strerror(code);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

// libcurl opens its sockets without close-on-exec; a child started meanwhile would inherit them.
curl_socket_t openSocket(void*, curlsocktype, curl_sockaddr* address) {
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

std::set<int> openDescriptors() {
    std::set<int> open;
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return open;
    const int own = ::dirfd(folder);
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the stream is this call's alone
    while (const dirent* entry = ::readdir(folder)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] >= '0' && entry->d_name[0] <= '9' && fd != own) open.insert(fd);
    }
    ::closedir(folder);
    return open;
}

// The multi handle's wake-up socket pair is made without close-on-exec either, and libcurl
// gives no way to reach it: whatever descriptor appeared meanwhile gets the flag.
CURLM* multiClosedOnExec() {
    const std::set<int> before = openDescriptors();
    CURLM* multi = curl_multi_init();
    for (const int fd : openDescriptors()) {
        if (before.contains(fd)) continue;
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && (flags & FD_CLOEXEC) == 0) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
    return multi;
}

}  // namespace

struct CurlTransport::Impl {
    struct Transfer {
        CURL* easy = nullptr;
        std::uint64_t id = 0;
        HttpDone done;
        std::string body;
        std::size_t maxBodyBytes = 0;
        bool tooLarge = false;
        std::weak_ptr<CancelToken> token;
    };

    // The handle send() returns. Cancelling or destroying it drops its transfer right away
    // (CancelHandle::cancel() releases the token); a detached one lets the transfer finish.
    struct TransferToken final : CancelToken {
        std::weak_ptr<Impl*> owner;
        CURL* easy = nullptr;
        std::uint64_t id = 0;
        ~TransferToken() {
            if (!cancelled) return;
            if (auto impl = owner.lock()) (*impl)->drop(easy, id);
        }
    };

    PollLoop& loop;
    const Options options;
    CURLM* multi = nullptr;
    // Tokens and completions reach the transport through this; it expires first on destruction.
    std::shared_ptr<Impl*> self = std::make_shared<Impl*>(this);
    std::unordered_map<CURL*, std::unique_ptr<Transfer>> transfers;
    std::unordered_map<curl_socket_t, CancelHandle> watches;
    CancelHandle timer;
    std::uint64_t nextID = 1;

    Impl(PollLoop& l, Options o) : loop(l), options(o) {}

    CURL* makeEasy(const HttpRequest& request, Transfer& transfer) const;
    void drop(CURL* easy, std::uint64_t id);
    void act(curl_socket_t socket, int events);
    void finishDone();

    static int onSocket(CURL*, curl_socket_t socket, int what, void* userp, void*);
    static int onTimer(CURLM*, long timeoutMs, void* userp);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* userp);
};

CURL* CurlTransport::Impl::makeEasy(const HttpRequest& request, Transfer& transfer) const {
    CURL* easy = curl_easy_init();
    if (!easy) return nullptr;
    bool set = curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()) == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http") == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
               // TVs are on the local network: a proxy from the environment would only hurt.
               curl_easy_setopt(easy, CURLOPT_NOPROXY, "*") == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &openSocket) == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                                curlMilliseconds(options.connectTimeout)) == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                                curlMilliseconds(options.requestTimeout)) == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::onBody) == CURLE_OK &&
               curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer) == CURLE_OK;
    if (set && request.method == HttpMethod::post) {
        set = curl_easy_setopt(easy, CURLOPT_POST, 1L) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "") == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L) == CURLE_OK;
    }
    if (!set) {
        curl_easy_cleanup(easy);
        return nullptr;
    }
    return easy;
}

void CurlTransport::Impl::drop(CURL* easy, std::uint64_t id) {
    auto found = transfers.find(easy);
    if (found == transfers.end() || found->second->id != id) return;
    // Removing a transfer under way closes its connection; the next one opens a fresh one.
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    transfers.erase(found);
}

void CurlTransport::Impl::act(curl_socket_t socket, int events) {
    int running = 0;
    curl_multi_socket_action(multi, socket, events, &running);
    finishDone();
}

void CurlTransport::Impl::finishDone() {
    std::weak_ptr<Impl*> alive = self;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        CURL* easy = message->easy_handle;
        const CURLcode code = message->data.result;
        auto found = transfers.find(easy);
        if (found == transfers.end()) continue;
        std::unique_ptr<Transfer> transfer = std::move(found->second);
        transfers.erase(found);

        HttpResponse response;
        if (code == CURLE_OK) {
            long status = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            response.status = static_cast<int>(status);
            response.body = std::move(transfer->body);
        } else if (transfer->tooLarge) {
            response.failure = "answer too large";
        } else {
            response.failure = curlFailure(code);
            response.timedOut = code == CURLE_OPERATION_TIMEDOUT;
        }
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
        // The handle no longer has anything to cancel.
        if (auto token = transfer->token.lock()) token->cancelled = true;

        transfer->done(std::move(response));
        // The callback may have destroyed the transport.
        if (alive.expired()) return;
    }
}

int CurlTransport::Impl::onSocket(CURL*, curl_socket_t socket, int what, void* userp, void*) {
    auto* d = static_cast<Impl*>(userp);
    if (what == CURL_POLL_REMOVE) {
        d->watches.erase(socket);
        return 0;
    }
    FdEvents events = FdEvents::none;
    if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events = events | FdEvents::readable;
    if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events = events | FdEvents::writable;
    // Raw `d`: the watch is a member of *d and ends with it.
    d->watches[socket] = d->loop.watch(socket, events, [d, socket](FdEvents ready) {
        int mask = 0;
        if (has(ready, FdEvents::readable)) mask |= CURL_CSELECT_IN;
        if (has(ready, FdEvents::writable)) mask |= CURL_CSELECT_OUT;
        d->act(socket, mask);
    });
    return 0;
}

int CurlTransport::Impl::onTimer(CURLM*, long timeoutMs, void* userp) {
    auto* d = static_cast<Impl*>(userp);
    if (timeoutMs < 0) {
        d->timer.cancel();
        return 0;
    }
    // libcurl must not be re-entered from here: the loop calls back instead. Raw `d`: the
    // timer is a member of *d and ends with it.
    d->timer = d->loop.postAfter(static_cast<double>(timeoutMs) / 1000.0,
                                 [d] { d->act(CURL_SOCKET_TIMEOUT, 0); });
    return 0;
}

std::size_t CurlTransport::Impl::onBody(char* data, std::size_t size, std::size_t count,
                                        void* userp) {
    auto* transfer = static_cast<Transfer*>(userp);
    const std::size_t bytes = size * count;
    if (bytes > transfer->maxBodyBytes - std::min(transfer->maxBodyBytes, transfer->body.size())) {
        transfer->tooLarge = true;
        return 0;  // anything but `bytes` fails the transfer
    }
    transfer->body.append(data, bytes);
    return bytes;
}

CurlTransport::CurlTransport(PollLoop& loop, Options options)
    : impl_(std::make_unique<Impl>(loop, options)) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    Impl& d = *impl_;
    d.multi = multiClosedOnExec();
    curl_multi_setopt(d.multi, CURLMOPT_SOCKETFUNCTION, &Impl::onSocket);
    curl_multi_setopt(d.multi, CURLMOPT_SOCKETDATA, &d);
    curl_multi_setopt(d.multi, CURLMOPT_TIMERFUNCTION, &Impl::onTimer);
    curl_multi_setopt(d.multi, CURLMOPT_TIMERDATA, &d);
    // Idle connections stay open for the next request to the same TV.
    curl_multi_setopt(d.multi, CURLMOPT_MAXCONNECTS, 16L);
}

CurlTransport::~CurlTransport() {
    Impl& d = *impl_;
    d.self.reset();
    for (auto& [easy, transfer] : d.transfers) {
        curl_multi_remove_handle(d.multi, easy);
        curl_easy_cleanup(easy);
    }
    d.transfers.clear();
    curl_multi_cleanup(d.multi);
    d.watches.clear();
    d.timer.cancel();
}

CancelHandle CurlTransport::send(HttpRequest request, HttpDone done) {
    Impl& d = *impl_;
    auto transfer = std::make_unique<Impl::Transfer>();
    transfer->id = d.nextID++;
    transfer->done = std::move(done);
    transfer->maxBodyBytes = d.options.maxBodyBytes;
    CURL* easy = d.makeEasy(request, *transfer);
    if (!easy || curl_multi_add_handle(d.multi, easy) != CURLM_OK) {
        if (easy) curl_easy_cleanup(easy);
        // Completions never run from inside send().
        return d.loop.postAfter(0, [done = std::move(transfer->done)] {
            HttpResponse response;
            response.failure = "could not start the request";
            done(std::move(response));
        });
    }
    transfer->easy = easy;
    auto token = std::make_shared<Impl::TransferToken>();
    token->owner = d.self;
    token->easy = easy;
    token->id = transfer->id;
    transfer->token = token;
    d.transfers.emplace(easy, std::move(transfer));
    return CancelHandle(std::move(token));
}

}  // namespace orvel
