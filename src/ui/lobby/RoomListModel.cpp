#include "ui/lobby/RoomListModel.h"

#include "ui/common/PrivatePicture.h"

#include <charconv>

namespace vantrell::ui {

namespace {
constexpr const char* kTitles[RoomListModel::ColumnCount] = {
    "Private",   "Room Name", "Game",    "Source Port", "Players",  "Map",
    "Game Type", "Skill",     "In Game", "ID",          "RoomPort", "IP"};

const std::string& textOf(const lobby::RoomRecord& room, int column)
{
    static const std::string none;
    switch (column) {
    case RoomListModel::RoomName:
        return room.roomName;
    case RoomListModel::Game:
        return room.game;
    case RoomListModel::SourcePort:
        return room.sourcePort;
    case RoomListModel::Players:
        return room.players;
    case RoomListModel::Map:
        return room.map;
    case RoomListModel::GameType:
        return room.gameType;
    case RoomListModel::Skill:
        return room.skill;
    case RoomListModel::InGame:
        return room.inGame;
    case RoomListModel::Id:
        return room.id;
    case RoomListModel::RoomPort:
        return room.roomPort;
    case RoomListModel::Ip:
        return room.address;
    default:
        return none;
    }
}

long long number(std::string_view text)
{
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return (ec == std::errc() && end == text.data() + text.size()) ? value : -1;
}

// "2/8" as 2 players of 8, so that it sorts before "10/16"; text that is not of that form
// sorts first.
qlonglong playersKey(const std::string& players)
{
    const auto slash = players.find('/');
    if (slash == std::string::npos)
        return -1;
    const long long count = number(std::string_view(players).substr(0, slash));
    const long long maximum = number(std::string_view(players).substr(slash + 1));
    if (count < 0 || maximum < 0 || count > 999999 || maximum > 999999)
        return -1;
    return count * 1000000 + maximum;
}
} // namespace

RoomListModel::RoomListModel(QObject* parent)
    : QAbstractTableModel(parent), m_padlock(PrivatePicture::padlock())
{
}

void RoomListModel::setRooms(std::vector<lobby::RoomRecord> rooms)
{
    beginResetModel();
    m_rooms = std::move(rooms);
    endResetModel();
}

int RoomListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rooms.size());
}

int RoomListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RoomListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const lobby::RoomRecord& r = room(index.row());
    const int column = index.column();
    if (column == Private) {
        if (role == Qt::DecorationRole && r.isPrivate)
            return m_padlock;
        if (role == kSortRole)
            return r.isPrivate ? 1 : 0;
        return {};
    }
    if (role == Qt::DisplayRole)
        return QString::fromStdString(textOf(r, column));
    if (role == kSortRole) {
        if (column == Players)
            return playersKey(r.players);
        return QString::fromStdString(textOf(r, column));
    }
    return {};
}

QVariant RoomListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kTitles[section]);
    if (role == Qt::InitialSortOrderRole)
        return static_cast<int>(Qt::AscendingOrder);
    return {};
}

} // namespace vantrell::ui
