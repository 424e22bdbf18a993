#include "core/lobby/UPnPPortMapper.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <memory>
#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <natpmp.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>

#include <QNetworkDatagram>
#include <QNetworkInterface>

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

// A big-endian field of a NAT-PMP answer.
quint32 field(const unsigned char* at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | at[i];
    return value;
}

// What the gateway answered to one NAT-PMP mapping request.
struct LeaseAnswer
{
    quint16 resultCode = 0; // 0 granted, otherwise the gateway's refusal
    quint32 lifetime = 0;   // seconds granted
    UPnPPortMapper::Epoch epoch;
};

// Where gateways announce themselves (their epoch and public address) when they come up.
const QHostAddress kAllHosts(QStringLiteral("224.0.0.1"));
constexpr quint16 kAnnouncementPort = 5350;

// NAT-PMP with the default gateway. libnatpmp finds the gateway and sends the requests; the
// answers are read here, since the library takes any short datagram for a whole answer and
// fills the missing fields from an uninitialised buffer. Every wait is bounded: a gateway
// that never answers, or answers only garbage, costs a few seconds and then counts as none.
class NatPmpGateway
{
public:
    NatPmpGateway() { m_open = initnatpmp(&m_nat, 0, 0) == 0; }
    ~NatPmpGateway()
    {
        if (m_open)
            closenatpmp(&m_nat);
    }
    NatPmpGateway(const NatPmpGateway&) = delete;
    NatPmpGateway& operator=(const NatPmpGateway&) = delete;

    QHostAddress address() const
    {
        return m_open ? QHostAddress(ntohl(m_nat.gateway)) : QHostAddress();
    }

    // Asks for the mapping (lifetime 0 releases it); no answer when the gateway gave none
    // that fits the request within `attempts` sends (waits of 250 ms, doubling).
    std::optional<LeaseAnswer> map(const PortMappingRequest& request, quint32 lifetime,
                                   int attempts)
    {
        bool portValid = false;
        const uint port = request.externalPort.toUInt(&portValid);
        if (!m_open || !portValid || port == 0 || port > 0xFFFF)
            return std::nullopt;
        const int protocol =
            request.protocol == QLatin1String("UDP") ? NATPMP_PROTOCOL_UDP : NATPMP_PROTOCOL_TCP;
        for (int attempt = 0; attempt < attempts; ++attempt) {
            if (sendnewportmappingrequest(&m_nat, protocol, static_cast<uint16_t>(port),
                                          static_cast<uint16_t>(port), lifetime) < 0)
                return std::nullopt;
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(250 << attempt);
            while (true) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                pollfd socket{m_nat.s, POLLIN, 0};
                if (left.count() <= 0 || ::poll(&socket, 1, static_cast<int>(left.count())) <= 0)
                    break;
                unsigned char answer[64] = {};
                const ssize_t length = ::recv(m_nat.s, answer, sizeof answer, 0);
                if (length < 0 && errno != EINTR && errno != EAGAIN)
                    return std::nullopt; // nothing listens there (an ICMP port unreachable)
                if (const auto fits = parse(answer, length, protocol, port))
                    return fits;
            }
        }
        return std::nullopt;
    }

private:
    // A mapping answer is exactly 16 bytes: version 0, opcode 128 + protocol, result code,
    // epoch, internal port, external port, lifetime. Anything else is not an answer to us.
    static std::optional<LeaseAnswer> parse(const unsigned char* answer, ssize_t length,
                                            int protocol, uint port)
    {
        if (length != 16 || answer[0] != 0 || answer[1] != 128 + protocol)
            return std::nullopt;
        LeaseAnswer fits;
        fits.resultCode = static_cast<quint16>(field(answer + 2, 2));
        fits.epoch = {field(answer + 4, 4), std::chrono::steady_clock::now()};
        if (fits.resultCode != 0)
            return fits;
        if (field(answer + 8, 2) != port)
            return std::nullopt;
        fits.lifetime = field(answer + 12, 4);
        // Peers are told the port the player configured; another external port forwards
        // nothing they will use.
        if (fits.lifetime > 0 && field(answer + 10, 2) != port)
            fits.resultCode = 0xFFFF;
        return fits;
    }

    natpmp_t m_nat{};
    bool m_open = false;
};

constexpr int kMappingAttempts = 4; // 3.75 s of silence
constexpr int kReleaseAttempts = 2; // at the program's end, at most 0.75 s per mapping
// With no lease granted again, the next renewal is tried after this long.
constexpr quint32 kRetrySeconds = 60;

} // namespace

QString UPnPPortMapper::natPmpSuccessLine()
{
    return QStringLiteral(
        "Adding all three of the ports to the router through NAT-PMP was successful.");
}

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

UPnPPortMapper::UPnPPortMapper(QObject* parent) : UPnPPortMapper(Timing(), parent) {}

bool UPnPPortMapper::epochWentBack(const Epoch& last, const Epoch& now)
{
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.seen - last.seen).count();
    const double expected = last.seconds + 0.875 * static_cast<double>(elapsed) / 1000.0;
    return static_cast<double>(now.seconds) + 2.0 < expected;
}

UPnPPortMapper::UPnPPortMapper(const Timing& timing, QObject* parent)
    : QObject(parent), m_timing(timing)
{
    m_renewal.setSingleShot(true);
    connect(&m_renewal, &QTimer::timeout, this, &UPnPPortMapper::renew);
    connect(&m_announcements, &QUdpSocket::readyRead, this, &UPnPPortMapper::readAnnouncements);
}

UPnPPortMapper::~UPnPPortMapper()
{
    // Discovery cannot be interrupted; at worst this waits out its few seconds. Results it
    // still posts are dropped with this object.
    if (m_worker.joinable())
        m_worker.join();
    // Leases the gateway would otherwise hold for hours after the program is gone.
    const QList<PortMappingRequest> held = leases();
    if (!held.isEmpty()) {
        NatPmpGateway gateway;
        for (const PortMappingRequest& lease : held)
            gateway.map(lease, 0, kReleaseAttempts);
    }
}

QList<PortMappingRequest> UPnPPortMapper::leases() const
{
    const std::lock_guard lock(m_leaseMutex);
    return m_leases;
}

void UPnPPortMapper::leased(quint32 lifetime, std::optional<Epoch> epoch,
                            const QHostAddress& gateway)
{
    if (epoch)
        sawEpoch(*epoch);
    if (leases().isEmpty())
        return;
    m_timing.setInterval(m_renewal, std::chrono::seconds(std::max<quint32>(lifetime / 2, 1)));
    m_renewal.start();
    if (m_announcements.state() != QAbstractSocket::BoundState) {
        m_gateway = gateway;
        // Every program on the machine hears the announcements, this one among them.
        if (m_announcements.bind(QHostAddress::AnyIPv4, kAnnouncementPort,
                                 QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
            const QHostAddress local(QString::fromLatin1(m_localAddress));
            for (const QNetworkInterface& network : QNetworkInterface::allInterfaces()) {
                for (const QNetworkAddressEntry& entry : network.addressEntries()) {
                    if (entry.ip() == local)
                        m_announcements.joinMulticastGroup(kAllHosts, network);
                }
            }
        }
    }
}

void UPnPPortMapper::readAnnouncements()
{
    while (m_announcements.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_announcements.receiveDatagram(64);
        const QByteArray data = datagram.data();
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
        if (m_gateway.isNull() ||
            datagram.senderAddress().toIPv4Address() != m_gateway.toIPv4Address())
            continue;
        // NAT-PMP's: version 0, the answer to "public address" (128), success, epoch,
        // address. A gateway that speaks PCP as well announces its restart the PCP way
        // instead: version 2, the answer to "announce" (128), success, lifetime, epoch.
        // Only the epoch is read from either.
        std::optional<quint32> epoch;
        if (data.size() == 12 && bytes[0] == 0 && bytes[1] == 128 && field(bytes + 2, 2) == 0)
            epoch = field(bytes + 4, 4);
        else if (data.size() >= 24 && bytes[0] == 2 && bytes[1] == 128 && bytes[3] == 0)
            epoch = field(bytes + 8, 4);
        if (epoch)
            sawEpoch({*epoch, std::chrono::steady_clock::now()});
    }
}

void UPnPPortMapper::sawEpoch(const Epoch& epoch)
{
    const bool restarted = m_epoch && epochWentBack(*m_epoch, epoch);
    m_epoch = epoch;
    if (restarted && !m_renewing && !leases().isEmpty()) {
        m_renewal.stop();
        renew();
    }
}

void UPnPPortMapper::renew()
{
    if (m_worker.joinable())
        m_worker.join(); // done: the work that made the leases or renewed them last
    m_renewing = true;
    m_worker = std::thread([this, held = leases()] {
        NatPmpGateway gateway;
        int renewed = 0;
        quint32 lifetime = kLeaseSeconds;
        std::optional<Epoch> epoch;
        for (const PortMappingRequest& lease : held) {
            const auto answer = gateway.map(lease, kLeaseSeconds, kMappingAttempts);
            if (answer)
                epoch = answer->epoch;
            if (answer && answer->resultCode == 0 && answer->lifetime > 0) {
                ++renewed;
                lifetime = std::min(lifetime, answer->lifetime);
            }
        }
        post([this, renewed, lifetime, epoch, address = gateway.address()] {
            m_renewing = false;
            // The same leases stay planned: a gateway that missed one renewal may well take
            // the next, and a lease it still holds is released at the end either way. The
            // renewal asked for them all again: its epoch starts afresh.
            m_epoch.reset();
            leased(renewed > 0 ? lifetime : kRetrySeconds * 2, epoch, address);
            emit leasesRenewed(renewed);
        });
    });
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
    m_localAddress = localAddress.toLatin1();
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
        runNatPmp(requests);
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

void UPnPPortMapper::runNatPmp(const QList<PortMappingRequest>& requests)
{
    NatPmpGateway gateway;
    QList<PortMappingRequest> granted;
    quint32 lifetime = kLeaseSeconds;
    std::optional<Epoch> epoch;
    for (int index = 0; index < requests.size(); ++index) {
        const auto answer = gateway.map(requests.at(index), kLeaseSeconds, kMappingAttempts);
        if (answer)
            epoch = answer->epoch;
        const bool ok = answer && answer->resultCode == 0 && answer->lifetime > 0;
        if (!ok) {
            if (answer && answer->resultCode == 0xFFFF)
                gateway.map(requests.at(index), 0, kReleaseAttempts); // not the port we asked
            // No answer at all before anything was granted: there is no NAT-PMP gateway.
            const bool none = !answer && granted.isEmpty();
            const int code = answer ? answer->resultCode : -1;
            post([this, lifetime, epoch, address = gateway.address(), index, code, none] {
                leased(lifetime, epoch, address);
                if (!none)
                    emit mappingRefused(index, code);
                emit finished(none ? Outcome::NoGateway : Outcome::Refused);
            });
            return;
        }
        granted.append(requests.at(index));
        {
            const std::lock_guard lock(m_leaseMutex);
            m_leases = granted;
        }
        lifetime = std::min(lifetime, answer->lifetime);
        post([this, index] { emit mappingAdded(index); });
    }
    post([this, lifetime, epoch, address = gateway.address()] {
        leased(lifetime, epoch, address);
        emit logLine(natPmpSuccessLine());
        emit finished(Outcome::Leased);
    });
}

} // namespace vantrell::core
