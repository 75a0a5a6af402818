#include "shell/Clipboard.hpp"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace orvel::Clipboard {

void putText(const std::string& text) {
    if (auto* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(QString::fromStdString(text));
    }
}

}  // namespace orvel::Clipboard
