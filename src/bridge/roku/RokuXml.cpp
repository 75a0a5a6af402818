#include "bridge/roku/RokuXml.hpp"

#include <charconv>
#include <cstdint>

#include <pugixml.hpp>

namespace orvel {
namespace {

// Predefined and numeric character references only: pugixml expands no DTD entities and
// fetches nothing, and without parse_doctype a DOCTYPE is skipped whole.
constexpr unsigned kRokuParseFlags = pugi::parse_default & ~pugi::parse_doctype;

std::string_view trimRokuText(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

std::string rokuChildText(const pugi::xml_node& parent, const char* name) {
    return std::string(trimRokuText(parent.child(name).child_value()));
}

// Loads `xml` and returns its root element when it is named `root`; an empty node otherwise.
pugi::xml_node loadRokuRoot(pugi::xml_document& document, std::string_view xml, const char* root) {
    const auto result =
        document.load_buffer(xml.data(), xml.size(), kRokuParseFlags, pugi::encoding_utf8);
    if (!result) return {};
    auto element = document.document_element();
    if (std::string_view(element.name()) != root) return {};
    return element;
}

// "12345 ms" (or a bare "12345") in seconds; nothing for anything else.
std::optional<double> readRokuMilliseconds(std::string_view text) {
    text = trimRokuText(text);
    if (text.size() >= 2 && text.substr(text.size() - 2) == "ms") {
        text = trimRokuText(text.substr(0, text.size() - 2));
    }
    std::uint64_t milliseconds = 0;
    const auto* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, milliseconds);
    if (text.empty() || error != std::errc() || next != end) return std::nullopt;
    return static_cast<double>(milliseconds) / 1000.0;
}

}  // namespace

std::optional<RokuDeviceInfo> readRokuDeviceInfo(std::string_view xml) {
    pugi::xml_document document;
    const auto root = loadRokuRoot(document, xml, "device-info");
    if (!root) return std::nullopt;
    RokuDeviceInfo info;
    info.serialNumber = rokuChildText(root, "serial-number");
    info.userDeviceName = rokuChildText(root, "user-device-name");
    info.friendlyModelName = rokuChildText(root, "friendly-model-name");
    info.isTv = rokuChildText(root, "is-tv") == "true";
    info.powerMode = rokuChildText(root, "power-mode");
    info.wifiMac = rokuChildText(root, "wifi-mac");
    info.ethernetMac = rokuChildText(root, "ethernet-mac");
    return info;
}

std::string rokuDisplayName(const RokuDeviceInfo& info) {
    for (const auto& name : {info.userDeviceName, info.friendlyModelName}) {
        const auto trimmed = trimRokuText(name);
        if (!trimmed.empty()) return std::string(trimmed);
    }
    return "Roku";
}

std::optional<std::vector<RokuApp>> readRokuApps(std::string_view xml) {
    pugi::xml_document document;
    const auto root = loadRokuRoot(document, xml, "apps");
    if (!root) return std::nullopt;
    std::vector<RokuApp> apps;
    for (const auto& node : root.children("app")) {
        RokuApp app{std::string(trimRokuText(node.attribute("id").value())),
                    std::string(trimRokuText(node.child_value())),
                    std::string(trimRokuText(node.attribute("type").value()))};
        if (app.id.empty() || app.name.empty()) continue;
        apps.push_back(std::move(app));
    }
    return apps;
}

std::optional<RokuActiveApp> readRokuActiveApp(std::string_view xml) {
    pugi::xml_document document;
    const auto root = loadRokuRoot(document, xml, "active-app");
    if (!root) return std::nullopt;
    const auto app = root.child("app");
    RokuActiveApp active;
    active.id = std::string(trimRokuText(app.attribute("id").value()));
    // The home screen names itself ("Roku") but is no app.
    if (!active.id.empty()) active.name = std::string(trimRokuText(app.child_value()));
    return active;
}

std::optional<RokuMediaPlayer> readRokuMediaPlayer(std::string_view xml) {
    pugi::xml_document document;
    const auto root = loadRokuRoot(document, xml, "player");
    if (!root) return std::nullopt;
    RokuMediaPlayer player;
    player.state = std::string(trimRokuText(root.attribute("state").value()));
    if (const auto position = root.child("position")) {
        player.position = readRokuMilliseconds(position.child_value());
    }
    if (const auto duration = root.child("duration")) {
        player.duration = readRokuMilliseconds(duration.child_value());
    }
    return player;
}

}  // namespace orvel
