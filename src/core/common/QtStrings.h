#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QString>
#include <QStringList>

namespace vantrell::core {

// Text from the plain values of base (UTF-8) for Qt.
inline QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QStringList toQStringList(const std::vector<std::string>& values)
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(values.size()));
    for (const std::string& value : values)
        out << qs(value);
    return out;
}

} // namespace vantrell::core
