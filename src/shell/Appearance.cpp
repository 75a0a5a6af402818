#include "shell/Appearance.hpp"

#include <QApplication>
#include <QColor>
#include <QStyle>

namespace orvel::Appearance {

QPalette lightPalette() {
    QPalette light = QApplication::style()->standardPalette();
    light.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF4));
    light.setColor(QPalette::WindowText, QColor(0x1C, 0x1C, 0x1E));
    light.setColor(QPalette::Text, QColor(0x1C, 0x1C, 0x1E));
    light.setColor(QPalette::Highlight, QColor(0x00, 0x7A, 0xFF));
    light.setColor(QPalette::HighlightedText, Qt::white);
    light.setColor(QPalette::Link, QColor(0x00, 0x66, 0xCC));
    return light;
}

QPalette darkPalette() {
    QPalette dark;
    const QColor window(0x26, 0x26, 0x28);
    const QColor text(0xEC, 0xEC, 0xEE);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, QColor(0x1C, 0x1C, 0x1E));
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, QColor(0x33, 0x33, 0x36));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
    dark.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(0x4D, 0xA3, 0xFF));
    dark.setColor(QPalette::ToolTipBase, window);
    dark.setColor(QPalette::ToolTipText, text);
    return dark;
}

}  // namespace orvel::Appearance
