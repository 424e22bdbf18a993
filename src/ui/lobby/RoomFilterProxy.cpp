#include "ui/lobby/RoomFilterProxy.h"

#include "base/lobby/RoomFilter.h"
#include "ui/lobby/RoomListModel.h"

namespace vantrell::ui {

void RoomFilterProxy::setFilters(const settings::RoomFilterSettings& filters,
                                 std::vector<SourcePort> setUp)
{
    m_filters = filters;
    m_setUp = std::move(setUp);
    invalidateFilter();
}

bool RoomFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const auto* rooms = qobject_cast<const RoomListModel*>(sourceModel());
    if (!rooms || sourceParent.isValid() || sourceRow >= rooms->rowCount())
        return true;
    return lobby::roomPassesFilters(rooms->room(sourceRow), m_filters, m_setUp);
}

} // namespace vantrell::ui
