#pragma once

#include "link/lltypes.h"

#include <QString>

// Building blocks of the log reports: every column is a small template whose "%1" is filled
// with a value right-aligned, blank-filled to a field width (a longer value is not cut).
namespace report {

inline QString col(qint64 value, int width, const char* templ = "%1,")
{
    return QString::fromUtf8(templ).arg(value, width);
}

// Fixed point with three decimals.
inline QString colFixed(double value, int width, const char* templ = "%1,")
{
    return QString::fromUtf8(templ).arg(value, width, 'f', 3);
}

inline QString colText(const QString& text, int width, const char* templ = "%1,")
{
    return QString::fromUtf8(templ).arg(text, width);
}

// Which entries of a secondary-log ring a report asks for. The flags are checked in this
// order; none set means every stored entry.
struct SSecLogSelection
{
    UINT16 first = 0;
    UINT16 count = 0;
    UINT16 used = 0; // entries stored in the ring
};
enum class ESecLogPick { First10, First100, Last10, Last100, All };

// Ring of `logSize` slots holding `used` entries from index `oldest`. All arithmetic is 16-bit;
// "next" wraps with one subtraction of the ring size.
inline SSecLogSelection selectSecLog(UINT16 logSize, UINT16 used, UINT16 oldest, ESecLogPick pick)
{
    UINT16 next = UINT16(used + oldest);
    if (logSize <= next)
        next = UINT16(next - logSize);
    switch (pick) {
    case ESecLogPick::First10:
        return {oldest, 10, used};
    case ESecLogPick::First100:
        return {oldest, 100, used};
    case ESecLogPick::Last10:
        return {UINT16(next <= 8 ? next + logSize - 9 : next - 9), 10, used};
    case ESecLogPick::Last100:
        return {UINT16(next <= 98 ? next + logSize - 99 : next - 99), 100, used};
    case ESecLogPick::All:
        break;
    }
    return {oldest, used, used};
}

inline ESecLogPick secLogPick(bool first10, bool first100, bool last10, bool last100)
{
    if (first10)
        return ESecLogPick::First10;
    if (first100)
        return ESecLogPick::First100;
    if (last10)
        return ESecLogPick::Last10;
    if (last100)
        return ESecLogPick::Last100;
    return ESecLogPick::All;
}

// Length of a span in its own time unit (quarter hour 15 minutes, day 24 hours, month 30
// days); 0 for an unknown span.
inline int spanLength(int span)
{
    static const int kLengths[] = {15, 24, 30};
    return span >= 0 && span < 3 ? kLengths[span] : 0;
}

} // namespace report
