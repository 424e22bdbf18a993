#include "support/RoomLab.h"

#include <QTcpServer>
#include <QTest>

using namespace vantrell;

core::RoomHostConfig loopbackRoomConfig(int places, SourcePort kind)
{
    core::RoomHostConfig config;
    config.listenAddress = QHostAddress::LocalHost;
    config.roomPort = 0;
    config.roomPortSetting = "8501";
    config.settings.kind = kind;
    config.settings.playerPlaces = places;
    config.settings.roomName = "Test room";
    config.nickname = "Host";
    config.os = "Linux 64 bit ";
    config.localAddress = "10.0.0.1";
    config.udpPort = "23513";
    config.icmpMethod = core::IcmpMethod::Disabled;
    return config;
}

QStringList texts(const QSignalSpy& spy)
{
    QStringList out;
    for (const auto& call : spy)
        out << call.at(0).toString();
    return out;
}

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::AnyIPv4, 0))
        qFatal("no free port");
    return probe.serverPort();
}

QString addUser(const QString& nickname)
{
    return QStringLiteral("AddUserToList~%1~Linux 64 bit ~127.0.0.1~23513").arg(nickname);
}

LoopbackRoom::LoopbackRoom(const core::RoomHostConfig& config, double speedUp,
                           core::MainServerLink* mainServer)
    : RoomClock(speedUp), RoomHost(timing, config, mainServer), config(config)
{
    m_open = open();
}

lobby::RoomAddress LoopbackRoom::address(const std::string& sourcePort) const
{
    return {"127.0.0.1", std::to_string(serverPort()), sourcePort};
}

std::unique_ptr<RoomMemberScript> joinRoom(core::RoomHost& host, const QString& announcement,
                                           bool ready)
{
    auto member = std::make_unique<RoomMemberScript>();
    if (!member->connectTo(host.serverPort()))
        return nullptr;
    const auto before = host.members().size();
    member->send(announcement);
    member->send(QStringLiteral("ClientRequestsRemotePort"));
    if (!QTest::qWaitFor([&] { return host.members().size() == before + 1; }, 5000))
        return nullptr;
    if (ready) {
        member->send(QStringLiteral("ClientSentReadyMessage"));
        if (!QTest::qWaitFor([&] { return host.members().back().readyCode == "0"; }, 5000))
            return nullptr;
    }
    return member;
}
