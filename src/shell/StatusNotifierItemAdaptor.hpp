#pragma once
// StatusNotifierItemAdaptor: the org.kde.StatusNotifierItem interface of a StatusNotifierItem,
// and the only place that knows its D-Bus types: pixmaps as a(iiay) (ARGB32, every 32-bit word
// in network byte order), the tool tip as (sa(iiay)ss). Pixmaps are marshalled once per icon
// change and kept.
//
//   new StatusNotifierItemAdaptor(item);   // a child of the item, as Qt's adaptors are
//   connection.registerObject("/StatusNotifierItem", item, QDBusConnection::ExportAdaptors);
//
// Owner: its item (QObject parent). Thread: the item's. Ends with the item.

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QList>
#include <QString>

#include "session/AppInfo.hpp"

namespace orvel {

class StatusNotifierItem;

class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(orvel::StatusNotifierItemAdaptor::Pixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(orvel::StatusNotifierItemAdaptor::ToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)

public:
    struct Pixmap {
        int width = 0;
        int height = 0;
        QByteArray argb;  // big-endian ARGB words, row by row

        friend QDBusArgument& operator<<(QDBusArgument& out, const Pixmap& p);
        friend const QDBusArgument& operator>>(const QDBusArgument& in, Pixmap& p);
    };
    using Pixmaps = QList<Pixmap>;
    struct ToolTip {
        QString iconName;
        Pixmaps pixmaps;
        QString title;
        QString description;

        friend QDBusArgument& operator<<(QDBusArgument& out, const ToolTip& t);
        friend const QDBusArgument& operator>>(const QDBusArgument& in, ToolTip& t);
    };

    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item);

    // Registers the types above with Qt's D-Bus type system; once is enough, more is harmless.
    static void registerTypes();
    static Pixmap toPixmap(const QImage& image);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QString::fromLatin1(AppInfo::kDesktopId); }
    QString title() const { return QStringLiteral("Orvel Remote"); }
    QString status() const;
    int windowId() const { return 0; }
    QString iconName() const { return {}; }
    Pixmaps iconPixmap() const { return pixmaps_; }
    ToolTip toolTip() const;
    bool itemIsMenu() const { return false; }

public Q_SLOTS:
    void Activate(int x, int y);
    // The middle button: the same as a click, as most hosts treat it.
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    void marshalIcons();
    void iconChanged();

    StatusNotifierItem* item_;
    Pixmaps pixmaps_;
};

}  // namespace orvel

Q_DECLARE_METATYPE(orvel::StatusNotifierItemAdaptor::Pixmap)
Q_DECLARE_METATYPE(orvel::StatusNotifierItemAdaptor::ToolTip)
