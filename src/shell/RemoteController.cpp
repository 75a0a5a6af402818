#include "shell/RemoteController.hpp"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <QWheelEvent>
#include <QWindow>

#include "platform/Defaults.hpp"
#include "session/AppStore.hpp"
#include "shell/PanelPlacement.hpp"
#include "shell/QtKeyCodes.hpp"
#include "shell/RemoteInput.hpp"
#include "shell/RemotePanel.hpp"
#include "shell/RemoteView.hpp"

namespace orvel {

namespace {

// A wheel notch, in Qt's eighths of a degree.
constexpr double kNotch = 120;

PanelPlacement::Rect placementRect(QRect rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

bool isTextInput(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

bool menuTracking() {
    return QApplication::activePopupWidget() != nullptr;
}

// The text field of the remote's text entry: the first visible line edit, depth first.
QLineEdit* visibleTextField(QWidget& panel) {
    for (auto* field : panel.findChildren<QLineEdit*>()) {
        if (field->isVisible()) return field;
    }
    return nullptr;
}

RemoteInput::Kind kindOf(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
            return RemoteInput::Kind::keyDown;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return RemoteInput::Kind::mouseDown;
        case QEvent::Wheel:
            return RemoteInput::Kind::scroll;
        default:
            return RemoteInput::Kind::other;
    }
}

}  // namespace

RemoteController::RemoteController(AppStore& store, Defaults& defaults, Hooks hooks)
    : store_(store), defaults_(defaults), hooks_(std::move(hooks)) {
    textDismissTimer_.setObjectName(QStringLiteral("textDismissal"));
    textDismissTimer_.setInterval(kTextDismissPollMs);
    connect(&textDismissTimer_, &QTimer::timeout, this, &RemoteController::pollTextDismissal);
    qApp->installEventFilter(this);
}

RemoteController::~RemoteController() {
    // Hiding and destroying the panel sends events; none may reach a half-destroyed filter.
    qApp->removeEventFilter(this);
    if (panel_) panel_->disconnect(this);
}

void RemoteController::toggle(std::optional<QPoint> anchor) {
    if (isShown()) {
        close();
    } else {
        show(anchor);
    }
}

std::optional<RemoteController::Anchor> RemoteController::anchorFor(std::optional<QPoint> point) {
    if (point) {
        const QScreen* screen = QGuiApplication::screenAt(*point);
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (!screen) return std::nullopt;
        const QRect rect(point->x() - PanelPlacement::kAnchorWidth / 2, point->y(),
                         PanelPlacement::kAnchorWidth, 1);
        // Written at once: the next showing without a point may be in another run.
        defaults_.setDouble(
            kAnchorOffsetKey,
            PanelPlacement::anchorOffset(placementRect(rect), placementRect(screen->geometry())));
        return Anchor{rect, screen};
    }
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return std::nullopt;
    const auto rect = PanelPlacement::fallbackAnchor(placementRect(screen->geometry()),
                                                     defaults_.doubleValue(kAnchorOffsetKey));
    return Anchor{{rect.x, rect.y, rect.width, rect.height}, screen};
}

void RemoteController::show(std::optional<QPoint> anchor) {
    if (isShown()) return;
    const auto where = anchorFor(anchor);
    if (!where) return;
    store_.followPlayback();
    // The old panel goes first, so that the new view's resize requests meet only the new one.
    if (panel_) panel_->disconnect(this);
    panel_.reset();
    // `this` outlives the view: the view lives in the panel, which this owns.
    auto* view = new RemoteView(store_, {.showSettings = [this] { openSettings(); },
                                         .resize = [this] { fitSoon(); },
                                         .appIcon = hooks_.appIcon,
                                         .knownApps = &knownApps_});
    panel_ = std::make_unique<RemotePanel>(view);
    connect(panel_.get(), &RemotePanel::deactivated, this, &RemoteController::onPanelDeactivated);
    addQuitAction();
    panel_->place(where->rect, *where->screen);
    shown_ = true;
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
    // Nothing has the focus at first, so the keys go to the remote, not to a control.
    panel_->setFocus(Qt::OtherFocusReason);
    fitSoon();
    Q_EMIT shownChanged(true);
}

void RemoteController::addQuitAction() {
    if (!hooks_.quit) return;
    // The text field's editing keys (cut, copy, paste, select all) are its own already.
    auto* quit = new QAction(QStringLiteral("Quit Orvel"), panel_.get());
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::WindowShortcut);
    // Queued: quitting tears down this controller and the panel whose key is being handled.
    connect(quit, &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { hooks_.quit(); }, Qt::QueuedConnection);
    });
    panel_->addAction(quit);
}

void RemoteController::close() {
    if (!isShown()) return;
    shown_ = false;  // first: hiding deactivates the panel, which would close it again
    panel_->hide();
    cancelTextDismissal();
    store_.hideTextEntry();
    Q_EMIT shownChanged(false);
}

bool RemoteController::isShown() const {
    return shown_ && panel_ && panel_->isVisible();
}

RemotePanel* RemoteController::panel() const {
    return panel_.get();
}

void RemoteController::openSettings() {
    close();
    if (hooks_.showSettings) hooks_.showSettings();
}

void RemoteController::fitSoon() {
    // After the pending layout requests, so the content's size hint is its new one.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isShown()) panel_->fitToContent();
        },
        Qt::QueuedConnection);
}

void RemoteController::onPanelDeactivated() {
    if (!isShown() || menuTracking()) return;
    // A dialog of the panel's own keeps it, as a sheet would.
    const QWidget* active = QApplication::activeWindow();
    if (active && active->windowHandle() &&
        active->windowHandle()->transientParent() == panel_->windowHandle()) {
        return;
    }
    close();
}

bool RemoteController::editingText() const {
    const QWidget* focus = panel_ ? panel_->focusWidget() : nullptr;
    return focus && focus->hasFocus() && isTextInput(focus);
}

bool RemoteController::eventFilter(QObject* watched, QEvent* event) {
    // A window gets each input event before its widgets, and only once.
    if (!watched->isWindowType()) return false;
    const auto kind = kindOf(event->type());
    if (kind == RemoteInput::Kind::other) return false;
    auto* window = static_cast<QWindow*>(watched);
    const bool inPanel = panel_ && window == panel_->windowHandle();
    QWidget* settings = hooks_.settingsWindow ? hooks_.settingsWindow() : nullptr;

    RemoteInput::Event input;
    input.kind = kind;
    input.window = RemoteInput::Window::other;
    if (inPanel) {
        input.window = RemoteInput::Window::panel;
    } else if (settings && window == settings->windowHandle()) {
        input.window = RemoteInput::Window::settings;
    }
    const auto* inputEvent = static_cast<QInputEvent*>(event);
    input.modifiers = QtKeyCodes::modifiers(inputEvent->modifiers());
    input.time = static_cast<double>(inputEvent->timestamp()) / 1000.0;
    if (kind == RemoteInput::Kind::keyDown) {
        const auto* key = static_cast<QKeyEvent*>(event);
        input.keyCode = QtKeyCodes::keyCode(key->key(), key->modifiers());
    } else if (kind == RemoteInput::Kind::scroll) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        // Touchpads report pixels; wheels only angles, a notch being one step.
        if (!wheel->pixelDelta().isNull()) {
            input.dx = wheel->pixelDelta().x();
            input.dy = wheel->pixelDelta().y();
        } else {
            input.dx = wheel->angleDelta().x() / kNotch;
            input.dy = wheel->angleDelta().y() / kNotch;
        }
    } else if (isShown() && !inPanel && !menuTracking() &&
               window->transientParent() != panel_->windowHandle()) {
        // A click in another of our windows; clicks elsewhere take the panel's activation.
        close();
        return false;
    }

    const AppState& state = store_.state();
    const RemoteInput::Context context{
        .recordingShortcut = state.recordingShortcut,
        .settingsWindowExists = settings != nullptr,
        .panelVisible = panel_ && panel_->isVisible(),
        .panelActive = panel_ && panel_->isActiveWindow(),
        .menuTracking = menuTracking(),
        .editingText = editingText(),
        .connected = state.connected,
        .playing = state.playing,
        .capabilities = state.capabilities,
        .lastScroll = lastScroll_,
    };
    const auto verdict = RemoteInput::decide(input, context);
    if (verdict.lastScroll) lastScroll_ = verdict.lastScroll;
    switch (verdict.effect) {
        case RemoteInput::Effect::none:
            break;
        case RemoteInput::Effect::recordShortcut:
            if (hooks_.recordShortcut) {
                const auto* key = static_cast<QKeyEvent*>(event);
                hooks_.recordShortcut(*input.keyCode, input.modifiers,
                                      QKeySequence(key->key()).toString().toStdString());
            }
            break;
        case RemoteInput::Effect::close:
            close();
            break;
        case RemoteInput::Effect::focusText:
            store_.focusText();
            if (auto* view = panel_ ? qobject_cast<RemoteView*>(panel_->content()) : nullptr)
                view->refresh();
            break;
        case RemoteInput::Effect::showSettings:
            store_.setSettingsTab("general");
            openSettings();
            break;
        case RemoteInput::Effect::send:
            store_.send(*verdict.action);
            break;
        case RemoteInput::Effect::panelClick:
            onPanelClick(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            break;
    }
    return verdict.swallow;
}

void RemoteController::onPanelClick(QPoint globalPosition) {
    cancelTextDismissal();
    QLineEdit* field = visibleTextField(*panel_);
    if (!field || field->rect().contains(field->mapFromGlobal(globalPosition))) return;
    if (QWidget* focus = panel_->focusWidget()) focus->clearFocus();
    dismissTextAfterClick();
}

void RemoteController::dismissTextAfterClick() {
    pendingTextDismissal_ = store_.state().focusTextRequest;
    textDismissTimer_.start();
}

void RemoteController::cancelTextDismissal() {
    pendingTextDismissal_.reset();
    textDismissTimer_.stop();
}

void RemoteController::pollTextDismissal() {
    if (!pendingTextDismissal_ || store_.state().focusTextRequest != *pendingTextDismissal_) {
        // The field was asked to take the focus again: it stays.
        cancelTextDismissal();
        return;
    }
    if (QGuiApplication::mouseButtons() != Qt::NoButton || menuTracking()) return;
    cancelTextDismissal();
    store_.hideTextEntry();
}

}  // namespace orvel
