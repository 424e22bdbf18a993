#pragma once

#include "common/Environment.h"

#include <QWidget>

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The source-port settings window: where each source port is installed and where each game keeps
// its usermaps.
class TForm2 : public QWidget
{
    Q_OBJECT

public:
    TForm2(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
};

} // namespace vantrell::ui
