#include "shell/NoticesWindow.hpp"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextDocument>
#include <QVBoxLayout>

#include "shell/Acknowledgements.hpp"

namespace orvel {

NoticesWindow::NoticesWindow(const std::string& notices, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Acknowledgements"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinMaxButtonsHint);
    // Closing only hides it, so the next showing is the same window where the user left it.
    setAttribute(Qt::WA_DeleteOnClose, false);

    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(kTextPoints);
    text_->setFont(font);
    text_->document()->setDocumentMargin(kTextInset);
    text_->setFrameShape(QFrame::NoFrame);
    const QString help = QStringLiteral("Licence notices of the libraries Orvel Remote uses");
    text_->setToolTip(help);
    text_->setAccessibleName(help);
    text_->setPlainText(QString::fromUtf8(notices.data(), static_cast<qsizetype>(notices.size())));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    resize(kWidth, kHeight);
}

NoticesWindow::~NoticesWindow() = default;

NoticesWindow& NoticesWindow::present(std::unique_ptr<NoticesWindow>& slot,
                                      const std::string& executableDirectory) {
    if (!slot) {
        slot = std::make_unique<NoticesWindow>(Acknowledgements::text(executableDirectory));
        slot->centreOnScreen();
    }
    slot->showAndRaise();
    return *slot;
}

void NoticesWindow::showAndRaise() {
    show();
    raise();
    activateWindow();
}

void NoticesWindow::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // The content's rectangle: the frame's margins are not known before the first showing.
    QRect content(QPoint(), size());
    content.moveCenter(screen->availableGeometry().center());
    setGeometry(content);
}

}  // namespace orvel
