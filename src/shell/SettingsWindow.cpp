#include "shell/SettingsWindow.hpp"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "session/AppStore.hpp"

namespace orvel {

SettingsWindow::SettingsWindow(AppStore& store, SettingsView::Actions actions)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint | Qt::CustomizeWindowHint),
      store_(store) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(QString::fromUtf8(kTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto resize = std::move(actions.resize);
    // The view is this window's child, so it never calls after the window is gone.
    actions.resize = [this, resize = std::move(resize)] {
        fitSoon();
        if (resize) resize();
    };
    view_ = new SettingsView(store_, std::move(actions), /*aboutExpanded=*/false, this);
    layout->addWidget(view_);
    fit();
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::present() {
    fit();
    if (!placed_) {
        placed_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    showNormal();
    raise();
    activateWindow();
}

void SettingsWindow::fitSoon() {
    if (fitPending_) return;
    fitPending_ = true;
    QTimer::singleShot(0, this, [this] {
        fitPending_ = false;
        fit();
    });
}

void SettingsWindow::fit() {
    layout()->activate();
    const int width = SettingsView::kWidth;
    const int height =
        view_->hasHeightForWidth() ? view_->heightForWidth(width) : view_->sizeHint().height();
    // A window resized keeps its top-left corner: it grows and shrinks downwards.
    const QPoint top = pos();
    setFixedSize(width, height);
    if (isVisible() && pos() != top) move(top);
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    store_.setRecordingShortcut(false);
    QWidget::closeEvent(event);
}

}  // namespace orvel
