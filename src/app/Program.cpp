#include "app/Program.h"

#include "core/common/HostInfo.h"
#include "core/common/LocalAddress.h"
#include "core/launch/LaunchSetup.h"
#include "core/lobby/CreateRoomCheck.h"
#include "core/roomhost/RoomHostSetup.h"
#include "ui/common/MessageSink.h"
#include "ui/lobby/TForm1.h"
#include "ui/lobby/TForm8.h"
#include "ui/roomclient/TForm7.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"
#include "ui/settings/TForm2.h"
#include "ui/settings/TForm3.h"
#include "ui/settings/TForm4.h"

namespace vantrell::app {

using ui::TForm1;

Program::Program(const core::Environment& env, ui::MessageSink& messages, ProgramParts parts)
    : m_env(env), m_messages(messages), m_parts(std::move(parts)), m_settings(env.configFolder()),
      m_lobby(env.mainServerAddress, env.mainServerPort), m_fileServer(env), m_roomClient(env)
{
    m_lobby.setTiming(env.timing);
    m_settings.notifications.load(m_settings.file);
    m_form1 = std::make_unique<TForm1>(env, messages, m_settings, m_session);
    m_form2 = std::make_unique<ui::TForm2>(env, messages, m_settings);
    m_form3 = std::make_unique<ui::TForm3>(env, messages, m_settings);
    m_form4 = std::make_unique<ui::TForm4>(env, messages);
    m_form5 = std::make_unique<ui::TForm5>(env, messages);
    m_form6 = std::make_unique<ui::TForm6>(env, messages, m_settings, m_form1.get());
    m_form7 = std::make_unique<ui::TForm7>(
        env, messages, m_settings, m_roomClient,
        [this] {
            // What the member announces: the lobby nickname and the ports as they are now.
            return core::RoomClientIdentity{
                m_form1->lobbyNickname().toStdString(), core::hostOsDescription().toStdString(),
                core::localAddress().toStdString(), m_settings.networking.udpPort};
        },
        m_form1.get());
    m_form8 = std::make_unique<ui::TForm8>(env, messages, m_form1.get());
    connectWindows();
}

Program::~Program()
{
    m_notifications.reset(); // it reads the main window's nickname
    // The room goes first: its closing withdraws its advertisement on the lobby connection
    // and reports to the host window.
    if (m_room)
        m_form6->closeRoom();
    m_room.reset();
    m_form8.reset();
    m_form7.reset();
    m_form6.reset();
    m_form5.reset();
    m_form4.reset();
    m_form3.reset();
    m_form2.reset();
    m_form1.reset();
}

void Program::connectWindows()
{
    TForm1* main = m_form1.get();
    QObject::connect(main, &TForm1::startedUp, main, [this] { startUp(); });
    QObject::connect(&m_portMapper, &core::UPnPPortMapper::logLine, main, &TForm1::addLogLine);

    // The menus. The window opened comes up active, ready for the keyboard (and a settings
    // window loads as it becomes active): a display server need not activate a window only
    // because it is shown.
    const auto showActive = [](QWidget* window) {
        return [window] {
            window->show();
            window->raise();
            window->activateWindow();
        };
    };
    QObject::connect(main, &TForm1::manualJoinRequested, m_form8.get(), showActive(m_form8.get()));
    QObject::connect(main, &TForm1::sourcePortSettingsRequested, m_form2.get(),
                     showActive(m_form2.get()));
    QObject::connect(main, &TForm1::networkingSettingsRequested, m_form3.get(),
                     showActive(m_form3.get()));
    QObject::connect(main, &TForm1::roomCreationApproved, m_form5.get(),
                     [this](SourcePort port) { openRoomCreation(port); });

    // Every window that keeps the main window locked while it is open.
    for (ui::SettingsWindow* window :
         std::initializer_list<ui::SettingsWindow*>{m_form2.get(), m_form3.get()}) {
        QObject::connect(window, &ui::SettingsWindow::mainWindowLockRequested, main,
                         &TForm1::DisableForm1Items);
        QObject::connect(window, &ui::SettingsWindow::mainWindowUnlockRequested, main,
                         &TForm1::EnableForm1Items);
    }
    QObject::connect(m_form5.get(), &ui::TForm5::mainWindowLockRequested, main,
                     &TForm1::DisableForm1Items);
    QObject::connect(m_form5.get(), &ui::TForm5::closedWithoutCreating, main,
                     &TForm1::EnableForm1Items);
    QObject::connect(m_form6.get(), &ui::TForm6::mainWindowUnlockRequested, main,
                     &TForm1::EnableForm1Items);

    // The networking settings and the lobby.
    QObject::connect(m_form3.get(), &ui::TForm3::lobbyNicknameChanged, main,
                     &TForm1::setLobbyNickname);
    QObject::connect(&m_lobby, &core::LobbyConnection::connected, m_form3.get(),
                     [this] { m_form3->setLobbyNicknameEditable(false); });
    QObject::connect(&m_lobby, &core::LobbyConnection::disconnected, m_form3.get(),
                     [this] { m_form3->setLobbyNicknameEditable(true); });

    // The usermaps folder chooser of the source-port window.
    QObject::connect(m_form2.get(), &ui::TForm2::ownFolderChooserRequested, m_form4.get(),
                     &ui::TForm4::open);
    QObject::connect(m_form4.get(), &ui::TForm4::folderChosen, m_form2.get(),
                     &ui::TForm2::applyChosenUsermapsFolder);

    // Joining a room from the room list.
    QObject::connect(main, &TForm1::joinRequested, &m_roomJoin,
                     [this](const lobby::JoinRow& row) { joinRoom(row); });
    QObject::connect(&m_roomJoin, &core::RoomJoin::logLine, main, &TForm1::addLogLine);
    QObject::connect(&m_roomJoin, &core::RoomJoin::downloadProgress, main,
                     &TForm1::showFileTransfer);
    QObject::connect(&m_roomJoin, &core::RoomJoin::messageBox, main,
                     [this](const QString& text) { m_messages.information(text); });
    QObject::connect(&m_roomJoin, &core::RoomJoin::openRoom, m_form7.get(), &ui::TForm7::openRoom);
    // Closing the main window stops a usermap download, leaving no partial file.
    QObject::connect(main, &TForm1::programEndRequested, &m_roomJoin, &core::RoomJoin::abort);

    // The hosted room.
    QObject::connect(m_form5.get(), &ui::TForm5::roomCreated, m_form6.get(),
                     [this](const roomhost::RoomSettings& settings) { openRoom(settings); });
    QObject::connect(m_form6.get(), &ui::TForm6::roomClosed, m_form6.get(),
                     [this] { m_room.reset(); });
    // The hosted room's usermap goes out as its settings list names it now; what the file
    // server serves shows in the host window's log.
    m_fileServer.setSettingsSource(
        [this] { return m_room ? m_room->settingsList() : std::vector<roomhost::SettingRow>{}; });
    QObject::connect(&m_fileServer, &core::FileServer::logLine, m_form6.get(),
                     &ui::TForm6::appendLog);

    // The joined room keeps the main window's menus locked from the moment its connection
    // is made until the window closes.
    QObject::connect(&m_roomClient, &core::RoomClient::connected, main, &TForm1::DisableForm1Menus);
    QObject::connect(m_form7.get(), &ui::TForm7::mainWindowUnlockRequested, main,
                     &TForm1::EnableForm1Items);

    connectHostLaunch();
    connectMemberLaunch();
    connectNotifications();
}

void Program::connectNotifications()
{
    m_notifications = std::make_unique<Notifications>(m_settings, m_messages, m_form1.get(),
                                                      [this] { return m_form1->lobbyNickname(); });
    m_notifications->watchLobby(m_lobby);
    m_notifications->watchRoomClient(m_roomClient, m_form7.get());
    QObject::connect(m_form1.get(), &TForm1::desktopNotificationsToggled, m_notifications.get(),
                     &Notifications::setEnabled);
}

void Program::connectHostLaunch()
{
    ui::TForm6* host = m_form6.get();
    QObject::connect(host, &ui::TForm6::hostLaunchRequested, host, [this] { launchHostGame(); });
    QObject::connect(&m_hostLaunch, &core::HostLaunch::roomLog, host, &ui::TForm6::appendLog);
    QObject::connect(&m_hostLaunch, &core::HostLaunch::launchEnabled, host,
                     &ui::TForm6::setLaunchEnabled);
    QObject::connect(&m_hostLaunch, &core::HostLaunch::focusRoomWindow, host,
                     &ui::TForm6::takeFocus);
    QObject::connect(&m_hostLaunch, &core::HostLaunch::roomsListEnabled, &m_session,
                     &core::LobbySession::setRoomsListEnabled);
    QObject::connect(&m_hostLaunch, &core::HostLaunch::message, host,
                     [this](const QString& text) { m_messages.information(text); });
}

void Program::launchHostGame()
{
    // Closing the room (which destroys it) drops a launch still waiting to start its game.
    if (!m_room)
        return;
    m_hostLaunch.launch(*m_room, core::hostLaunchSetupFor(m_form6->roomSettings(),
                                                          m_form6->recordDemo(), m_settings));
}

void Program::connectMemberLaunch()
{
    ui::TForm7* room = m_form7.get();
    QObject::connect(&m_roomClient, &core::RoomClient::gameLaunchRequested, room, [this] {
        m_memberLaunch.ClientLaunchhDukeGame(core::memberLaunchSetupFor(
            m_roomClient, m_form7->team().toStdString(), m_form7->recordDemo(),
            m_form7->spectator(), m_settings.file));
    });
    QObject::connect(&m_memberLaunch, &core::MemberLaunch::roomLog, room, &ui::TForm7::appendLog);
    QObject::connect(&m_memberLaunch, &core::MemberLaunch::roomsListEnabled, &m_session,
                     &core::LobbySession::setRoomsListEnabled);
    QObject::connect(&m_memberLaunch, &core::MemberLaunch::focusRoomWindow, room, [room] {
        room->raise();
        room->activateWindow();
    });
    // The launch starts inside the room connection's handler of "TimeToLaunchGame": its
    // boxes open from a queued call, once that handler is done.
    QObject::connect(
        &m_memberLaunch, &core::MemberLaunch::message, room,
        [this](const QString& text) { m_messages.information(text); }, Qt::QueuedConnection);
    QObject::connect(&m_memberLaunch, &core::MemberLaunch::SendToServerClientNotReady,
                     &m_roomClient, [this] { m_roomClient.SendToServerClientNotReady(); });
    QObject::connect(&m_memberLaunch, &core::MemberLaunch::gameRunningChanged, &m_roomClient,
                     &core::RoomClient::setGameRunning);
    // Leaving the room drops a launch still waiting to start its game.
    QObject::connect(room, &ui::TForm7::mainWindowUnlockRequested, &m_memberLaunch,
                     &core::MemberLaunch::roomClosed);
}

void Program::startUp()
{
    // What showing the networking window and closing it again does: the group fresh from
    // the file, the nickname rule applied, saved back (a first start writes the file here).
    m_form3->reloadAndSave();
    const settings::NetworkingSettings& networking = m_settings.networking;
    m_form1->setLobbyNickname(QString::fromStdString(networking.lobbyNickname));
    if (!networking.upnp)
        return;
    const QString local = core::localAddress();
    const QString tcpPort = QString::fromStdString(networking.tcpPort);
    const QString udpPort = QString::fromStdString(networking.udpPort);
    if (m_parts.portMapping)
        m_parts.portMapping(local, tcpPort, udpPort);
    else
        m_portMapper.requestMappings(local, tcpPort, udpPort, m_env.fileServerPort);
    m_form1->activateWindow();
}

void Program::openRoomCreation(SourcePort port)
{
    // The usermaps folders as the source-port window has them after loading the file and
    // saving it back; it unlocks the main window, which the creation window locks again.
    m_form2->reloadAndSave();
    m_form5->openFor(port, core::usermapsFolderFor(port, m_settings.sourcePorts));
}

void Program::joinRoom(const lobby::JoinRow& row)
{
    // One room at a time: while the room window is open a double-click only brings it up.
    if (m_form7->isVisible()) {
        m_form7->raise();
        m_form7->activateWindow();
        return;
    }
    m_roomJoin.join(row); // ignored while an earlier join still downloads
}

void Program::openRoom(const roomhost::RoomSettings& settings)
{
    if (m_room)
        m_form6->closeRoom(); // lets the old room go (roomClosed) before the new one
    m_room = std::make_unique<core::RoomHost>(
        m_env.timing, core::roomHostConfigFor(settings, m_settings.networking), &m_lobbyLink);
    // The usermap file server runs while the room is open.
    m_room->setFileServer(m_parts.fileServer ? m_parts.fileServer : &m_fileServer);
    // The main server's answer to the room's address request is the host's public address,
    // shown in the host's own row of the member list.
    QObject::connect(&m_lobby, &core::LobbyConnection::yourRemoteIP, m_room.get(),
                     &core::RoomHost::setHostRemoteAddress);
    // Back on the main server after losing it: the room it listed is listed again. The main
    // window's own answer to the connect (version check, nickname) goes out first.
    QObject::connect(&m_lobby, &core::LobbyConnection::connected, m_room.get(),
                     &core::RoomHost::advertiseAgain);
    // A hosted room keeps the main window locked but its chat usable.
    m_form1->enableChatItems();
    m_notifications->watchRoomHost(*m_room, m_form6.get());
    m_form6->openRoom(*m_room, settings);
}

} // namespace vantrell::app
