#pragma once
// The session harness (a store on a virtual clock and a scripted bridge) for the shell's tests,
// the Bedroom TV's "state" event with the actions it takes, and the texts a window shows.

#include <QLabel>
#include <initializer_list>

#include <nlohmann/json.hpp>

#include "../session/SessionHarness.hpp"

namespace orvel::test {

inline nlohmann::json stateWith(std::initializer_list<const char*> capabilities) {
    nlohmann::json list = nlohmann::json::array();
    for (const char* action : capabilities) list.push_back(action);
    return {{"event", "state"}, {"device", kBedroom.id}, {"capabilities", list}, {"power", "On"}};
}

// The labels' texts that `root` shows (or would, once shown itself).
inline QStringList shownTexts(const QWidget& root) {
    QStringList texts;
    for (auto* label : root.findChildren<QLabel*>()) {
        if (label->isVisibleTo(&root) && !label->text().isEmpty()) texts << label->text();
    }
    return texts;
}

}  // namespace orvel::test
