#pragma once

#include "base/common/SourcePorts.h"
#include "base/settings/RoomFilterSettings.h"

#include <vector>

#include <QSortFilterProxyModel>

namespace vantrell::ui {

// The room list as shown: the rooms of a RoomListModel that pass the "View" menu's filters,
// in the order of the column the player sorted by.
class RoomFilterProxy : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // `setUp`: the ports the player has set up, for the filter that keeps only those.
    void setFilters(const settings::RoomFilterSettings& filters, std::vector<SourcePort> setUp);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    settings::RoomFilterSettings m_filters;
    std::vector<SourcePort> m_setUp;
};

} // namespace vantrell::ui
