#include "shell/RemoteTextEntry.hpp"

#include <QKeyEvent>
#include <QPalette>
#include <QPointer>
#include <QTimer>

#include "session/AppStore.hpp"

namespace orvel {

RemoteTextEntry::RemoteTextEntry(AppStore& store, QWidget* parent)
    : QLineEdit(parent), store_(store), lastFocusRequest_(store.state().focusTextRequest) {
    setFrame(false);
    QFont sized = font();
    sized.setPixelSize(13);  // the remote's 13 points, one point a logical pixel
    setFont(sized);
    // The row behind it paints the field's background.
    QPalette clear = palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    setPalette(clear);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RemoteTextEntry::setTvKind(const QString& kind) {
    const QString placeholder = QStringLiteral("Type on ") + kind;
    setPlaceholderText(placeholder);
    setAccessibleName(placeholder);
    setToolTip(placeholder);
}

void RemoteTextEntry::setFocusRequest(int request) {
    if (request == lastFocusRequest_) return;
    lastFocusRequest_ = request;
    // A field already showing takes the keys at once, before any typed behind the request.
    if (isVisible()) {
        setFocus(Qt::ShortcutFocusReason);
        return;
    }
    // Otherwise after the refresh that asked for it has placed the field.
    QTimer::singleShot(0, this, [this] { setFocus(Qt::ShortcutFocusReason); });
}

void RemoteTextEntry::submit() {
    setTextError({});
    if (!store_.can(RemoteAction::text)) {
        setTextError(QString::fromUtf8(kNoTextEntry));
        return;
    }
    const QString sent = text();
    QPointer<RemoteTextEntry> self(this);
    store_.send(RemoteAction::text, {.text = sent.toStdString()}, [self, sent](bool accepted) {
        if (!self) return;
        if (accepted) {
            if (self->text() == sent) self->clear();
            return;
        }
        // This send's own reason: the error line may still show an older one.
        const std::string& error = self->store_.lastCommandError();
        self->setTextError(error.empty() ? QString::fromUtf8(kNotSent)
                                         : QString::fromStdString(error));
    });
}

void RemoteTextEntry::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        submit();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void RemoteTextEntry::showEvent(QShowEvent* event) {
    QLineEdit::showEvent(event);
    if (!focusWhenShown_) return;
    focusWhenShown_ = false;
    // At once in an active window: what is typed right after Ctrl+K may already be queued.
    if (window()->isActiveWindow()) {
        setFocus(Qt::OtherFocusReason);
        return;
    }
    QTimer::singleShot(0, this, [this] {
        if (window()->isActiveWindow()) setFocus(Qt::OtherFocusReason);
    });
}

void RemoteTextEntry::setTextError(const QString& error) {
    if (error == textError_) return;
    textError_ = error;
    Q_EMIT textErrorChanged(textError_);
}

}  // namespace orvel
