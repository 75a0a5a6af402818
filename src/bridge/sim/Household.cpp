#include "bridge/sim/Household.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
#include <set>

#include <nlohmann/json.hpp>

#include "platform/BoundedJson.hpp"
#include "platform/SystemError.hpp"
#include "platform/UniqueFd.hpp"

namespace orvel {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxFileSize = std::size_t{16} * 1024 * 1024;

// A household nests seven deep (file, TVs, TV, apps, app, items, item); the rest is headroom.
constexpr std::size_t kMaxHouseholdDepth = 64;

// Returns the first key of `object` that is not among `known`, or empty.
std::string unknownKey(const json& object, std::initializer_list<std::string_view> known) {
    for (const auto& item : object.items()) {
        bool found = false;
        for (auto key : known) found = found || key == item.key();
        if (!found) return item.key();
    }
    return {};
}

bool isNonEmptyText(const json& object, const char* key) {
    auto value = object.find(key);
    return value != object.end() && value->is_string() && !value->get<std::string>().empty();
}

bool isPin(const std::string& pin) {
    if (pin.size() != 4) return false;
    for (char c : pin) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Each reader returns an error fragment ("has no ...") or empty, and fills `out`.
std::string readItem(const json& object, SimItem& out) {
    if (!object.is_object()) return "is not an object";
    if (auto key = unknownKey(object, {"title", "artist", "duration"}); !key.empty()) {
        return "has an unknown key \"" + key + "\"";
    }
    if (!isNonEmptyText(object, "title")) return "has no \"title\" text";
    out.title = object["title"].get<std::string>();
    if (auto artist = object.find("artist"); artist != object.end()) {
        if (!artist->is_string()) return "has an \"artist\" that is not text";
        out.artist = artist->get<std::string>();
    }
    auto duration = object.find("duration");
    if (duration == object.end() || !duration->is_number() || !(duration->get<double>() > 0) ||
        duration->get<double>() > 1e7) {
        return "has no \"duration\" of more than 0 seconds";
    }
    out.duration = duration->get<double>();
    return {};
}

std::string readApp(const json& object, SimApp& out) {
    if (!object.is_object()) return "is not an object";
    if (auto key = unknownKey(object, {"id", "name", "input", "items"}); !key.empty()) {
        return "has an unknown key \"" + key + "\"";
    }
    if (!isNonEmptyText(object, "id")) return "has no \"id\" text";
    if (!isNonEmptyText(object, "name")) return "has no \"name\" text";
    out.id = object["id"].get<std::string>();
    out.name = object["name"].get<std::string>();
    if (auto input = object.find("input"); input != object.end()) {
        if (!input->is_boolean()) return "has an \"input\" that is not true or false";
        out.input = input->get<bool>();
    }
    if (auto items = object.find("items"); items != object.end()) {
        if (out.input) return "is an input and cannot list \"items\"";
        if (!items->is_array() || items->empty()) return "has \"items\" that are not a list";
        for (std::size_t i = 0; i < items->size(); ++i) {
            SimItem item;
            if (auto error = readItem((*items)[i], item); !error.empty()) {
                return "has an item " + std::to_string(i + 1) + " that " + error;
            }
            out.items.push_back(std::move(item));
        }
    } else if (!out.input) {
        out.items.push_back({"Featured on " + out.name, "", 1800});
    }
    return {};
}

std::string readProtocols(const json& object, SimTVConfig& out) {
    auto protocols = object.find("protocols");
    if (protocols == object.end()) return {};
    if (!protocols->is_array()) return "has \"protocols\" that are not a list of texts";
    std::set<std::string> seen;
    for (const auto& protocol : *protocols) {
        if (!protocol.is_string() || protocol.get<std::string>().empty()) {
            return "has \"protocols\" that are not a list of texts";
        }
        if (!seen.insert(protocol.get<std::string>()).second) {
            return "lists the protocol \"" + protocol.get<std::string>() + "\" twice";
        }
        out.protocols.push_back(protocol.get<std::string>());
    }
    return {};
}

std::string readSettings(const json& object, SimTVConfig& out) {
    if (auto pin = object.find("pin"); pin != object.end()) {
        if (!pin->is_string() || !isPin(pin->get<std::string>())) {
            return "has a \"pin\" that is not four digits";
        }
        out.pin = pin->get<std::string>();
    } else if (!out.protocols.empty()) {
        return "lists protocols but no \"pin\"";
    }
    if (auto address = object.find("address"); address != object.end()) {
        if (!address->is_string()) return "has an \"address\" that is not text";
        out.address = address->get<std::string>();
    }
    if (auto volume = object.find("volume"); volume != object.end()) {
        if (!volume->is_number_integer() || volume->get<long long>() < 0 ||
            volume->get<long long>() > 100) {
            return "has a \"volume\" that is not a whole number from 0 to 100";
        }
        out.volume = volume->get<int>();
    }
    if (auto power = object.find("power"); power != object.end()) {
        if (*power != json("On") && *power != json("Off")) {
            return "has a \"power\" that is neither \"On\" nor \"Off\"";
        }
        out.poweredOn = *power == json("On");
    }
    return {};
}

std::string readApps(const json& object, SimTVConfig& out) {
    auto apps = object.find("apps");
    if (apps == object.end()) {
        out.apps = Household::defaultApps(out.isRoku());
        return {};
    }
    if (!apps->is_array() || apps->empty()) return "has \"apps\" that are not a list of apps";
    std::set<std::string> ids;
    for (std::size_t i = 0; i < apps->size(); ++i) {
        SimApp app;
        if (auto error = readApp((*apps)[i], app); !error.empty()) {
            return "has an app " + std::to_string(i + 1) + " that " + error;
        }
        if (!ids.insert(app.id).second) return "lists the app \"" + app.id + "\" twice";
        out.apps.push_back(std::move(app));
    }
    return {};
}

std::string readFaults(const json& list, const std::optional<std::string>& device,
                       FaultScript& script) {
    if (!list.is_array()) return "has \"faults\" that are not a list";
    for (std::size_t i = 0; i < list.size(); ++i) {
        auto parsed = FaultScript::parse(list[i], device);
        if (auto* error = std::get_if<std::string>(&parsed)) {
            return "has a fault " + std::to_string(i + 1) + " that " + *error;
        }
        script.add(std::get<Fault>(std::move(parsed)));
    }
    return {};
}

std::string readTV(const json& object, SimTVConfig& out, FaultScript& faults) {
    if (!object.is_object()) return "is not an object";
    if (auto key = unknownKey(object, {"id", "name", "protocols", "pin", "address", "volume",
                                       "power", "apps", "faults"});
        !key.empty()) {
        return "has an unknown key \"" + key + "\"";
    }
    if (!isNonEmptyText(object, "id")) return "has no \"id\" text";
    out.id = object["id"].get<std::string>();
    if (!isNonEmptyText(object, "name")) return "has no \"name\" text";
    out.name = object["name"].get<std::string>();
    for (auto* reader : {readProtocols, readSettings, readApps}) {
        if (auto error = reader(object, out); !error.empty()) return error;
    }
    if (auto list = object.find("faults"); list != object.end()) {
        return readFaults(*list, out.id, faults);
    }
    return {};
}

// "line 3, column 7" for a byte offset into `text`.
std::string placeOf(std::string_view text, std::size_t byte) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

std::vector<SimApp> Household::defaultApps(bool roku) {
    std::vector<SimApp> apps = {
        {"netflix",
         "Netflix",
         false,
         {{"Night Harbor", "Season 1, Episode 3", 2640},
          {"Night Harbor", "Season 1, Episode 4", 2710}}},
        {"youtube",
         "YouTube",
         false,
         {{"Building a Tiny Radio", "Workbench Weekly", 754},
          {"Ten Minutes of Rain", "Quiet Channel", 600}}},
    };
    if (roku) {
        apps.push_back({"tvinput.hdmi1", "HDMI 1", true, {}});
        apps.push_back({"tvinput.hdmi2", "HDMI 2", true, {}});
    }
    return apps;
}

Household Household::builtIn() {
    Household household;
    auto add = [&](std::string id, std::string name, std::vector<std::string> protocols,
                   std::string pin) {
        SimTVConfig tv;
        tv.id = std::move(id);
        tv.name = std::move(name);
        tv.protocols = std::move(protocols);
        tv.pin = std::move(pin);
        tv.apps = defaultApps(tv.isRoku());
        household.tvs.push_back(std::move(tv));
    };
    add("sim:living-room", "Living Room", {"AirPlay", "Companion"}, "1234");
    add("sim:kitchen", "Kitchen", {"Companion"}, "4321");
    add(TVIdentifier::forRoku("sim-bedroom"), "Bedroom TV", {}, "");
    return household;
}

std::variant<Household, std::string> Household::parse(std::string_view text) {
    if (!BoundedJson::withinDepth(text, kMaxHouseholdDepth)) {
        return "nests lists and objects more than " + std::to_string(kMaxHouseholdDepth) + " deep.";
    }
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& error) {
        return "is not valid JSON (" + placeOf(text, error.byte) + ").";
    } catch (const json::exception&) {
        return std::string("holds a number too large to read.");  // the one other parse failure
    }
    if (!root.is_object()) return std::string("is not a JSON object.");
    if (auto key = unknownKey(root, {"tvs", "faults"}); !key.empty()) {
        return "has an unknown key \"" + key + "\".";
    }
    auto tvs = root.find("tvs");
    if (tvs == root.end() || !tvs->is_array()) return std::string("has no \"tvs\" list.");

    Household household;
    FaultScript tvFaults;
    std::set<std::string> ids;
    for (std::size_t i = 0; i < tvs->size(); ++i) {
        SimTVConfig tv;
        if (auto error = readTV((*tvs)[i], tv, tvFaults); !error.empty()) {
            return "has a TV " + std::to_string(i + 1) + " that " + error + ".";
        }
        if (!ids.insert(tv.id).second) return "lists the TV \"" + tv.id + "\" twice.";
        household.tvs.push_back(std::move(tv));
    }
    // A TV's own faults come first: they are the more specific ones.
    household.faults = std::move(tvFaults);
    if (auto list = root.find("faults"); list != root.end()) {
        if (auto error = readFaults(*list, std::nullopt, household.faults); !error.empty()) {
            return error + ".";
        }
    }
    return household;
}

std::variant<Household, std::string> Household::load(const std::string& path) {
    const std::string where = "The household file \"" + path + "\"";
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return where + " cannot be read (" + systemErrorText(errno) + ").";
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return where + " cannot be read (it is not a regular file).";
    }
    std::string text;
    char chunk[65536];
    while (true) {
        const ssize_t count = ::read(fd.get(), chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return where + " cannot be read (" + systemErrorText(errno) + ").";
        if (count == 0) break;
        text.append(chunk, static_cast<std::size_t>(count));
        if (text.size() > kMaxFileSize) return where + " is larger than 16 MB.";
    }
    auto parsed = parse(text);
    if (auto* error = std::get_if<std::string>(&parsed)) return where + " " + *error;
    return parsed;
}

}  // namespace orvel
