#include "ui/roomhost/TForm6.h"

#include "base/settings/ConfigFile.h"
#include "core/common/HostInfo.h"
#include "core/common/LocalAddress.h"
#include "core/roomhost/LobbyMainServerLink.h"
#include "core/transfer/FileServerControl.h"
#include "ui/common/MemberListView.h"
#include "ui/common/MessageSink.h"
#include "ui/common/SettingsListView.h"
#include "ui/common/Windows.h"
#include "ui/lobby/TForm1.h"
#include "ui/settings/TForm3.h"

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

TForm6::TForm6(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QWidget(parent, Qt::Window), m_env(env), m_messages(messages), m_windows(windows)
{
    setObjectName(QStringLiteral("TForm6"));
    setWindowTitle(QStringLiteral("hDuke Room Server"));
    buildControls();
    setMinimumSize(600, 450);
    resize(546, 499);
}

TForm6::~TForm6()
{
    // The room goes first: its closing sends on the lobby link and reports to this window.
    m_room.reset();
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

core::RoomHostConfig TForm6::roomConfig() const
{
    QString tcpPort = QStringLiteral("8501");
    QString udpPort = QStringLiteral("23513");
    if (m_windows.form3) {
        tcpPort = m_windows.form3->tcpPort();
        udpPort = m_windows.form3->udpPort();
    } else {
        const settings::ConfigFile config(m_env.configFolder());
        tcpPort = QString::fromStdString(config.readString("Configured Ports", "TCPPort", "8501"));
        udpPort = QString::fromStdString(config.readString("Configured Ports", "UDPPort", "23513"));
    }

    core::RoomHostConfig config;
    config.settings = m_settings;
    config.roomPortSetting = tcpPort.toStdString();
    bool ok = false;
    const uint port = tcpPort.toUInt(&ok);
    if (ok && port >= 1 && port <= 65535) {
        config.roomPort = quint16(port);
    } else {
        // The room must fail to start rather than listen on a port the system picks, which
        // no member would know and the advertisement would not carry.
        config.roomPort = quint16(ok && port <= 65535 ? port : 0);
        config.roomPortUsable = false;
    }
    config.nickname = m_windows.form1 ? m_windows.form1->lobbyNickname().toStdString() : "";
    config.os = core::hostOsDescription().toStdString();
    config.localAddress = core::localAddress().toStdString();
    config.udpPort = udpPort.toStdString();
    config.icmpMethod = m_icmpMethod;
    return config;
}

void TForm6::openRoom(const roomhost::RoomSettings& settings)
{
    closeRoom(); // a room left open (it cannot be, normally) ends before the new one

    m_settings = settings;
    m_chat->clear();
    setWindowTitle(QString::fromStdString(m_settings.roomName));

    core::MainServerLink* link = m_linkOverride;
    if (!link && m_windows.form1) {
        m_lobbyLink = std::make_unique<core::LobbyMainServerLink>(m_windows.form1->lobby());
        link = m_lobbyLink.get();
    }
    m_room = std::make_unique<core::RoomHost>(m_env.timing, roomConfig(), link);
    connect(m_room.get(), &core::RoomHost::roomLog, this, &TForm6::appendLog);
    connect(m_room.get(), &core::RoomHost::memberListChanged, this, &TForm6::showMembers);
    connect(m_room.get(), &core::RoomHost::settingsListChanged, this, &TForm6::showSettings);
    connect(m_room.get(), &core::RoomHost::advertisingChanged, this, &TForm6::showAdvertising);
    if (m_windows.form1) {
        // The main server's answer to the room's address request: the host's public address.
        connect(&m_windows.form1->lobby(), &core::LobbyConnection::yourRemoteIP, m_room.get(),
                &core::RoomHost::setHostRemoteAddress);
    }
    showMembers();
    showSettings();
    showAdvertising(false);
    m_recordDemo->setVisible(m_settings.kind == roomhost::RoomKind::HDuke);
    if (m_windows.form1)
        m_windows.form1->enableChatItems();

    m_log->clear();
    m_room->open();
    if (m_fileServer && !m_fileServer->isListening() && !m_fileServer->start()) {
        appendLog(QStringLiteral("Your room failed to use TCP port %1.")
                      .arg(core::FileServerControl::kPort));
        appendLog(QStringLiteral(
            "This could cause problems when sending file transfers to other players for "
            "usermaps."));
    }

    if (m_windows.form1 && !isVisible()) {
        QRect frame = frameGeometry();
        frame.moveCenter(m_windows.form1->frameGeometry().center());
        move(frame.topLeft());
    }
    show();
    // Once shown, so the frame around the stored outer size is known.
    restoreSize();
    raise();
    activateWindow();
}

void TForm6::closeRoom()
{
    if (m_room) {
        m_room->close();
        m_room->disconnect(this);
        m_room.reset();
    }
    m_lobbyLink.reset();
    if (m_fileServer)
        m_fileServer->stop();
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

bool TForm6::recordDemo() const
{
    return m_recordDemo->isChecked();
}

void TForm6::restoreSize()
{
    const settings::ConfigFile config(m_env.configFolder());
    if (!config.exists())
        return;
    const auto saved = config.restoreSize(kSizeSection);
    // Stored as the outer size. The height applies even when the width does not convert.
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    if (saved.height)
        resize(width(), *saved.height - frameExtra.height());
    if (saved.width)
        resize(*saved.width - frameExtra.width(), height());
}

void TForm6::saveSize()
{
    settings::ConfigFile config(m_env.configFolder());
    const QSize outer = frameGeometry().size();
    if (!config.saveSize(kSizeSection, outer.height(), outer.width()))
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
    if (m_windows.form1)
        m_windows.form1->EnableForm1Items();
}

} // namespace vantrell::ui
