#include "roomhost/TForm6.h"

#include "common/MessageSink.h"
#include "common/Windows.h"

namespace vantrell::ui {

TForm6::TForm6(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("hDuke Room Server"));
}

} // namespace vantrell::ui
