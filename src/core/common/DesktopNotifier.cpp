#include "core/common/DesktopNotifier.h"

#include "core/common/BuildConfig.h"

#include <utility>

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
        if (m_bus->isConnected()) {
            m_bus->connect(QString(), kPath, kService, QStringLiteral("ActivationToken"), this,
                           SLOT(onActivationToken(uint, QString)));
            m_bus->connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                           SLOT(onActionInvoked(uint, QString)));
        }
    }
    return m_bus->isConnected();
}

void DesktopNotifier::notify(Kind kind, const QString& summary, const QString& body)
{
    if (!busReady())
        return;
    Slot& slot = m_slots[static_cast<std::size_t>(kind)];
    if (slot.waiting || !m_markup) {
        slot.next = Pending{summary, body};
        askCapabilities();
        return;
    }
    send(kind, Pending{summary, body}, *m_markup);
}

QString DesktopNotifier::bodyText(const QString& body, bool markup)
{
    if (!markup)
        return body;
    QString escaped = body.toHtmlEscaped(); // &, <, > and "
    return escaped.replace(QLatin1Char('\''), QStringLiteral("&apos;"));
}

void DesktopNotifier::askCapabilities()
{
    if (m_markup || m_asking)
        return;
    m_asking = true;
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus->asyncCall(QDBusMessage::createMethodCall(kService, kPath, kService,
                                                        QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                m_asking = false;
                const QDBusPendingReply<QStringList> reply = *call;
                // No answer: escaped, to be safe; the next notification asks again.
                const bool markup =
                    reply.isError() || reply.value().contains(QStringLiteral("body-markup"));
                if (!reply.isError())
                    m_markup = markup;
                for (std::size_t i = 0; i < m_slots.size(); ++i) {
                    Slot& slot = m_slots[i];
                    if (slot.waiting || !slot.next)
                        continue;
                    const Pending next = *slot.next;
                    slot.next.reset();
                    send(static_cast<Kind>(i), next, markup);
                }
            });
}

void DesktopNotifier::send(Kind kind, const Pending& text, bool markup)
{
    Slot& slot = m_slots[static_cast<std::size_t>(kind)];
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    if (!m_desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), m_desktopEntry);
    call << programName() << slot.id << QString() << text.summary << bodyText(text.body, markup)
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
                if (answered.next && m_markup) {
                    const Pending next = *answered.next;
                    answered.next.reset();
                    send(kind, next, *m_markup);
                } else if (answered.next) {
                    askCapabilities();
                }
            });
}

void DesktopNotifier::onActivationToken(uint id, const QString& token)
{
    // Comes just before the action it belongs to.
    m_tokenId = id;
    m_token = token;
}

void DesktopNotifier::onActionInvoked(uint id, const QString& actionKey)
{
    const QString token = m_tokenId == id ? std::exchange(m_token, QString()) : QString();
    if (actionKey != kDefaultAction || id == 0)
        return;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].id == id) {
            emit activated(static_cast<Kind>(i), token);
            return;
        }
    }
}

} // namespace vantrell::core
