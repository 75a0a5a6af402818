#pragma once
// MenuBarPreview: a stretch of a desktop panel with the tray icon on it, drawn for the preview
// pictures: the glyph as the tray shows it, black on a light panel and white on a dark one
// (the palette's window colour decides), in the hover highlight of a panel item.
//
//   MenuBarPreview preview;
//   preview.setPalette(Appearance::darkPalette());
//
// Owner: whoever renders it. Thread: the GUI thread. Plain widget; ends with its owner.

#include <QSize>
#include <QWidget>

namespace orvel {

class MenuBarPreview final : public QWidget {
public:
    static constexpr int kWidth = 120;
    static constexpr int kHeight = 32;

    explicit MenuBarPreview(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace orvel
