// What the server does with each line a lobby sends.
#include "base/common/LineFraming.h"
#include "server/Server.h"
#include "server/ServerLog.h"

namespace vantrell::server {

namespace {

std::string clientName(const Connection& c)
{
    return "#" + std::to_string(c.id()) + " " + c.peerText();
}

} // namespace

void Server::handleLine(Connection& c, std::string_view line)
{
    auto message = lobby::parseClientMessage(line);
    if (!message)
        return; // unknown keywords and malformed lines are ignored

    if (auto* check = std::get_if<lobby::ClientVersionCheck>(&*message)) {
        onVersionCheck(c, *check);
        return;
    }
    // Nothing but the version check is served before the version is accepted: a lobby
    // always sends it first, and an outdated one must not take part.
    if (c.versionState() != Connection::VersionState::Accepted) {
        refuse(c, BeforeVersionCheck, "line before an accepted version check ignored");
        return;
    }
    std::visit(
        [&](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, lobby::AddNickName>)
                onAddNickName(c, m);
            else if constexpr (std::is_same_v<T, lobby::GlobalChat>)
                onGlobalChat(c, m);
            else if constexpr (std::is_same_v<T, lobby::RequestRoomsList>)
                c.send(m_registry.roomsListLine());
            else if constexpr (std::is_same_v<T, lobby::AdvertiseRoom>)
                onAdvertiseRoom(c, m);
            else if constexpr (std::is_same_v<T, lobby::ClientRequestRemoteIP>)
                send(c, lobby::YourRemoteIP{c.peerAddress()});
            else if constexpr (std::is_same_v<T, lobby::StopAdvertisingRoom>)
                onStopAdvertising(c);
        },
        *message);
}

void Server::onVersionCheck(Connection& c, const lobby::ClientVersionCheck& m)
{
    // The check is made once per connection; a repeat changes nothing.
    if (c.versionState() != Connection::VersionState::Unchecked)
        return;
    if (m.token == m_options.versionToken) {
        c.setVersionState(Connection::VersionState::Accepted);
        return;
    }
    // The lobby closes the connection itself when it reads this; until then the connection
    // stays open but is served nothing else.
    c.setVersionState(Connection::VersionState::Refused);
    m_metrics.refused(Refusal::WrongVersion);
    send(c, lobby::WrongVersion{});
    logLine("refused " + clientName(c) + ": wrong version \"" + Registry::cleanNickname(m.token) +
            "\"");
}

void Server::onAddNickName(Connection& c, const lobby::AddNickName& m)
{
    if (c.isRegistered()) {
        refuse(c, SecondNickname, "second AddNickName ignored, the first nickname stays");
        return;
    }
    std::string nickname = Registry::cleanNickname(m.nickname);
    if (nickname.empty() || nickname.size() > Registry::kMaxNicknameLength) {
        refuse(c, BadNickname,
               "nickname empty or longer than " + std::to_string(Registry::kMaxNicknameLength) +
                   " characters");
        return;
    }
    c.setRegistered();
    m_registry.addUser(c.id(), nickname);
    logLine("registered " + clientName(c) + " as \"" + nickname + "\" (computer \"" +
            Registry::cleanNickname(m.computerName) + "\"), " +
            std::to_string(m_registry.userCount()) + " users");
    userListChanged(&c);
    for (const SharedLine& line : m_motd)
        c.send(line);
}

void Server::onGlobalChat(Connection& c, const lobby::GlobalChat& m)
{
    const std::string* nickname = m_registry.nickname(c.id());
    if (!nickname) {
        refuse(c, NotRegistered, "chat before AddNickName ignored");
        return;
    }
    if (m.text.empty())
        return;
    if (!c.admitChatLine(std::chrono::steady_clock::now())) {
        m_metrics.refused(Refusal::Flood);
        refuse(c, FloodLimit, "chat over the flood limit dropped (further drops are counted)");
        return;
    }
    // The relayed line carries the registered nickname, which may be longer than the one
    // the client wrote; cut the text so that the line still fits what every lobby reads.
    std::string line = encodeLine(lobby::encodeServerMessage(lobby::GlobalChat{*nickname, m.text}));
    if (line.size() > kMaxLineLength + 2) {
        line.resize(kMaxLineLength);
        line += "\r\n";
    }
    broadcast(std::make_shared<const std::string>(std::move(line)));
}

void Server::onAdvertiseRoom(Connection& c, const lobby::AdvertiseRoom& m)
{
    const std::string* nickname = m_registry.nickname(c.id());
    if (!nickname) {
        refuse(c, NotRegistered, "AdvertiseRoom before AddNickName ignored");
        return;
    }
    const auto outcome = m_registry.advertise(c.id(), m, *nickname, c.peerAddress());
    if (!outcome) {
        refuse(c, BadRoom, "room ignored: " + outcome.error());
        return;
    }
    // A host repeats its advertisement every few seconds; only a change is news.
    if (outcome->changed)
        logLine("room " + outcome->id + (outcome->replaced ? " updated by " : " added by ") +
                clientName(c) + " \"" + *nickname + "\": \"" + Registry::cleanNickname(m.roomName) +
                "\" port " + m.roomPort + ", players " + Registry::cleanNickname(m.players) +
                ", in game " + Registry::cleanNickname(m.inGame));
}

void Server::onStopAdvertising(Connection& c)
{
    const std::string id = m_registry.removeRoom(c.id());
    if (!id.empty())
        logLine("room " + id + " removed by " + clientName(c));
}

void Server::refuse(Connection& c, RefusalKind kind, const std::string& what)
{
    if (c.firstRefusal(kind))
        logLine("refused " + clientName(c) + ": " + what);
}

} // namespace vantrell::server
