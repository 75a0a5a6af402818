#include "shell/Symbols.hpp"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QTransform>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

namespace orvel {

namespace {

// Shapes are drawn on a unit square; `Canvas` maps it onto the box and keeps the strokes'
// weight proportional to the size.
class Canvas {
public:
    Canvas(QPainter& painter, const QRectF& box, const QColor& color, bool mirrored)
        : painter_(painter), color_(color) {
        const qreal side = std::min(box.width(), box.height());
        side_ = side;
        const QPointF origin(box.center().x() - side / 2, box.center().y() - side / 2);
        unit_ = QTransform::fromTranslate(origin.x(), origin.y()).scale(side, side);
        if (mirrored) unit_ = QTransform(-1, 0, 0, 1, 1, 0) * unit_;
        painter_.setRenderHint(QPainter::Antialiasing);
    }

    void fill(QPainterPath path, Qt::FillRule rule = Qt::WindingFill) {
        path.setFillRule(rule);
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(color_);
        painter_.drawPath(unit_.map(path));
    }
    void stroke(const QPainterPath& path, qreal weight) {
        painter_.setPen(QPen(color_, weight * side_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter_.setBrush(Qt::NoBrush);
        painter_.drawPath(unit_.map(path));
    }
    void line(std::initializer_list<QPointF> points, qreal weight) {
        QPainterPath path;
        path.addPolygon(QPolygonF(points));
        stroke(path, weight);
    }
    // Text is never mirrored.
    void text(const QRectF& unitBox, const QString& words, qreal unitHeight) {
        QFont font = QGuiApplication::font();
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(unitHeight * side_))));
        font.setWeight(QFont::DemiBold);
        painter_.setFont(font);
        painter_.setPen(color_);
        const QRectF mapped = unit_.mapRect(unitBox);
        painter_.drawText(mapped, Qt::AlignCenter, words);
    }

private:
    QPainter& painter_;
    QColor color_;
    qreal side_ = 0;
    QTransform unit_;
};

constexpr qreal kRegular = 0.085;
constexpr qreal kBold = 0.11;

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

// Filled shapes with soft corners, as the symbols have.
void softFill(Canvas& canvas, const QPainterPath& path) {
    canvas.fill(path);
    canvas.stroke(path, 0.04);
}

void seek(Canvas& canvas) {
    const QRectF ring(0.12, 0.16, 0.76, 0.76);
    QPainterPath arc;
    arc.arcMoveTo(ring, 90);
    arc.arcTo(ring, 90, -290);
    canvas.stroke(arc, 0.075);
    softFill(canvas, polygon({{0.34, 0.16}, {0.52, 0.05}, {0.52, 0.27}}));
}

void speaker(Canvas& canvas) {
    softFill(
        canvas,
        polygon(
            {{0.08, 0.37}, {0.25, 0.37}, {0.47, 0.16}, {0.47, 0.84}, {0.25, 0.63}, {0.08, 0.63}}));
}

void chevron(Canvas& canvas, QPointF a, QPointF b, QPointF c) {
    canvas.line({a, b, c}, kBold);
}

QPainterPath gear() {
    QPainterPath path;
    QPolygonF outline;
    constexpr int kTeeth = 8;
    const auto at = [](qreal radius, qreal degrees) {
        const qreal radians = degrees * std::numbers::pi / 180;
        return QPointF(0.5 + radius * std::cos(radians), 0.5 + radius * std::sin(radians));
    };
    for (int tooth = 0; tooth < kTeeth; ++tooth) {
        const qreal centre = tooth * 360.0 / kTeeth;
        outline << at(0.35, centre - 15) << at(0.47, centre - 8) << at(0.47, centre + 8)
                << at(0.35, centre + 15);
    }
    path.addPolygon(outline);
    path.closeSubpath();
    path.addEllipse(QPointF(0.5, 0.5), 0.15, 0.15);
    return path;
}

void draw(Canvas& canvas, std::string_view name) {
    if (name == "play.fill") {
        softFill(canvas, polygon({{0.24, 0.12}, {0.88, 0.5}, {0.24, 0.88}}));
    } else if (name == "pause.fill") {
        QPainterPath bars;
        bars.addRoundedRect(QRectF(0.2, 0.13, 0.2, 0.74), 0.05, 0.05);
        bars.addRoundedRect(QRectF(0.6, 0.13, 0.2, 0.74), 0.05, 0.05);
        canvas.fill(bars);
    } else if (name == "backward.end.fill" || name == "forward.end.fill") {
        QPainterPath bar;
        bar.addRoundedRect(QRectF(0.1, 0.18, 0.12, 0.64), 0.04, 0.04);
        canvas.fill(bar);
        softFill(canvas, polygon({{0.88, 0.2}, {0.88, 0.8}, {0.3, 0.5}}));
    } else if (name == "gobackward.10" || name == "goforward.10") {
        seek(canvas);
        canvas.text(QRectF(0.12, 0.2, 0.76, 0.68), QStringLiteral("10"), 0.36);
    } else if (name == "speaker.wave.2.fill") {
        speaker(canvas);
        QPainterPath waves;
        waves.arcMoveTo(QRectF(0.38, 0.32, 0.36, 0.36), -50);
        waves.arcTo(QRectF(0.38, 0.32, 0.36, 0.36), -50, 100);
        waves.arcMoveTo(QRectF(0.28, 0.16, 0.66, 0.68), -52);
        waves.arcTo(QRectF(0.28, 0.16, 0.66, 0.68), -52, 104);
        canvas.stroke(waves, kRegular);
    } else if (name == "speaker.slash.fill") {
        speaker(canvas);
        canvas.line({{0.62, 0.36}, {0.9, 0.64}}, kRegular);
        canvas.line({{0.9, 0.36}, {0.62, 0.64}}, kRegular);
    } else if (name == "exclamationmark.triangle.fill") {
        QPainterPath sign = polygon({{0.5, 0.08}, {0.96, 0.9}, {0.04, 0.9}});
        sign.addRoundedRect(QRectF(0.445, 0.34, 0.11, 0.32), 0.05, 0.05);
        sign.addEllipse(QPointF(0.5, 0.77), 0.065, 0.065);
        canvas.fill(sign, Qt::OddEvenFill);
    } else if (name == "minus") {
        canvas.line({{0.2, 0.5}, {0.8, 0.5}}, kBold);
    } else if (name == "plus") {
        canvas.line({{0.2, 0.5}, {0.8, 0.5}}, kBold);
        canvas.line({{0.5, 0.2}, {0.5, 0.8}}, kBold);
    } else if (name == "chevron.up") {
        chevron(canvas, {0.18, 0.68}, {0.5, 0.34}, {0.82, 0.68});
    } else if (name == "chevron.down") {
        chevron(canvas, {0.18, 0.34}, {0.5, 0.68}, {0.82, 0.34});
    } else if (name == "chevron.left" || name == "chevron.backward") {
        chevron(canvas, {0.64, 0.16}, {0.32, 0.5}, {0.64, 0.84});
    } else if (name == "chevron.right") {
        chevron(canvas, {0.36, 0.16}, {0.68, 0.5}, {0.36, 0.84});
    } else if (name == "checkmark") {
        canvas.line({{0.16, 0.52}, {0.4, 0.76}, {0.86, 0.24}}, kBold);
    } else if (name == "house") {
        canvas.line({{0.08, 0.5}, {0.5, 0.13}, {0.92, 0.5}}, kRegular);
        canvas.line({{0.22, 0.4}, {0.22, 0.87}, {0.78, 0.87}, {0.78, 0.4}}, kRegular);
        QPainterPath door;
        door.addRoundedRect(QRectF(0.41, 0.6, 0.18, 0.27), 0.03, 0.03);
        canvas.fill(door);
    } else if (name == "keyboard") {
        QPainterPath frame;
        frame.addRoundedRect(QRectF(0.05, 0.22, 0.9, 0.56), 0.1, 0.1);
        canvas.stroke(frame, 0.07);
        QPainterPath keys;
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 5; ++column) {
                keys.addRoundedRect(QRectF(0.17 + column * 0.14, 0.33 + row * 0.13, 0.08, 0.08),
                                    0.02, 0.02);
            }
        }
        canvas.fill(keys);
        canvas.line({{0.33, 0.65}, {0.67, 0.65}}, 0.07);
    } else if (name == "square.grid.2x2") {
        QPainterPath tiles;
        for (const qreal x : {0.1, 0.56}) {
            for (const qreal y : {0.1, 0.56})
                tiles.addRoundedRect(QRectF(x, y, 0.34, 0.34), 0.08, 0.08);
        }
        canvas.fill(tiles);
    } else if (name == "gearshape") {
        canvas.fill(gear(), Qt::OddEvenFill);
    } else if (name == "power") {
        const QRectF ring(0.16, 0.2, 0.68, 0.68);
        QPainterPath arc;
        arc.arcMoveTo(ring, 125);
        arc.arcTo(ring, 125, 290);
        canvas.stroke(arc, kBold);
        canvas.line({{0.5, 0.1}, {0.5, 0.5}}, kBold);
    } else if (name == "ellipsis") {
        QPainterPath dots;
        for (const qreal x : {0.2, 0.5, 0.8}) dots.addEllipse(QPointF(x, 0.5), 0.08, 0.08);
        canvas.fill(dots);
    } else if (name == "xmark") {
        canvas.line({{0.25, 0.25}, {0.75, 0.75}}, kBold);
        canvas.line({{0.75, 0.25}, {0.25, 0.75}}, kBold);
    } else if (name == "dpad") {
        softFill(canvas, polygon({{0.5, 0.06}, {0.35, 0.27}, {0.65, 0.27}}));
        softFill(canvas, polygon({{0.5, 0.94}, {0.35, 0.73}, {0.65, 0.73}}));
        softFill(canvas, polygon({{0.06, 0.5}, {0.27, 0.35}, {0.27, 0.65}}));
        softFill(canvas, polygon({{0.94, 0.5}, {0.73, 0.35}, {0.73, 0.65}}));
        QPainterPath centre;
        centre.addEllipse(QPointF(0.5, 0.5), 0.11, 0.11);
        canvas.fill(centre);
    }
}

// Names drawn as the mirror image of another.
bool mirrored(std::string_view name) {
    return name == "forward.end.fill" || name == "goforward.10";
}

constexpr std::array<std::pair<std::string_view, const char*>, 25> kThemeNames{{
    {"play.fill", "media-playback-start"},
    {"pause.fill", "media-playback-pause"},
    {"backward.end.fill", "media-skip-backward"},
    {"forward.end.fill", "media-skip-forward"},
    {"gobackward.10", "media-seek-backward"},
    {"goforward.10", "media-seek-forward"},
    {"speaker.wave.2.fill", "audio-volume-high"},
    {"speaker.slash.fill", "audio-volume-muted"},
    {"exclamationmark.triangle.fill", "dialog-warning"},
    {"minus", "list-remove"},
    {"plus", "list-add"},
    {"chevron.up", "go-up"},
    {"chevron.down", "go-down"},
    {"chevron.left", "go-previous"},
    {"chevron.right", "go-next"},
    {"chevron.backward", "go-previous"},
    {"checkmark", "object-select"},
    {"house", "go-home"},
    {"keyboard", "input-keyboard"},
    {"gearshape", "preferences-system"},
    {"power", "system-shutdown"},
    {"ellipsis", "view-more"},
    {"xmark", "window-close"},
    {"dpad", ""},             // the navigation row's chip: no theme has it
    {"square.grid.2x2", ""},  // the app launcher's: no freedesktop name means it
}};

const std::pair<std::string_view, const char*>* entryOf(std::string_view name) {
    for (const auto& entry : kThemeNames) {
        if (entry.first == name) return &entry;
    }
    return nullptr;
}

}  // namespace

const char* Symbols::themeName(std::string_view name) {
    const auto* entry = entryOf(name);
    return entry ? entry->second : "";
}

bool Symbols::paint(QPainter& painter, const QRectF& box, std::string_view name,
                    const QColor& color) {
    if (!entryOf(name)) return false;
    painter.save();
    Canvas canvas(painter, box, color, mirrored(name));
    draw(canvas, name);
    painter.restore();
    return true;
}

QPixmap Symbols::pixmap(std::string_view name, const QColor& color, int size,
                        qreal devicePixelRatio) {
    const int pixels = static_cast<int>(std::ceil(size * devicePixelRatio));
    QPixmap image(pixels, pixels);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter, QRectF(0, 0, size, size), name, color);
    return image;
}

QIcon Symbols::icon(std::string_view name, const QColor& color, int size) {
    QIcon drawn;
    QColor faded = color;
    faded.setAlphaF(color.alphaF() * 0.4F);
    for (const qreal ratio : {1.0, 2.0}) {
        drawn.addPixmap(pixmap(name, color, size, ratio), QIcon::Normal);
        drawn.addPixmap(pixmap(name, faded, size, ratio), QIcon::Disabled);
    }
    const char* theme = themeName(name);
    if (*theme == '\0' || !QIcon::hasThemeIcon(QString::fromLatin1(theme))) return drawn;
    return QIcon::fromTheme(QString::fromLatin1(theme));
}

}  // namespace orvel
