#pragma once
// RemoteView: the remote control inside the panel: TV picker, status line and power button,
// the error line, transport and volume rows, the navigation row and pad, the text row or the
// text field, and the settings row. Every control reads the session's published state (through
// RemoteModel) and calls one AppStore operation; the view keeps only the typed text and its
// error. It follows the store by itself and asks its owner to re-fit the panel whenever its
// height changes.
//
//   RemoteView view(*store, {.showSettings = [&] { showSettings(); },
//                            .resize = [&] { panel.fitToContent(); }});
//
// Owner: the panel that shows it (a new one per showing). Thread: the GUI thread. The store
// must outlive it; its subscription ends with it.

#include <QWidget>
#include <functional>

#include "session/Subscription.hpp"

namespace orvel {

class AppStore;
class RemoteTextEntry;

class RemoteView : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> showSettings;  // "Orvel Settings…" and "Pair New…"
        std::function<void()> resize;        // the content's height changed
    };

    RemoteView(AppStore& store, Actions actions, QWidget* parent = nullptr);
    ~RemoteView() override;

    // The text field while text entry is shown, else null.
    RemoteTextEntry* textEntry() const;
    // True while the text field has the keyboard focus.
    bool editingText() const;
};

}  // namespace orvel
