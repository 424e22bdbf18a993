// The tests' fault relay as a program, for bench/slowlink-bench:
//   vantrell-faultrelay <target port> <one-way latency ms> <bytes per second, 0 for no cap>
// listens on a loopback port the system picks, prints it, and relays every connection to
// 127.0.0.1:<target port> with that latency and cap in both directions until killed.
#include "support/FaultRelay.h"

#include <chrono>
#include <cstdio>

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <target port> <latency ms> <bytes per second>\n", argv[0]);
        return 2;
    }
    const auto target = static_cast<quint16>(QString::fromLocal8Bit(argv[1]).toUInt());
    const std::chrono::milliseconds latency(QString::fromLocal8Bit(argv[2]).toLongLong());
    const qint64 rate = QString::fromLocal8Bit(argv[3]).toLongLong();
    FaultRelay relay(QHostAddress::LocalHost, target);
    if (!relay.isListening()) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    for (const auto direction : {FaultRelay::ToTarget, FaultRelay::FromTarget}) {
        relay.setLatency(direction, latency);
        relay.setRate(direction, rate);
    }
    std::printf("%u\n", relay.port());
    std::fflush(stdout);
    return app.exec();
}
