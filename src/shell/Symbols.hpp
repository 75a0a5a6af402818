#pragma once
// Symbols: the remote's symbol names ("play.fill", "chevron.up", "gobackward.10", ...) as
// icons. Where the desktop's icon theme has a matching icon it is used; otherwise, and always
// when drawn directly, the shape is our own, painted in the colour given (the palette's text
// colour as a rule), so the remote looks whole without any theme (offscreen, bare desktops).
//
//   button->setIcon(Symbols::icon("house", palette().color(QPalette::ButtonText), 16));
//   Symbols::paint(painter, QRectF(0, 0, 14, 14), "play.fill", Qt::white);
//
// Stateless; GUI thread (QPixmap).

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <string_view>

class QPainter;

namespace orvel {

class Symbols {
public:
    // The theme's icon where it has one, else ours, at `size` points (1x and 2x pixmaps, and a
    // faded one for the disabled state).
    static QIcon icon(std::string_view name, const QColor& color, int size);
    // Ours only, as a pixmap of `size` points at `devicePixelRatio`.
    static QPixmap pixmap(std::string_view name, const QColor& color, int size,
                          qreal devicePixelRatio = 2);
    // Draws our shape into `box` (square shapes are centred in it); false for a name we do
    // not draw, which paints nothing.
    static bool paint(QPainter& painter, const QRectF& box, std::string_view name,
                      const QColor& color);
    // The freedesktop icon name standing for `name`; empty when there is none.
    static const char* themeName(std::string_view name);
};

}  // namespace orvel
