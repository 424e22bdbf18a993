#pragma once

#include "core/common/DesktopNotifier.h"

#include <array>
#include <functional>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace vantrell::core {
class LobbyConnection;
class RoomClient;
class RoomHost;
} // namespace vantrell::core

namespace vantrell::settings {
struct Settings;
}

namespace vantrell::ui {
class MessageSink;
}

namespace vantrell::app {

// Tells the player through the desktop what happened while none of the program's windows
// was active: a member joined the hosted room or every member is ready, the host launched
// the game or dropped the player, someone named the player in a chat. Only while the
// "Desktop Notifications" entry is on. A click on a notification brings up the window it
// came from, or the main window once that one is closed.
class Notifications : public QObject
{
    Q_OBJECT

public:
    using Kind = core::DesktopNotifier::Kind;

    // nickname gives the lobby nickname as it is now.
    Notifications(settings::Settings& settings, ui::MessageSink& messages, QWidget* mainWindow,
                  std::function<QString()> nickname);

    void watchLobby(core::LobbyConnection& lobby);
    void watchRoomClient(core::RoomClient& room, QWidget* window);
    // For the life of the hosted room.
    void watchRoomHost(core::RoomHost& room, QWidget* window);

    // The menu entry: stored in the settings file at once.
    void setEnabled(bool on);

private:
    void notify(Kind kind, QWidget* window, const QString& summary, const QString& body);
    void notifyMention(Kind kind, QWidget* window, const QString& where, const QString& speaker,
                       const QString& text);
    void bringUp(Kind kind, const QString& activationToken);

    settings::Settings& m_settings;
    ui::MessageSink& m_messages;
    QPointer<QWidget> m_mainWindow;
    std::function<QString()> m_nickname;
    core::DesktopNotifier m_notifier;
    // The window each kind's last notification came from.
    std::array<QPointer<QWidget>, core::DesktopNotifier::kKinds> m_windows;
};

} // namespace vantrell::app
