#pragma once

#include "base/lobby/RoomAddress.h"
#include "core/common/Environment.h"

#include <QWidget>

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The room client window: a room hosted by another player.
class TForm7 : public QWidget
{
    Q_OBJECT

public:
    TForm7(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

    // A join hands the room over here: the window shows itself and connects to the room.
    void openRoom(const lobby::RoomAddress& room);
    const lobby::RoomAddress& room() const { return m_room; }

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
    lobby::RoomAddress m_room;
};

} // namespace vantrell::ui
