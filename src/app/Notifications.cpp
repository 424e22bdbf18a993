#include "app/Notifications.h"

#include "base/common/ChatMention.h"
#include "base/settings/Settings.h"
#include "core/lobby/LobbyConnection.h"
#include "core/roomclient/RoomClient.h"
#include "core/roomhost/RoomHost.h"
#include "ui/common/MessageSink.h"
#include "ui/common/WindowActivation.h"

#include <QApplication>

namespace vantrell::app {

namespace {

QString roomTitle(const std::string& name)
{
    return name.empty() ? QStringLiteral("Room") : QString::fromStdString(name);
}

} // namespace

Notifications::Notifications(settings::Settings& settings, ui::MessageSink& messages,
                             QWidget* mainWindow, std::function<QString()> nickname)
    : m_settings(settings), m_messages(messages), m_mainWindow(mainWindow),
      m_nickname(std::move(nickname)), m_notifier(QGuiApplication::desktopFileName())
{
    connect(&m_notifier, &core::DesktopNotifier::activated, this, &Notifications::bringUp);
}

void Notifications::watchLobby(core::LobbyConnection& lobby)
{
    connect(&lobby, &core::LobbyConnection::globalChatReceived, this,
            [this](const QString& speaker, const QString& text) {
                notifyMention(Kind::GlobalMention, m_mainWindow, QStringLiteral("Global chat"),
                              speaker, text);
            });
}

void Notifications::watchRoomClient(core::RoomClient& room, QWidget* window)
{
    const auto title = [&room] { return roomTitle(room.roomAddress().roomName); };
    connect(&room, &core::RoomClient::gameLaunchRequested, this, [this, window, title] {
        notify(Kind::GameLaunched, window, title() + QStringLiteral(": the game starts"),
               QStringLiteral("The host launched the game."));
    });
    connect(&room, &core::RoomClient::droppedFromRoom, this, [this, window, title] {
        notify(Kind::DroppedFromRoom, window, title() + QStringLiteral(": you left the room"),
               QStringLiteral("You were dropped from the room."));
    });
    connect(&room, &core::RoomClient::chatMessage, this,
            [this, window, title](const QString& speaker, const QString& text) {
                notifyMention(Kind::RoomMention, window, title(), speaker, text);
            });
}

void Notifications::watchRoomHost(core::RoomHost& room, QWidget* window)
{
    const QString title = roomTitle(room.roomName());
    connect(&room, &core::RoomHost::memberJoined, this,
            [this, window, title](const QString& nickname) {
                notify(Kind::MemberJoined, window,
                       title + QStringLiteral(": ") + nickname + QStringLiteral(" joined"),
                       nickname + QStringLiteral(" joined the room."));
            });
    connect(&room, &core::RoomHost::everyoneReady, this, [this, window, title] {
        notify(Kind::EveryoneReady, window, title + QStringLiteral(": everyone is ready"),
               QStringLiteral("Every member is ready: the game can be launched."));
    });
    connect(&room, &core::RoomHost::chatMessage, this,
            [this, window, title](const QString& speaker, const QString& text) {
                notifyMention(Kind::RoomMention, window, title, speaker, text);
            });
}

void Notifications::setEnabled(bool on)
{
    m_settings.notifications.enabled = on;
    const Result<void> saved = m_settings.notifications.save(m_settings.file);
    if (!saved)
        m_messages.error(QString::fromStdString(saved.error()));
}

void Notifications::notifyMention(Kind kind, QWidget* window, const QString& where,
                                  const QString& speaker, const QString& text)
{
    if (!mentionsPlayer(speaker.toStdString(), text.toStdString(), m_nickname().toStdString()))
        return;
    notify(kind, window, where + QStringLiteral(": ") + speaker + QStringLiteral(" mentioned you"),
           speaker + QStringLiteral(": ") + text);
}

void Notifications::notify(Kind kind, QWidget* window, const QString& summary, const QString& body)
{
    // The player is looking at the program (a message box of its own counts too).
    if (!m_settings.notifications.enabled || QApplication::activeWindow())
        return;
    m_windows[static_cast<std::size_t>(kind)] = window;
    m_notifier.notify(kind, summary, body);
}

void Notifications::bringUp(Kind kind, const QString& activationToken)
{
    QWidget* window = m_windows[static_cast<std::size_t>(kind)];
    if (!window || !window->isVisible())
        window = m_mainWindow;
    if (!window)
        return;
    ui::bringToFront(window, activationToken);
}

} // namespace vantrell::app
