#include "core/common/DesktopNotifier.h"

#include <utility>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace vantrell::core {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kDefaultAction = QStringLiteral("default");
} // namespace

DesktopNotifier::DesktopNotifier(QString desktopEntry, QObject* parent)
    : QObject(parent), m_desktopEntry(std::move(desktopEntry))
{
}

bool DesktopNotifier::busReady()
{
    if (!m_bus) {
        m_bus = QDBusConnection::sessionBus();
        // No sender named: asking the bus who owns the service's name would wait for an
        // answer. Clicks are told apart by the ids this program was given.
        if (m_bus->isConnected())
            m_bus->connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                           SLOT(onActionInvoked(uint, QString)));
    }
    return m_bus->isConnected();
}

void DesktopNotifier::notify(Kind kind, const QString& summary, const QString& body)
{
    if (!busReady())
        return;
    Slot& slot = m_slots[static_cast<std::size_t>(kind)];
    if (slot.waiting) {
        slot.next = Pending{summary, body};
        return;
    }
    send(kind, Pending{summary, body});
}

void DesktopNotifier::send(Kind kind, const Pending& text)
{
    Slot& slot = m_slots[static_cast<std::size_t>(kind)];
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    if (!m_desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), m_desktopEntry);
    call << QCoreApplication::applicationName() << slot.id << QString() << text.summary << text.body
         << QStringList{kDefaultAction, QStringLiteral("Show")} << hints << qint32(-1);
    slot.waiting = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, kind](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                Slot& answered = m_slots[static_cast<std::size_t>(kind)];
                const QDBusPendingReply<uint> reply = *call;
                // No service, or it failed: the next one of this kind starts afresh.
                answered.id = reply.isError() ? 0 : reply.value();
                answered.waiting = false;
                if (answered.next) {
                    const Pending next = *answered.next;
                    answered.next.reset();
                    send(kind, next);
                }
            });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& actionKey)
{
    if (actionKey != kDefaultAction || id == 0)
        return;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].id == id) {
            emit activated(static_cast<Kind>(i));
            return;
        }
    }
}

} // namespace vantrell::core
