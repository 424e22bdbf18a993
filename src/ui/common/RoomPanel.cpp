#include "ui/common/RoomPanel.h"

#include "ui/common/SettingsListView.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace vantrell::ui {

RoomPanel::RoomPanel(const MemberColumnWidths& widths, Lists lists, QWidget* parent)
    : QWidget(parent), m_log(new QPlainTextEdit(this)), m_chat(new QLineEdit(this)),
      m_send(new QPushButton(QStringLiteral("Send"), this)),
      m_members(new MemberListView(widths, this)), m_settingsList(new SettingsListView(this))
{
    m_log->setObjectName(QStringLiteral("roomLog"));
    m_log->setReadOnly(true);
    m_chat->setObjectName(QStringLiteral("chatEdit"));
    m_send->setObjectName(QStringLiteral("sendButton"));
    auto* chatRow = new QHBoxLayout;
    chatRow->addWidget(m_chat);
    chatRow->addWidget(m_send);

    auto* top = new QWidget(this);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(m_log);
    topLayout->addLayout(chatRow);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    if (lists == Lists::SideBySide) {
        auto* row = new QSplitter(Qt::Horizontal, this);
        row->addWidget(m_members);
        row->addWidget(m_settingsList);
        row->setStretchFactor(0, 3);
        row->setStretchFactor(1, 2);
        splitter->addWidget(row);
    } else {
        splitter->addWidget(m_members);
        splitter->addWidget(m_settingsList);
        splitter->setStretchFactor(0, 3);
        splitter->setStretchFactor(1, 2);
        splitter->setStretchFactor(2, 2);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(m_send, &QPushButton::clicked, this, &RoomPanel::sendRequested);
    connect(m_chat, &QLineEdit::returnPressed, this, &RoomPanel::sendRequested);
}

RoomPanel::~RoomPanel() = default;

void RoomPanel::appendLog(const QString& line)
{
    m_log->appendPlainText(line);
}

void RoomPanel::clear()
{
    m_log->clear();
    m_chat->clear();
}

QString RoomPanel::chatText() const
{
    return m_chat->text();
}

void RoomPanel::clearChat()
{
    m_chat->clear();
}

} // namespace vantrell::ui
