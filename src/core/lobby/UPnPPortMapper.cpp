#include "core/lobby/UPnPPortMapper.h"

#include <memory>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>

namespace vantrell::core {

namespace {

constexpr auto kDescription = "Form1";
// A lease of 0 asks for a static mapping that stays until the router drops it.
constexpr auto kPermanentLease = "0";

struct DeviceListDeleter
{
    void operator()(UPNPDev* list) const { freeUPNPDevlist(list); }
};
using DeviceList = std::unique_ptr<UPNPDev, DeviceListDeleter>;

// The control URLs of the gateway found, freed with it.
class Gateway
{
public:
    Gateway() = default;
    ~Gateway()
    {
        if (m_found)
            FreeUPNPUrls(&m_urls);
    }
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    bool find(UPNPDev* devices)
    {
        char lanAddress[64] = {};
        const int kind = UPNP_GetValidIGD(devices, &m_urls, &m_data, lanAddress,
                                          static_cast<int>(sizeof lanAddress));
        // Any non-zero answer fills the URLs and must be freed. 1 is a connected gateway,
        // 2 one that says its WAN side is down (asking anyway costs nothing: the mapping is
        // static and serves once the line comes up), 3 a device that is no gateway.
        m_found = kind != 0;
        return kind == 1 || kind == 2;
    }

    int addMapping(const PortMappingRequest& request) const
    {
        const QByteArray external = request.externalPort.toLatin1();
        const QByteArray internal = request.internalPort.toLatin1();
        const QByteArray client = request.internalClient.toLatin1();
        const QByteArray description = request.description.toLatin1();
        const QByteArray protocol = request.protocol.toLatin1();
        return UPNP_AddPortMapping(m_urls.controlURL, m_data.first.servicetype,
                                   external.constData(), internal.constData(), client.constData(),
                                   description.constData(), protocol.constData(), nullptr,
                                   kPermanentLease);
    }

private:
    UPNPUrls m_urls{};
    IGDdatas m_data{};
    bool m_found = false;
};

} // namespace

QString UPnPPortMapper::successLine()
{
    return QStringLiteral("Adding all three of the UPnP Ports to the router was successful.");
}

QList<PortMappingRequest> UPnPPortMapper::requestsFor(const QString& localAddress,
                                                      const QString& tcpPort,
                                                      const QString& udpPort,
                                                      quint16 fileServerPort)
{
    const QString description = QString::fromLatin1(kDescription);
    const QString fileServer = QString::number(fileServerPort);
    return {
        {tcpPort, QStringLiteral("TCP"), tcpPort, localAddress, true, description},
        {udpPort, QStringLiteral("UDP"), udpPort, localAddress, true, description},
        {fileServer, QStringLiteral("TCP"), fileServer, localAddress, true, description},
    };
}

UPnPPortMapper::UPnPPortMapper(QObject* parent) : QObject(parent) {}

UPnPPortMapper::~UPnPPortMapper()
{
    // Discovery cannot be interrupted; at worst this waits out its few seconds. Results it
    // still posts are dropped with this object.
    if (m_worker.joinable())
        m_worker.join();
}

bool UPnPPortMapper::requestMappings(const QString& localAddress, const QString& tcpPort,
                                     const QString& udpPort, quint16 fileServerPort)
{
    if (m_requested)
        return false;
    m_requested = true;

    if (localAddress == QLatin1String("127.0.0.1")) {
        post([this] { emit finished(Outcome::Skipped); });
        return true;
    }

    // Discovery goes out on the interface that carries the local address: that address is
    // the internal end of every mapping, so the gateway that matters sits on its network.
    m_worker = std::thread(&UPnPPortMapper::run, this,
                           requestsFor(localAddress, tcpPort, udpPort, fileServerPort),
                           localAddress.toLatin1());
    return true;
}

void UPnPPortMapper::post(std::function<void()> emitter)
{
    QMetaObject::invokeMethod(this, std::move(emitter), Qt::QueuedConnection);
}

void UPnPPortMapper::run(QList<PortMappingRequest> requests, QByteArray multicastInterface)
{
    int error = 0;
    const DeviceList devices(upnpDiscover(
        kDiscoveryDelayMs, multicastInterface.isEmpty() ? nullptr : multicastInterface.constData(),
        nullptr, UPNP_LOCAL_PORT_ANY, 0, 2, &error));
    Gateway gateway;
    if (!devices || !gateway.find(devices.get())) {
        post([this] { emit finished(Outcome::NoGateway); });
        return;
    }

    for (int index = 0; index < requests.size(); ++index) {
        const int result = gateway.addMapping(requests.at(index));
        if (result != UPNPCOMMAND_SUCCESS) {
            post([this, index, result] {
                emit mappingRefused(index, result);
                emit finished(Outcome::Refused);
            });
            return;
        }
        post([this, index] { emit mappingAdded(index); });
    }
    post([this] {
        emit logLine(successLine());
        emit finished(Outcome::AllAdded);
    });
}

} // namespace vantrell::core
