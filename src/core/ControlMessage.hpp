#pragma once
// ControlMessage: the framing shared by the control server and the `orvel` tool. Every
// message is one JSON object on one line, UTF-8, followed by a line feed. This is the only
// place that turns control bytes into JSON and back, so both sides read and write alike.
//
//   auto request = ControlMessage::parseObject(line);       // std::nullopt: not readable
//   auto bytes = ControlMessage::serializeLine(reply);       // std::nullopt: do not send
//
// Pure; never throws; usable from any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace orvel::ControlMessage {

// Messages of the socket server itself, byte for byte.
inline constexpr std::string_view kUnreadableRequest = "Orvel couldn't read that request.";
inline constexpr std::string_view kTooManyWatches = "Too many orvel watch sessions are open.";
inline constexpr std::string_view kNoAnswerInTime = "The TV didn't answer in time.";
inline constexpr std::string_view kUnknownCommand = "Unknown command.";

// Deeper nesting than this is refused: no control message comes near it, and copying or
// writing a deeply nested value recurses once per level.
inline constexpr std::size_t kMaxDepth = 64;

// The bytes as one JSON object (surrounding white space, a trailing line feed included, is
// allowed). Nothing for anything else: invalid JSON or UTF-8, a non-object, trailing bytes,
// nesting deeper than kMaxDepth.
std::optional<nlohmann::json> parseObject(std::string_view bytes);

// Compact serialisation plus "\n". Nothing when the value cannot be serialised (a string
// that is not valid UTF-8); such a message is not sent.
std::optional<std::string> serializeLine(const nlohmann::json& message);

// {"ok": true} and {"ok": false, "error": text}.
nlohmann::json success();
nlohmann::json failure(std::string_view error);

// Only the Boolean true in "ok" means success; anything else, or no "ok", is a failure.
bool isSuccess(const nlohmann::json& reply);

// "error" when it is a string.
std::optional<std::string> errorText(const nlohmann::json& reply);

}  // namespace orvel::ControlMessage
