#include "shell/StatusNotifierItemAdaptor.hpp"

#include <QDBusMetaType>
#include <QImage>
#include <QtEndian>

#include "shell/StatusNotifierItem.hpp"

namespace orvel {

QDBusArgument& operator<<(QDBusArgument& out, const StatusNotifierItemAdaptor::Pixmap& p) {
    out.beginStructure();
    out << p.width << p.height << p.argb;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, StatusNotifierItemAdaptor::Pixmap& p) {
    in.beginStructure();
    in >> p.width >> p.height >> p.argb;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const StatusNotifierItemAdaptor::ToolTip& t) {
    out.beginStructure();
    out << t.iconName << t.pixmaps << t.title << t.description;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, StatusNotifierItemAdaptor::ToolTip& t) {
    in.beginStructure();
    in >> t.iconName >> t.pixmaps >> t.title >> t.description;
    in.endStructure();
    return in;
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item), item_(item) {
    registerTypes();
    marshalIcons();
    connect(item, &StatusNotifierItem::iconChanged, this, &StatusNotifierItemAdaptor::iconChanged);
    connect(item, &StatusNotifierItem::statusChanged, this,
            [this] { Q_EMIT NewStatus(item_->status()); });
}

void StatusNotifierItemAdaptor::registerTypes() {
    qDBusRegisterMetaType<Pixmap>();
    qDBusRegisterMetaType<Pixmaps>();
    qDBusRegisterMetaType<ToolTip>();
}

StatusNotifierItemAdaptor::Pixmap StatusNotifierItemAdaptor::toPixmap(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    Pixmap p{argb.width(), argb.height(), {}};
    p.argb.resize(qsizetype(argb.width()) * argb.height() * 4);
    char* out = p.argb.data();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x, out += 4) qToBigEndian(row[x], out);
    }
    return p;
}

QString StatusNotifierItemAdaptor::status() const {
    return item_->status();
}

StatusNotifierItemAdaptor::ToolTip StatusNotifierItemAdaptor::toolTip() const {
    return {{}, {}, item_->toolTip(), {}};
}

void StatusNotifierItemAdaptor::Activate(int x, int y) {
    item_->activate({x, y});
}
void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y) {
    item_->activate({x, y});
}
void StatusNotifierItemAdaptor::ContextMenu(int x, int y) {
    item_->showMenu({x, y});
}
void StatusNotifierItemAdaptor::Scroll(int delta, const QString& orientation) {
    item_->scroll(delta, orientation);
}

void StatusNotifierItemAdaptor::marshalIcons() {
    pixmaps_.clear();
    for (const QImage& image : item_->icons()) pixmaps_.append(toPixmap(image));
}

void StatusNotifierItemAdaptor::iconChanged() {
    marshalIcons();
    Q_EMIT NewIcon();
}

}  // namespace orvel
