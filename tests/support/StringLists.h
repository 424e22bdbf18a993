#pragma once

#include <string>
#include <vector>

#include <QStringList>

// Standard strings as a QStringList, so QCOMPARE prints both sides readably.
inline QStringList toQt(const std::vector<std::string>& strings)
{
    QStringList out;
    for (const auto& s : strings)
        out << QString::fromStdString(s);
    return out;
}
