#pragma once

#include "base/lobby/JoinPlan.h"
#include "base/lobby/MainServerCodec.h"
#include "base/settings/RoomFilterSettings.h"
#include "ui/lobby/RoomFilterProxy.h"
#include "ui/lobby/RoomListModel.h"

#include <optional>
#include <vector>

#include <QTreeView>

namespace vantrell::ui {

// The main window's room list: read-only, whole-row selection, the columns of RoomListModel
// with ID, RoomPort and IP hidden. The rooms stay in the server's order until the player
// clicks a column's header; that order then holds across every rebuild, and the selected
// room stays selected, found by its ID, while it is listed. The "View" menu's filters hold
// across every rebuild too: a hidden room is listed but not shown.
class RoomListView : public QTreeView
{
    Q_OBJECT

public:
    explicit RoomListView(QWidget* parent = nullptr);

    // Rebuilds the list from a room list line.
    void setRooms(const std::vector<lobby::RoomRecord>& rooms);
    // Filters every rebuild from now on, and the rooms listed now.
    void setFilters(const settings::RoomFilterSettings& filters, std::vector<SourcePort> setUp);
    // The rooms in the order shown.
    std::vector<lobby::RoomRecord> shownRooms() const;
    int shownCount() const { return m_sorted.rowCount(); }
    int listedCount() const { return m_model.rowCount(); }
    std::optional<lobby::RoomRecord> selectedRoom() const;
    // Selects the room with this ID; false when it is not listed or the filters hide it.
    bool selectRoom(const std::string& id);
    // Sorts by a visible column, as a click on its header does (a second click reverses).
    void sortByColumn(int column);

signals:
    // A double-click on a room: the values a join takes, as they are now.
    void joinRequested(const vantrell::lobby::JoinRow& row);

private:
    void sortIndicatorChanged(int column, Qt::SortOrder order);
    void rowDoubleClicked();

    RoomListModel m_model;
    RoomFilterProxy m_sorted;
};

} // namespace vantrell::ui
