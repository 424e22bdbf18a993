#pragma once

#include "ui/common/MessageSink.h"

#include <QList>
#include <QQueue>
#include <QStringList>

namespace vantrell::ui {

// Records every box instead of showing it, and answers questions from a queue (No when the
// queue is empty), so window tests run without a modal dialog.
class RecordingMessageSink : public MessageSink
{
public:
    enum class Kind
    {
        Information,
        Warning,
        Error,
        Question
    };
    struct Entry
    {
        Kind kind;
        QString text;
    };

    void information(const QString& text) override;
    void warning(const QString& text) override;
    void error(const QString& text) override;
    bool question(const QString& text) override;

    void queueAnswer(bool yes) { m_answers.enqueue(yes); }

    const QList<Entry>& entries() const { return m_entries; }
    // The texts of every box so far, in order.
    QStringList texts() const;
    void clear() { m_entries.clear(); }

private:
    QList<Entry> m_entries;
    QQueue<bool> m_answers;
};

} // namespace vantrell::ui
