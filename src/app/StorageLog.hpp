#pragma once
// StorageLog: how the headless app tells of storage problems (AppState::storageProblems), for
// lack of a settings window: each sentence is written once, when it first appears (at start or
// later), and never again, even if it leaves the list and comes back.
//
//   StorageLog log(StorageLog::writeToStandardError);
//   log.report(store->state().storageProblems);   // at start, then on every change
//
// Loop thread only.

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvel {

class StorageLog {
public:
    using Writer = std::function<void(const std::string& sentence)>;

    explicit StorageLog(Writer writer) : writer_(std::move(writer)) {}

    // Writes the sentences of `problems` not written before, in their order.
    void report(const std::vector<std::string>& problems);

    // "Orvel: " and the sentence, to standard error. Not to the system log: that keeps only
    // the line saying the orvel command is unavailable.
    static void writeToStandardError(const std::string& sentence);

private:
    Writer writer_;
    std::set<std::string> written_;
};

}  // namespace orvel
