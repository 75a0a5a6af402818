// The drawn shapes: the mark fits its rectangle, the tray glyph keeps its proportion at any
// size and its vein is cut through.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainterPath>
#include <QRectF>

#include "shell/OrvelMark.hpp"

namespace orvel {
namespace {

double coverage(const QImage& image) {
    double alpha = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) alpha += qAlpha(image.pixel(x, y));
    }
    return alpha / (255.0 * image.width() * image.height());
}

// A point of the 20 x 20 design space in the image's pixels.
QPoint pixelAt(QPointF design, int pixels) {
    const double scale = pixels / 20.0;
    return QPointF((design.x() - 2.2) * scale, (design.y() - 2.1) * scale).toPoint();
}

TEST(OrvelMark, TrayImageIsTheLeafInThePanelsContrastWithItsVeinCutAtAnySize) {
    const double small = coverage(OrvelMark::trayImage(18, false));
    EXPECT_GT(small, 0.2);
    EXPECT_NEAR(coverage(OrvelMark::trayImage(36, false)), small, 0.01) << "the same proportion";
    for (const bool dark : {false, true}) {
        const QImage image = OrvelMark::trayImage(36, dark);
        ASSERT_EQ(image.size(), QSize(36, 36));
        EXPECT_EQ(qAlpha(image.pixel(pixelAt({9, 15}, 36))), 0) << "on the vein";
        const QRgb leaf = image.pixel(pixelAt({11, 16.5}, 36));
        EXPECT_EQ(qAlpha(leaf), 255) << "beside the vein";
        EXPECT_EQ(qRed(leaf), dark ? 255 : 0);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "outside the leaf";
    }
}

TEST(OrvelMark, IconIsTheMarkOnItsRoundedSquareAndClearAroundIt) {
    const QColor body = QColor::fromRgbF(0.25F, 0.32F, 0.19F);
    const QColor mark = QColor::fromRgbF(0.84F, 0.91F, 0.65F);
    struct Spot {
        QPointF at;  // in fractions of the size
        QColor colour;
        int alpha;
    };
    const Spot spots[] = {
        {{0.5, 0.5}, mark, 255},      // the mark's middle
        {{0.1, 0.5}, body, 255},      // the square beside the mark
        {{0.0, 0.0}, Qt::black, 0},   // outside the rounded corner
        {{0.99, 0.5}, Qt::black, 0},  // past the square's edge
    };
    for (const int pixels : {32, 128, 1024}) {
        const QImage icon = OrvelMark::iconImage(pixels);
        ASSERT_EQ(icon.size(), QSize(pixels, pixels));
        for (const Spot& spot : spots) {
            SCOPED_TRACE(::testing::Message()
                         << pixels << " px at " << spot.at.x() << "," << spot.at.y());
            const QRgb pixel = icon.pixel((spot.at * (pixels - 1)).toPoint());
            EXPECT_EQ(qAlpha(pixel), spot.alpha);
            if (spot.alpha == 0) continue;
            EXPECT_EQ(QColor(pixel).rgb(), spot.colour.rgb());
        }
    }
}

TEST(OrvelMark, PathIsFittedToTheRectangle) {
    const QRectF rect(10, 20, 100, 200);
    const QPainterPath mark = OrvelMark::path(rect);
    EXPECT_EQ(mark.fillRule(), Qt::WindingFill);
    const QRectF bounds = mark.boundingRect();
    EXPECT_NEAR(bounds.top(), 20 + 0.04 * 200, 1e-9) << "the leaf's tip";
    EXPECT_GT(bounds.bottom(), 20 + 0.94 * 200);
    EXPECT_LT(bounds.bottom(), 20 + 0.96 * 200);
    EXPECT_GT(bounds.left(), 10 + 0.14 * 100);
    EXPECT_LT(bounds.right(), 10 + 0.86 * 100);
    const auto at = [&](double x, double y) { return QPointF(10 + x * 100, 20 + y * 200); };
    EXPECT_TRUE(mark.contains(at(0.5, 0.7))) << "the body";
    EXPECT_TRUE(mark.contains(at(0.56, 0.12))) << "the leaf";
    EXPECT_FALSE(mark.contains(at(0.75, 0.15))) << "beside the leaf";
}

}  // namespace
}  // namespace orvel
