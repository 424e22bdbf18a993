#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QTest>

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
        QString program;
        uint id, replacesId;
        QString texts; // summary|body
        QStringList actions;
    };
    QList<Call> calls;
    bool markup = false; // renders markup in bodies

    ~NotificationService() override { m_daemon.kill(), m_daemon.waitForFinished(); }
    bool start()
    {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        const QByteArray bus = m_daemon.waitForReadyRead() ? m_daemon.readLine().trimmed() : "";
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        m_bus = QDBusConnection::connectToBus(bus, "service");
        return m_bus.registerService(kName) &&
               m_bus.registerObject(kPath, this, m_bus.ExportAllSlots);
    }
    void click(uint id)
    {
        m_bus.send(QDBusMessage::createSignal(kPath, kName, "ActivationToken")
                   << id << QString("t1"));
        m_bus.send(QDBusMessage::createSignal(kPath, kName, "ActionInvoked")
                   << id << QString("default"));
    }
    // Waits until every notification this process asked for so far has arrived. The first
    // waits for the answer to the program's question about markup: two round trips.
    static void settle()
    {
        for (int round = 0; round < 2; ++round) {
            const QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(
                QDBusMessage::createMethodCall(kName, kPath, kName, "GetCapabilities"));
            QTRY_VERIFY(call.isFinished());
            QCoreApplication::processEvents();
        }
    }

public slots:
    uint Notify(const QString& program, uint replacesId, const QString&, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap&, int)
    {
        calls.append({program, replacesId ? replacesId : uint(calls.size() + 1), replacesId,
                      summary + '|' + body, actions});
        return calls.last().id;
    }
    QStringList GetCapabilities()
    {
        return markup ? QStringList{"actions", "body", "body-markup"}
                      : QStringList{"actions", "body"};
    }

private:
    static inline const QString kName = "org.freedesktop.Notifications";
    static inline const QString kPath = "/org/freedesktop/Notifications";
    QProcess m_daemon;
    QDBusConnection m_bus{QString()};
};
