#pragma once
// OrvelMark: the logo drawn from code instead of shipped images: a rounded body with a leaf on
// top, the application icon that sets it on a rounded square, and the tray icon cut from the
// leaf glyph (OrvelLeaf). Drawing and the icon set's files; no state.
//
//   QPainterPath mark = OrvelMark::path(QRectF(0, 0, 64, 64));
//   if (auto written = OrvelMark::writeIconSet("icons"); !written) fail(written.error());
//
// Owner: none. Thread: any (QImage and QPainterPath only, no widgets). Nothing to end.

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <filesystem>
#include <string>

#include "platform/Result.hpp"

namespace orvel::OrvelMark {

// The outline in a unit square (y down), scaled to the rect's size and moved to its origin:
// the body and the leaf as two closed subpaths, filled together (winding rule).
QPainterPath path(const QRectF& rect);

// The tray icon, `pixels` square, ARGB32: the leaf with its vein cut out (transparent), black
// for a light panel and white for a dark one, since tray hosts do not tint our pixmaps.
QImage trayImage(int pixels, bool darkPanel);

// The application icon, `pixels` square, ARGB32: the mark on a rounded square, transparent
// around it.
QImage iconImage(int pixels);

// The same icon as an SVG document of `size` units square, drawn from the same outline.
std::string iconSvg(int size = 512);

// Writes icon_16x16.png, icon_16x16@2x.png, ... icon_512x512@2x.png (ten files, the @2x ones
// twice the pixels) and orvel-remote.svg into `folder`, which is created with its parents. The
// first failure stops the writing and is the result.
Result<void> writeIconSet(const std::filesystem::path& folder);

}  // namespace orvel::OrvelMark
