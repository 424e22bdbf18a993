#include "ui/roomhost/TForm6.h"

#include "base/settings/Settings.h"
#include "core/transfer/FileServerControl.h"
#include "ui/common/MemberListView.h"
#include "ui/common/MessageSink.h"
#include "ui/common/SettingsListView.h"
#include "ui/common/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace vantrell::ui {

TForm6::TForm6(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
               const QWidget* mainWindow, core::FileServerControl* fileServer, QWidget* parent)
    : QWidget(parent, Qt::Window), m_env(env), m_messages(messages), m_programSettings(settings),
      m_mainWindow(mainWindow), m_fileServer(fileServer)
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
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("roomLog"));
    m_log->setReadOnly(true);
    QPalette palette = m_log->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, QColor(0, 255, 0));
    m_log->setPalette(palette);

    m_chat = new QLineEdit(this);
    m_chat->setObjectName(QStringLiteral("chatEdit"));
    m_send = new QPushButton(QStringLiteral("Send"), this);
    m_send->setObjectName(QStringLiteral("sendButton"));
    auto* chatRow = new QHBoxLayout;
    chatRow->addWidget(m_chat);
    chatRow->addWidget(m_send);

    m_members = new MemberListView(kRoomHostMemberColumns, this);
    m_settingsList = new SettingsListView(this);
    auto* lists = new QSplitter(Qt::Horizontal, this);
    lists->addWidget(m_members);
    lists->addWidget(m_settingsList);
    lists->setStretchFactor(0, 3);
    lists->setStretchFactor(1, 2);

    m_recordDemo = new QCheckBox(QStringLiteral("Record Demo"), this);
    m_recordDemo->setObjectName(QStringLiteral("recordDemoBox"));
    m_recordDemo->setChecked(true);
    m_advertise = new QPushButton(QStringLiteral("Advertise Room"), this);
    m_advertise->setObjectName(QStringLiteral("advertiseButton"));
    m_changeSettings = new QPushButton(QStringLiteral("Change Settings"), this);
    m_changeSettings->setObjectName(QStringLiteral("changeSettingsButton"));
    m_launch = new QPushButton(QStringLiteral("Launch"), this);
    m_launch->setObjectName(QStringLiteral("Button2"));
    m_launchField = new QLineEdit(this);
    m_launchField->setObjectName(QStringLiteral("launchField"));
    m_launchField->setReadOnly(true);
    m_launchField->hide();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_recordDemo);
    bottom->addStretch();
    bottom->addWidget(m_advertise);
    bottom->addWidget(m_changeSettings);
    bottom->addWidget(m_launch);
    bottom->addWidget(m_launchField);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(m_log);
    topLayout->addLayout(chatRow);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(lists);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(splitter);
    outer->addLayout(bottom);

    connect(m_send, &QPushButton::clicked, this, &TForm6::sendClick);
    connect(m_chat, &QLineEdit::returnPressed, this, &TForm6::sendClick);
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
    m_chat->clear();
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

    m_log->clear();
    m_room->open();
    if (m_fileServer && !m_fileServer->isListening() && !m_fileServer->start()) {
        appendLog(QStringLiteral("Your room failed to use TCP port %1.")
                      .arg(core::FileServerControl::kPort));
        appendLog(QStringLiteral(
            "This could cause problems when sending file transfers to other players for "
            "usermaps."));
    }

    if (m_mainWindow && !isVisible())
        centreOn(*this, *m_mainWindow);
    show();
    // Once shown, so the frame around the stored outer size is known.
    restoreOuterSize(*this, m_programSettings.file, kSizeSection);
    raise();
    activateWindow();
}

void TForm6::closeRoom()
{
    core::RoomHost* room = m_room;
    if (room) {
        room->close();
        room->disconnect(this);
        m_room = nullptr;
    }
    if (m_fileServer)
        m_fileServer->stop();
    if (room)
        emit roomClosed();
}

void TForm6::showMembers()
{
    if (m_room)
        m_members->setMembers(m_room->members());
}

void TForm6::showSettings()
{
    if (m_room)
        m_settingsList->setRows(m_room->settingsList());
}

void TForm6::showAdvertising(bool advertised)
{
    m_advertise->setText(advertised ? QStringLiteral("Stop Advertising")
                                    : QStringLiteral("Advertise Room"));
}

void TForm6::sendClick()
{
    // The text stays in the edit when nothing could be sent.
    if (m_room && m_room->ServerRoomSendChatMessageToClientsTyped(m_chat->text()))
        m_chat->clear();
}

void TForm6::Button2Click()
{
    emit hostLaunchRequested();
}

void TForm6::appendLog(const QString& line)
{
    m_log->appendPlainText(line);
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

void TForm6::saveSize()
{
    if (!saveOuterSize(*this, m_programSettings.file, kSizeSection))
        m_messages.information(QStringLiteral("Unable to save to the config file vantrel.cfg"));
}

void TForm6::closeEvent(QCloseEvent* event)
{
    closeRoom();
    saveSize();
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
