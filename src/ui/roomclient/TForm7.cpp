#include "ui/roomclient/TForm7.h"

#include "base/roomclient/RoomClientRules.h"
#include "base/settings/Settings.h"
#include "ui/common/MessageSink.h"
#include "ui/common/RoomPanel.h"
#include "ui/common/SettingsListView.h"
#include "ui/common/WindowPlacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrell::ui {

namespace {
constexpr int kMinimumWidth = 600;
constexpr int kMinimumHeight = 631;
} // namespace

TForm7::TForm7(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
               core::RoomClient& client, IdentitySource identity, const QWidget* mainWindow,
               QWidget* parent)
    : QWidget(parent, Qt::Window), m_env(env), m_messages(messages), m_settings(settings),
      m_client(client), m_identity(std::move(identity)), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Room"));
    buildControls();
    connectClient();
    resize(476, 520);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
}

TForm7::~TForm7()
{
    m_client.disconnect(this);
}

void TForm7::buildControls()
{
    m_panel = new RoomPanel(kRoomClientMemberColumns, RoomPanel::Lists::Stacked, this);
    m_panel->log()->setMinimumSize(200, 120);

    m_spectator = new QCheckBox(QStringLiteral("Be a Spectator"), this);
    m_spectator->setObjectName(QStringLiteral("spectatorBox"));
    m_recordDemo = new QCheckBox(QStringLiteral("Record Demo"), this);
    m_recordDemo->setObjectName(QStringLiteral("recordDemoBox"));
    m_recordDemo->setChecked(true);
    m_teamLabel = new QLabel(QStringLiteral("Select team:"), this);
    m_teamLabel->setObjectName(QStringLiteral("teamLabel"));
    m_teams = new QComboBox(this);
    m_teams->setObjectName(QStringLiteral("teamBox"));
    m_teams->setEnabled(false);
    m_teams->setMinimumWidth(110);
    // A team is chosen from the open list only: no typing, no wheel, no context menu.
    m_teams->setContextMenuPolicy(Qt::NoContextMenu);
    m_teams->installEventFilter(this);
    m_ready = new QPushButton(QStringLiteral("Ready"), this);
    m_ready->setObjectName(QStringLiteral("readyButton"));
    m_ready->setEnabled(false);

    auto* controls = new QHBoxLayout;
    controls->addWidget(m_spectator);
    controls->addWidget(m_teamLabel);
    controls->addWidget(m_teams);
    controls->addWidget(m_recordDemo);
    controls->addStretch();
    controls->addWidget(m_ready);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_panel);
    outer->addLayout(controls);

    connect(m_panel, &RoomPanel::sendRequested, this, &TForm7::sendClick);
    connect(m_ready, &QPushButton::clicked, this, &TForm7::readyClick);
    // Only the player's own choice from the list counts, never a refill of the list.
    connect(m_teams, &QComboBox::activated, this,
            [this](int index) { m_client.ClientSendTeamSelection(m_teams->itemText(index)); });
}

void TForm7::connectClient()
{
    using core::RoomClient;
    connect(&m_client, &RoomClient::logLine, this, &TForm7::appendLog);
    connect(&m_client, &RoomClient::settingsListChanged, m_panel->settingsList(),
            &SettingsListView::setRows);
    connect(&m_client, &RoomClient::memberListChanged, m_panel->members(),
            &MemberListView::setMembers);
    connect(&m_client, &RoomClient::memberPingChanged, m_panel->members(),
            &MemberListView::setPing);
    connect(&m_client, &RoomClient::teamChoicesChanged, this, &TForm7::showTeams);
    connect(&m_client, &RoomClient::spectatorAndDemoShown, this, &TForm7::showSpectatorAndDemo);
    connect(&m_client, &RoomClient::readyAvailable, this, [this] { m_ready->setEnabled(true); });
    connect(&m_client, &RoomClient::messageBox, this,
            [this](const QString& text) { m_messages.information(text); });
    connect(&m_client, &RoomClient::leaveRequested, this, [this] {
        if (isVisible())
            close();
        else
            leaveRoom();
    });
}

void TForm7::openRoom(const lobby::RoomAddress& room)
{
    if (m_inRoom)
        leaveRoom();
    m_room = room;
    m_inRoom = true;

    showPlaced(*this, m_mainWindow, m_settings.file, kSizeSection);

    m_ready->setEnabled(false);
    m_panel->clear();
    const auto controls = roomclient::controlsForSourcePort(room.sourcePort);
    showSpectatorAndDemo(controls.spectatorAndDemo);
    m_teamLabel->setVisible(controls.team);
    m_teams->setVisible(controls.team);

    m_client.open(room, m_identity ? m_identity() : core::RoomClientIdentity{});
}

void TForm7::leaveRoom()
{
    if (!m_inRoom)
        return;
    m_inRoom = false;
    saveOuterSizeOrTell(*this, m_settings.file, kSizeSection, m_messages);
    m_client.close();
    emit mainWindowUnlockRequested();
}

void TForm7::readyClick()
{
    m_client.readyClicked();
}

void TForm7::sendClick()
{
    // The text stays in the input when nothing could be sent.
    if (m_client.ClientRoomSendChatMessage(m_panel->chatText()))
        m_panel->clearChat();
}

bool TForm7::spectator() const
{
    return m_spectator->isChecked();
}

bool TForm7::recordDemo() const
{
    return m_recordDemo->isChecked();
}

QString TForm7::team() const
{
    return m_teams->currentIndex() >= 0 ? m_teams->currentText() : QString();
}

void TForm7::appendLog(const QString& line)
{
    m_panel->appendLog(line);
}

void TForm7::showTeams(const QStringList& teams, bool enabled)
{
    m_teams->clear();
    m_teams->addItems(teams);
    m_teams->setCurrentIndex(-1);
    m_teams->setEnabled(enabled);
}

void TForm7::showSpectatorAndDemo(bool shown)
{
    m_spectator->setVisible(shown);
    m_recordDemo->setVisible(shown);
}

void TForm7::closeEvent(QCloseEvent* event)
{
    leaveRoom();
    event->accept();
}

void TForm7::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        setMinimumSize(kMinimumWidth, kMinimumHeight);
}

bool TForm7::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_teams)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        // Typing picks nothing and Delete beeps; the keys that move between controls, open
        // or close the list or step through it still work for a keyboard user.
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_F4:
            return false;
        case Qt::Key_Delete:
            QApplication::beep();
            return true;
        default:
            return true;
        }
    }
    // The wheel would pick a team past the list as well.
    if (event->type() == QEvent::Wheel)
        return true;
    return QWidget::eventFilter(watched, event);
}

} // namespace vantrell::ui
