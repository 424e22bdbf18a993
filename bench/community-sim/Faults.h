#pragma once

#include "Sim.h"

#include <map>
#include <random>
#include <vector>

#include <QObject>
#include <QProcess>
#include <QTimer>

class Player;

// The real main server as a process the simulator may kill, restart and silence, and whose
// memory and descriptors it reads.
class ServerProcess
{
public:
    explicit ServerProcess(const SimParams& params) : m_params(params) {}
    ~ServerProcess();

    bool start();
    void kill();
    // SIGSTOP: the connections stay open, nothing is answered.
    void silence();
    void resume();
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    long residentKiB() const { return status("VmRSS:"); }
    // The peak over every run of the process so far.
    long peakKiB() const;
    int openDescriptors() const;
    // Its descriptors, a TCP connection as "local remote state", for a report.
    QStringList descriptors() const;

private:
    long status(const char* key) const;

    const SimParams& m_params;
    QProcess m_process;
    long m_earlierPeak = 0;
};

// Faults at random on the links of the faulted players (delay, a rate cap, a stall of one
// direction, short and long partitions) and on the main server (killed and started again,
// silent a while). Knows since when each link has been undisturbed, for the invariants.
class Faults : public QObject
{
public:
    Faults(const SimParams& params, const SimClock& clock, SimFigures& figures, Ledger& ledger,
           std::vector<Player*> players, ServerProcess& server);

    void start();
    // Ends every fault now, heals every link and lets the main server run.
    void stop();

    // Designed time a player's links were last disturbed (the end of the last fault; now
    // while one lasts).
    double quietSince(int player) const;
    double serverQuietSince() const;

private:
    void playerFault();
    void serverFault();
    double uniform(double from, double to);
    void count(const char* kind);

    const SimParams& m_params;
    const SimClock& m_clock;
    SimFigures& m_figures;
    Ledger& m_ledger;
    std::vector<Player*> m_players;
    ServerProcess& m_server;
    std::mt19937_64 m_random;
    QTimer m_playerTimer;
    QTimer m_serverTimer;
    std::map<int, double> m_faultEnds; // by player: the designed end of its fault
    double m_serverFaultEnds = 0;
    bool m_killTurn = false;
    bool m_stopped = false;
};
