#include "ui/roomclient/TForm7.h"

#include "base/settings/Settings.h"
#include "ui/common/MessageSink.h"

namespace vantrell::ui {

TForm7::TForm7(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_settings(settings)
{
    setWindowTitle(QStringLiteral("Room"));
}

void TForm7::openRoom(const lobby::RoomAddress& room)
{
    m_room = room;
    show();
    raise();
    activateWindow();
}

} // namespace vantrell::ui
