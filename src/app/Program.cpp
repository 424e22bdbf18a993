#include "app/Program.h"

#include "core/common/HostInfo.h"
#include "core/common/LocalAddress.h"
#include "core/launch/LaunchSetup.h"
#include "core/lobby/CreateRoomCheck.h"
#include "core/lobby/MainServerChoice.h"
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
      m_mainServerForRun(env.mainServerForRun), m_lobby(env.mainServerAddress, env.mainServerPort),
      m_fileServer(env), m_roomClient(env)
{
    m_lobby.setTiming(env.timing);
    // Everything that talks to the main server (the lobby, the hosted room's advertising and
    // its address request) goes through this one connection, so one choice covers them all.
    m_session.setServerChoice([this] {
        return core::chooseMainServer(m_env, m_mainServerForRun, m_settings.mainServer.address);
    });
    // Only the main window is built now; every other window is built the first time it is
    // needed, with its connections, so the start pays for nothing the player has not opened.
    m_settings.notifications.load(m_settings.file);
    m_form1 = std::make_unique<TForm1>(env, messages, m_settings, m_session);
    connectMainWindow();
    connectNotifications();
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

namespace {

// The window opened from a menu comes up active, ready for the keyboard (and a settings window
// loads as it becomes active): a display server need not activate a window only because it
// is shown.
void showActive(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

void Program::connectMainWindow()
{
    TForm1* main = m_form1.get();
    QObject::connect(main, &TForm1::startedUp, main, [this] { startUp(); });
    QObject::connect(&m_portMapper, &core::UPnPPortMapper::logLine, main, &TForm1::addLogLine);

    // The menus.
    QObject::connect(main, &TForm1::manualJoinRequested, main, [this] { showActive(form8()); });
    QObject::connect(main, &TForm1::sourcePortSettingsRequested, main,
                     [this] { showActive(form2()); });
    QObject::connect(main, &TForm1::networkingSettingsRequested, main,
                     [this] { showActive(form3()); });
    QObject::connect(main, &TForm1::roomCreationApproved, main,
                     [this](SourcePort port) { openRoomCreation(port); });

    // The nickname field of the networking window follows the lobby connection.
    QObject::connect(&m_lobby, &core::LobbyConnection::connected, main, [this] {
        if (m_form3)
            m_form3->setLobbyNicknameEditable(false);
    });
    QObject::connect(&m_lobby, &core::LobbyConnection::disconnected, main, [this] {
        if (m_form3)
            m_form3->setLobbyNicknameEditable(true);
    });

    // Joining a room from the room list.
    QObject::connect(main, &TForm1::joinRequested, &m_roomJoin,
                     [this](const lobby::JoinRow& row) { joinRoom(row); });
    QObject::connect(&m_roomJoin, &core::RoomJoin::logLine, main, &TForm1::addLogLine);
    QObject::connect(&m_roomJoin, &core::RoomJoin::downloadProgress, main,
                     &TForm1::showFileTransfer);
    QObject::connect(&m_roomJoin, &core::RoomJoin::messageBox, main,
                     [this](const QString& text) { m_messages.information(text); });
    QObject::connect(&m_roomJoin, &core::RoomJoin::openRoom, main,
                     [this](const lobby::RoomAddress& room) { form7().openRoom(room); });
    // Closing the main window stops a usermap download, leaving no partial file.
    QObject::connect(main, &TForm1::programEndRequested, &m_roomJoin, &core::RoomJoin::abort);

    // The hosted room's usermap goes out as its settings list names it now.
    m_fileServer.setSettingsSource(
        [this] { return m_room ? m_room->settingsList() : std::vector<roomhost::SettingRow>{}; });

    // The joined room keeps the main window's menus locked from the moment its connection
    // is made until the window closes.
    QObject::connect(&m_roomClient, &core::RoomClient::connected, main, &TForm1::DisableForm1Menus);
}

void Program::connectSettingsWindow(ui::SettingsWindow& window)
{
    // A settings window keeps the main window locked while it is open.
    QObject::connect(&window, &ui::SettingsWindow::mainWindowLockRequested, m_form1.get(),
                     &TForm1::DisableForm1Items);
    QObject::connect(&window, &ui::SettingsWindow::mainWindowUnlockRequested, m_form1.get(),
                     &TForm1::EnableForm1Items);
}

ui::TForm2& Program::form2()
{
    if (m_form2)
        return *m_form2;
    m_form2 = std::make_unique<ui::TForm2>(m_env, m_messages, m_settings);
    ui::TForm2* window = m_form2.get();
    connectSettingsWindow(*window);
    // The usermaps folder chooser.
    QObject::connect(window, &ui::TForm2::ownFolderChooserRequested, window,
                     [this] { form4().open(); });
    return *window;
}

ui::TForm3& Program::form3()
{
    if (m_form3)
        return *m_form3;
    m_form3 = std::make_unique<ui::TForm3>(m_env, m_messages, m_settings);
    ui::TForm3* window = m_form3.get();
    connectSettingsWindow(*window);
    QObject::connect(window, &ui::TForm3::lobbyNicknameChanged, m_form1.get(),
                     &TForm1::setLobbyNickname);
    QObject::connect(window, &ui::TForm3::mainServerChosen, m_form1.get(),
                     [this] { m_mainServerForRun.clear(); });
    if (m_lobby.isOpen())
        window->setLobbyNicknameEditable(false);
    return *window;
}

ui::TForm4& Program::form4()
{
    if (m_form4)
        return *m_form4;
    m_form4 = std::make_unique<ui::TForm4>(m_env, m_messages);
    QObject::connect(m_form4.get(), &ui::TForm4::folderChosen, m_form4.get(),
                     [this](const QString& folder) { form2().applyChosenUsermapsFolder(folder); });
    return *m_form4;
}

ui::TForm5& Program::form5()
{
    if (m_form5)
        return *m_form5;
    m_form5 = std::make_unique<ui::TForm5>(m_env, m_messages);
    ui::TForm5* window = m_form5.get();
    QObject::connect(window, &ui::TForm5::mainWindowLockRequested, m_form1.get(),
                     &TForm1::DisableForm1Items);
    QObject::connect(window, &ui::TForm5::closedWithoutCreating, m_form1.get(),
                     &TForm1::EnableForm1Items);
    QObject::connect(window, &ui::TForm5::roomCreated, window,
                     [this](const roomhost::RoomSettings& settings) { openRoom(settings); });
    return *window;
}

ui::TForm6& Program::form6()
{
    if (m_form6)
        return *m_form6;
    m_form6 = std::make_unique<ui::TForm6>(m_env, m_messages, m_settings, m_form1.get());
    ui::TForm6* host = m_form6.get();
    QObject::connect(host, &ui::TForm6::mainWindowUnlockRequested, m_form1.get(),
                     &TForm1::EnableForm1Items);
    QObject::connect(host, &ui::TForm6::roomClosed, host, [this] { m_room.reset(); });
    // What the file server serves shows in the host window's log.
    QObject::connect(&m_fileServer, &core::FileServer::logLine, host, &ui::TForm6::appendLog);
    connectHostLaunch();
    return *host;
}

ui::TForm7& Program::form7()
{
    if (m_form7)
        return *m_form7;
    m_form7 = std::make_unique<ui::TForm7>(
        m_env, m_messages, m_settings, m_roomClient,
        [this] {
            // What the member announces: the lobby nickname and the ports as they are now.
            return core::RoomClientIdentity{
                m_form1->lobbyNickname().toStdString(), core::hostOsDescription().toStdString(),
                core::localAddress().toStdString(), m_settings.networking.udpPort};
        },
        m_form1.get());
    QObject::connect(m_form7.get(), &ui::TForm7::mainWindowUnlockRequested, m_form1.get(),
                     &TForm1::EnableForm1Items);
    connectMemberLaunch();
    m_notifications->watchRoomClient(m_roomClient, m_form7.get());
    return *m_form7;
}

ui::TForm8& Program::form8()
{
    if (!m_form8)
        m_form8 = std::make_unique<ui::TForm8>(m_env, m_messages, m_form1.get());
    return *m_form8;
}

void Program::connectNotifications()
{
    m_notifications = std::make_unique<Notifications>(m_settings, m_messages, m_form1.get(),
                                                      [this] { return m_form1->lobbyNickname(); });
    m_notifications->watchLobby(m_lobby);
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
    m_hostLaunch.launch(*m_room,
                        core::hostLaunchSetupFor(m_form6->roomSettings(), m_form6->recordDemo(),
                                                 m_settings, m_env.variables));
}

void Program::connectMemberLaunch()
{
    ui::TForm7* room = m_form7.get();
    QObject::connect(&m_roomClient, &core::RoomClient::gameLaunchRequested, room, [this] {
        m_memberLaunch.ClientLaunchhDukeGame(core::memberLaunchSetupFor(
            m_roomClient, m_form7->team().toStdString(), m_form7->recordDemo(),
            m_form7->spectator(), m_settings.file, m_env.variables));
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
    // the file, the nickname rule applied, saved back (a first start writes the file here),
    // the main window unlocked. The window itself waits until it is opened.
    ui::TForm3::reloadAndSaveValues(m_settings, m_messages);
    if (m_form3)
        m_form3->showValues();
    m_form1->EnableForm1Items();
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
    form2().reloadAndSave();
    form5().openFor(port, core::usermapsFolderFor(port, m_settings.sourcePorts));
}

void Program::joinRoom(const lobby::JoinRow& row)
{
    // One room at a time: while the room window is open a double-click only brings it up.
    if (m_form7 && m_form7->isVisible()) {
        m_form7->raise();
        m_form7->activateWindow();
        return;
    }
    m_roomJoin.join(row); // ignored while an earlier join still downloads
}

void Program::openRoom(const roomhost::RoomSettings& settings)
{
    // The host window and its connections come first: the room logs to it from the start.
    ui::TForm6& host = form6();
    if (m_room)
        host.closeRoom(); // lets the old room go (roomClosed) before the new one
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
    m_notifications->watchRoomHost(*m_room, &host);
    host.openRoom(*m_room, settings);
}

} // namespace vantrell::app
