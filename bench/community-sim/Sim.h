#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QString>
#include <QStringList>

// What every part of the community simulator shares: the run's parameters, its designed clock
// (real time times the speed-up), the figures it prints and the ledger of broken invariants.

struct SimParams
{
    int players = 60;
    std::uint64_t seed = 0;
    double speedUp = 10.0;
    double designedMinutes = 30.0;
    QString serverProgram;
    quint16 serverPort = 0;
    quint16 roomPort = 0; // the same for every player, as in a real community
    quint16 fileServerPort = 0;
    QString root; // the run's folders
    bool verbose = false;
};

// Designed seconds since the run began: what the program's own timers count in.
class SimClock
{
public:
    explicit SimClock(double speedUp) : m_speedUp(speedUp) { m_real.start(); }
    double now() const { return static_cast<double>(m_real.elapsed()) * m_speedUp / 1000.0; }
    // A designed duration in seconds as real milliseconds.
    std::chrono::milliseconds real(double designedSeconds) const
    {
        return std::chrono::milliseconds(
            static_cast<long long>(designedSeconds * 1000.0 / m_speedUp + 0.5));
    }
    int realMs(double designedSeconds) const
    {
        return static_cast<int>(real(designedSeconds).count());
    }
    double speedUp() const { return m_speedUp; }

private:
    double m_speedUp;
    QElapsedTimer m_real;
};

struct SimFigures
{
    int connects = 0;
    int rooms = 0;
    int joins = 0;
    int transfers = 0;
    int launches = 0;
    int games = 0;     // members' games started
    int hostGames = 0; // hosts' own games started
    int chats = 0;
    std::map<std::string, int> faults; // by kind
    long long checks = 0;
    int broken = 0;
    long serverPeakKiB = 0;
};

// Every broken invariant is printed with what repeats the run: the seed, the designed time
// and the players involved.
class Ledger
{
public:
    Ledger(const SimParams& params, const SimClock& clock, SimFigures& figures)
        : m_params(params), m_clock(clock), m_figures(figures)
    {
    }
    void check() { ++m_figures.checks; }
    void breach(const QString& invariant, const QString& what, const QStringList& players);
    void note(const QString& line) const;

private:
    const SimParams& m_params;
    const SimClock& m_clock;
    SimFigures& m_figures;
};

// Every player has an address of its own, so that rooms on the same fixed ports sit side by
// side; faulted room links go through a relay on the player's second address.
inline QHostAddress playerAddress(int index)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(10 + index));
}
inline QHostAddress relayAddress(int index)
{
    return QHostAddress(QStringLiteral("127.0.1.%1").arg(10 + index));
}
inline QString nicknameOf(int index)
{
    return QStringLiteral("P%1").arg(index, 2, 10, QLatin1Char('0'));
}

// A usermap's bytes follow from its name and the seed, so that any copy can be checked
// without asking the host.
QByteArray usermapBytes(std::uint64_t seed, const QString& name);

// "0100007F:1F90" (an endpoint of /proc/net/tcp) -> "127.0.0.1:8080".
QString tcpEndpoint(const QString& hex);
