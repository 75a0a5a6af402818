#pragma once
// SettingsWidgets: the settings view's small kit of widgets, measures and colours, shared by
// the files of SettingsView (its sections and its rows). Internal to the shell; GUI thread.

#include <QColor>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <vector>

#include "shell/SettingsModel.hpp"
#include "shell/WidgetText.hpp"

namespace orvel::SettingsWidgets {

using WidgetText::faded;
using WidgetText::setHelp;
using WidgetText::words;

inline constexpr int kSettingsMargin = 16;
inline constexpr int kSettingsGap = 8;
inline constexpr int kSettingsRow = 28;
inline constexpr int kSettingsNameWidth = 150;
inline constexpr qreal kSecondaryText = 0.6;
inline const QColor kOrange(0xE0, 0x7A, 0x10);
inline const QColor kGreen(0x34, 0xC7, 0x59);

inline void setColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

inline void setSmall(QWidget* widget) {
    QFont font = widget->font();
    font.setPixelSize(11);
    widget->setFont(font);
}

inline QLabel* label(const QString& text, QWidget* parent, bool wraps = false) {
    auto* result = new QLabel(text, parent);
    result->setWordWrap(wraps);
    return result;
}

inline QLabel* heading(const QString& text, QWidget* parent) {
    auto* result = label(text, parent);
    QFont font = result->font();
    font.setBold(true);
    result->setFont(font);
    return result;
}

// A borderless button that reads as a link (coloured by restyle()).
inline QPushButton* linkButton(QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setProperty("link", true);
    return button;
}

inline void setLinkColour(QWidget* button, const QPalette& from) {
    QPalette palette = button->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::ButtonText, from.color(group, QPalette::Link));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                     faded(from.color(QPalette::WindowText), 0.35));
    button->setPalette(palette);
}

inline QPushButton* pushButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    setHelp(button, text);
    return button;
}

inline QProgressBar* spinner(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(36, 6);
    return bar;
}

inline QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    return line;
}

inline QHBoxLayout* row(QWidget* parent = nullptr) {
    auto* layout = parent ? new QHBoxLayout(parent) : new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kSettingsGap);
    return layout;
}

inline QVBoxLayout* column(QWidget* parent) {
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    return layout;
}

inline QPixmap dotPixmap(SettingsModel::Dot dot, const QPalette& palette) {
    QPixmap pixmap(16, 16);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(
        dot == SettingsModel::Dot::off ? faded(palette.color(QPalette::WindowText), 0.3) : kGreen);
    painter.drawEllipse(QRectF(0.5, 0.5, 7, 7));
    return pixmap;
}

// The TV of `id` in `list`, copied: the list may change before the copy is used.
inline std::optional<TVDevice> deviceIn(const std::vector<TVDevice>& list, const std::string& id) {
    for (const TVDevice& tv : list) {
        if (tv.id == id) return tv;
    }
    return std::nullopt;
}

}  // namespace orvel::SettingsWidgets
