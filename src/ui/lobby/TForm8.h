#pragma once

#include "common/Environment.h"

#include <QWidget>

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The manual join window.
class TForm8 : public QWidget
{
    Q_OBJECT

public:
    TForm8(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

private:
    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;
};

} // namespace vantrell::ui
