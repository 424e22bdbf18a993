#pragma once

#include "common/Environment.h"
#include "roomhost/RoomSettings.h"

#include <QWidget>

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The room creation window: the settings of a room about to be hosted.
class TForm5 : public QWidget
{
    Q_OBJECT

public:
    TForm5(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

    // Called by the main window's create-room commands once their checks have passed (the
    // main window is already locked): lays the window out for the kind and shows it.
    void openFor(roomhost::RoomKind kind);
    roomhost::RoomKind kind() const { return m_kind; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
    roomhost::RoomKind m_kind = roomhost::RoomKind::HDuke;
};

} // namespace vantrell::ui
