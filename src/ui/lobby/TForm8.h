#pragma once

#include "core/common/Environment.h"

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantrell::ui {

class MessageSink;

// The manual join window: an address and a port to join a room by hand. It is shown beside
// the main window (not modal) and keeps what was typed between showings. Joining this way is
// not offered: a join also needs the room's source port, which only the room list knows, so
// "Connect" stays disabled and the window says so.
class TForm8 : public QWidget
{
    Q_OBJECT

public:
    // mainWindow (may be null): the window this one opens centred on.
    TForm8(const core::Environment& env, MessageSink& messages, const QWidget* mainWindow,
           QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    const QWidget* m_mainWindow;

    QLineEdit* m_address = nullptr;
    QLineEdit* m_port = nullptr;
    QPlainTextEdit* m_note = nullptr;
    QPushButton* m_connect = nullptr;
};

} // namespace vantrell::ui
