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

int firstEntryAge(ESecLogPick pick, int used, int fetched)
{
    const bool oldest = pick == ESecLogPick::First10 || pick == ESecLogPick::First100;
    return (oldest ? used : fetched) - 1;
}

QString ageUnit(int span)
{
    static const char* const kUnits[] = {"quarter hours", "days", "months"};
    return span >= 0 && span < 3 ? QString::fromLatin1(kUnits[span]) : QString();
}

void comfortLevelColumns(logtable::CRowBuilder& row, const int (&levels)[4], int n,
                         const QString& timeUnit)
{
    static const char* const kCaptions[] = {"Comfort Level 1", "Comfort Level 2", "Comfort Level 3",
                                            "Comfort Level 4", "Comfort Level 5"};
    int levelSum = 0;
    for (int i = 0; i < 4; ++i) {
        row.number(kCaptions[i], timeUnit, levels[i], col(levels[i], 2));
        levelSum += levels[i];
    }
    row.number(kCaptions[4], timeUnit, n - levelSum, col(n - levelSum, 2));
}

QString secLogReportText(ESecLogRead read, const logtable::STable& table, const QString& caption,
                         const char* headerA, const char* headerB, const QString& units,
                         const char* fetchFailed)
{
    const QString title = QString::fromUtf8(kSecLogTitle);
    switch (read) {
    case ESecLogRead::UnknownSpan:
        return title + QString::fromUtf8(kUnknownSpan);
    case ESecLogRead::CountFailed:
        return title + QString::fromUtf8(kSecLogCntFailed);
    case ESecLogRead::FetchFailed:
        return QString::fromUtf8(fetchFailed);
    case ESecLogRead::Ok:
        break;
    }
    return title + caption + QLatin1Char('\n') + QString::fromUtf8(headerA) +
           QString::fromUtf8(headerB) + units + table.reportLines();
}

} // namespace report
