#pragma once

#include <array>
#include <optional>

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace vantrell::core {

// The desktop's notification service ("org.freedesktop.Notifications" on the session bus).
// Each kind of event keeps one notification: a new one replaces the one of its kind still
// shown instead of piling up. A click on one ("default" action) is reported with its kind.
//
// Every call is asynchronous: a service that answers slowly, or never, holds up nothing but
// the next notification of the same kind, which waits for the answer (it needs the id the
// service gives) and then goes out as the latest of its kind. Without a session bus, or
// without a service on it, notifications are dropped silently. The bus is first touched by
// the first notification.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    enum class Kind
    {
        MemberJoined,
        EveryoneReady,
        GameLaunched,
        DroppedFromRoom,
        GlobalMention,
        RoomMention,
    };
    Q_ENUM(Kind)
    static constexpr std::size_t kKinds = 6;

    // desktopEntry: the program's desktop entry, without ".desktop" (the desktop takes the
    // program's name and icon from it); may be empty.
    explicit DesktopNotifier(QString desktopEntry, QObject* parent = nullptr);

    void notify(Kind kind, const QString& summary, const QString& body);

signals:
    void activated(vantrell::core::DesktopNotifier::Kind kind);

private slots:
    void onActionInvoked(uint id, const QString& actionKey);

private:
    struct Pending
    {
        QString summary;
        QString body;
    };
    struct Slot
    {
        uint id = 0;          // the service's id of the one shown, 0 for none
        bool waiting = false; // a call is out, its id not known yet
        std::optional<Pending> next;
    };

    bool busReady();
    void send(Kind kind, const Pending& text);

    QString m_desktopEntry;
    std::optional<QDBusConnection> m_bus;
    std::array<Slot, kKinds> m_slots{};
};

} // namespace vantrell::core
