#include "roomhost/TForm6.h"

#include "common/MemberListView.h"
#include "common/MessageSink.h"
#include "common/SettingsListView.h"
#include "common/Windows.h"
#include "lobby/TForm1.h"
#include "settings/ConfigFile.h"

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

    m_members = new MemberListView(this);
    m_settings = new SettingsListView(this);
    auto* lists = new QSplitter(Qt::Horizontal, this);
    lists->addWidget(m_members);
    lists->addWidget(m_settings);
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

    auto* outer = new QVBoxLayout(this);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(m_log);
    topLayout->addLayout(chatRow);
    splitter->addWidget(top);
    splitter->addWidget(lists);
    outer->addWidget(splitter);
    outer->addLayout(bottom);

    connect(m_launch, &QPushButton::clicked, this, &TForm6::launchRequested);
}

void TForm6::appendLog(const QString& line)
{
    m_log->appendPlainText(line);
}

bool TForm6::recordDemo() const
{
    return m_recordDemo->isChecked();
}

void TForm6::openRoom(const roomhost::RoomSettings& settings)
{
    m_room = settings;
    restoreSize();
    m_chat->clear();
    setWindowTitle(QString::fromStdString(m_room.roomName));
    m_recordDemo->setVisible(m_room.kind == roomhost::RoomKind::HDuke);
    if (m_windows.form1)
        m_windows.form1->enableChatItems();
    show();
}

void TForm6::restoreSize()
{
    const settings::ConfigFile config(m_env.configFolder());
    if (!config.exists())
        return;
    const auto saved = config.restoreSize(kSizeSection);
    // The stored values are the outer size; the height applies even when the width is bad.
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
        m_messages.error(QStringLiteral("Unable to save to the config file vantrel.cfg"));
}

void TForm6::closeEvent(QCloseEvent* event)
{
    saveSize();
    event->accept();
}

void TForm6::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A minimised window is hidden by the system; only the room's own closing gives the main
    // window back.
    if (event->spontaneous())
        return;
    if (m_windows.form1)
        m_windows.form1->EnableForm1Items();
}

} // namespace vantrell::ui
