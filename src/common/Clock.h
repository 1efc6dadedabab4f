#pragma once

#include <QDateTime>

// The wall clock that date-dependent behaviour reads (the log's day change, seven-day expiry,
// generated ids). Tests install their own source instead of waiting for midnight.
class Clock
{
public:
    using Source = qint64 (*)();

    // Milliseconds since the Unix epoch, from the installed source.
    static qint64 currentMSecsSinceEpoch();
    // Local date and time of currentMSecsSinceEpoch().
    static QDateTime now();

    // nullptr restores the system clock.
    static void setSource(Source source);
};
