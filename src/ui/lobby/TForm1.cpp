#include "lobby/TForm1.h"

#include "common/HostInfo.h"
#include "common/LocalAddress.h"
#include "common/MessageSink.h"
#include "common/Windows.h"
#include "lobby/BackgroundPicture.h"
#include "lobby/TForm8.h"
#include "lobby/Updater.h"
#include "roomhost/TForm5.h"
#include "settings/ConfigFile.h"
#include "settings/TForm2.h"
#include "settings/TForm3.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace std::chrono_literals;

namespace vantrell::ui {

namespace {
constexpr int kMinimumWidth = 771;
constexpr int kMinimumHeight = 516;

// The room list's columns and their widths; a width of 0 is a hidden column.
struct RoomColumn
{
    const char* title;
    int width;
};
constexpr RoomColumn kRoomColumns[] = {
    {"Private", 54},  {"Room Name", 400}, {"Game", 150},      {"Source Port", 150},
    {"Players", 60},  {"Map", 150},       {"Game Type", 150}, {"Skill", 100},
    {"In Game", 100}, {"ID", 0},          {"RoomPort", 0},    {"IP", 0},
};

const char* const kStyle = "QLabel { color: lime; background: transparent; }"
                           "QLabel#fileTransfersLabel { color: aqua; }"
                           "QLineEdit, QPlainTextEdit, QTreeWidget {"
                           " background-color: black; color: lime; }";
} // namespace

TForm1::TForm1(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QMainWindow(parent), m_env(env), m_messages(messages), m_windows(windows),
      m_lobby(env.mainServerAddress, env.mainServerPort), m_background(lobbyBackgroundPicture())
{
    setWindowTitle(QStringLiteral("Vantrell Alpha Version 3829"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
    setPalette(palette);
    buildControls();
    buildMenus();
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kMinimumWidth, kMinimumHeight);

    m_chatThrottle.setSingleShot(true);
    m_env.timing.setInterval(m_chatThrottle, 2000ms);
    m_env.timing.setInterval(m_roomRefresh, 10000ms);
    connect(&m_chatThrottle, &QTimer::timeout, this, &TForm1::chatThrottleTimeout);
    connect(&m_roomRefresh, &QTimer::timeout, this, &TForm1::roomRefreshTimeout);

    connect(m_connectButton, &QPushButton::clicked, this, &TForm1::connectClick);
    connect(m_sendButton, &QPushButton::clicked, this, &TForm1::sendClick);
    connect(m_chatLine, &QLineEdit::returnPressed, this, &TForm1::sendClick);
    connect(m_getRoomsButton, &QPushButton::clicked, this, &TForm1::getRoomsListClick);

    connect(&m_lobby, &core::LobbyConnection::connected, this, &TForm1::onConnected);
    connect(&m_lobby, &core::LobbyConnection::connectFailed, this, &TForm1::onConnectFailed);
    connect(&m_lobby, &core::LobbyConnection::disconnected, this, &TForm1::onDisconnected);
    connect(&m_lobby, &core::LobbyConnection::userListUpdated, this, &TForm1::ClientUpdateUserList);
    connect(&m_lobby, &core::LobbyConnection::timedUserListUpdated, this,
            &TForm1::ClientTimedUpdatedUserListToPreventInvUsers);
    connect(&m_lobby, &core::LobbyConnection::globalChatReceived, this,
            &TForm1::ClientDisplayChatMessages);
    connect(&m_lobby, &core::LobbyConnection::wrongVersion, this, &TForm1::outdatedVersion);
}

TForm1::~TForm1() = default;

void TForm1::buildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("lobbyArea"));
    central->setStyleSheet(QString::fromLatin1(kStyle));
    setCentralWidget(central);

    m_nicknameBox = new QLineEdit(QStringLiteral("Build-game player"), central);
    m_nicknameBox->setObjectName(QStringLiteral("nicknameBox"));
    m_nicknameBox->setReadOnly(true);
    m_nicknameBox->setEnabled(false);
    m_getRoomsButton = new QPushButton(QStringLiteral("Get Rooms List"), central);
    m_getRoomsButton->setObjectName(QStringLiteral("getRoomsButton"));
    m_clientsConnectedBox = new QLineEdit(QStringLiteral("0"), central);
    m_clientsConnectedBox->setObjectName(QStringLiteral("clientsConnectedBox"));
    m_clientsConnectedBox->setReadOnly(true);
    m_clientsConnectedBox->setMaximumWidth(60);
    m_connectButton = new QPushButton(QStringLiteral("Connect"), central);
    m_connectButton->setObjectName(QStringLiteral("connectButton"));

    auto* topRow = new QHBoxLayout;
    topRow->addWidget(new QLabel(QStringLiteral("Nickname:"), central));
    topRow->addWidget(m_nicknameBox, 1);
    topRow->addWidget(m_getRoomsButton);
    topRow->addSpacing(12);
    topRow->addWidget(new QLabel(QStringLiteral("Clients Connected:"), central));
    topRow->addWidget(m_clientsConnectedBox);
    topRow->addWidget(m_connectButton);

    auto* fileTransfersLabel = new QLabel(QStringLiteral("File Transfers:"), central);
    fileTransfersLabel->setObjectName(QStringLiteral("fileTransfersLabel"));
    m_fileTransferBar = new QProgressBar(central);
    m_fileTransferBar->setObjectName(QStringLiteral("fileTransferBar"));
    m_fileTransferBar->setValue(0);
    auto* secondRow = new QHBoxLayout;
    secondRow->addWidget(fileTransfersLabel);
    secondRow->addWidget(m_fileTransferBar, 1);

    m_usersOnline = new QTreeWidget(central);
    m_usersOnline->setObjectName(QStringLiteral("usersOnline"));
    m_usersOnline->setHeaderLabels({QStringLiteral("Users Online")});
    m_usersOnline->setRootIsDecorated(false);
    m_usersOnline->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_usersOnline->header()->setSectionResizeMode(QHeaderView::Fixed);
    m_usersOnline->setColumnWidth(0, 165);
    m_usersOnline->setFixedWidth(165 + 2 * m_usersOnline->frameWidth());
    m_usersOnline->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_roomList = new QTreeWidget(central);
    m_roomList->setObjectName(QStringLiteral("roomList"));
    m_roomList->setRootIsDecorated(false);
    m_roomList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_roomList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_roomList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QStringList titles;
    for (const RoomColumn& column : kRoomColumns)
        titles << QString::fromLatin1(column.title);
    m_roomList->setHeaderLabels(titles);
    for (int i = 0; i < static_cast<int>(std::size(kRoomColumns)); ++i) {
        if (kRoomColumns[i].width == 0)
            m_roomList->setColumnHidden(i, true);
        else
            m_roomList->setColumnWidth(i, kRoomColumns[i].width);
    }
    m_roomList->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    m_roomList->header()->setStretchLastSection(false);

    m_lobbyLog = new QPlainTextEdit(central);
    m_lobbyLog->setObjectName(QStringLiteral("lobbyLog"));
    m_lobbyLog->setReadOnly(true);
    m_lobbyLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_chatLine = new QLineEdit(central);
    m_chatLine->setObjectName(QStringLiteral("chatLine"));
    m_sendButton = new QPushButton(QStringLiteral("Send"), central);
    m_sendButton->setObjectName(QStringLiteral("sendButton"));
    auto* chatRow = new QHBoxLayout;
    chatRow->addWidget(m_chatLine, 1);
    chatRow->addWidget(m_sendButton);

    auto* right = new QVBoxLayout;
    right->addWidget(m_roomList, 1);
    right->addWidget(m_lobbyLog, 1);
    right->addLayout(chatRow);

    auto* body = new QHBoxLayout;
    body->addWidget(m_usersOnline);
    body->addLayout(right, 1);

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(topRow);
    layout->addLayout(secondRow);
    layout->addLayout(body, 1);
}

void TForm1::buildMenus()
{
    menuBar()->setStyleSheet(QStringLiteral("QMenuBar { background-color: black; color: lime; }"
                                            "QMenuBar::item:selected { background-color: #004000; }"
                                            "QMenuBar::item:disabled { color: #2e6b2e; }"));
    m_actionMenu = menuBar()->addMenu(QStringLiteral("Action"));
    m_actionMenu->addAction(QStringLiteral("Single Player"));
    QMenu* createRoomMenu = m_actionMenu->addMenu(QStringLiteral("Create a room"));
    QMenu* duke = createRoomMenu->addMenu(QStringLiteral("Duke Nukem 3D"));
    duke->addAction(QStringLiteral("hDuke"), this,
                    [this] { createRoom(roomhost::RoomKind::HDuke); });
    duke->addAction(QStringLiteral("EDuke32-OldMP"), this,
                    [this] { createRoom(roomhost::RoomKind::OldMP); });
    createRoomMenu->addMenu(QStringLiteral("Shadow Warrior"));
    QMenu* blood = createRoomMenu->addMenu(QStringLiteral("Blood: One Unit Whole Blood"));
    blood->addAction(QStringLiteral("NBlood"), this,
                     [this] { createRoom(roomhost::RoomKind::NBlood); });
    m_actionMenu->addAction(QStringLiteral("Join a room manually"), this, [this] {
        if (m_windows.form8)
            m_windows.form8->show();
    });
    m_actionMenu->addAction(QStringLiteral("Quit"), this, [this] { emit programEndRequested(); });

    m_settingsMenu = menuBar()->addMenu(QStringLiteral("Settings"));
    m_settingsMenu->addAction(QStringLiteral("Source Ports"), this, [this] {
        if (m_windows.form2)
            m_windows.form2->show();
    });
    m_settingsMenu->addAction(QStringLiteral("Multiplayer and Networking"), this, [this] {
        if (m_windows.form3)
            m_windows.form3->show();
    });

    m_helpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    m_helpMenu->addAction(QStringLiteral("About"));
}

void TForm1::DisableForm1Items()
{
    for (QMenu* menu : {m_actionMenu, m_settingsMenu, m_helpMenu})
        menu->menuAction()->setEnabled(false);
    m_sendButton->setEnabled(false);
    m_connectButton->setEnabled(false);
    m_chatLine->setEnabled(false);
}

void TForm1::EnableForm1Items()
{
    for (QMenu* menu : {m_actionMenu, m_settingsMenu, m_helpMenu})
        menu->menuAction()->setEnabled(true);
    m_sendButton->setEnabled(true);
    m_connectButton->setEnabled(true);
    m_chatLine->setEnabled(true);
    if (isConnected())
        m_connectButton->setEnabled(false);
}

QString TForm1::lobbyNickname() const
{
    return m_nicknameBox->text();
}

void TForm1::setLobbyNickname(const QString& nickname)
{
    m_nicknameBox->setText(nickname);
}

bool TForm1::isConnected() const
{
    return m_lobby.isOpen();
}

void TForm1::setGetRoomsListEnabled(bool enabled)
{
    m_getRoomsButton->setEnabled(enabled);
}

void TForm1::addLogLine(const QString& line)
{
    // Not appendPlainText(): it drops an empty first line, and advice starts with one.
    QTextCursor cursor(m_lobbyLog->document());
    cursor.movePosition(QTextCursor::End);
    if (m_logLineCount > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++m_logLineCount;
    QScrollBar* bar = m_lobbyLog->verticalScrollBar();
    bar->setValue(bar->maximum());
}

QStringList TForm1::lobbyLogLines() const
{
    if (m_logLineCount == 0)
        return {};
    return m_lobbyLog->toPlainText().split(QLatin1Char('\n'));
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_startedUp) {
        m_startedUp = true;
        startUp();
    }
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        setMinimumSize(kMinimumWidth, kMinimumHeight);
        if (!m_roomRefresh.isActive())
            m_roomRefresh.start();
    }
}

void TForm1::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawPixmap(rect(), m_background);
    QMainWindow::paintEvent(event);
}

namespace {
// Window sizes are stored as outer sizes; Qt resizes the inside of the frame.
QSize frameExtra(const QWidget& window)
{
    return window.frameGeometry().size() - window.size();
}
} // namespace

void TForm1::startUp()
{
    const settings::ConfigFile config(m_env.configFolder());
    if (config.exists()) {
        const settings::ConfigFile::SavedSize saved = config.restoreSize("Window Size");
        if (saved.height)
            resize(width(), *saved.height - frameExtra(*this).height());
        if (saved.width)
            resize(*saved.width - frameExtra(*this).width(), height());
    }
    // Centred at the size it starts with.
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    m_configuredUdpPort = QStringLiteral("23513");
    m_configuredTcpPort = QStringLiteral("8501");
    if (config.exists()) {
        const auto read = [&config](std::string_view section, std::string_view key,
                                    const QString& current) {
            return QString::fromStdString(config.readString(section, key, current.toStdString()));
        };
        setLobbyNickname(read("Nicknames", "Launcher Nickname", lobbyNickname()));
        m_configuredUdpPort = read("Configured Ports", "UDPPort", m_configuredUdpPort);
        m_configuredTcpPort = read("Configured Ports", "TCPPort", m_configuredTcpPort);
    }

    if (m_windows.form3) {
        m_windows.form3->reloadAndSave();
        if (m_windows.form3->upnpEnabled()) {
            const QString local = core::localAddress();
            if (m_portMapping)
                m_portMapping(local, m_configuredTcpPort, m_configuredUdpPort);
            activateWindow();
        }
    }
}

void TForm1::connectClick()
{
    const QString nickname = lobbyNickname();
    if (nickname.isEmpty())
        m_messages.information(
            QStringLiteral("You must change your NickName before joining the Main Server."));
    if (nickname.size() < 3) {
        m_messages.information(QStringLiteral(
            "You must change your NickName before joining the Main Server, its to small."));
        return;
    }
    if (m_lobby.isOpen() || m_lobby.isConnecting())
        return;
    // Not pressed twice while the connection is being made.
    m_connectButton->setEnabled(false);
    m_lobby.open();
}

void TForm1::onConnectFailed(const QString& errorText)
{
    m_connectButton->setEnabled(true);
    m_messages.information(QStringLiteral("CLIENT CONNECTION ERROR, server might be down! ") +
                           errorText);
}

void TForm1::onConnected()
{
    addLogLine(QStringLiteral("You are now connected to the Vantrell main server!"));
    if (m_windows.form3)
        m_windows.form3->setLobbyNicknameEditable(false);
    m_lobby.ClientVersionCheck();
    m_connectButton->setEnabled(false);
    const QString computerName = core::hostComputerName();
    m_lobby.SendUserDetails(lobbyNickname(), computerName);
}

void TForm1::onDisconnected()
{
    addLogLine(QStringLiteral("Disconnected from the server."));
    if (m_windows.form3)
        m_windows.form3->setLobbyNicknameEditable(true);
}

void TForm1::sendClick()
{
    if (m_lobby.isOpen()) {
        if (m_chatLine->text().isEmpty())
            return;
        m_lobby.sendGlobalChat(lobbyNickname(), m_chatLine->text());
    } else {
        addLogLine(QStringLiteral("You are not connected to the server!"));
    }
    m_chatLine->clear();
    m_chatLine->setEnabled(false);
    m_sendButton->setEnabled(false);
    m_chatThrottle.start();
}

void TForm1::chatThrottleTimeout()
{
    m_chatLine->setEnabled(true);
    m_sendButton->setEnabled(true);
    m_chatLine->setFocus();
    m_chatLine->end(false);
    if (m_lobby.isOpen())
        m_connectButton->setEnabled(false);
    m_chatThrottle.stop();
}

void TForm1::getRoomsListClick()
{
    if (m_lobby.isOpen())
        m_lobby.requestRoomsList();
}

void TForm1::roomRefreshTimeout()
{
    if (m_lobby.isOpen() && m_getRoomsButton->isEnabled())
        getRoomsListClick();
}

void TForm1::setUsers(const QStringList& nicknames)
{
    m_usersOnline->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(nicknames.size());
    for (const QString& nickname : nicknames)
        rows << new QTreeWidgetItem(QStringList{nickname});
    m_usersOnline->addTopLevelItems(rows);
}

void TForm1::ClientUpdateUserList(const QString& countText, const QStringList& nicknames)
{
    m_usersOnline->clear();
    m_clientsConnectedBox->setText(countText);
    setUsers(nicknames);
}

void TForm1::ClientTimedUpdatedUserListToPreventInvUsers(const QStringList& nicknames)
{
    setUsers(nicknames);
}

void TForm1::ClientDisplayChatMessages(const QString& nickname, const QString& text)
{
    addLogLine(nickname + QStringLiteral(": ") + text);
}

void TForm1::outdatedVersion()
{
    addLogLine(QStringLiteral("You have an outdated version of Vantrex. Please download the most "
                              "recent version from ") +
               m_env.updateArchiveUrl() + QStringLiteral("."));
    m_lobby.close();
    // The wait keeps the window responsive: the rest runs from the event loop.
    m_env.timing.singleShot(this, 3000ms, [this] { offerUpdate(); });
}

void TForm1::offerUpdate()
{
    m_connectButton->setEnabled(true);
    m_usersOnline->clear();
    if (!m_messages.question(QStringLiteral("Client Update - Would you like to auto update?")))
        return;
    const QString updater = core::updaterPath(QDir::currentPath());
    if (updater.isEmpty()) {
        m_messages.information(QStringLiteral("Unable to Auto Update because the file \"") +
                               core::updaterFileName() + QStringLiteral("\" is missing."));
        return;
    }
    core::startUpdater(updater);
    TerminateMainThread();
}

void TForm1::addLogLines(std::initializer_list<QString> lines)
{
    for (const QString& line : lines)
        addLogLine(line);
}

namespace {
struct CreateRoomCommand
{
    roomhost::RoomKind kind;
    const char* pathKey;
    const char* enabledKey;
    const char* folderKey;
    bool executableFirst;
    const char* notEnabled;
    const char* notConfigured;
    const char* executableMissing[2];
    const char* folderMissing[2];
};

constexpr CreateRoomCommand kCreateRoomCommands[] = {
    {roomhost::RoomKind::HDuke,
     "hDuke Path",
     "hDuke Checkbox",
     "Duke3d Usermaps Path",
     true,
     "You need to enable the hDuke Source Port in the options!",
     "You need to configure hDuke as a Source Port first before creating a game!",
     {"The SourcePort for the hDuke settings is invalid.", "Please configure your hDuke settings."},
     {"Your Duke Nukem 3D UserMaps folder is invalid.",
      "Please configure your UserMap folder settings to store maps."}},
    {roomhost::RoomKind::OldMP,
     "EDuke32-OldMP Path",
     "EDuke32-OldMP Checkbox",
     "Duke3d Usermaps Path",
     false,
     "You need to enable the EDuke32-OldMP Source Port in the options!",
     "You need to configure EDuke32-OldMP as a Source Port first before creating a game!",
     {"Your EDuke32-OldMP SourcePort location is invalid.",
      "Please check your Duke Nukem 3D EDuke32-OldMP path settings."},
     {"Your Duke Nukem 3D UserMaps location is invalid.",
      "Please check your Duke Nukem 3D UserMaps folder location settings."}},
    {roomhost::RoomKind::NBlood,
     "nBlood Path",
     "nBlood Checkbox",
     "Blood Usermaps Path",
     false,
     "You need to enable the NBlood Source Port in the options!",
     "You need to configure NBlood as a Source Port first before creating a game!",
     {"Your NBlood SourcePort location is invalid.",
      "Please check your Blood NBlood path settings."},
     {"Your Blood UserMaps location is invalid.",
      "Please check your Blood UserMaps folder location settings."}},
};
} // namespace

void TForm1::createRoom(roomhost::RoomKind kind)
{
    const CreateRoomCommand* command = nullptr;
    for (const CreateRoomCommand& candidate : kCreateRoomCommands) {
        if (candidate.kind == kind)
            command = &candidate;
    }
    if (!command)
        return;

    QString path;
    QString folder;
    bool enabled = false;
    const settings::ConfigFile config(m_env.configFolder());
    if (config.exists()) {
        path = QString::fromStdString(config.readString("GamePath", command->pathKey, ""));
        enabled = config.readBool("GamePath", command->enabledKey, false);
        folder = QString::fromStdString(
            config.readString("Usermaps Directorys", command->folderKey, ""));
    }

    if (!enabled)
        m_messages.information(QString::fromLatin1(command->notEnabled));
    if (path.isEmpty())
        m_messages.information(QString::fromLatin1(command->notConfigured));
    if (!enabled || path.isEmpty())
        return;
    if (folder.isEmpty()) {
        m_messages.information(QStringLiteral(
            "You need to configure a UserMaps folder for maps in the settings before creating "
            "a game!"));
        return;
    }

    const bool executableFound = QFileInfo(path).isFile();
    const bool folderFound = QFileInfo(folder).isDir();
    const auto fail = [this](const char* const(&lines)[2]) {
        addLogLines(
            {QString(), QString::fromLatin1(lines[0]), QString::fromLatin1(lines[1]), QString()});
    };
    if (command->executableFirst) {
        if (!executableFound)
            return fail(command->executableMissing);
        if (!folderFound)
            return fail(command->folderMissing);
    } else {
        if (!folderFound)
            return fail(command->folderMissing);
        if (!executableFound)
            return fail(command->executableMissing);
    }

    DisableForm1Items();
    if (m_windows.form5)
        m_windows.form5->openFor(kind);
}

void TForm1::TerminateMainThread()
{
    m_lobby.close();
    emit programEndRequested();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    m_lobby.close();
    settings::ConfigFile config(m_env.configFolder());
    const QSize outer = frameGeometry().size();
    if (!config.saveSize("Window Size", outer.height(), outer.width()))
        m_messages.information(QStringLiteral("Unable to save to the config file vantrel.cfg"));
    QMainWindow::closeEvent(event);
    emit programEndRequested();
}

} // namespace vantrell::ui
