#pragma once

#include "core/common/Environment.h"
#include "ui/common/SettingsWindow.h"

namespace vantrell::settings {
struct Settings;
}

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vantrell::ui {

class MessageSink;

// The multiplayer and networking settings window, a view of the program's networking
// settings: every edit of a field is the value in force at once, but for "Main server:",
// whose text counts once the player is done with it. It loads the group from
// "vantrel.cfg" when it becomes the active window and saves it when it stops being it.
class TForm3 : public SettingsWindow
{
    Q_OBJECT

public:
    TForm3(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
           QWidget* parent = nullptr);

    QString lobbyNickname() const;
    QString inGameNickname() const;
    QString udpPort() const;
    QString tcpPort() const;
    bool upnpEnabled() const;

    // The lobby nickname cannot change while the lobby is connected.
    void setLobbyNicknameEditable(bool editable);

    // The activation handler: locks the main window and loads the file.
    void FormActivate() override;
    // The deactivation handler: applies the "NoNick" rule and saves every field.
    void FormDeactivate() override;
    // The close handler: unlocks the main window.
    void FormClose() override;

    // What showing this window and closing it again does to the settings, without the
    // window: the group fresh from the file, cut to the fields' lengths, the "NoNick" rule
    // applied, saved back.
    static void reloadAndSaveValues(settings::Settings& settings, MessageSink& messages);
    // The fields show the settings as they are now.
    void showValues();

signals:
    // The lobby nickname changed, typed or loaded: the main window shows it at once.
    void lobbyNicknameChanged(const QString& nickname);
    // The player finished typing a main server that reads as one (or cleared the field): it
    // is the settings' choice now, and the next Connect goes there.
    void mainServerChosen();

private:
    // The typed "Main server:" text becomes the choice when it reads as a main server.
    void takeMainServer();
    // The problem with the typed text, or else which main server this run uses instead.
    void showMainServerNote(const QString& problem);

    const core::Environment& m_env;
    MessageSink& m_messages;
    settings::Settings& m_settings;
    // `--server` decides until the player types a main server here.
    bool m_runServerInForce = false;
    // The "Main server:" field holds what the player typed, not yet the choice.
    bool m_mainServerTyped = false;

    QLineEdit* m_nickname = nullptr;
    QLineEdit* m_inGameNickname = nullptr;
    QLineEdit* m_udpPort = nullptr;
    QLineEdit* m_tcpPort = nullptr;
    QCheckBox* m_upnp = nullptr;
    QLineEdit* m_mainServer = nullptr;
    // Why the typed main server cannot be used, or which one this run uses instead.
    QLabel* m_mainServerNote = nullptr;
};

} // namespace vantrell::ui
