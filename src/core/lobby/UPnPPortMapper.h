#pragma once

#include "core/common/Environment.h"

#include <functional>
#include <thread>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

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
    };
    Q_ENUM(Outcome)

    // How long discovery waits for gateways to answer.
    static constexpr int kDiscoveryDelayMs = 2000;

    static QString successLine();

    // The three requests in the order they are made: the room's TCP port, the game's UDP
    // port, then the file server's port. The file server speaks TCP, so its port is asked
    // for TCP (a UDP mapping of it would forward nothing the program listens to). Ports are
    // passed as the player typed them; a port the router does not accept ends the work.
    static QList<PortMappingRequest> requestsFor(const QString& localAddress,
                                                 const QString& tcpPort, const QString& udpPort,
                                                 quint16 fileServerPort = kFileServerPort);

    explicit UPnPPortMapper(QObject* parent = nullptr);
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
    // negative miniupnpc code when the exchange itself failed). Nothing further is asked.
    void mappingRefused(int index, int errorCode);
    // A line for the lobby log.
    void logLine(const QString& line);
    void finished(vantrell::core::UPnPPortMapper::Outcome outcome);

private:
    void run(QList<PortMappingRequest> requests, QByteArray multicastInterface);
    void post(std::function<void()> emitter);

    std::thread m_worker;
    bool m_requested = false;
};

} // namespace vantrell::core
