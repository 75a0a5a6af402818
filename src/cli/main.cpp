// orvel: sends one command, or asks for a stream of changes, to the running Orvel Remote over
// its control socket, prints the answer, and exits 0 (ok), 1 (failed), 2 (usage) or 3 (Orvel
// Remote isn't running). Kept light: no work before main, the locale only for watch lines.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/ReplyFormat.hpp"
#include "cli/ToolConnection.hpp"
#include "core/ControlChannel.hpp"
#include "core/ControlCommand.hpp"
#include "core/ControlMessage.hpp"
#include "core/LineBuffer.hpp"

namespace orvel {
namespace {

// A failed write to a closed pipe or full disk has no one left to tell.
void print(std::string_view line) {
    (void)std::fwrite(line.data(), 1, line.size(), stdout);
    (void)std::fputc('\n', stdout);
}

[[noreturn]] void fail(const std::string& message, int status) {
    (void)std::fflush(stdout);
    (void)std::fprintf(stderr, "%s\n", message.c_str());
    std::exit(status);  // NOLINT(concurrency-mt-unsafe): the tool has one thread
}

ToolConnection connect(const nlohmann::json& request, bool keepOpen) {
    const auto path = ControlChannel::socketPath();
    if (!path) fail("orvel: could not find your home folder.", 1);
    auto opened = ToolConnection::open(*path, request, keepOpen);
    if (auto* failure = std::get_if<ToolFailure>(&opened)) fail(failure->message, failure->status);
    return std::move(std::get<ToolConnection>(opened));
}

// The time of day in the medium style of the user's locale, e.g. 10:42:07 PM.
std::string localTime() {
    static const bool localeLoaded = [] {
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the tool has one thread
        (void)std::setlocale(LC_TIME, "");
        tzset();
        return true;
    }();
    (void)localeLoaded;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    const std::size_t size = std::strftime(text, sizeof text, "%X", &local);
    return std::string(text, size);
}

int oneRequest(const ControlCommand::Parsed& parsed) {
    ToolConnection connection = connect(parsed.request, false);
    const auto reply = ControlMessage::parseObject(connection.readToEnd());
    if (!reply) fail("orvel: Orvel Remote did not answer.", 1);
    if (parsed.json) print(ReplyFormat::json(*reply));
    if (!ControlMessage::isSuccess(*reply)) {
        if (parsed.json) return 1;
        fail("orvel: " + ControlMessage::errorText(*reply).value_or("That didn't work."), 1);
    }
    if (!parsed.json) {
        const std::string command = parsed.request.value("command", "");
        for (const std::string& line : ReplyFormat::resultLines(command, *reply)) print(line);
    }
    return 0;
}

[[noreturn]] void watch(const ControlCommand::Parsed& parsed) {
    (void)std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ToolConnection connection = connect(parsed.request, true);
    LineBuffer lines;
    for (;;) {
        const std::string chunk = connection.readChunk();
        if (chunk.empty()) fail("orvel: Orvel Remote quit.", 3);
        for (const std::string& line : lines.append(chunk)) {
            const auto object = ControlMessage::parseObject(line);
            if (!object) continue;
            if (object->empty() || !ControlMessage::isSuccess(*object)) {
                if (parsed.json) print(ReplyFormat::json(*object));
                fail("orvel: " + ControlMessage::errorText(*object).value_or("The watch ended."),
                     1);
            }
            print(parsed.json ? ReplyFormat::json(*object)
                              : localTime() + "  " + ReplyFormat::watchLine(*object));
        }
    }
}

int run(const std::vector<std::string>& arguments) {
    const std::string_view help = ControlCommand::help();
    if (arguments.empty()) {
        print(help);
        return 2;
    }
    for (const std::string& argument : arguments) {
        if (argument == "-h" || argument == "--help" || argument == "help") {
            print(help);
            return 0;
        }
    }
    const auto result = ControlCommand::parse(arguments);
    if (const auto* usage = std::get_if<ControlCommand::Usage>(&result)) {
        fail("orvel: " + usage->message + " Run orvel --help.", 2);
    }
    const auto& parsed = std::get<ControlCommand::Parsed>(result);
    if (parsed.request.value("command", "") == "watch") watch(parsed);
    return oneRequest(parsed);
}

}  // namespace
}  // namespace orvel

int main(int argc, char** argv) {
    return orvel::run(std::vector<std::string>(argv + 1, argv + argc));
}
