#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <QString>

// Small whole files for tests that look into folders.
inline void writeFile(const std::filesystem::path& path, const std::string& contents)
{
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

// The file's contents, or "<missing>" when there is no such file.
inline QString contentsOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return QStringLiteral("<missing>");
    std::stringstream s;
    s << in.rdbuf();
    return QString::fromStdString(s.str());
}
