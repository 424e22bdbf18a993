#include "settings/TForm2.h"

#include "common/MessageSink.h"
#include "common/Windows.h"

namespace vantrell::ui {

TForm2::TForm2(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("Source Ports"));
}

} // namespace vantrell::ui
