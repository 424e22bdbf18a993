#include "ui/lobby/RoomListView.h"

#include "ui/common/PrivatePicture.h"

#include <QHeaderView>
#include <QScrollBar>

namespace vantrell::ui {

namespace {
// Pixel widths in column order; 0 hides the column.
constexpr int kWidths[RoomListModel::ColumnCount] = {54,  400, 150, 150, 60, 150,
                                                     150, 100, 100, 0,   0,  0};
} // namespace

RoomListView::RoomListView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("roomList"));
    m_sorted.setSourceModel(&m_model);
    m_sorted.setSortRole(RoomListModel::kSortRole);
    m_sorted.setSortCaseSensitivity(Qt::CaseInsensitive);
    m_sorted.setDynamicSortFilter(true);
    setModel(&m_sorted);

    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(PrivatePicture::kSize, PrivatePicture::kSize));

    QHeaderView* head = header();
    head->setStretchLastSection(false);
    // The columns keep their order: no dragging one elsewhere.
    head->setSectionsMovable(false);
    head->setMinimumSectionSize(0);
    for (int column = 0; column < RoomListModel::ColumnCount; ++column) {
        if (kWidths[column] == 0)
            setColumnHidden(column, true);
        else
            head->resizeSection(column, kWidths[column]);
    }
    head->setSectionResizeMode(RoomListModel::Private, QHeaderView::Fixed);
    // No column is sorted until the player clicks one: the server's order stands.
    head->setSectionsClickable(true);
    head->setSortIndicator(-1, Qt::AscendingOrder);
    head->setSortIndicatorShown(true);
    connect(head, &QHeaderView::sortIndicatorChanged, this, &RoomListView::sortIndicatorChanged);
    // "Yes"/"No" under "In Game" must never be cut off.
    connect(head, &QHeaderView::sectionResized, this, [head](int column, int, int size) {
        if (column == RoomListModel::InGame && size < 100)
            head->resizeSection(column, 100);
    });
    connect(this, &QAbstractItemView::doubleClicked, this, &RoomListView::rowDoubleClicked);
}

void RoomListView::setRooms(const std::vector<lobby::RoomRecord>& rooms)
{
    std::optional<std::string> selectedId;
    if (const auto room = selectedRoom())
        selectedId = room->id;
    // A refresh every 10 s is not the player moving through the list: it stays where the
    // player scrolled it, the selected room in sight or not.
    const QPoint scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
    m_model.setRooms(rooms);
    if (selectedId)
        selectRoom(*selectedId);
    // The bars' ranges follow the new rows first, or the old place would be cut to them.
    executeDelayedItemsLayout();
    horizontalScrollBar()->setValue(scrolled.x());
    verticalScrollBar()->setValue(scrolled.y());
}

void RoomListView::setFilters(const settings::RoomFilterSettings& filters,
                              std::vector<SourcePort> setUp)
{
    m_sorted.setFilters(filters, std::move(setUp));
}

std::vector<lobby::RoomRecord> RoomListView::shownRooms() const
{
    std::vector<lobby::RoomRecord> shown;
    for (int row = 0; row < m_sorted.rowCount(); ++row)
        shown.push_back(m_model.room(m_sorted.mapToSource(m_sorted.index(row, 0)).row()));
    return shown;
}

std::optional<lobby::RoomRecord> RoomListView::selectedRoom() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    const QModelIndex source = m_sorted.mapToSource(rows.first());
    if (!source.isValid())
        return std::nullopt;
    return m_model.room(source.row());
}

bool RoomListView::selectRoom(const std::string& id)
{
    const auto& rooms = m_model.rooms();
    for (size_t row = 0; row < rooms.size(); ++row) {
        if (rooms[row].id != id)
            continue;
        const QModelIndex index =
            m_sorted.mapFromSource(m_model.index(static_cast<int>(row), RoomListModel::RoomName));
        if (!index.isValid())
            return false;
        setCurrentIndex(index);
        selectionModel()->select(index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }
    return false;
}

void RoomListView::sortByColumn(int column)
{
    // What the header does on a click: a new column sorts ascending, the same one flips.
    QHeaderView* head = header();
    Qt::SortOrder order = Qt::AscendingOrder;
    if (head->sortIndicatorSection() == column && head->sortIndicatorOrder() == Qt::AscendingOrder)
        order = Qt::DescendingOrder;
    head->setSortIndicator(column, order);
}

void RoomListView::sortIndicatorChanged(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= RoomListModel::ColumnCount || isColumnHidden(column))
        return;
    m_sorted.sort(column, order);
    if (const QModelIndex current = currentIndex(); current.isValid())
        scrollTo(current);
}

void RoomListView::rowDoubleClicked()
{
    const auto room = selectedRoom();
    if (!room)
        return;
    emit joinRequested(lobby::JoinRow{room->address, room->roomPort, room->sourcePort, room->game,
                                      room->map, room->roomName});
}

} // namespace vantrell::ui
