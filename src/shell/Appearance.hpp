#pragma once
// Appearance: the light and dark palettes the app's pictures are drawn in, so that the preview
// images and the screenshots show the same colours whatever the desktop's theme is.
//
//   view.setPalette(Appearance::darkPalette());
//   view.render(&pixmap);
//
// Owner: none (values). Thread: the GUI thread; a QApplication must exist (the light palette
// starts from its style's). Nothing to end.

#include <QPalette>

namespace orvel::Appearance {

QPalette lightPalette();
QPalette darkPalette();

}  // namespace orvel::Appearance
