#pragma once
// NoticesWindow: the "Acknowledgements" window, the licence notices in a read-only, selectable
// plain-text view that wraps to the window's width. Built once by its owner and from then on
// only shown and raised; closing it hides it.
//
//   std::unique_ptr<NoticesWindow> notices;               // the owner's slot
//   NoticesWindow::present(notices, Acknowledgements::executableDirectory());
//
// Owner: whoever opens it (the desktop app), through present(). Thread: the GUI thread. Ends
// with destruction.

#include <QWidget>
#include <memory>
#include <string>

class QPlainTextEdit;

namespace orvel {

class NoticesWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 620;
    static constexpr int kHeight = 440;
    static constexpr int kTextPoints = 12;
    static constexpr int kTextInset = 16;

    explicit NoticesWindow(const std::string& notices, QWidget* parent = nullptr);
    ~NoticesWindow() override;

    // The first call builds the window into `slot` from the notices found for the program in
    // `executableDirectory` and centres it on its screen; every call shows, raises and
    // activates it.
    static NoticesWindow& present(std::unique_ptr<NoticesWindow>& slot,
                                  const std::string& executableDirectory);

    void showAndRaise();
    QPlainTextEdit* textView() const { return text_; }

private:
    void centreOnScreen();

    QPlainTextEdit* text_ = nullptr;
};

}  // namespace orvel
