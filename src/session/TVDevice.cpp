#include "session/TVDevice.hpp"
#include "core/JsonFields.hpp"

#include "core/TVIdentifier.hpp"

namespace orvel {

namespace {

// Every element a text, or nothing.
std::optional<std::vector<std::string>> textList(const nlohmann::json& value) {
    if (!value.is_array()) return std::nullopt;
    std::vector<std::string> texts;
    texts.reserve(value.size());
    for (const auto& element : value) {
        if (!element.is_string()) return std::nullopt;
        texts.push_back(element.get<std::string>());
    }
    return texts;
}

}  // namespace

std::string_view TVDevice::kind() const {
    return TVIdentifier::kind(id);
}

std::optional<TVDevice> TVDevice::fromBridge(const nlohmann::json& entry) {
    const auto* id = field(entry, "id");
    const auto* name = field(entry, "name");
    if (!id || !id->is_string() || !name || !name->is_string()) return std::nullopt;
    std::vector<std::string> protocols;
    if (const auto* listed = field(entry, "protocols")) {
        protocols = textList(*listed).value_or(std::vector<std::string>{});
    }
    return TVDevice(id->get<std::string>(), name->get<std::string>(), std::move(protocols));
}

std::optional<TVDevice> TVDevice::fromStored(const nlohmann::json& object) {
    const auto* id = field(object, "id");
    const auto* name = field(object, "name");
    const auto* listed = field(object, "protocols");
    if (!id || !id->is_string() || !name || !name->is_string() || !listed) return std::nullopt;
    auto protocols = textList(*listed);
    if (!protocols) return std::nullopt;
    return TVDevice(id->get<std::string>(), name->get<std::string>(), std::move(*protocols));
}

nlohmann::json TVDevice::stored() const {
    return {{"id", id}, {"name", name}, {"protocols", protocols}};
}

}  // namespace orvel

std::size_t std::hash<orvel::TVDevice>::operator()(const orvel::TVDevice& device) const noexcept {
    std::hash<std::string> text;
    std::size_t seed = text(device.id);
    auto mix = [&seed](std::size_t value) {
        seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    mix(text(device.name));
    for (const auto& protocol : device.protocols) mix(text(protocol));
    return seed;
}
