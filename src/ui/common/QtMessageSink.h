#pragma once

#include "ui/common/MessageSink.h"

class QWidget;

namespace vantrell::ui {

// Real, modal message boxes titled with the application's name.
class QtMessageSink : public MessageSink
{
public:
    void information(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;
};

} // namespace vantrell::ui
