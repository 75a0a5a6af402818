#pragma once
// OrvelLeaf: the small leaf glyph of the tray icon, one constant outline in a 20 x 20 design
// space with y pointing down, built once and shared.
//
//   QPainterPath leaf = OrvelLeaf::path();
//   painter.fillPath(leaf, Qt::black);
//
// Owner: none (a constant). Thread: any, once built; the first call builds it (thread-safe
// static). Ends with the program.

#include <QPainterPath>

namespace orvel::OrvelLeaf {

// Two cubic curves from (5, 19) to (19.5, 4.5) and back; winding fill.
const QPainterPath& path();

}  // namespace orvel::OrvelLeaf
