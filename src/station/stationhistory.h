#pragma once

#include "station/stationrouting.h"
#include "station/stationunit.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>

#include <memory>
#include <vector>

class CStationOutput;

// What the station keeps of the attempts that have ended, so that it can drop their rows and
// still route and count exactly through a shift of days: per unit identity, its latest ended
// attempt as routing sees it and its part in the run's figures (a few dozen bytes), the
// failures for the summary at the end, and counters kept up to date as attempts end. The rows
// kept are the attempts still going on, each port's latest no-answer row (an answer there later
// supersedes it) and the latest `kKeptDone` finished attempts, which the page shows.
class CStationHistory
{
public:
    using SUnits = std::vector<std::unique_ptr<SStationUnit>>;
    static constexpr int kKeptDone = 100;

    CStationHistory();

    // The attempt of `unit` is done.
    void ended(const SStationUnit& unit);
    // The latest finished attempt of a unit with `identity` (a serial number) as routing sees
    // it, with its port: false when there was none.
    bool latest(const SUnitIdentity& identity, stationrouting::SUnitRow& row) const;
    // Drops the rows nothing needs any more from `units`; `output` forgets them.
    void prune(SUnits& units, CStationOutput& output);
    // What stationSummary() gives over every row the run had; `units` are the rows kept. The
    // list of failures is made at the `final` count only; before it, the median time is to a
    // tenth of a second.
    SStationSummary summary(const SUnits& units, const QSet<QString>& startPorts, bool final) const;

private:
    enum EEnd : quint8 { ENotEnded, EOk, EUpToDate, EFailed };
    // A unit with a serial number, over its attempts.
    struct SEntry
    {
        // Routing: its latest finished attempt, whatever it ended with.
        int routedNumber = 0;
        quint64 generation = 0;
        QString port, bootAfter, applAfter, wifiAfter;
        bool updated = false;
        // The figures, over its attempts that count (not gone, not a duplicate).
        EEnd last = ENotEnded; // its latest
        bool firstPassed = false;
        qint32 updatedMs = -1; // of its latest attempt that updated it
        QString failedOutcome; // when its latest failed
    };
    // A unit's part in the figures.
    struct SPart
    {
        int updated = 0, upToDate = 0, failures = 0;
        qint32 ms = -1; // with `updated`
    };
    static SPart partOf(const SEntry& entry);
    void count(const SPart& part, int sign);
    void countNoAnswer(const SStationUnit& unit);
    QString shared(const QString& text);

    // Times per updated unit in tenths of a second (the last bin takes what is longer), as a
    // Fenwick tree, for the median while the run goes on.
    static constexpr int kBins = 1 << 16;
    void addTime(qint32 ms, int sign);
    qint64 medianTime(const std::vector<int>& without) const;

    QHash<quint64, SEntry> m_Entries; // by identity
    std::vector<qint32> m_OtherTimes; // of updated units without an entry
    std::vector<qint32> m_TimeTree;
    int m_Times = 0;
    int m_Updated = 0, m_UpToDate = 0, m_Failures = 0, m_FirstTried = 0, m_FirstPassed = 0;
    // outcome -> unit -> text: units by their key as the summary orders them ("ventaro plus
    // 60001 board 3", "#12"), rows that are no attempt of a unit (no-answer) by their number.
    QMap<QString, QMap<QString, QString>> m_Failed;
    QMap<QString, QMap<int, QString>> m_RowsFailed;
    QSet<QString> m_Strings; // ports and versions, shared by the entries
};
