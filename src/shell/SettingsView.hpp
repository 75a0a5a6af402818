#pragma once
// SettingsView: the content of the settings window: the paired TVs with their menus, the
// pairing flow with its code field, the TVs found nearby, the preference switches, the
// shortcut and the command-line install, the storage notes, the error line and the footer with
// About. Every control shows the session's published state (through SettingsModel) and calls
// one AppStore operation; the view keeps only the install note and whether About shows. A
// pairing that ends without an error takes the view back to the general tab.
//
//   SettingsView view(*store, {.requestAccess = [&] { keys.requestAccess(); },
//                              .showNotices = [&] { notices.show(); },
//                              .resize = [&] { window.fitToContent(); }, ...});
//
// Owner: the settings window (built once). Thread: the GUI thread. The store must outlive it;
// its subscription ends with it.

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "session/AppState.hpp"
#include "session/Subscription.hpp"
#include "shell/SettingsModel.hpp"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace orvel {

class AppStore;

class SettingsView : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> requestAccess = {};  // the media-key line's button
        std::function<void()> showNotices = {};    // "Acknowledgements"
        std::function<void()> resize = {};         // the content's size changed
        // Installs the command-line tool and returns the note to show.
        std::function<std::string()> install = {};
        std::function<void()> quit = {};  // "Quit Orvel"
        std::string installNote = {};     // the note at opening; empty: not installed
        std::string builtOn = {};         // the About section's credit line
        std::string accessStep = SettingsModel::kAskDesktop;
    };

    static constexpr int kWidth = 360;

    SettingsView(AppStore& store, Actions actions, bool aboutExpanded, QWidget* parent = nullptr);
    ~SettingsView() override;

    // Reads the store now rather than at the next publication.
    void refresh();
    const SettingsModel& model() const { return model_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void build();
    QWidget* buildTVs();
    QWidget* buildPairing();
    QWidget* buildNearby();
    QWidget* buildPreferences();
    QWidget* buildFooter();
    QCheckBox* addSwitch(QVBoxLayout* column, const char* label,
                         std::function<void(AppStore&, bool)> set);
    void fillSaved();
    void fillNearby();
    void restyle();
    void install();

    AppStore& store_;
    Actions actions_;
    bool aboutExpanded_;
    std::string installNote_;
    SettingsModel model_;
    AppState seen_;  // what the last refresh read, to tell a pairing that has just ended
    bool refreshing_ = false;

    QPushButton* tvsButton_ = nullptr;
    QLabel* noSaved_ = nullptr;
    QScrollArea* savedScroll_ = nullptr;
    QWidget* savedList_ = nullptr;
    std::vector<SettingsModel::SavedRow> savedShown_;

    QWidget* pairing_ = nullptr;
    QLabel* pairingPrompt_ = nullptr;
    QLineEdit* pin_ = nullptr;
    QProgressBar* pairingBusy_ = nullptr;
    QPushButton* pair_ = nullptr;

    QWidget* nearby_ = nullptr;
    QLabel* nearbyHeading_ = nullptr;
    QProgressBar* scanningBar_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QWidget* nearbyList_ = nullptr;
    QLabel* noNearby_ = nullptr;
    QLabel* nearbyNotice_ = nullptr;
    std::vector<SettingsModel::NearbyRow> nearbyShown_;

    QCheckBox* login_ = nullptr;
    QCheckBox* follow_ = nullptr;
    QCheckBox* tray_ = nullptr;
    QLabel* trayHint_ = nullptr;
    QCheckBox* mediaControls_ = nullptr;
    QCheckBox* mediaKeys_ = nullptr;
    QCheckBox* commandVolume_ = nullptr;
    QPushButton* accessButton_ = nullptr;
    QLabel* accessText_ = nullptr;
    QLabel* shortcutError_ = nullptr;
    QPushButton* shortcut_ = nullptr;
    QPushButton* install_ = nullptr;
    QLabel* installNoteLabel_ = nullptr;
    QLabel* storage_ = nullptr;

    QWidget* errorLine_ = nullptr;
    QLabel* errorText_ = nullptr;
    QAbstractButton* dismissError_ = nullptr;

    QPushButton* about_ = nullptr;
    QWidget* aboutSection_ = nullptr;
    QLabel* aboutTitle_ = nullptr;

    Subscription subscription_;
};

}  // namespace orvel
