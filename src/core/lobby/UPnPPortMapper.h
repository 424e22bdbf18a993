#pragma once

#include "core/common/Environment.h"
#include "core/common/Timing.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

namespace vantrell::core {

// One static port mapping asked of the router: the six values of a UPnP AddPortMapping.
struct PortMappingRequest
{
    QString externalPort;
    QString protocol; // "TCP" or "UDP"
    QString internalPort;
    QString internalClient;
    bool enabled = true;
    QString description;

    bool operator==(const PortMappingRequest&) const = default;
};

// Asks the Internet gateway, once at start-up, to forward the room port, the game port and
// the file server's port to this machine (AddUPnPEntry).
//
// Discovery and the requests block for seconds, so they run on a worker thread that this
// object owns and joins in its destructor; every result comes back as a queued signal on
// the thread that owns the object. Failures are silent by design: no gateway, or a gateway
// that refuses a mapping, ends the work without a log line; mappings already made stay, and
// the program never removes them.
//
// When no UPnP gateway answers, the same three are asked of the default gateway through
// NAT-PMP. Those mappings are leases: this object renews them at half their granted lifetime
// while it lives and releases them when it ends, however early that is. A gateway that lost
// its mappings (restarted) says so by its epoch, the seconds since its mapping table began,
// which it sends with every answer and announces to the network when it comes up; an epoch
// that went back has the three asked for again at once.
class UPnPPortMapper : public QObject
{
    Q_OBJECT

public:
    enum class Outcome
    {
        Skipped,   // no network address ("127.0.0.1"): nothing was asked
        NoGateway, // no UPnP Internet gateway answered
        Refused,   // the gateway refused a mapping; the ones before it stay
        AllAdded,  // all three mappings were added
        Leased,    // no UPnP gateway; all three were leased through NAT-PMP
    };
    Q_ENUM(Outcome)

    // How long discovery waits for gateways to answer.
    static constexpr int kDiscoveryDelayMs = 2000;

    // How long a NAT-PMP lease is asked for, in seconds.
    static constexpr quint32 kLeaseSeconds = 7200;

    // A gateway's epoch as seen at one moment.
    struct Epoch
    {
        quint32 seconds = 0;
        std::chrono::steady_clock::time_point seen;
    };
    // The gateway's epoch ran slower than time since the last one: its mappings are gone.
    // An eighth of the time between and two seconds are allowed for clocks and the way.
    static bool epochWentBack(const Epoch& last, const Epoch& now);

    static QString successLine();
    static QString natPmpSuccessLine();

    // The three requests in the order they are made: the room's TCP port, the game's UDP
    // port, then the file server's port. The file server speaks TCP, so its port is asked
    // for TCP (a UDP mapping of it would forward nothing the program listens to). Ports are
    // passed as the player typed them; a port the router does not accept ends the work.
    static QList<PortMappingRequest> requestsFor(const QString& localAddress,
                                                 const QString& tcpPort, const QString& udpPort,
                                                 quint16 fileServerPort = kFileServerPort);

    explicit UPnPPortMapper(QObject* parent = nullptr);
    // The lease renewal waits go through timing.
    explicit UPnPPortMapper(const Timing& timing, QObject* parent = nullptr);
    ~UPnPPortMapper() override;

    UPnPPortMapper(const UPnPPortMapper&) = delete;
    UPnPPortMapper& operator=(const UPnPPortMapper&) = delete;

    // AddUPnPEntry. Starts the work and returns at once; finished() follows, also for a
    // skipped request. The mappings are requested once per run: a second call does nothing
    // and returns false.
    bool requestMappings(const QString& localAddress, const QString& tcpPort,
                         const QString& udpPort, quint16 fileServerPort = kFileServerPort);

signals:
    // The request at this index (of requestsFor()) was accepted by the gateway.
    void mappingAdded(int index);
    // The gateway answered this request with an error (a UPnP error code such as 606, or a
    // negative miniupnpc code when the exchange itself failed; for NAT-PMP its result
    // code). Nothing further is asked.
    void mappingRefused(int index, int errorCode);
    // A line for the lobby log.
    void logLine(const QString& line);
    void finished(vantrell::core::UPnPPortMapper::Outcome outcome);
    // A renewal of the NAT-PMP leases ended; this many of them were granted again.
    void leasesRenewed(int renewed);

private:
    void run(QList<PortMappingRequest> requests, QByteArray multicastInterface);
    void runNatPmp(const QList<PortMappingRequest>& requests);
    void post(std::function<void()> emitter);
    // On the owner's thread: plans the next renewal of what the gateway granted and listens
    // for its announcements.
    void leased(quint32 lifetime, std::optional<Epoch> epoch, const QHostAddress& gateway);
    void renew();
    void readAnnouncements();
    void sawEpoch(const Epoch& epoch);
    QList<PortMappingRequest> leases() const;

    Timing m_timing;
    std::thread m_worker;
    bool m_requested = false;
    bool m_renewing = false;
    // Held through NAT-PMP and released at the end. Written by the worker the moment the
    // gateway grants one: a program that ends before the news reaches its event loop still
    // releases them.
    mutable std::mutex m_leaseMutex;
    QList<PortMappingRequest> m_leases;
    QTimer m_renewal;
    QByteArray m_localAddress;
    QHostAddress m_gateway;
    std::optional<Epoch> m_epoch;
    QUdpSocket m_announcements;
};

} // namespace vantrell::core
