#pragma once

#include "device/logtable.h"
#include "device/reportcolumns.h"

#include <QString>
#include <QVector>

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

// Ages of the entries a pick fetches, in the span's units counted back from the youngest
// stored entry: the oldest picks start at the oldest stored entry, the others end at the youngest.
int firstEntryAge(ESecLogPick pick, int used, int fetched);

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
// The name of a span's unit of age on the chart's time axis ("quarter hours", "days", "months").
QString ageUnit(int span);

// Comfort levels 1-4 from the entry and level 5 as what they leave of the span length `n`
// (negative when their sum exceeds it), in the span's time unit.
void comfortLevelColumns(logtable::CRowBuilder& row, const int (&levels)[4], int n,
                         const QString& timeUnit);

enum class ESecLogRead { Ok, UnknownSpan, CountFailed, FetchFailed };

// Picks, fetches and decodes the entries of a span, youngest position first as the report
// prints them. `fetch(entries, selection)` gets the entries from the device;
// `decode(row, index, age, entry, n)` adds one row (n: the span's length in its time unit). A
// log without entries still gives the columns.
template <typename Entry, typename Fetch, typename Decode>
ESecLogRead readSecLog(CFanBase& fan, int span, ESecLogPick pick, Fetch fetch, Decode decode,
                       logtable::STable& table)
{
    const int n = spanLength(span);
    if (n == 0)
        return ESecLogRead::UnknownSpan;
    SSecLogSelection selection;
    if (!selectFromDevice(fan, span, pick, selection))
        return ESecLogRead::CountFailed;
    QVector<Entry> entries;
    if (!fetch(entries, selection))
        return ESecLogRead::FetchFailed;
    table.ageUnit = ageUnit(span);
    const int firstAge = firstEntryAge(pick, selection.used, entries.size());
    logtable::decodeEntries(table, entries, logtable::EOrder::Backward,
                            [&](logtable::CRowBuilder& row, int i, const Entry& entry) {
                                decode(row, i, firstAge - i, entry, n);
                            });
    return ESecLogRead::Ok;
}

// The report of a read: the title, then the failure's text, or the caption, the header lines,
// the unit line and the entry lines. `fetchFailed` replaces the whole report.
QString secLogReportText(ESecLogRead read, const logtable::STable& table, const QString& caption,
                         const char* headerA, const char* headerB, const QString& units,
                         const char* fetchFailed);

} // namespace report
