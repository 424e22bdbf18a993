#include "ui/roomhost/TForm6.h"

#include "base/settings/Settings.h"
#include "ui/common/MessageSink.h"
#include "ui/common/RoomPanel.h"
#include "ui/common/SettingsListView.h"
#include "ui/common/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrell::ui {

TForm6::TForm6(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
               const QWidget* mainWindow, QWidget* parent)
    : QWidget(parent, Qt::Window), m_env(env), m_messages(messages), m_programSettings(settings),
      m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("hDuke Room Server"));
    buildControls();
    setMinimumSize(600, 450);
    resize(546, 499);
}

TForm6::~TForm6()
{
    // A room still shown stops reporting here first.
    if (m_room)
        m_room->disconnect(this);
}

void TForm6::buildControls()
{
    m_panel = new RoomPanel(kRoomHostMemberColumns, RoomPanel::Lists::SideBySide, this);
    QPalette palette = m_panel->log()->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, QColor(0, 255, 0));
    m_panel->log()->setPalette(palette);

    m_recordDemo = new QCheckBox(QStringLiteral("Record Demo"), this);
    m_recordDemo->setObjectName(QStringLiteral("recordDemoBox"));
    m_recordDemo->setChecked(true);
    m_advertise = new QPushButton(QStringLiteral("Advertise Room"), this);
    m_advertise->setObjectName(QStringLiteral("advertiseButton"));
    m_changeSettings = new QPushButton(QStringLiteral("Change Settings"), this);
    m_changeSettings->setObjectName(QStringLiteral("changeSettingsButton"));
    m_launch = new QPushButton(QStringLiteral("Launch"), this);
    m_launch->setObjectName(QStringLiteral("Button2"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_recordDemo);
    bottom->addStretch();
    bottom->addWidget(m_advertise);
    bottom->addWidget(m_changeSettings);
    bottom->addWidget(m_launch);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_panel);
    outer->addLayout(bottom);

    connect(m_panel, &RoomPanel::sendRequested, this, &TForm6::sendClick);
    connect(m_advertise, &QPushButton::clicked, this, [this] {
        if (m_room)
            m_room->advertiseButtonClicked();
    });
    connect(m_launch, &QPushButton::clicked, this, &TForm6::Button2Click);
}

void TForm6::openRoom(core::RoomHost& room, const roomhost::RoomSettings& settings)
{
    closeRoom(); // a room left open (its owner closes it first, normally) ends here

    m_settings = settings;
    m_panel->clearChat();
    setWindowTitle(QString::fromStdString(m_settings.roomName));

    m_room = &room;
    connect(m_room, &core::RoomHost::roomLog, this, &TForm6::appendLog);
    connect(m_room, &core::RoomHost::memberListChanged, this, &TForm6::showMembers);
    connect(m_room, &core::RoomHost::settingsListChanged, this, &TForm6::showSettings);
    connect(m_room, &core::RoomHost::advertisingChanged, this, &TForm6::showAdvertising);
    showMembers();
    showSettings();
    showAdvertising(false);
    m_recordDemo->setVisible(sourcePortRow(m_settings.kind).hostRecordsDemo);

    m_panel->log()->clear();
    m_room->open();

    showPlaced(*this, m_mainWindow, m_programSettings.file, kSizeSection);
}

void TForm6::closeRoom()
{
    core::RoomHost* room = m_room;
    if (room) {
        room->close();
        room->disconnect(this);
        m_room = nullptr;
        emit roomClosed();
    }
}

void TForm6::showMembers()
{
    if (m_room)
        m_panel->members()->setMembers(m_room->members());
}

void TForm6::showSettings()
{
    if (m_room)
        m_panel->settingsList()->setRows(m_room->settingsList());
}

void TForm6::showAdvertising(bool advertised)
{
    m_advertise->setText(advertised ? QStringLiteral("Stop Advertising")
                                    : QStringLiteral("Advertise Room"));
}

void TForm6::sendClick()
{
    // The text stays in the edit when nothing could be sent.
    if (m_room && m_room->ServerRoomSendChatMessageToClientsTyped(m_panel->chatText()))
        m_panel->clearChat();
}

void TForm6::Button2Click()
{
    emit hostLaunchRequested();
}

void TForm6::appendLog(const QString& line)
{
    m_panel->appendLog(line);
}

void TForm6::setLaunchEnabled(bool enabled)
{
    m_launch->setEnabled(enabled);
}

void TForm6::takeFocus()
{
    raise();
    activateWindow();
}

bool TForm6::recordDemo() const
{
    return m_recordDemo->isChecked();
}

void TForm6::closeEvent(QCloseEvent* event)
{
    closeRoom();
    saveOuterSizeOrTell(*this, m_programSettings.file, kSizeSection, m_messages);
    event->accept();
}

void TForm6::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // Minimising hides the window too; only the room's own closing gives the main window
    // back.
    if (event->spontaneous())
        return;
    emit mainWindowUnlockRequested();
}

} // namespace vantrell::ui
