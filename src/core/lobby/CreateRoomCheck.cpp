#include "core/lobby/CreateRoomCheck.h"

#include <QFileInfo>

namespace vantrell::core {

namespace {
QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
} // namespace

std::filesystem::path usermapsFolderFor(SourcePort port,
                                        const settings::SourcePortSettings& sourcePorts)
{
    return std::filesystem::path(sourcePorts.usermapsFolder(sourcePortRow(port).game));
}

CreateRoomCheck checkCreateRoom(SourcePort port, const settings::SourcePortSettings& sourcePorts)
{
    CreateRoomCheck check;
    const SourcePortRow& row = sourcePortRow(port);
    if (!row.hostsRooms())
        return check;
    const CreateRoomTexts& texts = row.createRoom;

    const auto& entry = sourcePorts.port(port);
    const QString path = QString::fromStdString(entry.path);
    const bool enabled = entry.enabled;
    const QString folder = QString::fromStdString(sourcePorts.usermapsFolder(row.game));

    // The first two are independent: both boxes may come, one after the other.
    if (!enabled)
        check.messageBoxes << latin1(texts.notEnabled);
    if (path.isEmpty())
        check.messageBoxes << latin1(texts.notConfigured);
    if (!enabled || path.isEmpty())
        return check;
    if (folder.isEmpty()) {
        check.messageBoxes << QStringLiteral("You need to configure a UserMaps folder for maps in "
                                             "the settings before creating a game!");
        return check;
    }

    const bool executableFound = QFileInfo(path).isFile();
    const bool folderFound = QFileInfo(folder).isDir();
    const auto fail = [&check](const std::array<std::string_view, 2>& lines) {
        check.logLines = {QString(), latin1(lines[0]), latin1(lines[1]), QString()};
        return check;
    };
    if (texts.executableFirst) {
        if (!executableFound)
            return fail(texts.executableMissing);
        if (!folderFound)
            return fail(texts.folderMissing);
    } else {
        if (!folderFound)
            return fail(texts.folderMissing);
        if (!executableFound)
            return fail(texts.executableMissing);
    }
    check.passed = true;
    return check;
}

} // namespace vantrell::core
