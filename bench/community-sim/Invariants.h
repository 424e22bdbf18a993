#pragma once

#include "Sim.h"
#include "base/lobby/MainServerCodec.h"

#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class Player;
class Faults;

// What must hold all through an evening, checked while it runs: room lists, member rows,
// file-server slots and launches (usermaps are checked by each player as they arrive).
class Invariants : public QObject
{
public:
    Invariants(const SimParams& params, const SimClock& clock, Ledger& ledger,
               std::vector<Player*> players, const Faults& faults);

    void start();
    void stop();

    // A lobby received its room list.
    void roomsList(Player& viewer, const vantrell::lobby::NewRoomsListUpdate& list);
    void launched(Player& host, std::set<int> ready);
    void gameStarted(Player& member, int host);
    void launchRefused(Player& member, int host);

    // The longest a file-server connection may live: no request for 30 s, a minute plus the
    // largest usermap at 4 KiB/s, and 30 s to close after the last byte.
    void setLargestUsermap(qint64 bytes) { m_largestUsermap = bytes; }

private:
    void tick();
    void checkMemberRows();
    void checkFileServerSlots();
    void checkLaunches();
    // Designed seconds since the links of both players and the main server were last
    // disturbed; 0 when one of them is disturbed now.
    double quietFor(int a, int b) const;

    const SimParams& m_params;
    const SimClock& m_clock;
    Ledger& m_ledger;
    std::vector<Player*> m_players;
    const Faults& m_faults;
    QTimer m_tick;
    // The players share one event loop: a busy machine that holds it up delays what every
    // player sees, which no invariant is about. The designed time of the last such hold-up.
    QTimer m_lagProbe;
    QElapsedTimer m_lagClock;
    double m_heldUpAt = -1e9;
    qint64 m_largestUsermap = 0;

    // (host, member) -> designed time their views first differed.
    std::map<std::pair<int, int>, double> m_rowMismatch;
    std::set<std::pair<int, int>> m_rowReported;
    // "local address:port remote address:port" of a file-server connection -> first seen.
    std::map<QString, double> m_slots;
    std::set<QString> m_slotReported;
    struct Launch
    {
        double at;
        std::set<int> ready;
        std::set<int> started;
        std::set<int> refused;
        bool checked = false;
    };
    std::map<int, Launch> m_launches; // by host, the last launch
};
