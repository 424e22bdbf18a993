#include "Player.h"

#include "base/roomhost/RoomSettings.h"
#include "base/transfer/UsermapTransfer.h"
#include "support/FaultRelay.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace vantrell;
using namespace std::chrono_literals;

namespace {

core::Environment makeEnvironment(int index, const SimParams& params)
{
    core::Environment env;
    env.programFolder = QDir(params.root).filePath(nicknameOf(index));
    env.mainServerAddress = QStringLiteral("127.0.0.1");
    env.mainServerPort = params.serverPort;
    env.fileServerPort = params.fileServerPort;
    env.timing = core::Timing(params.speedUp);
    QDir().mkpath(env.programFolder + QStringLiteral("/usermaps"));
    return env;
}

} // namespace

Player::Player(int index, const SimParams& params, const SimClock& clock, SimFigures& figures,
               Ledger& ledger)
    : m_index(index), m_params(params), m_clock(clock), m_figures(figures), m_ledger(ledger),
      m_random(params.seed * 1000003u + static_cast<unsigned>(index)),
      m_env(makeEnvironment(index, params)), m_folder(m_env.programFolder + "/usermaps"),
      m_lobby(QStringLiteral("127.0.0.1"), params.serverPort), m_session(m_env, m_lobby),
      m_link(m_lobby), m_fileServer(m_env), m_client(m_env, core::IcmpMethod::Disabled),
      m_launch(m_env.timing), m_hostLaunch(m_env.timing)
{
    QDir().mkpath(m_env.programFolder + "/game");
    if (!m_game.install(m_env.programFolder + "/game", QStringLiteral("hduke")))
        qFatal("cannot install the stand-in game");
    m_lobby.setTiming(m_env.timing);
    m_lobby.setLocalAddress(playerAddress(index));
    const std::string folder = m_folder.toStdString();
    const auto folders = [folder](const std::string&) { return folder; };
    m_fileServer.setListenAddress(playerAddress(index));
    m_fileServer.setFolderSource(folders);
    m_fileServer.setSettingsSource(
        [this] { return m_room ? m_room->settingsList() : std::vector<roomhost::SettingRow>{}; });
    m_client.setUsermapFolders(folders);

    connect(&m_lobby, &core::LobbyConnection::connected, this, [this] {
        m_lobbyOpenSince = m_clock.now();
        ++m_figures.connects;
        trace(QStringLiteral("connected to the main server"));
    });
    connect(&m_lobby, &core::LobbyConnection::disconnected, this, [this] {
        trace(QStringLiteral("lost the main server"));
        listingChanged();
        scheduleNext(2, 15); // a player who lost the lobby connects again soon
    });
    connect(&m_lobby, &core::LobbyConnection::roomsListUpdated, this,
            [this](const lobby::NewRoomsListUpdate& list) {
                m_lastList = list;
                if (m_listHandler)
                    m_listHandler(*this, list);
            });

    connect(&m_client, &core::RoomClient::connected, this,
            [this] { m_believedSince = m_clock.now(); });
    connect(&m_client, &core::RoomClient::readyAvailable, this, [this] {
        m_checkRunning = false;
        const auto& rows = m_client.settingsRows();
        // A usermap that was not there at the join came from the host's file server.
        if (rows.size() > roomhost::kMapRow && transfer::isUsermap(rows[roomhost::kMapRow].value)) {
            const QString map = QString::fromStdString(rows[roomhost::kMapRow].value);
            if (!m_mapsAtJoin.contains(map) && QFile::exists(m_folder + "/" + map))
                ++m_figures.transfers;
        }
        checkUsermapFolder(QStringLiteral("after the usermap check"));
    });
    // The room window's message box, then its close: the script closes at once.
    connect(&m_client, &core::RoomClient::leaveRequested, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { leaveRoom(); }, Qt::QueuedConnection);
    });
    connect(&m_client, &core::RoomClient::droppedFromRoom, this, [this] { scheduleNext(1, 5); });
    // The member's launch, as the room window wires it: a real stand-in game process.
    connect(&m_client, &core::RoomClient::gameLaunchRequested, this,
            [this] { startMemberLaunch(); });
    connect(&m_launch, &core::MemberLaunch::SendToServerClientNotReady, this,
            [this] { m_client.SendToServerClientNotReady(); });
    connect(&m_launch, &core::MemberLaunch::gameRunningChanged, this,
            [this](bool running) { m_client.setGameRunning(running); });
    connect(&m_launch, &core::MemberLaunch::gameStarted, this, [this] {
        trace(QStringLiteral("starts the game of ") + nicknameOf(m_launchHost));
        ++m_figures.games;
        if (gameStarted)
            gameStarted(*this, m_launchHost);
    });
    connect(&m_hostLaunch, &core::HostLaunch::gameStarted, this, [this] {
        trace(QStringLiteral("starts its own game"));
        ++m_figures.hostGames;
    });
    connect(&m_hostLaunch, &core::HostLaunch::message, this, [this](const QString& text) {
        m_ledger.note(nickname() + " could not start its own game: " + text);
    });
    connect(&m_launch, &core::MemberLaunch::message, this, [this](const QString& text) {
        trace(QStringLiteral("cannot start the game: ") + text);
        if (launchRefused)
            launchRefused(*this, m_launchHost, text);
    });

    m_script.setSingleShot(true);
    connect(&m_script, &QTimer::timeout, this, [this] { act(); });
}

Player::~Player()
{
    m_stopped = true;
    m_client.close();
    m_room.reset();
}

void Player::setFaulted(bool faulted)
{
    if (!faulted) {
        m_lobbyRelay.reset();
        m_lobby.setServer(QStringLiteral("127.0.0.1"), m_params.serverPort);
        return;
    }
    m_lobbyRelay = std::make_unique<FaultRelay>(QHostAddress::LocalHost, m_params.serverPort);
    m_lobbyRelay->setSourceAddress(playerAddress(m_index));
    m_lobby.setServer(QStringLiteral("127.0.0.1"), m_lobbyRelay->port());
    m_lobby.setLocalAddress({});
}

std::vector<FaultRelay*> Player::relays() const
{
    std::vector<FaultRelay*> out;
    for (const auto* relay : {&m_lobbyRelay, &m_roomRelay, &m_fileRelay})
        if (*relay)
            out.push_back(relay->get());
    return out;
}

int Player::believedHost() const
{
    return m_client.isInRoom() && m_client.isConnected() ? m_stayHost : -1;
}

void Player::start(std::function<std::vector<Player*>()> others)
{
    m_others = std::move(others);
    m_session.startRoomRefresh();
    scheduleNext(0, 20);
}

void Player::stop()
{
    m_stopped = true;
    m_script.stop();
    leaveRoom();
    closeRoom();
    m_lobby.close();
    m_session.setRoomsListEnabled(false);
}

double Player::uniform(double from, double to)
{
    return std::uniform_real_distribution<double>(from, to)(m_random);
}

bool Player::chance(double p)
{
    return uniform(0, 1) < p;
}

void Player::scheduleNext(double minSeconds, double maxSeconds)
{
    if (m_stopped)
        return;
    const int ms = m_clock.realMs(uniform(minSeconds, maxSeconds));
    if (!m_script.isActive() || m_script.remainingTime() > ms)
        m_script.start(ms);
}

void Player::act()
{
    if (m_stopped)
        return;
    scheduleNext(2, 12);
    if (!m_lobby.isOpen()) {
        if (!m_lobby.isConnecting())
            connectLobby();
        return;
    }
    if (m_room) {
        if (chance(0.2) && m_room->ServerRoomSendChatMessageToClientsTyped("gg"))
            ++m_figures.chats;
        else if (m_room->members().size() > 1 && m_room->allMembersReady() &&
                 !m_hostLaunch.isBusy() && chance(0.4))
            launch();
        else if (chance(0.05))
            closeRoom();
        return;
    }
    if (m_client.isInRoom()) {
        if (!m_client.isConnected()) {
            if (chance(0.5))
                leaveRoom();
        } else if (!m_checkRunning && !m_client.isReady() && !m_launch.isBusy() && chance(0.6)) {
            trace(QStringLiteral("is ready"));
            m_client.SendToServerClientReady();
        } else if (chance(0.15) && m_client.ClientRoomSendChatMessage("hi")) {
            ++m_figures.chats;
        } else if (chance(0.05) && m_client.isReady()) {
            trace(QStringLiteral("is not ready"));
            m_client.SendToServerClientNotReady();
        } else if (chance(0.08) && !m_launch.isBusy()) {
            leaveRoom();
        }
        return;
    }
    const double roll = uniform(0, 1);
    if (roll < 0.15) {
        m_lobby.sendGlobalChat(nickname(), QStringLiteral("hello from %1").arg(nickname()));
        ++m_figures.chats;
    } else if (roll < 0.35) {
        openRoom();
    } else if (roll < 0.85) {
        joinSomeRoom();
    } else if (roll < 0.88) {
        m_lobby.close(); // the player disconnects; the script connects again later
        trace(QStringLiteral("disconnects"));
        listingChanged();
    }
}

void Player::connectLobby()
{
    m_session.open(nickname());
}

void Player::openRoom()
{
    roomhost::RoomSettings settings;
    settings.kind = SourcePort::HDuke;
    settings.roomName =
        QStringLiteral("%1's room %2").arg(nickname()).arg(++m_roomsMade).toStdString();
    settings.playerPlaces = static_cast<int>(uniform(2, 9));
    if (chance(0.6)) {
        // A usermap only this host has.
        const QString usermap = QStringLiteral("u%1_%2.map").arg(m_index).arg(m_roomsMade);
        QFile file(m_folder + "/" + usermap);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write a usermap");
        file.write(usermapBytes(m_params.seed, usermap));
        settings.originalMapChosen = false;
        settings.userMap = usermap.toStdString();
    } else {
        settings.originalMap = "E1L1";
    }
    core::RoomHostConfig config;
    config.listenAddress = playerAddress(m_index);
    config.roomPort = m_params.roomPort;
    config.roomPortSetting = std::to_string(m_params.roomPort);
    config.settings = settings;
    config.nickname = nickname().toStdString();
    config.os = "Linux 64 bit ";
    config.localAddress = address().toStdString();
    config.udpPort = "23513";
    config.icmpMethod = core::IcmpMethod::Disabled;
    m_roomSettings = settings;
    m_room = std::make_unique<core::RoomHost>(m_env.timing, config, &m_link);
    m_room->setFileServer(&m_fileServer);
    connect(&m_lobby, &core::LobbyConnection::yourRemoteIP, m_room.get(),
            &core::RoomHost::setHostRemoteAddress);
    connect(&m_lobby, &core::LobbyConnection::connected, m_room.get(),
            &core::RoomHost::advertiseAgain);
    connect(&m_lobby, &core::LobbyConnection::connected, m_room.get(),
            [this] { listingChanged(); });
    connect(m_room.get(), &core::RoomHost::advertisingChanged, this, [this] { listingChanged(); });
    m_memberCount = 1;
    connect(m_room.get(), &core::RoomHost::memberListChanged, this, [this] {
        if (m_room->members().size() != m_memberCount)
            m_membersChangedAt = m_clock.now();
        m_memberCount = m_room->members().size();
    });
    if (!m_room->open()) {
        m_ledger.note(QStringLiteral("%1 could not open a room").arg(nickname()));
        m_room.reset();
        return;
    }
    ++m_figures.rooms;
    m_room->advertiseButtonClicked();
    listingChanged();
}

void Player::closeRoom()
{
    if (!m_room)
        return;
    trace(QStringLiteral("closes its room"));
    m_room->close();
    m_room.reset();
    listingChanged();
}

void Player::trace(const QString& what) const
{
    if (m_params.verbose)
        m_ledger.note(nickname() + " " + what);
}

void Player::listingChanged()
{
    // Called on every event that may change what the main server lists for this player:
    // room opened or closed, advertised or withdrawn, lobby connected or lost.
    m_listingSince = m_clock.now();
    const bool listed = m_room && m_room->isAdvertised() && m_lobby.isOpen();
    trace(listed ? QStringLiteral("room listed") : QStringLiteral("room not listed"));
}

void Player::joinSomeRoom()
{
    std::vector<const lobby::RoomRecord*> rooms;
    for (const auto& record : m_lastList.rooms)
        if (record.address != address().toStdString() && record.inGame != "Yes")
            rooms.push_back(&record);
    if (rooms.empty())
        return;
    const auto& record =
        *rooms[static_cast<std::size_t>(uniform(0, static_cast<double>(rooms.size())))];
    m_stayHost = -1;
    for (Player* other : m_others())
        if (other->address().toStdString() == record.address)
            m_stayHost = other->index();
    if (m_stayHost < 0)
        return;
    lobby::RoomAddress where{record.address, record.roomPort, record.sourcePort};
    if (m_lobbyRelay) {
        // The room link goes through this player's relays, faulted with its lobby link.
        const QHostAddress host(QString::fromStdString(record.address));
        m_roomRelay = std::make_unique<FaultRelay>(host, m_params.roomPort, relayAddress(m_index),
                                                   m_params.roomPort);
        m_fileRelay = std::make_unique<FaultRelay>(host, m_params.fileServerPort,
                                                   relayAddress(m_index), m_params.fileServerPort);
        for (auto* relay : {m_roomRelay.get(), m_fileRelay.get()})
            relay->setSourceAddress(playerAddress(m_index));
        where.ip = relayAddress(m_index).toString().toStdString();
    }
    ++m_figures.joins;
    trace(QStringLiteral("joins the room of ") + nicknameOf(m_stayHost));
    m_checkRunning = true;
    m_mapsAtJoin = QDir(m_folder).entryList(QDir::Files);
    m_client.open(where,
                  {nickname().toStdString(), "Linux 64 bit ", address().toStdString(), "23513"});
}

void Player::leaveRoom()
{
    if (!m_client.isInRoom())
        return;
    trace(QStringLiteral("leaves the room of ") + nicknameOf(m_stayHost));
    m_client.close();
    m_launch.roomClosed();
    m_stayHost = -1;
    m_checkRunning = false;
    m_roomRelay.reset();
    m_fileRelay.reset();
    checkUsermapFolder(QStringLiteral("after leaving a room"));
}

void Player::launch()
{
    // The rows at the click are the game the host starts: every one of them is ready, and
    // exactly their games must start.
    std::set<int> ready;
    QStringList shown;
    const auto& rows = m_room->members();
    for (std::size_t i = 1; i < rows.size(); ++i) {
        shown << QString::fromStdString(rows[i].nickname + ":" + rows[i].readyCode);
        for (Player* other : m_others())
            if (rows[i].nickname == other->nickname().toStdString())
                ready.insert(other->index());
    }
    trace(QStringLiteral("starts the game with ") + shown.join(' '));
    ++m_figures.launches;
    if (launchObserved)
        launchObserved(*this, ready);
    // The host's own launch: the broadcast, the in-game flag and a real stand-in game.
    m_game.configure(0, m_clock.realMs(uniform(5, 30)));
    core::HostLaunchSetup setup;
    setup.settings = m_roomSettings;
    setup.nickname = nickname().toStdString();
    setup.executable = m_game.path().toStdString();
    setup.usermapFolder = m_folder.toStdString();
    m_hostLaunch.launch(*m_room, setup);
}

void Player::startMemberLaunch()
{
    m_launchHost = m_stayHost;
    // A game of a few designed seconds.
    m_game.configure(0, m_clock.realMs(uniform(5, 30)));
    core::MemberLaunchSetup setup;
    setup.inputs.settings = m_client.settingsRows();
    setup.inputs.members = m_client.memberRows();
    setup.inputs.roomAddress = m_client.roomAddress().ip;
    setup.inputs.nickname = nickname().toStdString();
    setup.ownRemotePort = m_client.ownRemotePort().toStdString();
    setup.sourcePorts.ports.fill({true, m_game.path().toStdString()});
    setup.sourcePorts.usermapsFolders.fill(m_folder.toStdString());
    m_launch.ClientLaunchhDukeGame(std::move(setup));
}

void Player::checkUsermapFolder(const QString& why)
{
    static const QRegularExpression usermapName(QStringLiteral("^u(\\d+)_\\d+\\.map$"));
    const QStringList files = QDir(m_folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : files) {
        m_ledger.check();
        const auto match = usermapName.match(name);
        QFile file(m_folder + "/" + name);
        if (!match.hasMatch()) {
            m_ledger.breach(QStringLiteral("no partial or temporary file"),
                            QStringLiteral("%1 left in the usermaps folder %2").arg(name, why),
                            {nickname()});
        } else if (!file.open(QIODevice::ReadOnly) ||
                   file.readAll() != usermapBytes(m_params.seed, name)) {
            m_ledger.breach(QStringLiteral("usermap byte for byte the host's"),
                            QStringLiteral("%1 differs from the host's %2").arg(name, why),
                            {nickname(), nicknameOf(match.captured(1).toInt())});
        }
    }
}
