#include "core/launch/WineStart.h"

#include "base/launch/ExecutableFormat.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <QStringList>

namespace vantrell::core {

namespace fs = std::filesystem;

namespace {

const std::string kWhereToSet = "under Settings, Source Ports";

std::size_t readAt(std::ifstream& in, std::streamoff offset, std::span<unsigned char> into)
{
    in.clear();
    if (!in.seekg(offset))
        return 0;
    in.read(reinterpret_cast<char*>(into.data()), std::streamsize(into.size()));
    return std::size_t(in.gcount());
}

// "~/..." as a player types it in a field, with the home folder of the given environment.
std::string expandHome(const std::string& path, const QProcessEnvironment& variables)
{
    const QString home = variables.value(QStringLiteral("HOME"));
    if (home.isEmpty() || !(path == "~" || path.starts_with("~/")))
        return path;
    return home.toStdString() + path.substr(1);
}

// A command with a slash is a path; a bare name is looked for in the search path's folders
// (an empty entry, which would mean the working folder, is passed over).
Result<std::string> findCommand(const std::string& command, const QProcessEnvironment& variables)
{
    if (command.find('/') != std::string::npos) {
        Result<void> usable = checkExecutable(command);
        if (!usable)
            return Error{usable.error()};
        std::error_code ec;
        const fs::path full = fs::absolute(command, ec);
        return ec ? command : full.string();
    }
    const QStringList folders =
        variables.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const std::string candidate = (fs::path(folder.toStdString()) / command).string();
        if (checkExecutable(candidate))
            return candidate;
    }
    return Error{std::generic_category().message(ENOENT)};
}

} // namespace

bool isWindowsProgram(const std::string& path)
{
    // Only a plain file is opened: opening a pipe would wait for a writer.
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::array<unsigned char, launch::kDosHeaderSize> head{};
    const auto offset = launch::peHeaderOffset(std::span(head).first(readAt(in, 0, head)));
    if (!offset)
        return false;
    std::array<unsigned char, 4> signature{};
    return launch::isPeSignature(std::span(signature).first(readAt(in, *offset, signature)));
}

Result<GameStart> throughWine(const GameStart& windowsGame, const WineSetup& wine)
{
    std::error_code ec;
    const fs::path full = fs::absolute(windowsGame.executable, ec);
    const std::string program = ec ? windowsGame.executable : full.string();
    const std::string configured = expandHome(wine.settings.command, wine.variables);
    const Result<std::string> command =
        findCommand(configured.empty() ? "wine" : configured, wine.variables);
    if (!command) {
        const std::string windowsProgram = "\"" + program + "\" is a Windows program";
        if (configured.empty())
            return Error{windowsProgram + ". Starting it needs Wine, which was not found: " +
                         "install Debian's \"wine\" package, or set the Wine command " +
                         kWhereToSet + "."};
        return Error{windowsProgram + ", to be started with the Wine command \"" + configured +
                     "\", which cannot be started (" + command.error() +
                     "). Correct the Wine command " + kWhereToSet +
                     ", or empty it to use Debian's \"wine\" package."};
    }

    GameStart start;
    start.executable = *command;
    start.arguments.push_back(program);
    start.arguments.insert(start.arguments.end(), windowsGame.arguments.begin(),
                           windowsGame.arguments.end());
    start.workingFolder = windowsGame.workingFolder;
    start.environment = windowsGame.environment;

    const std::string prefix = expandHome(wine.settings.prefix, wine.variables);
    if (!prefix.empty()) {
        // Wine makes the prefix's own folder but not the folders above it.
        const fs::path folder = fs::absolute(prefix, ec);
        if (!ec)
            fs::create_directories(folder, ec);
        if (ec || !fs::is_directory(folder)) {
            const std::string reason = ec ? ec.message() : std::generic_category().message(ENOTDIR);
            return Error{"The Wine prefix \"" + prefix + "\" cannot be made (" + reason +
                         "), so \"" + program + "\", a Windows program, cannot be started. " +
                         "Choose another Wine prefix " + kWhereToSet + "."};
        }
        start.environment.emplace_back("WINEPREFIX", folder.string());
    }
    if (!wine.variables.contains(QStringLiteral("WINEDEBUG")))
        start.environment.emplace_back("WINEDEBUG", "-all");
    return start;
}

} // namespace vantrell::core
