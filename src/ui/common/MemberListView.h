#pragma once

#include "base/roomhost/RoomCodec.h"

#include <vector>

#include <QTreeWidget>

namespace vantrell::ui {

// Widths in pixels of the visible columns of a member list; Team and Ping are fixed at theirs.
struct MemberColumnWidths
{
    int ready;
    int nicknames;
    int operatingSystem;
    int remoteIps;
    int localIps;
    int team;
    int ping;
};

inline constexpr MemberColumnWidths kRoomHostMemberColumns{.ready = 44,
                                                           .nicknames = 120,
                                                           .operatingSystem = 120,
                                                           .remoteIps = 100,
                                                           .localIps = 120,
                                                           .team = 120,
                                                           .ping = 100};
inline constexpr MemberColumnWidths kRoomClientMemberColumns{.ready = 44,
                                                             .nicknames = 120,
                                                             .operatingSystem = 120,
                                                             .remoteIps = 100,
                                                             .localIps = 120,
                                                             .team = 103,
                                                             .ping = 103};

// The member list of a room window: one row per player, host first, the ready code shown
// as its picture. Read-only with whole-row selection. The Remote Port and UDP Port columns
// are there (the launch and the pings read them) but have no width whatever the widths given.
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

    explicit MemberListView(const MemberColumnWidths& widths = kRoomHostMemberColumns,
                            QWidget* parent = nullptr);

    // Replaces the rows; the selection stays on the same remote port where it can.
    void setMembers(const std::vector<roomhost::MemberRow>& members);
    // The ping cell of one row; a row past the list is left alone.
    void setPing(int row, const QString& ping);
    // The rows as shown (the ready code kept behind each picture).
    std::vector<roomhost::MemberRow> members() const;
};

} // namespace vantrell::ui
