// orvel_scripted_bridge: plays the TV bridge on stdin/stdout for the bridge client's tests and
// benchmark, with behaviour scripted by its arguments:
//
//   orvel_scripted_bridge MODE [--log PATH] [--ignore-term] [--linger]
//
// It first writes {"event":"ready","pid":N} (plus "grandchild" in that mode), then handles
// each request line by MODE:
//   echo          the request back, with "pid" and "pending" (more input was already waiting)
//   delay:SEC     the same after SEC seconds
//   silent        nothing
//   chatty        in one write: an event, a stray reply, a numeric "id", the reply, an event
//   split         the reply one byte per write
//   garbage       a line that is not JSON
//   huge:N        an event line of N bytes, then the reply
//   exit          exits without answering
//   exit-late     exits without answering once SIGUSR1 arrives
//   close-stdout  closes stdout and goes on reading
//   close-stdin   (at start) closes stdin and waits to be killed; requests cannot be written
//   drop-stdin    reads nothing until SIGUSR1, then closes stdin after its first read
//   grandchild    (at start) forks a child that keeps stdout open for 20 s, then echoes
// --log PATH appends "TERM" on SIGTERM and "EOF" when stdin ends; --ignore-term survives
// SIGTERM; --linger keeps running after stdin ends.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>

namespace {

int logFd = -1;
bool ignoreTerm = false;

void writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

void note(const char* text) {
    if (logFd >= 0) writeAll(logFd, text);
}

void onTerm(int) {
    note("TERM\n");
    if (!ignoreTerm) _exit(0);
}

[[noreturn]] void waitForever() {
    for (;;) pause();
}

std::string line(const nlohmann::json& object) {
    return object.dump() + "\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "echo";
    std::string argument;
    if (auto colon = mode.find(':'); colon != std::string::npos) {
        argument = mode.substr(colon + 1);
        mode.resize(colon);
    }
    bool linger = false;
    for (int i = 2; i < argc; ++i) {
        std::string_view option = argv[i];
        if (option == "--log" && i + 1 < argc) {
            logFd = open(argv[++i], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        } else if (option == "--ignore-term") {
            ignoreTerm = true;
        } else if (option == "--linger") {
            linger = true;
        }
    }
    if (logFd >= 0 || ignoreTerm) {
        struct sigaction action {};
        action.sa_handler = onTerm;
        sigaction(SIGTERM, &action, nullptr);
    }

    nlohmann::json ready = {{"event", "ready"}, {"pid", getpid()}};
    if (mode == "grandchild") {
        pid_t grandchild = fork();
        if (grandchild == 0) {
            alarm(20);  // a bound, should the test that kills it fail first
            waitForever();
        }
        ready["grandchild"] = grandchild;
    }
    if (mode == "close-stdin") close(STDIN_FILENO);
    sigset_t release;
    sigemptyset(&release);
    sigaddset(&release, SIGUSR1);
    if (mode == "drop-stdin" || mode == "exit-late") pthread_sigmask(SIG_BLOCK, &release, nullptr);
    writeAll(STDOUT_FILENO, line(ready));
    if (mode == "close-stdin") waitForever();
    int received = 0;
    if (mode == "drop-stdin") sigwait(&release, &received);

    std::string buffer;
    char chunk[65536];
    for (;;) {
        std::size_t newline = buffer.find('\n');
        if (newline == std::string::npos) {
            ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            buffer.append(chunk, static_cast<std::size_t>(n));
            if (mode == "drop-stdin") close(STDIN_FILENO);
            continue;
        }
        auto request = nlohmann::json::parse(
            buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(newline), nullptr, false);
        buffer.erase(0, newline + 1);
        if (!request.is_object()) continue;

        if (mode == "delay")
            std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(argument.c_str())));
        pollfd input{STDIN_FILENO, POLLIN, 0};
        bool pending = !buffer.empty() || poll(&input, 1, 0) > 0;
        nlohmann::json reply = request;
        reply["pid"] = getpid();
        reply["pending"] = pending;

        if (mode == "echo" || mode == "delay" || mode == "grandchild") {
            writeAll(STDOUT_FILENO, line(reply));
        } else if (mode == "chatty") {
            writeAll(STDOUT_FILENO, line({{"event", "before"}}) +
                                        line({{"id", "00000000-0000-4000-8000-000000000000"}}) +
                                        line({{"id", 7}, {"event", "numeric"}}) + line(reply) +
                                        line({{"event", "after"}}));
        } else if (mode == "split") {
            for (char byte : line(reply)) writeAll(STDOUT_FILENO, std::string_view(&byte, 1));
        } else if (mode == "garbage") {
            writeAll(STDOUT_FILENO, "this is not json\n");
        } else if (mode == "huge") {
            std::string big = line({{"event", "huge"}, {"pad", ""}});
            std::size_t size = std::strtoul(argument.c_str(), nullptr, 10);
            big.insert(big.find("\"\"") + 1, size - (big.size() - 1), 'x');
            writeAll(STDOUT_FILENO, big + line(reply));
        } else if (mode == "exit" || mode == "exit-late") {
            if (mode == "exit-late") sigwait(&release, &received);
            _exit(0);
        } else if (mode == "close-stdout") {
            close(STDOUT_FILENO);
        }
    }
    note("EOF\n");
    if (linger) waitForever();
    return 0;
}
