#pragma once
// RemoteButton: one button of the remote, painted in the remote's own styles: a circle (the
// power, mute and volume buttons, and the pad's OK), a glyph tile (transport, pad directions)
// a menu row (chip, title, trailing key combination or chevron) or the TV picker's title. Colours come from the
// palette at paint time, so it follows light and dark; "on" fills the circle with the accent.
//
//   auto* mute = new RemoteButton(RemoteButton::Shape::circle, {26, 26}, parent);
//   mute->setSymbol("speaker.wave.2.fill");  mute->setHelp("Mute / unmute");
//
// Owned by its parent widget; GUI thread.

#include <QAbstractButton>
#include <QString>
#include <string>
#include <string_view>

namespace orvel {

class RemoteButton : public QAbstractButton {
    Q_OBJECT
public:
    // A title is the TV picker's: its text and a "chevron.down", as wide as they need.
    enum class Shape { circle, glyph, row, title };

    // A row takes `size` as its least size and stretches across; a title takes its height.
    RemoteButton(Shape shape, QSize size, QWidget* parent = nullptr);

    // The glyph, drawn at `points` (circles: 0.43 of the diameter when 0).
    void setSymbol(std::string symbol, qreal points = 0);
    const std::string& symbol() const { return symbol_; }
    void setOn(bool on);
    // Tool tip and accessible name alike.
    void setHelp(const QString& help);
    // Rows: title beside the chip; trailing is a key combination, or a symbol turned by a
    // quarter while `turned`.
    void setRow(const QString& title, std::string chip, const QString& trailingText,
                std::string trailingSymbol = {}, bool turned = false);
    // A circle's resting fill is the primary colour at this opacity (0.1 unless told).
    void setRestingOpacity(qreal opacity) { resting_ = opacity; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // A 26 x 26 tile with the symbol at 12 points, as rows and the text field show it.
    static void paintChip(QPainter& painter, QPointF topLeft, std::string_view symbol,
                          const QPalette& palette);
    static constexpr int kChip = 26;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintCircle(QPainter& painter);
    void paintGlyph(QPainter& painter);
    void paintRow(QPainter& painter);
    void paintTitle(QPainter& painter);

    Shape shape_;
    QSize size_;
    std::string symbol_;
    qreal points_ = 0;
    bool on_ = false;
    qreal resting_ = 0.1;
    std::string chip_;
    QString trailingText_;
    std::string trailingSymbol_;
    bool turned_ = false;
};

}  // namespace orvel
