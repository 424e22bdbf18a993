#include "lobby/TForm8.h"

#include "common/MessageSink.h"
#include "common/Windows.h"

namespace vantrell::ui {

TForm8::TForm8(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("Join a Room manually"));
}

} // namespace vantrell::ui
