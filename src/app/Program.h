#pragma once

#include "app/Notifications.h"
#include "base/roomhost/RoomSettings.h"
#include "base/settings/Settings.h"
#include "core/common/Environment.h"
#include "core/launch/HostLaunch.h"
#include "core/launch/MemberLaunch.h"
#include "core/lobby/LobbyConnection.h"
#include "core/lobby/LobbySession.h"
#include "core/lobby/RoomJoin.h"
#include "core/lobby/UPnPPortMapper.h"
#include "core/roomclient/RoomClient.h"
#include "core/roomhost/LobbyMainServerLink.h"
#include "core/roomhost/RoomHost.h"
#include "core/transfer/FileServer.h"

#include <functional>
#include <memory>

#include <QString>

namespace vantrell::core {
class FileServerControl;
}

namespace vantrell::ui {
class MessageSink;
class SettingsWindow;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
} // namespace vantrell::ui

namespace vantrell::app {

// Asks the router to forward the configured ports to the local address (the room's TCP
// port, the game's UDP port and the file server's port).
using PortMapping = std::function<void(const QString& localAddress, const QString& tcpPort,
                                       const QString& udpPort)>;

// What the program is built with besides the environment.
struct ProgramParts
{
    // The start-up's port forwarding; empty: the program's own UPnP mapper.
    PortMapping portMapping;
    // The usermap file server that starts and stops with a hosted room; null: the
    // program's own.
    core::FileServerControl* fileServer = nullptr;
};

// The whole program put together. It owns the settings, the core objects (the lobby
// connection, the UPnP mapper, the hosted room) and the eight windows (the main window from
// the start, each other one from its first use), hands each window what it needs when
// creating it, and connects what one part reports to what another does.
// No window knows another; every path between them is a connection made here.
class Program
{
public:
    Program(const core::Environment& env, ui::MessageSink& messages, ProgramParts parts = {});
    ~Program();

    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ui::TForm1& mainWindow() { return *m_form1; }
    // The other windows, each built (and connected) when first asked for.
    ui::TForm2& form2();
    ui::TForm3& form3();
    ui::TForm4& form4();
    ui::TForm5& form5();
    ui::TForm6& form6();
    ui::TForm7& form7();
    ui::TForm8& form8();

    settings::Settings& settings() { return m_settings; }
    core::LobbyConnection& lobby() { return m_lobby; }
    core::LobbySession& lobbySession() { return m_session; }
    // The program's own usermap file server (serving the hosted room's usermap).
    core::FileServer& fileServer() { return m_fileServer; }
    // The member's side of a joined room, shown by the room client window.
    core::RoomClient& roomClient() { return m_roomClient; }
    // The hosted room, from "Create room" until its window closes; otherwise null.
    core::RoomHost* roomHost() { return m_room.get(); }
    core::HostLaunch& hostLaunch() { return m_hostLaunch; }
    core::MemberLaunch& memberLaunch() { return m_memberLaunch; }
    Notifications& notifications() { return *m_notifications; }

private:
    void connectMainWindow();
    void connectSettingsWindow(ui::SettingsWindow& window);
    void startUp();
    void openRoomCreation(SourcePort port);
    void openRoom(const roomhost::RoomSettings& settings);
    void connectHostLaunch();
    void launchHostGame();
    void connectMemberLaunch();
    void connectNotifications();
    void joinRoom(const lobby::JoinRow& row);

    const core::Environment& m_env;
    ui::MessageSink& m_messages;
    ProgramParts m_parts;
    settings::Settings m_settings;
    // The main server given for this run; cleared once the player chooses one in the window.
    QString m_mainServerForRun;
    core::LobbyConnection m_lobby;
    core::LobbySession m_session{m_env, m_lobby};
    core::LobbyMainServerLink m_lobbyLink{m_lobby};
    core::UPnPPortMapper m_portMapper{m_env.timing};
    core::FileServer m_fileServer;
    core::RoomClient m_roomClient;
    core::RoomJoin m_roomJoin{m_env, m_settings};

    std::unique_ptr<ui::TForm1> m_form1;
    std::unique_ptr<ui::TForm2> m_form2;
    std::unique_ptr<ui::TForm3> m_form3;
    std::unique_ptr<ui::TForm4> m_form4;
    std::unique_ptr<ui::TForm5> m_form5;
    std::unique_ptr<ui::TForm6> m_form6;
    std::unique_ptr<ui::TForm7> m_form7;
    std::unique_ptr<ui::TForm8> m_form8;

    std::unique_ptr<core::RoomHost> m_room;
    core::HostLaunch m_hostLaunch{m_env.timing};
    core::MemberLaunch m_memberLaunch{m_env.timing};
    std::unique_ptr<Notifications> m_notifications;
};

} // namespace vantrell::app
