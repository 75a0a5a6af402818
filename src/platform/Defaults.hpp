#pragma once
// Defaults: the user's settings, one JSON object in
// "$XDG_CONFIG_HOME/Orvel Remote/defaults.json", read once at construction and written whole
// after every change.
//
//   Defaults defaults(AppPaths::defaultsFile(AppPaths::processEnvironment()).value_or(""));
//   defaults.registerDefaults({{"mediaKeys", true}});
//   bool mediaKeys = defaults.boolValue("mediaKeys").value_or(true);
//   defaults.setBool("mediaKeys", false);   // the file is replaced atomically
//
// Reads give the stored value when it has the asked type, else the registered default when
// that has it, else nothing. Registered defaults live in memory only. A file that cannot be
// read or parsed is moved aside (defaults.json.corrupt, .corrupt.1, ...) and never
// overwritten; until it is out of the way nothing is written. A failed write leaves the
// values in memory, is kept in lastWriteError() and is retried by the next change or save().
// The file is owner-only (0600): it names the user's TVs.
// Other processes may write the same file at once: each writes a whole file and the last
// rename wins.
//
// Owned by the session; one thread (the main loop). Not thread-safe. Never throws.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/Result.hpp"

namespace orvel {

class Defaults {
public:
    // Files larger than this are not settings; they are moved aside like unreadable ones.
    static constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

    explicit Defaults(std::string filePath);
    // Reads `filePath` like the other constructor but never changes it: an unusable file stays
    // where it is (the defaults apply) and changes live in memory only, with no error.
    struct ReadOnly {};
    Defaults(std::string filePath, ReadOnly);
    Defaults(const Defaults&) = delete;
    Defaults& operator=(const Defaults&) = delete;

    // Merges the keys of `values` (a JSON object; anything else is ignored) into the
    // registered defaults.
    void registerDefaults(const nlohmann::json& values);

    std::optional<bool> boolValue(const std::string& key) const;
    // Integers, and numbers with no fractional part that fit.
    std::optional<std::int64_t> intValue(const std::string& key) const;
    std::optional<double> doubleValue(const std::string& key) const;  // any number
    std::optional<std::string> stringValue(const std::string& key) const;
    // The stored value of any type, else the registered one.
    std::optional<nlohmann::json> jsonValue(const std::string& key) const;
    // Whether a value is stored (registered defaults do not count).
    bool contains(const std::string& key) const;

    void setBool(const std::string& key, bool value);
    void setInt(const std::string& key, std::int64_t value);
    // NaN and infinities have no JSON form and are not stored.
    void setDouble(const std::string& key, double value);
    void setString(const std::string& key, std::string value);
    void setJson(const std::string& key, nlohmann::json value);
    // Stores every key of `values` (a JSON object) with one write.
    void setValues(const nlohmann::json& values);
    void remove(const std::string& key);

    // Writes the values if a change is not on disk yet. Succeeds when the file holds them;
    // otherwise the sentence lastWriteError() keeps.
    Result<void> save();

    // Called after every attempt to write the file, whether it worked or not; lastWriteError()
    // and loadProblem() tell how it went. One hook; an empty one removes it.
    void setOnWrite(std::function<void()> hook) { onWrite_ = std::move(hook); }

    // Empty after a successful write; otherwise why the last write failed, as one sentence.
    const std::string& lastWriteError() const { return lastWriteError_; }
    // Empty unless the file found at construction could not be used; then one sentence, which
    // changes once a later write manages to move it aside.
    const std::string& loadProblem() const { return loadProblem_; }
    // Where an unusable file was moved; empty when none was.
    const std::string& movedAsidePath() const { return movedAsidePath_; }
    const std::string& path() const { return path_; }

    // The values a file's text holds: nothing unless it is one JSON object.
    static std::optional<nlohmann::json> decode(const std::string& text);

private:
    void load();
    bool moveAside();
    const nlohmann::json* lookup(const std::string& key, bool (*fits)(const nlohmann::json&)) const;
    void store(const std::string& key, nlohmann::json value);
    void saveKeepingError();
    Result<void> write();

    std::string path_;
    nlohmann::json values_ = nlohmann::json::object();
    nlohmann::json registered_ = nlohmann::json::object();
    bool readOnly_ = false;
    bool dirty_ = false;          // memory holds changes the file does not
    bool blockedByFile_ = false;  // an unusable file still sits at path_
    std::string unusable_;        // what was wrong with the file at path_
    std::string lastWriteError_;
    std::string loadProblem_;
    std::string movedAsidePath_;
    std::function<void()> onWrite_;
};

}  // namespace orvel
