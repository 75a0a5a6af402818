#include "shell/RemotePanel.hpp"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

namespace orvel {

namespace {

PanelPlacement::Rect toRect(QRect rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

QRect toQRect(PanelPlacement::Rect rect) {
    return {rect.x, rect.y, rect.width, rect.height};
}

}  // namespace

RemotePanel::RemotePanel(QWidget* content)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      content_(content),
      translucent_(composites(QGuiApplication::platformName())) {
    setWindowTitle(QStringLiteral("Orvel Remote"));
    setAccessibleName(QStringLiteral("Orvel Remote"));
    if (translucent_) setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin(), margin(), margin(), margin());
    layout->addWidget(content_);
}

RemotePanel::~RemotePanel() = default;

bool RemotePanel::composites(const QString& platformName) {
    return platformName.startsWith(QLatin1String("wayland")) ||
           platformName == QLatin1String("xcb");
}

QRect RemotePanel::surfaceGeometry() const {
    return geometry().adjusted(margin(), margin(), -margin(), -margin());
}

QSize RemotePanel::surfaceSize() const {
    layout()->invalidate();
    layout()->activate();
    return sizeHint().shrunkBy({margin(), margin(), margin(), margin()});
}

void RemotePanel::setSurface(QRect surface) {
    setGeometry(surface.adjusted(-margin(), -margin(), margin(), margin()));
}

void RemotePanel::place(QRect anchor, const QScreen& screen) {
    const QSize size = surfaceSize();
    const auto placed =
        PanelPlacement::place(toRect(anchor), {size.width(), size.height()},
                              toRect(screen.geometry()), toRect(screen.availableGeometry()));
    kept_ = placed.kept;
    setSurface(toQRect(placed.frame));
}

void RemotePanel::fitToContent() {
    const QSize size = surfaceSize();
    setSurface(toQRect(
        PanelPlacement::refit(toRect(surfaceGeometry()), kept_, {size.width(), size.height()})));
}

void RemotePanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QColor surface = palette().color(QPalette::Window);
    if (!translucent_) {
        painter.fillRect(rect(), surface);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Nested faint rings darken towards the surface; offset a little down, as lit from above.
    const QRectF body = QRectF(rect()).adjusted(margin(), margin(), -margin(), -margin());
    painter.setBrush(QColor(0, 0, 0, 4));
    for (int ring = kShadowWidth; ring > 0; --ring) {
        const double spread = ring;
        painter.drawRoundedRect(body.adjusted(-spread, -spread + 2, spread, spread + 2),
                                kCornerRadius + spread, kCornerRadius + spread);
    }
    painter.setBrush(surface);
    painter.drawRoundedRect(body, kCornerRadius, kCornerRadius);
}

void RemotePanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) Q_EMIT deactivated();
    QWidget::changeEvent(event);
}

}  // namespace orvel
