#include "bridge/appletv/CompanionTextInput.hpp"

#include "bridge/companion/TextInputArchive.hpp"

namespace orvel::CompanionTextInput {

namespace {

using Dictionary = OpackValue::Dictionary;

OpackValue edit(crypto::Bytes archive) {
    return Dictionary{{"_tiV", 1}, {"_tiD", OpackValue::Data(std::move(archive))}};
}

}  // namespace

void replace(CompanionConnection& connection, const std::string& text, double timeout,
             const std::function<void(CompanionResult<bool>)>& done) {
    // connection: the completions live inside it and go with it uncalled.
    // A fresh session each time: the TV then tells the field's current session, whatever
    // happened to the focus since the last one.
    connection.request(
        "_tiStop", Dictionary{}, timeout,
        [&connection, text, timeout, done](const CompanionResult<OpackValue>& stopped) {
            // Only its end stops us: the owner may destroy an ended connection before a request
            // made now could fail.
            if (!stopped && connection.ended()) return done(stopped.error());
            connection.request(
                "_tiStart", Dictionary{}, timeout,
                [&connection, text, done](const CompanionResult<OpackValue>& started) {
                    if (!started) return done(started.error());
                    const OpackValue* archive = started.value().find("_tiD");
                    const auto bytes = archive ? archive->asData() : std::nullopt;
                    const auto field = bytes ? TextInputArchive::readField(*bytes) : std::nullopt;
                    if (!field) return done(false);
                    connection.event("_tiC", edit(TextInputArchive::clear(field->sessionUuid)));
                    if (!text.empty()) {
                        connection.event("_tiC",
                                         edit(TextInputArchive::insert(field->sessionUuid, text)));
                    }
                    done(true);
                });
        });
}

}  // namespace orvel::CompanionTextInput
