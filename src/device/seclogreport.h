#pragma once

#include "device/reportcolumns.h"

#include <QString>

class CFanBase;

// The parts both models' secondary-log reports share: title, entry selection from the ring
// counters and the unit line.
namespace report {

inline constexpr char kSecLogTitle[] = "\nSecondary Log:";
inline constexpr char kSecLogCntFailed[] = "getSecLogCnt failed!\n";
inline constexpr char kUnknownSpan[] = "Unknown time span!\n";

// Reads the ring counters (size, used, oldest) of `span` from the device and picks the entries
// to fetch. False when the counters could not be read.
[[nodiscard]] bool selectFromDevice(CFanBase& fan, int span, ESecLogPick pick,
                                    SSecLogSelection& selection);

// The four unit texts of a span as a report prints them.
struct SSecLogUnits
{
    QString time;
    QString air;
    QString water;
    QString energy;
};
// Every %1 of the template becomes the time unit, %2 the air, %3 the water, %4 the energy unit.
QString unitLine(const char* templ, const SSecLogUnits& units);

} // namespace report
