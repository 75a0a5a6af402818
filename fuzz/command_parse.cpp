// Command lines as the tool receives them: the input split into arguments at NUL bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ControlCommand.hpp"
#include "core/ControlMessage.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back() += static_cast<char>(data[i]);
        }
    }
    auto result = orvel::ControlCommand::parse(arguments);
    if (auto* parsed = std::get_if<orvel::ControlCommand::Parsed>(&result)) {
        if (!parsed->request.contains("command")) __builtin_trap();
        // The tool writes what it parsed; arguments with invalid UTF-8 cannot be written.
        orvel::ControlMessage::serializeLine(parsed->request);
    } else if (std::get<orvel::ControlCommand::Usage>(result).message.empty()) {
        __builtin_trap();
    }
    return 0;
}
