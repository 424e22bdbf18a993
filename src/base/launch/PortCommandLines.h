#pragma once

#include "base/common/SourcePorts.h"
#include "base/launch/LaunchInputs.h"

// The command-line builders of each room port. They stay apart: every port orders its
// arguments its own way.
namespace vantrell::launch {

struct PortCommandLines
{
    GameCommand (*hostSolo)(const HostInputs&);
    GameCommand (*hostRoom)(const HostInputs&);
    GameCommand (*member)(const MemberInputs&);
};

// The builders of a port that hosts rooms; none for the others.
const PortCommandLines* commandLinesFor(SourcePort port);

} // namespace vantrell::launch
