#pragma once

#include "base/lobby/MainServerCodec.h"

#include <vector>

#include <QAbstractTableModel>
#include <QPixmap>

namespace vantrell::ui {

// The rooms of the last room list line, in the server's order, as the twelve columns of the
// main window's room list. Each column also gives a sort key (kSortRole): the private flag,
// "Players" by count and then maximum, every other column its text.
class RoomListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Private,
        RoomName,
        Game,
        SourcePort,
        Players,
        Map,
        GameType,
        Skill,
        InGame,
        Id,
        RoomPort,
        Ip,
        ColumnCount
    };
    static constexpr int kSortRole = Qt::UserRole + 1;

    explicit RoomListModel(QObject* parent = nullptr);

    // Replaces every room.
    void setRooms(std::vector<lobby::RoomRecord> rooms);
    const std::vector<lobby::RoomRecord>& rooms() const { return m_rooms; }
    const lobby::RoomRecord& room(int row) const { return m_rooms.at(static_cast<size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<lobby::RoomRecord> m_rooms;
    QPixmap m_padlock;
};

} // namespace vantrell::ui
