#include "support/RecordingMessageSink.h"

namespace vantrell::ui {

void RecordingMessageSink::information(const QString& text)
{
    m_entries.append({Kind::Information, text});
}

void RecordingMessageSink::warning(const QString& text)
{
    m_entries.append({Kind::Warning, text});
}

void RecordingMessageSink::error(const QString& text)
{
    m_entries.append({Kind::Error, text});
}

bool RecordingMessageSink::question(const QString& text)
{
    m_entries.append({Kind::Question, text});
    return m_answers.isEmpty() ? false : m_answers.dequeue();
}

QStringList RecordingMessageSink::texts() const
{
    QStringList out;
    for (const Entry& entry : m_entries)
        out << entry.text;
    return out;
}

} // namespace vantrell::ui
