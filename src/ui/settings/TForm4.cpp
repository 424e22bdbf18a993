#include "settings/TForm4.h"

#include "common/MessageSink.h"
#include "common/Windows.h"

namespace vantrell::ui {

TForm4::TForm4(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("Choose a Usermaps location"));
}

} // namespace vantrell::ui
