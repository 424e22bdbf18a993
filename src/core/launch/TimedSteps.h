#pragma once

#include <chrono>
#include <functional>

#include <QObject>
#include <QTimer>

namespace vantrell::core {

class Timing;

// The next step of a sequence, run after a designed wait on the event loop. One step is
// pending at a time; stop() drops it.
class TimedSteps : public QObject
{
    Q_OBJECT

public:
    // timing must outlive this object.
    explicit TimedSteps(const Timing& timing, QObject* parent = nullptr);

    void after(std::chrono::milliseconds designed, std::function<void()> step);
    void stop();

private:
    const Timing& m_timing;
    QTimer m_timer;
    std::function<void()> m_next;
};

} // namespace vantrell::core
