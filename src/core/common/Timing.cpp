#include "core/common/Timing.h"

#include <cmath>

namespace vantrell::core {

Timing::Timing(double speedUp) : m_speedUp(speedUp > 0 ? speedUp : 1.0) {}

std::chrono::milliseconds Timing::interval(std::chrono::milliseconds designed) const
{
    if (designed.count() <= 0)
        return std::chrono::milliseconds(0);
    const auto scaled = static_cast<long long>(std::llround(designed.count() / m_speedUp));
    return std::chrono::milliseconds(scaled < 1 ? 1 : scaled);
}

void Timing::setInterval(QTimer& timer, std::chrono::milliseconds designed) const
{
    timer.setInterval(interval(designed));
}

void Timing::singleShot(const QObject* context, std::chrono::milliseconds designed,
                        std::function<void()> fn) const
{
    QTimer::singleShot(interval(designed), context, std::move(fn));
}

Timing::Clock::time_point Timing::now() const
{
    return m_now ? m_now() : Clock::now();
}

std::chrono::milliseconds Timing::designedElapsed(Clock::time_point from,
                                                  Clock::time_point to) const
{
    const auto real = std::chrono::duration<double, std::milli>(to - from).count();
    return std::chrono::milliseconds(static_cast<long long>(std::floor(real * m_speedUp)));
}

} // namespace vantrell::core
