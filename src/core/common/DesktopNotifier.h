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
//
// Bodies carry what other players typed (nicknames, chat). A service that renders markup in
// bodies says so ("body-markup"); for it the body is escaped, so that text shows as typed and
// cannot turn into a link or a picture. Its capabilities are asked once, before the first
// notification goes out; a service that cannot say is taken to render markup.
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

    // The body as the service shows it: escaped where it renders markup.
    static QString bodyText(const QString& body, bool markup);

signals:
    // activationToken: what the service gave with the click for raising a window (a Wayland
    // activation token, or on X a startup id); empty when it gave none.
    void activated(vantrell::core::DesktopNotifier::Kind kind, const QString& activationToken);

private slots:
    void onActivationToken(uint id, const QString& token);
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
    void askCapabilities();
    void send(Kind kind, const Pending& text, bool markup);

    QString m_desktopEntry;
    std::optional<QDBusConnection> m_bus;
    std::optional<bool> m_markup; // the service renders body markup; unknown until it says
    bool m_asking = false;        // its capabilities are asked, the answer not in yet
    uint m_tokenId = 0;           // the notification the last activation token came for
    QString m_token;
    std::array<Slot, kKinds> m_slots{};
};

} // namespace vantrell::core
