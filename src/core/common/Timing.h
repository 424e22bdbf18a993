#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QTimer>

namespace vantrell::core {

// Every fixed wait of the program (100 ms, 1000 ms, 2000 ms, 5 s, 10 s, 60 s) goes through
// one Timing object, so tests can run the same code faster: with a speed-up of 50 a 60 s
// interval becomes 1.2 s. Measured durations are scaled back, so a probe that took 20 ms
// at speed-up 1 still reads as 20 ms. The monotonic clock can also be replaced outright
// (for the stepped clocks of formula tests).
class Timing
{
public:
    using Clock = std::chrono::steady_clock;
    using NowFunction = std::function<Clock::time_point()>;

    Timing() = default;
    explicit Timing(double speedUp);

    double speedUp() const { return m_speedUp; }

    // The real interval for a designed one: divided by the speed-up, never below 1 ms
    // (a designed 0 stays 0).
    std::chrono::milliseconds interval(std::chrono::milliseconds designed) const;

    // Sets a timer's interval from its designed value (does not start it).
    void setInterval(QTimer& timer, std::chrono::milliseconds designed) const;
    // Runs fn once after the designed delay on context's thread; dropped if context dies.
    void singleShot(const QObject* context, std::chrono::milliseconds designed,
                    std::function<void()> fn) const;

    // Monotonic time, and the designed duration between two of its readings.
    Clock::time_point now() const;
    std::chrono::milliseconds designedElapsed(Clock::time_point from, Clock::time_point to) const;

    void setNowFunction(NowFunction now) { m_now = std::move(now); }

private:
    double m_speedUp = 1.0;
    NowFunction m_now;
};

} // namespace vantrell::core
