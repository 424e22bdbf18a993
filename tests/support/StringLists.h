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

// One text field of every row, in order: fieldOf(rows, &SettingRow::name).
template <typename Row>
QStringList fieldOf(const std::vector<Row>& rows, std::string Row::*field)
{
    QStringList out;
    for (const Row& row : rows)
        out << QString::fromStdString(row.*field);
    return out;
}
