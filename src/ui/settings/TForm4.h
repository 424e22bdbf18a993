#pragma once

#include "common/Environment.h"

#include <QWidget>

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The usermap folder chooser used by the source-port settings window.
class TForm4 : public QWidget
{
    Q_OBJECT

public:
    TForm4(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
};

} // namespace vantrell::ui
