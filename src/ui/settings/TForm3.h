#pragma once

#include "core/common/Environment.h"
#include "ui/common/SettingsWindow.h"

class QCheckBox;
class QLineEdit;

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The multiplayer and networking settings window. Its fields are the program-wide current
// values of the lobby nickname, the in-game nickname, the two ports and the UPnP choice:
// other windows read them through the accessors below when they need them. It loads
// "vantrel.cfg" when it becomes the active window and saves when it stops being it.
class TForm3 : public SettingsWindow
{
    Q_OBJECT

public:
    TForm3(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

    QString lobbyNickname() const;
    QString inGameNickname() const;
    QString udpPort() const;
    QString tcpPort() const;
    bool upnpEnabled() const;

    // The lobby nickname cannot change while the lobby is connected.
    void setLobbyNicknameEditable(bool editable);

    // What showing this window and closing it again at once does, without the window ever
    // appearing: load from the file, save back, and lock and unlock the main window. Used at
    // start-up and by windows that need the current values fresh from the file.
    void reloadAndSave();

    // Loads the fields from the file, if there is one, leaving the main window alone: for a
    // window that wants the current values fresh from the file while it is open.
    void loadFromFile();

    // The activation handler: locks the main window and loads the file.
    void FormActivate() override;
    // The deactivation handler: applies the "NoNick" rule and saves every field.
    void FormDeactivate() override;
    // The close handler: unlocks the main window.
    void FormClose() override;

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;

    QLineEdit* m_nickname = nullptr;
    QLineEdit* m_inGameNickname = nullptr;
    QLineEdit* m_udpPort = nullptr;
    QLineEdit* m_tcpPort = nullptr;
    QCheckBox* m_upnp = nullptr;
};

} // namespace vantrell::ui
