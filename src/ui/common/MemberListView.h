#pragma once

#include "base/roomhost/RoomCodec.h"

#include <vector>

#include <QTreeWidget>

namespace vantrell::ui {

// The member list of a room window: one row per player, host first, the ready code shown
// as its picture. Read-only with whole-row selection. The Remote Port and UDP Port columns
// are there (the launch and the pings read them) but have no width.
class MemberListView : public QTreeWidget
{
    Q_OBJECT

public:
    enum Column
    {
        Ready,
        Nicknames,
        OperatingSystem,
        RemoteIPs,
        LocalIPs,
        Team,
        RemotePort,
        UdpPort,
        Ping,
        ColumnCount
    };

    explicit MemberListView(QWidget* parent = nullptr);

    // Replaces the rows; the selection stays on the same remote port where it can.
    void setMembers(const std::vector<roomhost::MemberRow>& members);
    // The rows as shown (the ready code kept behind each picture).
    std::vector<roomhost::MemberRow> members() const;
};

} // namespace vantrell::ui
