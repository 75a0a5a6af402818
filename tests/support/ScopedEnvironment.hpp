#pragma once
// ScopedEnvironment: environment variables set for one test (and the programs it starts),
// each put back as it was when the object goes. Not thread-safe: set up before threads start.
//
//   ScopedEnvironment locale{"LC_ALL", "C"};
//   locale.set("XDG_DATA_HOME", dir / "data");

#include <stdlib.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace orvel::test {

// NOLINTBEGIN(concurrency-mt-unsafe): unsafe only beside other threads, and none run yet
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const char* name, const std::string& value) { set(name, value); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    void set(const char* name, const std::string& value) {
        save(name);
        ::setenv(name, value.c_str(), 1);
    }
    void unset(const char* name) {
        save(name);
        ::unsetenv(name);
    }
    // The value of `name`; empty when it is not set.
    static std::string get(const char* name) {
        const char* value = std::getenv(name);
        return value ? value : "";
    }

private:
    void save(const char* name) {
        if (saved_.contains(name)) return;
        const char* old = std::getenv(name);
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }

    std::map<std::string, std::optional<std::string>> saved_;
};
// NOLINTEND(concurrency-mt-unsafe)

}  // namespace orvel::test
