#include "base/common/SourcePorts.h"
#include "base/settings/Settings.h"
#include "core/common/QtStrings.h"
#include "ui/lobby/RoomListView.h"
#include "ui/lobby/TForm1.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

// The main window's controls and menus.
namespace vantrell::ui {

using core::qs;

namespace {
const char* const kStyle = "QLabel { color: lime; background: transparent; }"
                           "QLabel#fileTransfersLabel { color: aqua; }"
                           "QLineEdit, QPlainTextEdit, QTreeView {"
                           " background-color: black; color: lime; }";
} // namespace

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
    m_roomCountLabel = new QLabel(central);
    m_roomCountLabel->setObjectName(QStringLiteral("roomCountLabel"));
    m_roomCountLabel->hide();
    topRow->addWidget(m_roomCountLabel);
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

    m_roomList = new RoomListView(central);

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
    // One submenu per game, with the ports that host its rooms (Shadow Warrior has none yet).
    for (const Game game : {Game::Duke3d, Game::ShadowWarrior, Game::Blood}) {
        QMenu* menu = createRoomMenu->addMenu(qs(gameRow(game).menuName));
        for (const SourcePort port : roomPorts()) {
            if (sourcePortRow(port).game == game)
                menu->addAction(qs(sourcePortRow(port).name), this,
                                [this, port] { createRoom(port); });
        }
    }
    m_actionMenu->addAction(QStringLiteral("Join a room manually"), this,
                            [this] { emit manualJoinRequested(); });
    m_actionMenu->addAction(QStringLiteral("Quit"), this, [this] { emit programEndRequested(); });

    m_settingsMenu = menuBar()->addMenu(QStringLiteral("Settings"));
    m_settingsMenu->addAction(QStringLiteral("Source Ports"), this,
                              [this] { emit sourcePortSettingsRequested(); });
    m_settingsMenu->addAction(QStringLiteral("Multiplayer and Networking"), this,
                              [this] { emit networkingSettingsRequested(); });
    QAction* notifications = m_settingsMenu->addAction(QStringLiteral("Desktop Notifications"));
    notifications->setObjectName(QStringLiteral("desktopNotificationsAction"));
    notifications->setCheckable(true);
    notifications->setChecked(m_settings.notifications.enabled);
    connect(notifications, &QAction::triggered, this, &TForm1::desktopNotificationsToggled);

    buildViewMenu();

    m_helpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    m_helpMenu->addAction(QStringLiteral("About"));
}

} // namespace vantrell::ui
