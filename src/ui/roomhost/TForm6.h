#pragma once

#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"
#include "core/roomhost/RoomHost.h"

#include <QWidget>

class QCheckBox;
class QPushButton;

namespace vantrell::settings {
struct Settings;
}

namespace vantrell::ui {

class MessageSink;
class RoomPanel;

// The room host window: the room log, the chat line, the member list and the settings list
// of the room this player hosts, with the advertise and launch buttons. It shows one room
// (core::RoomHost, which the program owns) from "Create room" until it is closed; the room
// does the talking, the window shows what it reports.
class TForm6 : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* kSizeSection = "Host Room Window Size";

    // mainWindow (may be null): the window this one first opens centred on.
    TForm6(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
           const QWidget* mainWindow, QWidget* parent = nullptr);
    ~TForm6() override;

    // "Create room": shows the new room, opens it (it starts listening) and shows the window.
    // The room must stay alive until roomClosed().
    void openRoom(core::RoomHost& room, const roomhost::RoomSettings& settings);
    // Ends the room shown (it closes its connections), lets go of it and emits roomClosed().
    // Closing the window does this.
    void closeRoom();

    // The room shown, or null before the first "Create room" and after closing.
    core::RoomHost* room() { return m_room; }
    const roomhost::RoomSettings& roomSettings() const { return m_settings; }
    // The "Record Demo" box, read by the hDuke launch.
    bool recordDemo() const;
    void appendLog(const QString& line);
    // The launch turns "Launch" off from just before its game starts until the game ends.
    void setLaunchEnabled(bool enabled);
    // Brings the window to the front with the focus, as after a game.
    void takeFocus();

signals:
    // "Launch". The host launch connects here and takes over; nothing else happens on the
    // button.
    void hostLaunchRequested();
    // The room was closed and let go: its owner may destroy it.
    void roomClosed();
    // The window went away (not minimised): the main window is given back.
    void mainWindowUnlockRequested();

public slots:
    // The "Launch" button.
    void Button2Click();
    // The "Send" button and Enter in the chat edit.
    void sendClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void showMembers();
    void showSettings();
    void showAdvertising(bool advertised);

    const core::Environment& m_env;
    MessageSink& m_messages;
    settings::Settings& m_programSettings;
    const QWidget* m_mainWindow;
    roomhost::RoomSettings m_settings;
    core::RoomHost* m_room = nullptr;

    RoomPanel* m_panel = nullptr;
    QCheckBox* m_recordDemo = nullptr;
    QPushButton* m_advertise = nullptr;
    QPushButton* m_changeSettings = nullptr;
    QPushButton* m_launch = nullptr;
};

} // namespace vantrell::ui
