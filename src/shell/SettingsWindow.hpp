#pragma once
// SettingsWindow: the "Orvel Settings" window around the SettingsView: a title bar with close and
// minimise buttons, not resizable, fitted to its content with its top edge kept where it was.
// Closing it ends shortcut recording. Built once by the application and then only shown.
//
//   SettingsWindow settings(*store, actions);
//   settings.present();   // the first time centred on the screen, then where it was left
//
// Owner: the application. Thread: the GUI thread. The store must outlive it.

#include <QWidget>

#include "shell/SettingsView.hpp"

namespace orvel {

class SettingsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Orvel Settings";

    SettingsWindow(AppStore& store, SettingsView::Actions actions);
    ~SettingsWindow() override;

    // Shows the window in front with the keyboard, fitted to its content.
    void present();
    // The content's size changed: re-fits on the next loop turn, keeping the top edge.
    void fitSoon();
    SettingsView& view() { return *view_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void fit();

    AppStore& store_;
    SettingsView* view_ = nullptr;
    bool placed_ = false;
    bool fitPending_ = false;
};

}  // namespace orvel
