#include "core/lobby/CreateRoomCheck.h"

#include <QFileInfo>

namespace vantrell::core {

namespace {
struct CreateRoomCommand
{
    roomhost::RoomKind kind;
    settings::SourcePortSettings::Port port;
    settings::SourcePortSettings::Game game;
    bool executableFirst;
    const char* notEnabled;
    const char* notConfigured;
    const char* executableMissing[2];
    const char* folderMissing[2];
};

constexpr CreateRoomCommand kCreateRoomCommands[] = {
    {roomhost::RoomKind::HDuke,
     settings::SourcePortSettings::HDuke,
     settings::SourcePortSettings::Duke3d,
     true,
     "You need to enable the hDuke Source Port in the options!",
     "You need to configure hDuke as a Source Port first before creating a game!",
     {"The SourcePort for the hDuke settings is invalid.", "Please configure your hDuke settings."},
     {"Your Duke Nukem 3D UserMaps folder is invalid.",
      "Please configure your UserMap folder settings to store maps."}},
    {roomhost::RoomKind::OldMP,
     settings::SourcePortSettings::EDuke32OldMP,
     settings::SourcePortSettings::Duke3d,
     false,
     "You need to enable the EDuke32-OldMP Source Port in the options!",
     "You need to configure EDuke32-OldMP as a Source Port first before creating a game!",
     {"Your EDuke32-OldMP SourcePort location is invalid.",
      "Please check your Duke Nukem 3D EDuke32-OldMP path settings."},
     {"Your Duke Nukem 3D UserMaps location is invalid.",
      "Please check your Duke Nukem 3D UserMaps folder location settings."}},
    {roomhost::RoomKind::NBlood,
     settings::SourcePortSettings::NBlood,
     settings::SourcePortSettings::Blood,
     false,
     "You need to enable the NBlood Source Port in the options!",
     "You need to configure NBlood as a Source Port first before creating a game!",
     {"Your NBlood SourcePort location is invalid.",
      "Please check your Blood NBlood path settings."},
     {"Your Blood UserMaps location is invalid.",
      "Please check your Blood UserMaps folder location settings."}},
};
const CreateRoomCommand* commandFor(roomhost::RoomKind kind)
{
    for (const CreateRoomCommand& candidate : kCreateRoomCommands) {
        if (candidate.kind == kind)
            return &candidate;
    }
    return nullptr;
}
} // namespace

std::filesystem::path usermapsFolderFor(roomhost::RoomKind kind,
                                        const settings::SourcePortSettings& sourcePorts)
{
    const CreateRoomCommand* command = commandFor(kind);
    return command ? std::filesystem::path(sourcePorts.usermapsFolders[command->game])
                   : std::filesystem::path();
}

CreateRoomCheck checkCreateRoom(roomhost::RoomKind kind,
                                const settings::SourcePortSettings& sourcePorts)
{
    CreateRoomCheck check;
    const CreateRoomCommand* command = commandFor(kind);
    if (!command)
        return check;

    const auto& port = sourcePorts.ports[command->port];
    const QString path = QString::fromStdString(port.path);
    const bool enabled = port.enabled;
    const QString folder = QString::fromStdString(sourcePorts.usermapsFolders[command->game]);

    // The first two are independent: both boxes may come, one after the other.
    if (!enabled)
        check.messageBoxes << QString::fromLatin1(command->notEnabled);
    if (path.isEmpty())
        check.messageBoxes << QString::fromLatin1(command->notConfigured);
    if (!enabled || path.isEmpty())
        return check;
    if (folder.isEmpty()) {
        check.messageBoxes << QStringLiteral("You need to configure a UserMaps folder for maps in "
                                             "the settings before creating a game!");
        return check;
    }

    const bool executableFound = QFileInfo(path).isFile();
    const bool folderFound = QFileInfo(folder).isDir();
    const auto fail = [&check](const char* const(&lines)[2]) {
        check.logLines = {QString(), QString::fromLatin1(lines[0]), QString::fromLatin1(lines[1]),
                          QString()};
        return check;
    };
    if (command->executableFirst) {
        if (!executableFound)
            return fail(command->executableMissing);
        if (!folderFound)
            return fail(command->folderMissing);
    } else {
        if (!folderFound)
            return fail(command->folderMissing);
        if (!executableFound)
            return fail(command->executableMissing);
    }
    check.passed = true;
    return check;
}

} // namespace vantrell::core
