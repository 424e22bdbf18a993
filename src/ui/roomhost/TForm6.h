#pragma once

#include "common/Environment.h"
#include "roomhost/RoomCodec.h"
#include "roomhost/RoomSettings.h"

#include <vector>

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantrell::ui {

class MemberListView;
class MessageSink;
class SettingsListView;
struct Windows;

// The room host window: the room log, the chat line, the member list and the settings list
// of the room this player hosts, with the advertise and launch buttons.
class TForm6 : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* kSizeSection = "Host Room Window Size";

    TForm6(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

    // "Create room": opens a new room with these settings and shows the window.
    void openRoom(const roomhost::RoomSettings& settings);

    const roomhost::RoomSettings& roomSettings() const { return m_room; }
    // The "Record Demo" box, read by the hDuke launch.
    bool recordDemo() const;
    void appendLog(const QString& line);

signals:
    // "Launch" (Button2Click): the host launch takes over from here.
    void launchRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void restoreSize();
    void saveSize();

    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
    roomhost::RoomSettings m_room;

    QPlainTextEdit* m_log = nullptr;
    QLineEdit* m_chat = nullptr;
    QPushButton* m_send = nullptr;
    MemberListView* m_members = nullptr;
    SettingsListView* m_settings = nullptr;
    QCheckBox* m_recordDemo = nullptr;
    QPushButton* m_advertise = nullptr;
    QPushButton* m_changeSettings = nullptr;
    QPushButton* m_launch = nullptr;
    QLineEdit* m_launchField = nullptr;
};

} // namespace vantrell::ui
