#pragma once

#include "core/common/Environment.h"
#include "core/common/Timing.h"

#include <functional>
#include <thread>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

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
// NAT-PMP (which PCP gateways answer as well). Those mappings are leases: this object renews
// them at half their granted lifetime while it lives and releases them when it ends.
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
    // On the owner's thread: keeps what the gateway granted and plans the next renewal.
    void leased(const QList<PortMappingRequest>& granted, quint32 lifetime);
    void renew();

    Timing m_timing;
    std::thread m_worker;
    bool m_requested = false;
    QList<PortMappingRequest> m_leases; // held through NAT-PMP; released at the end
    QTimer m_renewal;
};

} // namespace vantrell::core
