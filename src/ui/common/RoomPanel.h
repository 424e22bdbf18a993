#pragma once

#include "ui/common/MemberListView.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantrell::ui {

class SettingsListView;

// What both room windows show of a room: the room log, the chat line with "Send", the
// member list and the settings list. How the two lists sit under the log is the window's
// choice; the controls below the panel are each window's own.
class RoomPanel : public QWidget
{
    Q_OBJECT

public:
    enum class Lists
    {
        SideBySide, // members and settings in one row under the log
        Stacked,    // members, then settings, each under the one before
    };

    RoomPanel(const MemberColumnWidths& widths, Lists lists, QWidget* parent = nullptr);
    ~RoomPanel() override;

    QPlainTextEdit* log() const { return m_log; }
    QLineEdit* chatEdit() const { return m_chat; }
    MemberListView* members() const { return m_members; }
    SettingsListView* settingsList() const { return m_settingsList; }

    void appendLog(const QString& line);
    // A new stay in a room: log and chat line empty.
    void clear();
    QString chatText() const;
    void clearChat();

signals:
    // "Send" or Enter in the chat line.
    void sendRequested();

private:
    QPlainTextEdit* m_log;
    QLineEdit* m_chat;
    QPushButton* m_send;
    MemberListView* m_members;
    SettingsListView* m_settingsList;
};

} // namespace vantrell::ui
