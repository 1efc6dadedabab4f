#include "Clock.h"

#include <atomic>

namespace {
std::atomic<Clock::Source> g_source{nullptr};
}

qint64 Clock::currentMSecsSinceEpoch()
{
    const Source source = g_source.load(std::memory_order_acquire);
    return source ? source() : QDateTime::currentMSecsSinceEpoch();
}

QDateTime Clock::now()
{
    return QDateTime::fromMSecsSinceEpoch(currentMSecsSinceEpoch());
}

void Clock::setSource(Source source)
{
    g_source.store(source, std::memory_order_release);
}
