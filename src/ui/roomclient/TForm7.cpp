#include "roomclient/TForm7.h"

#include "common/MessageSink.h"
#include "common/Windows.h"

namespace vantrell::ui {

TForm7::TForm7(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("Room"));
}

} // namespace vantrell::ui
