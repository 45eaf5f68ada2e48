#pragma once

#include "record/attemptreader.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>

#include <limits>
#include <vector>

struct SStatsFilter
{
    qint64 sinceMs = std::numeric_limits<qint64>::min(); // attempts that started then or later
    bool stationGiven = false;
    QString station;

    bool accepts(const SAttempt& attempt) const
    {
        return attempt.timeMs >= sinceMs && (!stationGiven || attempt.station == station);
    }
};

// Figures over units: a unit is its model and serial number; its attempts in time order say how
// it went. Updated: its last attempt ended updated, or up to date after an update. Up to date:
// every attempt found nothing to write. Failed: the rest, counted by its last attempt's outcome.
// The yields are over the units that needed an update (all but the up-to-date ones): first pass,
// the first attempt ended updated; last pass, the unit ended updated.
struct SFigures
{
    int units = 0;
    int updated = 0;
    int upToDate = 0;
    int failed = 0;
    QMap<QString, int> byOutcome; // failed units by outcome
    double firstPassYield = 0;    // 0..1
    double lastPassYield = 0;     // 0..1
    double medianSeconds = 0;     // of the attempts that ended updated
};

struct SStats
{
    SFigures all;
    struct SStation
    {
        QString name;
        SFigures figures;
        QMap<QString, SFigures> days; // "2026-12-07" (UTC) -> the station's attempts that day
    };
    QVector<SStation> stations; // by name
    // The same per firmware bundle (its release; empty for the built-in images), by release.
    struct SBundle
    {
        QString release;
        SFigures figures;
    };
    QVector<SBundle> bundles;
};

namespace recordstats {

// The figures of the attempts `filter` accepts, whole, per station and day, and per bundle.
SStats compute(const QVector<SAttempt>& attempts, const SStatsFilter& filter);

// The attempts of a CSV production record (its header names the columns, so files from before
// a column was added are read too). False with `error` when it is not one.
[[nodiscard]] bool readCsv(const QByteArray& bytes, QVector<SAttempt>& attempts, QString& error);

// "2026-12-07" (midnight UTC) or an ISO date and time; false when it is neither.
[[nodiscard]] bool parseSince(const QString& text, qint64& sinceMs);

QString text(const SStats& stats);
QByteArray json(const SStats& stats);

} // namespace recordstats
