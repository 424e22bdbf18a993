#include "roomhost/TForm5.h"

#include "common/MessageSink.h"
#include "common/Windows.h"
#include "lobby/TForm1.h"

#include <QCloseEvent>

namespace vantrell::ui {

TForm5::TForm5(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("Create a room"));
}

void TForm5::openFor(roomhost::RoomKind kind)
{
    m_kind = kind;
    show();
}

void TForm5::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (m_windows.form1)
        m_windows.form1->EnableForm1Items();
}

} // namespace vantrell::ui
