#include "platform/Defaults.hpp"
#include "platform/SystemError.hpp"

#include <cerrno>
#include <cmath>
#include <system_error>
#include <utility>

#include "platform/AtomicFile.hpp"
#include "platform/JsonFile.hpp"

namespace orvel {
namespace {

using nlohmann::json;

bool isBool(const json& value) {
    return value.is_boolean();
}
bool isNumber(const json& value) {
    return value.is_number();
}
bool isString(const json& value) {
    return value.is_string();
}
bool isAnything(const json&) {
    return true;
}

// 2^63: the first double past the int64 range.
constexpr double kInt64Limit = 9223372036854775808.0;

bool isInt(const json& value) {
    if (value.is_number_unsigned())
        return value.get<std::uint64_t>() <= static_cast<std::uint64_t>(INT64_MAX);
    if (value.is_number_integer()) return true;
    if (!value.is_number_float()) return false;
    double number = value.get<double>();
    return std::isfinite(number) && std::trunc(number) == number && number >= -kInt64Limit &&
           number < kInt64Limit;
}

}  // namespace

Defaults::Defaults(std::string filePath) : path_(std::move(filePath)) {
    load();
}

Defaults::Defaults(std::string filePath, ReadOnly) : path_(std::move(filePath)), readOnly_(true) {
    load();
}

std::optional<json> Defaults::decode(const std::string& text) {
    return JsonFile::parseObject(text);
}

void Defaults::load() {
    if (path_.empty()) return;
    std::string text;
    auto error = AtomicFile::read(path_, text, kMaxFileBytes);
    // No file there (ENOTDIR: a file stands where a folder should): nothing to keep aside.
    if (error && (error->number == ENOENT || error->number == ENOTDIR)) return;
    if (!error) {
        if (auto decoded = decode(text)) {
            values_ = std::move(*decoded);
            return;
        }
    }
    unusable_ = "The settings file \"" + path_ + "\" could not be " +
                (error ? "read (" + systemErrorText(error->number) + ")" : "understood");
    if (!readOnly_) moveAside();
}

bool Defaults::moveAside() {
    std::string movedTo;
    auto error = AtomicFile::moveAside(path_, movedTo);
    const std::string& what = unusable_;
    if (error) {
        blockedByFile_ = true;
        loadProblem_ = what + " and could not be moved aside (" + systemErrorText(error->number) +
                       "), so the default settings apply and changes are not saved.";
        return false;
    }
    blockedByFile_ = false;
    if (!movedTo.empty()) {
        movedAsidePath_ = movedTo;
        loadProblem_ =
            what + ", so it was moved to \"" + movedTo + "\" and the default settings apply.";
    }
    return true;
}

void Defaults::registerDefaults(const json& values) {
    if (!values.is_object()) return;
    for (const auto& [key, value] : values.items()) registered_[key] = value;
}

const json* Defaults::lookup(const std::string& key, bool (*fits)(const json&)) const {
    for (const json* source : {&values_, &registered_}) {
        auto found = source->find(key);
        if (found != source->end() && fits(*found)) return &*found;
    }
    return nullptr;
}

std::optional<bool> Defaults::boolValue(const std::string& key) const {
    if (const json* value = lookup(key, isBool)) return value->get<bool>();
    return std::nullopt;
}

std::optional<std::int64_t> Defaults::intValue(const std::string& key) const {
    const json* value = lookup(key, isInt);
    if (!value) return std::nullopt;
    if (value->is_number_float()) return static_cast<std::int64_t>(value->get<double>());
    return value->get<std::int64_t>();
}

std::optional<double> Defaults::doubleValue(const std::string& key) const {
    if (const json* value = lookup(key, isNumber)) return value->get<double>();
    return std::nullopt;
}

std::optional<std::string> Defaults::stringValue(const std::string& key) const {
    if (const json* value = lookup(key, isString)) return value->get<std::string>();
    return std::nullopt;
}

std::optional<json> Defaults::jsonValue(const std::string& key) const {
    if (const json* value = lookup(key, isAnything)) return *value;
    return std::nullopt;
}

bool Defaults::contains(const std::string& key) const {
    return values_.contains(key);
}

void Defaults::setBool(const std::string& key, bool value) {
    store(key, value);
}
void Defaults::setInt(const std::string& key, std::int64_t value) {
    store(key, value);
}
void Defaults::setString(const std::string& key, std::string value) {
    store(key, std::move(value));
}
void Defaults::setJson(const std::string& key, json value) {
    store(key, std::move(value));
}

void Defaults::setDouble(const std::string& key, double value) {
    if (std::isfinite(value)) store(key, value);
}

void Defaults::saveKeepingError() {
    // A failure stays in lastWriteError_ and the next change or save() retries it.
    static_cast<void>(save());
}

void Defaults::store(const std::string& key, json value) {
    if (value.is_discarded()) return;
    auto found = values_.find(key);
    if (found != values_.end() && *found == value && !dirty_) return;
    values_[key] = std::move(value);
    dirty_ = true;
    saveKeepingError();
}

void Defaults::setValues(const json& values) {
    if (!values.is_object()) return;
    for (const auto& [key, value] : values.items()) {
        if (value.is_discarded()) continue;
        auto found = values_.find(key);
        if (found != values_.end() && *found == value) continue;
        values_[key] = value;
        dirty_ = true;
    }
    saveKeepingError();
}

void Defaults::remove(const std::string& key) {
    if (values_.erase(key) == 0) return;
    dirty_ = true;
    saveKeepingError();
}

Result<void> Defaults::save() {
    if (!dirty_ || readOnly_) return {};
    auto result = write();
    // A copy: the hook may replace itself.
    if (auto hook = onWrite_) hook();
    return result;
}

Result<void> Defaults::write() {
    if (path_.empty()) {
        lastWriteError_ = "Settings cannot be saved because no home folder is known.";
        return Failure{lastWriteError_};
    }
    if (blockedByFile_ && !moveAside()) {
        lastWriteError_ = "Settings are not saved because the unreadable file \"" + path_ +
                          "\" could not be moved aside.";
        return Failure{lastWriteError_};
    }
    auto error = AtomicFile::makeFolders(AtomicFile::folderOf(path_), 0700);
    if (!error)
        error = AtomicFile::write(path_, JsonFile::encodeLenient(values_),
                                  AtomicFile::Access::OwnerOnly);
    if (error) {
        lastWriteError_ = "Settings could not be saved to \"" + path_ +
                          "\": " + systemErrorText(error->number) + ".";
        return Failure{lastWriteError_};
    }
    dirty_ = false;
    lastWriteError_.clear();
    return {};
}

}  // namespace orvel
