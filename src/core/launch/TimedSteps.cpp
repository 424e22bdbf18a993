#include "core/launch/TimedSteps.h"

#include "core/common/Timing.h"

namespace vantrell::core {

TimedSteps::TimedSteps(const Timing& timing, QObject* parent) : QObject(parent), m_timing(timing)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        auto next = std::move(m_next);
        m_next = nullptr;
        if (next)
            next();
    });
}

void TimedSteps::after(std::chrono::milliseconds designed, std::function<void()> step)
{
    m_next = std::move(step);
    m_timing.setInterval(m_timer, designed);
    m_timer.start();
}

void TimedSteps::stop()
{
    m_timer.stop();
    m_next = nullptr;
}

} // namespace vantrell::core
