#pragma once

#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"
#include "core/roomhost/RoomHost.h"

#include <memory>

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantrell::core {
class FileServerControl;
}

namespace vantrell::core {
class MainServerLink;
}

namespace vantrell::ui {

class MemberListView;
class MessageSink;
class SettingsListView;
struct Windows;

// The room host window: the room log, the chat line, the member list and the settings list
// of the room this player hosts, with the advertise and launch buttons. It owns the room
// (core::RoomHost) from "Create room" until it is closed; the room does the talking, the
// window shows what it reports.
class TForm6 : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* kSizeSection = "Host Room Window Size";

    TForm6(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);
    ~TForm6() override;

    // The usermap file server that starts and stops with the room; none until set.
    void setFileServer(core::FileServerControl* fileServer) { m_fileServer = fileServer; }
    // Where the room advertises. By default the main window's lobby connection.
    void setMainServerLink(core::MainServerLink* link) { m_linkOverride = link; }
    // ICMP method for the room's pings (tests pin it; the program detects it).
    void setIcmpMethod(core::IcmpMethod method) { m_icmpMethod = method; }

    // "Create room": opens a new room with these settings and shows the window.
    void openRoom(const roomhost::RoomSettings& settings);

    // The open room, or null before the first "Create room" and after closing.
    core::RoomHost* room() { return m_room.get(); }
    const roomhost::RoomSettings& roomSettings() const { return m_settings; }
    // The "Record Demo" box, read by the hDuke launch.
    bool recordDemo() const;
    // The hidden read-only field the launch writes its state into.
    QLineEdit* launchField() const { return m_launchField; }
    void appendLog(const QString& line);

signals:
    // "Launch". The host launch connects here and takes over; nothing else happens on the
    // button.
    void hostLaunchRequested();

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
    void restoreSize();
    void saveSize();
    void closeRoom();
    core::RoomHostConfig roomConfig() const;
    void showMembers();
    void showSettings();
    void showAdvertising(bool advertised);

    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
    roomhost::RoomSettings m_settings;
    core::FileServerControl* m_fileServer = nullptr;
    core::MainServerLink* m_linkOverride = nullptr;
    std::unique_ptr<core::MainServerLink> m_lobbyLink;
    core::IcmpMethod m_icmpMethod = core::IcmpMethod::Automatic;
    std::unique_ptr<core::RoomHost> m_room;

    QPlainTextEdit* m_log = nullptr;
    QLineEdit* m_chat = nullptr;
    QPushButton* m_send = nullptr;
    MemberListView* m_members = nullptr;
    SettingsListView* m_settingsList = nullptr;
    QCheckBox* m_recordDemo = nullptr;
    QPushButton* m_advertise = nullptr;
    QPushButton* m_changeSettings = nullptr;
    QPushButton* m_launch = nullptr;
    QLineEdit* m_launchField = nullptr;
};

} // namespace vantrell::ui
