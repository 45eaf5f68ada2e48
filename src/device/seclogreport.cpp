#include "seclogreport.h"

#include "device/fanbase.h"

namespace report {

bool selectFromDevice(CFanBase& fan, int span, ESecLogPick pick, SSecLogSelection& selection)
{
    UINT16 logSize[CLogging::kSpanCount] = {};
    UINT16 used[CLogging::kSpanCount] = {};
    UINT16 oldest[CLogging::kSpanCount] = {};
    if (span < 0 || span >= CLogging::kSpanCount)
        return false;
    if (!fan.getSecLogCnt(logSize, used, oldest))
        return false;
    selection = selectSecLog(logSize[span], used[span], oldest[span], pick);
    return true;
}

QString unitLine(const char* templ, const SSecLogUnits& units)
{
    return QString::fromUtf8(templ)
        .replace(QLatin1String("%1"), units.time)
        .replace(QLatin1String("%2"), units.air)
        .replace(QLatin1String("%3"), units.water)
        .replace(QLatin1String("%4"), units.energy);
}

} // namespace report
