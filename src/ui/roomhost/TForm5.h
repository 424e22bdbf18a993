#pragma once

#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"

#include <array>
#include <filesystem>

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace vantrell::ui {

class MessageSink;

// The room creation window: the host picks the settings of a new room of one of the three
// kinds. "Create room" hands them on as a RoomSettings value and hides the window; its
// controls keep their values for the life of the room.
class TForm5 : public QWidget
{
    Q_OBJECT

public:
    TForm5(const core::Environment& env, MessageSink& messages, QWidget* parent = nullptr);

    // For a create-room command whose checks have passed: prepares the window for the kind
    // with the usermaps of that game's folder, centres it on the screen and shows it. The
    // main window stays locked while it is open.
    void openFor(SourcePort kind, const std::filesystem::path& usermapFolder);
    // The preparation alone, for a given folder.
    void prepare(SourcePort kind, const std::filesystem::path& usermapFolder);

    SourcePort kind() const { return m_kind; }
    // What the controls hold now, as the room would be created from them.
    roomhost::RoomSettings settingsFromControls() const;
    // The settings stored by the last "Create room".
    const roomhost::RoomSettings& createdSettings() const { return m_created; }

signals:
    // "Create room": the room is to open with these settings. The window hides right after.
    void roomCreated(const vantrell::roomhost::RoomSettings& settings);
    // openFor: the main window is to be locked while this window is open.
    void mainWindowLockRequested();
    // The player closed the window without creating a room: the main window is unlocked.
    void closedWithoutCreating();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void fillUsermaps(const std::filesystem::path& folder, bool withNoneEntry);
    void applyOriginalMapBox(bool ticked);
    void applyUserMapBox(bool ticked);
    void applyGameType(int position);
    void applyAllWeapons(bool ticked);
    void createRoom();

    const core::Environment& m_env;
    MessageSink& m_messages;
    SourcePort m_kind = SourcePort::HDuke;
    roomhost::RoomSettings m_created;

    QLineEdit* m_sourcePort = nullptr;
    QLineEdit* m_roomName = nullptr;
    QComboBox* m_places = nullptr;
    QCheckBox* m_spectate = nullptr;
    QComboBox* m_team = nullptr;
    QCheckBox* m_passwordBox = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_fraglimitLabel = nullptr;
    QScrollBar* m_fraglimit = nullptr;
    QLineEdit* m_fraglimitText = nullptr;
    QCheckBox* m_originalMapBox = nullptr;
    QComboBox* m_originalMap = nullptr;
    QCheckBox* m_userMapBox = nullptr;
    QComboBox* m_userMap = nullptr;
    QLabel* m_gameTypeLabel = nullptr;
    QComboBox* m_gameType = nullptr;
    QLabel* m_skillLabel = nullptr;
    QComboBox* m_skill = nullptr;
    QLabel* m_spawnLabel = nullptr;
    QComboBox* m_spawn = nullptr;
    std::array<QCheckBox*, 8> m_hDukeOptions{};
    std::array<QCheckBox*, 3> m_oldMpOptions{};
    QPushButton* m_createButton = nullptr;
};

} // namespace vantrell::ui
