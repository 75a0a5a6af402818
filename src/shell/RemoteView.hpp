#pragma once
// RemoteView: the remote control inside the panel: TV picker, status line and power button,
// the error line, transport and volume rows, the navigation row and pad, the text row or the
// text field, the app launcher ("Open App…", its list kept per TV while the view lives, each
// app with its icon once known) and the settings row. Every control reads the session's published state (through
// RemoteModel) and calls one AppStore operation; the view keeps only the typed text and its
// error. It follows the store by itself and asks its owner to re-fit the panel whenever its
// height changes.
//
//   RemoteView view(*store, {.showSettings = [&] { showSettings(); },
//                            .resize = [&] { panel.fitToContent(); }});
//
// Owner: the panel that shows it (a new one per showing). Thread: the GUI thread. The store
// must outlive it; its subscription ends with it.

#include <QIcon>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/NamedEntry.hpp"
#include "session/Subscription.hpp"
#include "shell/RemoteModel.hpp"

class QLabel;
class QMenu;

namespace orvel {

class AppStore;
class RemoteButton;
class RemoteTextEntry;

class RemoteView : public QWidget {
    Q_OBJECT
public:
    // What is known of one TV's apps; a new request advances the generation.
    struct KnownApps {
        std::optional<std::vector<NamedEntry>> list;
        bool loading = false;
        std::string error;
        std::uint64_t generation = 0;
    };
    using AppLists = std::map<std::string, KnownApps>;  // by TV identifier

    struct Actions {
        std::function<void()> showSettings;  // "Orvel Settings…" and "Pair New…"
        std::function<void()> resize;        // the content's height changed
        // Fetches an app icon's bytes (empty: none), answering later on the GUI thread;
        // empty: apps show no icons.
        std::function<void(const std::string& url,
                           std::function<void(const std::string& bytes)> done)>
            appIcon = {};
        // The app lists, kept by the owner from one view to the next so that a new showing
        // lists them at once; null: this view keeps its own.
        AppLists* knownApps = nullptr;
    };

    RemoteView(AppStore& store, Actions actions, QWidget* parent = nullptr);
    ~RemoteView() override;

    // The text field while text entry is shown, else null.
    RemoteTextEntry* textEntry() const;
    // True while the text field has the keyboard focus.
    bool editingText() const;

    static constexpr int kWidth = 280;

    // Reads the store now rather than at the next publication: keys typed right after a change
    // (Ctrl+K, then the text) may already be waiting behind it.
    void refresh();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void build();
    QWidget* buildHeader();
    QWidget* buildPad();
    void showTextEntry(bool shown);
    void showPickerMenu();
    void showPowerMenu(const QPoint& at);
    void showAppsMenu();
    void appsArrived(const std::string& tv, std::uint64_t generation,
                     std::optional<std::vector<NamedEntry>> apps, const std::string& error);
    void fillAppsMenu();
    // The icon at `url`, asked for the first time; null while unknown.
    QIcon appIcon(const std::string& url);
    void iconArrived(const std::string& url, const std::string& bytes);
    // Colours that widgets hold rather than read at paint time.
    void restyle();
    // Tells the owner when the height the content needs has changed.
    void fitHeight();
    int contentHeight() const;

    AppStore& store_;
    Actions actions_;
    RemoteModel model_;
    QString typed_;  // survives the text field, which is made anew each time it shows
    int height_ = 0;

    AppLists ownApps_;  // when the owner keeps none
    AppLists& apps_;
    std::set<std::string> appsAsked_;     // TVs whose list this view is waiting for
    std::string menuTV_;                  // whose apps the menu lists
    std::map<std::string, QIcon> icons_;  // by icon address
    std::set<std::string> iconsAsked_;

    RemoteButton* picker_ = nullptr;
    QMenu* pickerMenu_ = nullptr;
    QWidget* status_ = nullptr;
    QLabel* statusSymbol_ = nullptr;
    QLabel* statusText_ = nullptr;
    RemoteButton* power_ = nullptr;
    QWidget* errorLine_ = nullptr;
    QLabel* errorSymbol_ = nullptr;
    QLabel* errorText_ = nullptr;
    std::array<RemoteButton*, 5> transport_{};
    RemoteButton* mute_ = nullptr;
    QLabel* volume_ = nullptr;
    RemoteButton* volumeDown_ = nullptr;
    RemoteButton* volumeUp_ = nullptr;
    std::array<QWidget*, 2> dividers_{};
    RemoteButton* navigation_ = nullptr;
    QWidget* padRow_ = nullptr;
    QWidget* pad_ = nullptr;
    std::array<RemoteButton*, 7> padButtons_{};
    RemoteButton* textRow_ = nullptr;
    QWidget* textField_ = nullptr;
    QLabel* textChip_ = nullptr;
    RemoteTextEntry* entry_ = nullptr;
    QLabel* textError_ = nullptr;
    RemoteButton* appsRow_ = nullptr;
    QMenu* appsMenu_ = nullptr;
    RemoteButton* settings_ = nullptr;

    // Ends with the view, before QWidget takes the child widgets it refreshes.
    Subscription subscription_;
};

}  // namespace orvel
