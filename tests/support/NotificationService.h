#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

// A desktop notification service of our own on a private session bus (a dbus-daemon it
// starts and stops, named in DBUS_SESSION_BUS_ADDRESS for the program under test). It
// records each Notify call and clicks a notification as the desktop does.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        uint id, replacesId;
        QString summary, body;
        QStringList actions;
    };
    QList<Call> calls;

    ~NotificationService() override
    {
        QDBusConnection::disconnectFromBus("service");
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    bool start()
    {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        const QByteArray address = m_daemon.waitForReadyRead() ? m_daemon.readLine().trimmed() : "";
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QDBusConnection bus = QDBusConnection::connectToBus(address, "service");
        return bus.registerService("org.freedesktop.Notifications") &&
               bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots);
    }
    void click(uint id)
    {
        QDBusConnection("service").send(
            QDBusMessage::createSignal(kPath, "org.freedesktop.Notifications", "ActionInvoked")
            << id << QStringLiteral("default"));
    }

public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap&, int)
    {
        calls.append(
            {replacesId ? replacesId : uint(calls.size() + 1), replacesId, summary, body, actions});
        return calls.last().id;
    }
    QStringList GetCapabilities() { return {"actions", "body"}; }

private:
    static inline const QString kPath = "/org/freedesktop/Notifications";
    QProcess m_daemon;
};
