#include "base/roomhost/MemberList.h"

#include <algorithm>
#include <utility>

namespace vantrell::roomhost {

MemberList::MemberList(MemberRow host)
{
    m_rows.push_back(std::move(host));
}

MemberRow MemberList::hostRow(std::string nickname, std::string os, std::string localAddress,
                              std::string team, std::string udpPort)
{
    MemberRow row;
    row.readyCode = "0";
    row.nickname = std::move(nickname);
    row.os = std::move(os);
    row.remoteAddress = " ";
    row.localAddress = std::move(localAddress);
    row.team = std::move(team);
    row.remotePort.clear();
    row.udpPort = std::move(udpPort);
    row.ping = "N/A";
    return row;
}

namespace {
std::string memberValue(std::string_view value)
{
    return std::string(value.substr(0, MemberList::kMaxMemberValueLength));
}
} // namespace

MemberRow MemberList::memberRow(const AddUserToList& details, std::string remoteAddress,
                                std::string remotePort)
{
    MemberRow row;
    row.readyCode = "1";
    row.nickname = memberValue(details.nickname);
    row.os = memberValue(details.os);
    row.remoteAddress = std::move(remoteAddress);
    row.localAddress = memberValue(details.localAddress);
    row.team = " ";
    row.remotePort = std::move(remotePort);
    row.udpPort = memberValue(details.udpPort);
    row.ping = "N/A";
    return row;
}

void MemberList::append(MemberRow row)
{
    m_rows.push_back(std::move(row));
}

template <typename Fn>
std::size_t MemberList::forEachMatch(std::string_view remoteAddress, std::string_view remotePort,
                                     Fn fn)
{
    std::size_t matched = 0;
    for (std::size_t i = 1; i < m_rows.size(); ++i) {
        auto& row = m_rows[i];
        if (row.remoteAddress == remoteAddress && row.remotePort == remotePort) {
            fn(row);
            ++matched;
        }
    }
    return matched;
}

bool MemberList::hasConnection(std::string_view remoteAddress, std::string_view remotePort) const
{
    for (std::size_t i = 1; i < m_rows.size(); ++i) {
        if (m_rows[i].remoteAddress == remoteAddress && m_rows[i].remotePort == remotePort)
            return true;
    }
    return false;
}

std::size_t MemberList::removeConnection(std::string_view remoteAddress,
                                         std::string_view remotePort)
{
    const auto before = m_rows.size();
    const auto first = std::remove_if(m_rows.begin() + 1, m_rows.end(), [&](const MemberRow& r) {
        return r.remoteAddress == remoteAddress && r.remotePort == remotePort;
    });
    m_rows.erase(first, m_rows.end());
    return before - m_rows.size();
}

std::size_t MemberList::setReadyCode(std::string_view remoteAddress, std::string_view remotePort,
                                     std::string_view readyCode)
{
    return forEachMatch(remoteAddress, remotePort,
                        [&](MemberRow& row) { row.readyCode = std::string(readyCode); });
}

std::size_t MemberList::setTeam(std::string_view remoteAddress, std::string_view remotePort,
                                std::string_view team)
{
    return forEachMatch(remoteAddress, remotePort,
                        [&](MemberRow& row) { row.team = memberValue(team); });
}

std::size_t MemberList::setPing(std::string_view remoteAddress, std::string_view remotePort,
                                std::string_view ping)
{
    return forEachMatch(remoteAddress, remotePort,
                        [&](MemberRow& row) { row.ping = std::string(ping); });
}

bool MemberList::removeRow(std::size_t index)
{
    if (index == 0 || index >= m_rows.size())
        return false;
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

void MemberList::setHostRemoteAddress(std::string address)
{
    m_rows.front().remoteAddress = std::move(address);
}

bool MemberList::allReady() const
{
    return std::none_of(m_rows.begin() + 1, m_rows.end(),
                        [](const MemberRow& r) { return r.readyCode == "1"; });
}

} // namespace vantrell::roomhost
