#pragma once

#include <QString>

namespace vantrell::ui {

// Every message box of the program goes through this interface: the program shows real
// modal boxes, tests record the texts and answer the questions themselves.
class MessageSink
{
public:
    virtual ~MessageSink() = default;

    // A plain box with the text and an OK button, no icon.
    virtual void information(const QString& text) = 0;
    virtual void warning(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
    // A box without icon with the buttons Yes and No; true for Yes.
    virtual bool question(const QString& text) = 0;
};

} // namespace vantrell::ui
