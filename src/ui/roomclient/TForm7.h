#pragma once

#include "base/lobby/RoomAddress.h"
#include "core/common/Environment.h"

#include <QWidget>

namespace vantrell::settings {
struct Settings;
}

namespace vantrell::ui {

class MessageSink;

// The room client window: a room hosted by another player.
class TForm7 : public QWidget
{
    Q_OBJECT

public:
    TForm7(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
           QWidget* parent = nullptr);

    const lobby::RoomAddress& room() const { return m_room; }

public slots:
    // A join hands the room over here: the window shows itself and connects to the room.
    void openRoom(const vantrell::lobby::RoomAddress& room);

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    settings::Settings& m_settings;
    lobby::RoomAddress m_room;
};

} // namespace vantrell::ui
