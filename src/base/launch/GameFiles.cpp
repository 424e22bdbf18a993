#include "base/launch/GameFiles.h"

namespace vantrell::launch {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void addInterface(std::string& out, const roomhost::MemberRow& row)
{
    out += "interface " + row.localAddress + ":" + row.udpPort;
    out += kLineEnd;
    out += "mode peer";
    out += kLineEnd;
}

void addAllow(std::string& out, const roomhost::MemberRow& row)
{
    out += "allow " + row.remoteAddress + ":" + row.udpPort;
    out += kLineEnd;
}

} // namespace

std::string markerContents()
{
    return "kesh.txt required for KESH compatibility.\r\n";
}

std::string hostPeerList(const std::vector<roomhost::MemberRow>& members)
{
    std::string out;
    if (members.empty())
        return out;
    addInterface(out, members.front());
    for (std::size_t i = 1; i < members.size(); ++i)
        addAllow(out, members[i]);
    return out;
}

std::string memberPeerList(const std::vector<roomhost::MemberRow>& members,
                           std::string_view ownRemotePort)
{
    std::string out;
    for (std::size_t i = 1; i < members.size(); ++i) {
        if (members[i].remotePort == ownRemotePort)
            addInterface(out, members[i]);
    }
    // Row 0 is the host, never this member, even before "YourRemotePortIs" has come (the
    // host's row carries no remote port, which an unknown own port would equal).
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i == 0 || members[i].remotePort != ownRemotePort)
            addAllow(out, members[i]);
    }
    return out;
}

} // namespace vantrell::launch
