#pragma once

#include "common/Environment.h"

#include <QWidget>

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The room client window: a room hosted by another player.
class TForm7 : public QWidget
{
    Q_OBJECT

public:
    TForm7(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
};

} // namespace vantrell::ui
