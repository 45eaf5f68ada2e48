#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>

#include <limits>
#include <vector>

// One attempt as the figures need it, read from a CSV record or from the database.
struct SAttempt
{
    qint64 timeMs = 0; // start, milliseconds since 1970 UTC
    QString model;
    quint32 serial = 0; // 0: the unit had none and got none; each such attempt is a unit
    QString station;
    QString outcome;
    double durationS = 0;
};

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
};

// Attempts from CSV rows (RFC 4180) whose columns are named first: a record file, or the rows a
// database hands over. Only the columns the figures need are converted; texts that repeat
// (model, station, outcome) share one string.
class CAttemptReader
{
public:
    // The record's columns it reads, in the order of `setColumns` below.
    static const QVector<const char*>& recordColumns();
    // In place of the time: milliseconds since 1970 UTC (what a database hands over).
    static constexpr char kTimeMs[] = "time_ms";

    // The rows' column names; false when time (or time_ms, milliseconds since 1970), serial or
    // outcome is missing.
    [[nodiscard]] bool setColumns(const QByteArray& headerRow);
    // Appends the attempts of the complete rows in `bytes`; rows that are torn, empty or
    // without a readable time are left out.
    void read(const char* bytes, qsizetype size, QVector<SAttempt>& attempts);

private:
    struct SField
    {
        const char* data;
        int size;
    };
    // One row's fields from `pos` on; false at the end.
    bool nextRow(const char* bytes, qsizetype size, qsizetype& pos);
    const QString& intern(const SField& field);

    int m_Time = -1, m_TimeMs = -1, m_Model = -1, m_Serial = -1, m_Station = -1, m_Outcome = -1,
        m_Duration = -1;
    int m_Needed = 0; // fields a row must have
    QVector<SField> m_Fields;
    std::vector<QByteArray> m_Unquoted; // per field, for quoted ones
    QHash<QByteArray, QString> m_Texts;
};

namespace recordstats {

// The figures of the attempts `filter` accepts, whole and per station and day.
SStats compute(const QVector<SAttempt>& attempts, const SStatsFilter& filter);

// The attempts of a CSV production record (its header names the columns, so files from before
// a column was added are read too). False with `error` when it is not one.
[[nodiscard]] bool readCsv(const QByteArray& bytes, QVector<SAttempt>& attempts, QString& error);

// "2026-12-07" (midnight UTC) or an ISO date and time; false when it is neither.
[[nodiscard]] bool parseSince(const QString& text, qint64& sinceMs);

QString text(const SStats& stats);
QByteArray json(const SStats& stats);

} // namespace recordstats
