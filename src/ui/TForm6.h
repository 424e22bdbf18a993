#pragma once

#include "roomhost/RoomSettings.h"

#include <filesystem>

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantrell::ui {

class MemberListView;
class SettingsListView;

// The room host window: the room log, the chat line, the member list and the settings list
// of the room this player hosts, with the advertise and launch buttons.
class TForm6 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm6(QWidget* parent = nullptr);

    void appendLog(const QString& line);
    bool recordDemo() const;

signals:
    // "Launch": the host launch takes over from here.
    void launchRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();

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
