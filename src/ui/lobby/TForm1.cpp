#include "ui/lobby/TForm1.h"

#include "base/settings/Settings.h"
#include "core/common/BuildConfig.h"
#include "core/lobby/CreateRoomCheck.h"
#include "core/lobby/Updater.h"
#include "ui/common/MessageSink.h"
#include "ui/common/WindowPlacement.h"
#include "ui/lobby/BackgroundPicture.h"
#include "ui/lobby/RoomListView.h"

#include <limits>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTreeWidget>

using namespace std::chrono_literals;

namespace vantrell::ui {

namespace {
constexpr int kMinimumWidth = 771;
constexpr int kMinimumHeight = 516;
constexpr std::string_view kSizeSection = "Window Size";

} // namespace

TForm1::TForm1(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
               core::LobbySession& session, QWidget* parent)
    : QMainWindow(parent), m_env(env), m_messages(messages), m_settings(settings),
      m_session(session), m_lobby(session.connection()), m_background(lobbyBackgroundPicture())
{
    setWindowTitle(core::programTitle());
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
    setPalette(palette);
    buildControls();
    centralWidget()->setStyleSheet(centralWidget()->styleSheet() + lobbyPanelStyle());
    buildMenus();
    setLobbyNickname(QString::fromStdString(m_settings.networking.lobbyNickname));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kMinimumWidth, kMinimumHeight);

    m_chatThrottle.setSingleShot(true);
    m_env.timing.setInterval(m_chatThrottle, 2000ms);
    connect(&m_chatThrottle, &QTimer::timeout, this, &TForm1::chatThrottleTimeout);

    connect(m_connectButton, &QPushButton::clicked, this, &TForm1::connectClick);
    connect(m_sendButton, &QPushButton::clicked, this, &TForm1::sendClick);
    connect(m_chatLine, &QLineEdit::returnPressed, this, &TForm1::sendClick);
    connect(m_getRoomsButton, &QPushButton::clicked, this, &TForm1::getRoomsListClick);

    connect(&m_lobby, &core::LobbyConnection::connected, this, &TForm1::onConnected);
    connect(&m_lobby, &core::LobbyConnection::disconnected, this, &TForm1::onDisconnected);
    connect(&m_lobby, &core::LobbyConnection::connectFailed, this, &TForm1::onConnectFailed);
    connect(&m_lobby, &core::LobbyConnection::userListUpdated, this, &TForm1::ClientUpdateUserList);
    connect(&m_lobby, &core::LobbyConnection::timedUserListUpdated, this,
            &TForm1::ClientTimedUpdatedUserListToPreventInvUsers);
    connect(&m_lobby, &core::LobbyConnection::globalChatReceived, this,
            &TForm1::ClientDisplayChatMessages);
    connect(&m_session, &core::LobbySession::logLine, this, &TForm1::addLogLine);
    connect(&m_session, &core::LobbySession::roomsListEnabledChanged, m_getRoomsButton,
            &QPushButton::setEnabled);
    connect(&m_session, &core::LobbySession::updateOfferDue, this, &TForm1::offerUpdate);
    // A server that sends many lists at once gets the last one shown, once, when the event
    // loop turns: the view is not rebuilt for every line of the burst.
    m_roomsShow.setSingleShot(true);
    m_roomsShow.setInterval(0);
    connect(&m_roomsShow, &QTimer::timeout, this, [this] {
        const auto rooms = std::move(m_newRooms);
        m_newRooms.clear();
        filterRooms(&rooms);
    });
    connect(&m_lobby, &core::LobbyConnection::roomsListUpdated, m_roomList,
            [this](const lobby::NewRoomsListUpdate& update) {
                m_newRooms = update.rooms;
                m_roomsShow.start();
            });
    connect(m_roomList, &RoomListView::joinRequested, this, &TForm1::joinRequested);
}

TForm1::~TForm1() = default;

void TForm1::DisableForm1Items()
{
    for (QMenu* menu : {m_actionMenu, m_settingsMenu, m_viewMenu, m_helpMenu})
        menu->menuAction()->setEnabled(false);
    m_sendButton->setEnabled(false);
    m_connectButton->setEnabled(false);
    m_chatLine->setEnabled(false);
}

void TForm1::DisableForm1Menus()
{
    for (QMenu* menu : {m_actionMenu, m_settingsMenu, m_viewMenu, m_helpMenu})
        menu->menuAction()->setEnabled(false);
}

void TForm1::EnableForm1Items()
{
    for (QMenu* menu : {m_actionMenu, m_settingsMenu, m_viewMenu, m_helpMenu})
        menu->menuAction()->setEnabled(true);
    m_sendButton->setEnabled(true);
    m_connectButton->setEnabled(true);
    m_chatLine->setEnabled(true);
    if (isConnected())
        m_connectButton->setEnabled(false);
}

void TForm1::enableChatItems()
{
    m_sendButton->setEnabled(true);
    m_chatLine->setEnabled(true);
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
    m_session.setRoomsListEnabled(enabled);
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
    // Shown or activated, whichever comes first: a desktop need not make a newly shown
    // window active (focus-stealing prevention, no window manager), and the room list must
    // refresh all the same.
    m_session.startRoomRefresh();
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        setMinimumSize(kMinimumWidth, kMinimumHeight);
        m_session.startRoomRefresh();
    }
}

void TForm1::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawPixmap(rect(), m_background);
    QMainWindow::paintEvent(event);
}

void TForm1::startUp()
{
    restoreOuterSize(*this, m_settings.file, kSizeSection);
    loadRoomFilters();
    // Centred at the size it starts with.
    centreOnScreen(*this);
    emit startedUp();
}

void TForm1::connectClick()
{
    // While the connection is being made the button gives it up: an address that drops
    // connection attempts takes up to 10 s per address before it is reported.
    if (m_session.isConnecting()) {
        m_session.cancelOpen();
        showConnecting(false);
        return;
    }
    const QString nickname = lobbyNickname();
    if (nickname.isEmpty())
        m_messages.information(
            QStringLiteral("You must change your NickName before joining the Main Server."));
    if (nickname.size() < 3) {
        m_messages.information(QStringLiteral(
            "You must change your NickName before joining the Main Server, its to small."));
        return;
    }
    if (m_session.open(nickname))
        showConnecting(true);
}

void TForm1::showConnecting(bool connecting)
{
    m_connectButton->setText(connecting ? QStringLiteral("Cancel") : QStringLiteral("Connect"));
    m_connectButton->setToolTip(connecting ? QStringLiteral("Stop connecting to the main server")
                                           : QString());
}

void TForm1::onConnectFailed(const QString& errorText)
{
    showConnecting(false);
    m_connectButton->setEnabled(true);
    // Not inside the socket's own error handler: the box runs window events while it waits.
    QMetaObject::invokeMethod(
        this,
        [this, errorText] {
            m_messages.information(
                QStringLiteral("CLIENT CONNECTION ERROR, server might be down! ") + errorText);
        },
        Qt::QueuedConnection);
}

void TForm1::onConnected()
{
    showConnecting(false);
    m_connectButton->setEnabled(false);
}

void TForm1::onDisconnected()
{
    // Wherever the chat can be used (an unlocked window, or a hosted room's), the player
    // can connect again at once rather than wait for an unlock that a hosted room never
    // brings.
    if (m_sendButton->isEnabled())
        m_connectButton->setEnabled(true);
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
    m_session.requestRoomsList();
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

void TForm1::offerUpdate()
{
    m_connectButton->setEnabled(true);
    m_usersOnline->clear();
    if (m_env.installed) {
        m_messages.information(core::packageUpdateText());
        return;
    }
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

void TForm1::createRoom(SourcePort port)
{
    m_settings.sourcePorts.load(m_settings.file);
    const core::CreateRoomCheck check = core::checkCreateRoom(port, m_settings.sourcePorts);
    for (const QString& text : check.messageBoxes)
        m_messages.information(text);
    for (const QString& line : check.logLines)
        addLogLine(line);
    if (!check.passed)
        return;
    DisableForm1Items();
    emit roomCreationApproved(port);
}

void TForm1::showFileTransfer(qint64 received, qint64 total)
{
    if (total < 0 || total > std::numeric_limits<int>::max()) {
        m_fileTransferBar->setRange(0, 0);
        return;
    }
    m_fileTransferBar->setRange(0, static_cast<int>(total));
    m_fileTransferBar->setValue(static_cast<int>(received));
}

void TForm1::TerminateMainThread()
{
    m_lobby.close();
    emit programEndRequested();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    m_lobby.close();
    saveOuterSizeOrTell(*this, m_settings.file, kSizeSection, m_messages);
    QMainWindow::closeEvent(event);
    emit programEndRequested();
}

} // namespace vantrell::ui
