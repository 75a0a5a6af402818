#pragma once
// FakeStatusNotifierWatcher: a tray's watcher, and its host, on a bus of the test's own. It owns
// org.kde.StatusNotifierWatcher on a connection of its own, records who registered which item,
// and counts the change signals of the items it knows, as a panel would listen to them.
// Owner: the test. Thread: the test's (the GUI thread). Destruction gives up the name and closes
// the connection, which a restarted watcher looks like to the items.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <atomic>

namespace orvel::test {

class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    struct Registration {
        QString service;  // as the item gave it
        QString sender;   // the unique name it called from
    };

    explicit FakeStatusNotifierWatcher(const QString& address)
        : name_(QStringLiteral("fake-watcher-%1").arg(++instances_)),
          bus_(QDBusConnection::connectToBus(address, name_)) {
        serving_ = bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                       QDBusConnection::ExportAllContents) &&
                   bus_.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    ~FakeStatusNotifierWatcher() override {
        bus_.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        bus_ = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(name_);
    }

    bool serving() const { return serving_; }
    QDBusConnection& bus() { return bus_; }
    const QList<Registration>& registrations() const { return registrations_; }
    int newIcons() const { return newIcons_; }
    const QStringList& statuses() const { return statuses_; }

    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const {
        QStringList services;
        for (const Registration& r : registrations_) services << r.service;
        return services;
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message) {
        registrations_.append({service, message.service()});
        const QString path = QStringLiteral("/StatusNotifierItem");
        const QString iface = QStringLiteral("org.kde.StatusNotifierItem");
        bus_.connect(service, path, iface, QStringLiteral("NewIcon"), this, SLOT(iconSeen()));
        bus_.connect(service, path, iface, QStringLiteral("NewStatus"), this,
                     SLOT(statusSeen(QString)));
        Q_EMIT StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString&) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);

private Q_SLOTS:
    void iconSeen() { ++newIcons_; }
    void statusSeen(const QString& status) { statuses_ << status; }

private:
    inline static std::atomic<int> instances_{0};
    QString name_;
    QDBusConnection bus_;
    bool serving_ = false;
    QList<Registration> registrations_;
    int newIcons_ = 0;
    QStringList statuses_;
};

}  // namespace orvel::test
