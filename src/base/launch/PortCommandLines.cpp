#include "base/launch/PortCommandLines.h"

#include "base/launch/HDukeCommandLine.h"
#include "base/launch/NBloodCommandLine.h"
#include "base/launch/OldMpCommandLine.h"

namespace vantrell::launch {

const PortCommandLines* commandLinesFor(SourcePort port)
{
    static constexpr PortCommandLines kHDuke{hDukeHostSolo, hDukeHostRoom, hDukeMember};
    static constexpr PortCommandLines kOldMp{oldMpHostSolo, oldMpHostRoom, oldMpMember};
    static constexpr PortCommandLines kNBlood{nBloodHostSolo, nBloodHostRoom, nBloodMember};
    switch (port) {
    case SourcePort::HDuke:
        return &kHDuke;
    case SourcePort::EDuke32OldMP:
        return &kOldMp;
    case SourcePort::NBlood:
        return &kNBlood;
    default:
        return nullptr;
    }
}

} // namespace vantrell::launch
