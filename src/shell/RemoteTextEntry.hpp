#pragma once
// RemoteTextEntry: the remote's one-line field that types into the TV. Return sends what it
// holds as one `text` action (and never inserts anything); a successful send clears the field
// unless more was typed meanwhile; a failed one, or a TV that takes no text, leaves a
// sentence in textError(). It takes the focus by itself once shown in the active window, and
// again on each new focus request of the session (the shortcut while the field is shown).
//
//   auto* entry = new RemoteTextEntry(store, parent);
//   entry->setTvKind("Roku");
//   entry->setFocusRequest(store.state().focusTextRequest);   // on every refresh
//
// Owned by the remote view (a new one each time the text field appears); GUI thread. The store
// must outlive it; a send that completes after it is gone changes nothing.

#include <QLineEdit>
#include <QString>

namespace orvel {

class AppStore;

class RemoteTextEntry : public QLineEdit {
    Q_OBJECT
public:
    static constexpr const char* kNoTextEntry = "Connect to a TV that supports text entry first.";
    static constexpr const char* kNotSent = "Text could not be sent. Try again.";

    explicit RemoteTextEntry(AppStore& store, QWidget* parent = nullptr);

    // Placeholder and accessible name: "Type on " and the kind.
    void setTvKind(const QString& kind);
    // The session's focusTextRequest; each new value focuses the field once: at once when it
    // shows, else a loop turn later, once placed.
    void setFocusRequest(int request);
    // What Return does.
    void submit();
    const QString& textError() const { return textError_; }

Q_SIGNALS:
    void textErrorChanged(const QString& error);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setTextError(const QString& error);

    AppStore& store_;
    QString textError_;
    int lastFocusRequest_;
    bool focusWhenShown_ = true;
};

}  // namespace orvel
