#pragma once
// RemoteWidgets: the remote panel's measures and the small helpers that dress its buttons,
// shared by the files of RemoteView. Internal to the shell; GUI thread.

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <string_view>

#include "shell/RemoteButton.hpp"
#include "shell/RemoteModel.hpp"
#include "shell/Symbols.hpp"
#include "shell/WidgetText.hpp"

namespace orvel::RemoteWidgets {

using WidgetText::faded;
using WidgetText::setHelp;
using WidgetText::words;

// Layout constants of the remote, in pixels.
inline constexpr int kMargin = 14;
inline constexpr int kRowInset = 5;
inline constexpr int kGap = 8;
inline constexpr int kRowHeight = 32;
inline constexpr int kControlHeight = 36;
inline constexpr int kTransportWidth = 36;
inline constexpr int kCircle = 26;
inline constexpr int kPad = 144;
inline constexpr int kDirection = 38;
inline constexpr int kCentre = 46;
inline constexpr int kFieldHeight = 18;
inline constexpr qreal kSecondary = 0.55;
// The seek symbols carry their "10" inside the ring, which needs the room.
inline constexpr std::array<qreal, 5> kTransportPoints{14, 17, 20, 17, 14};

// The remote's sizes are points of one logical pixel each.
inline void setPoints(QWidget* widget, int points, QFont::Weight weight = QFont::Normal) {
    QFont font = widget->font();
    font.setPixelSize(points);
    font.setWeight(weight);
    widget->setFont(font);
}

inline void apply(RemoteButton* button, const RemoteModel::Button& model, qreal points = 0) {
    button->setSymbol(model.symbol, points);
    button->setHelp(words(model.help));
    button->setEnabled(model.enabled);
}

inline void apply(RemoteButton* button, const RemoteModel::Row& row, bool turned = false) {
    const bool trailingSymbol = row.trailing.find('.') != std::string::npos;
    button->setRow(words(row.title), row.symbol, trailingSymbol ? QString() : words(row.trailing),
                   trailingSymbol ? row.trailing : std::string(), turned);
    button->setHelp(words(row.help.empty() ? row.title : row.help));
    button->setEnabled(row.enabled);
}

inline QPixmap chipPixmap(std::string_view symbol, const QPalette& palette) {
    QPixmap tile(RemoteButton::kChip * 2, RemoteButton::kChip * 2);
    tile.setDevicePixelRatio(2);
    tile.fill(Qt::transparent);
    QPainter painter(&tile);
    RemoteButton::paintChip(painter, {0, 0}, symbol, palette);
    return tile;
}

}  // namespace orvel::RemoteWidgets
