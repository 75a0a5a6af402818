#pragma once
// ChangeSpy: every PropertiesChanged of the media player's Player interface, as it arrives, for
// a test to wait on.
//
//   connection.connect(service, path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
//                      &spy, SLOT(changed(QString, QVariantMap, QStringList)));

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace orvel::test {

class ChangeSpy : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;

Q_SIGNALS:
    void arrived();

public Q_SLOTS:
    void changed(const QString& interface, const QVariantMap& properties, const QStringList&) {
        if (interface != QLatin1String("org.mpris.MediaPlayer2.Player")) return;
        changes << properties;
        Q_EMIT arrived();
    }
};

}  // namespace orvel::test
