#pragma once

#include "common/Environment.h"

#include <QWidget>

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The room host window: the room this player hosts, its members and chat.
class TForm6 : public QWidget
{
    Q_OBJECT

public:
    TForm6(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
};

} // namespace vantrell::ui
