#pragma once
// OrvelMark: the logo drawn from code instead of shipped images: a rounded body with a leaf on
// top, and the tray icon cut from the leaf glyph (OrvelLeaf). Pure drawing, no state.
//
//   QPainterPath mark = OrvelMark::path(QRectF(0, 0, 64, 64));
//   QImage icon = OrvelMark::trayImage(22, /*darkPanel=*/true);
//
// Owner: none. Thread: any (QImage and QPainterPath only, no widgets). Nothing to end.

#include <QImage>
#include <QPainterPath>
#include <QRectF>

namespace orvel::OrvelMark {

// The outline in a unit square (y down), scaled to the rect's size and moved to its origin:
// the body and the leaf as two closed subpaths, filled together (winding rule).
QPainterPath path(const QRectF& rect);

// The tray icon, `pixels` square, ARGB32: the leaf with its vein cut out (transparent), black
// for a light panel and white for a dark one, since tray hosts do not tint our pixmaps.
QImage trayImage(int pixels, bool darkPanel);

}  // namespace orvel::OrvelMark
