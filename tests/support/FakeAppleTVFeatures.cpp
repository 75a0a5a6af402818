// The fake Apple TV's apps, text field and media control.
#include <algorithm>

#include "FakeAppleTV.hpp"
#include "bridge/companion/TextInputArchive.hpp"

namespace orvel::test {

namespace {

using Dictionary = OpackValue::Dictionary;

// The one text-input session the fake ever has.
const crypto::Bytes kSession = {0x6B, 0x1E, 0x20, 0x5A, 0x11, 0x42, 0x4D, 0x0C,
                                0x9A, 0x33, 0x71, 0x08, 0xC2, 0x5E, 0x90, 0x17};

std::string textOf(const OpackValue& content, std::string_view key) {
    const OpackValue* value = content.find(key);
    const auto text = value ? value->asString() : std::nullopt;
    return text ? std::string(*text) : std::string();
}

}  // namespace

bool FakeAppleTV::answerFeature(const std::string& name, const OpackValue& content,
                                Dictionary& result) {
    if (name == "FetchLaunchableApplicationsEvent") {
        for (const auto& [id, title] : config_.apps) result.emplace_back(id, title);
        return true;
    }
    if (name == "_launchApp") {
        std::string app = textOf(content, "_bundleID");
        if (app.empty()) app = textOf(content, "_urlS");
        const bool known = std::any_of(config_.apps.begin(), config_.apps.end(),
                                       [&](const auto& each) { return each.first == app; });
        if (!known && app.find(':') == std::string::npos) return false;
        launched_.push_back(app);
        return true;
    }
    if (name == "_tiStart") {
        if (config_.field) {
            result.emplace_back("_tiV", 1);
            result.emplace_back(
                "_tiD", OpackValue::Data(TextInputArchive::field(kSession, *config_.field)));
        }
        return true;
    }
    if (name == "_tiStop") return true;
    if (name != "_mcc") return false;
    const OpackValue* command = content.find("_mcc");
    const auto number = command ? command->asInteger() : std::nullopt;
    // The bit of each command in the media flags; GetVolume needs the volume's.
    static constexpr std::int64_t kBits[] = {0, 0x1, 0x2, 0x4, 0x8, 0x100, 0x100, 0x600};
    if (!number || *number < 1 || *number > 7 || (config_.mediaFlags & kBits[*number]) == 0) {
        return false;
    }
    if (*number == 5) result.emplace_back("_vol", config_.volume);
    if (*number == 6) {
        const OpackValue* level = content.find("_vol");
        if (!level || !level->asFloat()) return false;
        config_.volume = *level->asFloat();
    }
    return true;
}

void FakeAppleTV::editField(const OpackValue& content) {
    const OpackValue* archive = content.find("_tiD");
    const auto bytes = archive ? archive->asData() : std::nullopt;
    const auto operation = bytes ? TextInputArchive::readOperation(*bytes) : std::nullopt;
    if (!config_.field || !operation || operation->target != kSession) return;
    if (operation->clears) config_.field->clear();
    if (operation->insertion) *config_.field += *operation->insertion;
}

}  // namespace orvel::test
