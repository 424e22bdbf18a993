#pragma once

#include "base/lobby/RoomAddress.h"
#include "core/common/Environment.h"
#include "core/roomclient/RoomClient.h"

#include <functional>

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace vantrell::settings {
struct Settings;
}

namespace vantrell::ui {

class MessageSink;
class RoomPanel;

// The room client window: a room hosted by another player. Each showing is one stay in a
// room; the room client (which the program owns) does the talking, the window shows what
// it reports and forwards what the player does.
class TForm7 : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* kSizeSection = "Client Room Window Size";

    // What the member announces: lobby nickname, OS description, local address, UDP port,
    // as they are when the room is opened.
    using IdentitySource = std::function<core::RoomClientIdentity()>;

    // mainWindow (may be null): the window this one first opens centred on.
    TForm7(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
           core::RoomClient& client, IdentitySource identity, const QWidget* mainWindow,
           QWidget* parent = nullptr);
    ~TForm7() override;

    const lobby::RoomAddress& room() const { return m_room; }

    // What the member launch reads besides the room client.
    bool spectator() const;
    bool recordDemo() const;
    // The team chosen in "Select team:", empty when none.
    QString team() const;

    void appendLog(const QString& line);

public slots:
    // A join hands the room over here: the window shows itself and connects to the room.
    void openRoom(const vantrell::lobby::RoomAddress& room);
    // The "Ready" button.
    void readyClick();
    // The "Send" button and Enter in the chat input.
    void sendClick();

signals:
    // Closed: the main window is given back (its menus lock once the room connection is made).
    void mainWindowUnlockRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectClient();
    void leaveRoom();
    void showTeams(const QStringList& teams, bool enabled);
    void showSpectatorAndDemo(bool shown);

    const core::Environment& m_env;
    MessageSink& m_messages;
    settings::Settings& m_settings;
    core::RoomClient& m_client;
    IdentitySource m_identity;
    const QWidget* m_mainWindow;
    lobby::RoomAddress m_room;
    bool m_inRoom = false;

    RoomPanel* m_panel = nullptr;
    QCheckBox* m_spectator = nullptr;
    QCheckBox* m_recordDemo = nullptr;
    QLabel* m_teamLabel = nullptr;
    QComboBox* m_teams = nullptr;
    QPushButton* m_ready = nullptr;
};

} // namespace vantrell::ui
