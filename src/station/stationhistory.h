#pragma once

#include "station/stationrouting.h"
#include "station/stationunit.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

class CStationOutput;

// What the station keeps of the attempts that have ended, so that it can drop their rows and
// still route and count exactly through a shift of days: per unit identity, its latest ended
// attempt as routing sees it and its part in the run's figures (16 bytes), the failures for the
// summary at the end, and counters kept up to date as attempts end. The rows kept are the
// attempts still going on, each port's latest no-answer row (an answer there later supersedes
// it) and the latest `kKeptDone` finished attempts, which the page shows.
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
    // A unit with a serial number, over its attempts: 16 bytes, kept for the whole run.
    struct SEntry
    {
        quint32 serial = 0;
        // Routing: its latest finished attempt, whatever it ended with.
        qint32 routedNumber = 0;
        qint32 updatedMs = -1; // of its latest attempt that updated it
        quint16 place = 0;     // in m_Strings: "port" or "port\nboot\napplication\nwifi"
        quint8 board = 0;
        bool plus : 1;
        bool updated : 1;
        EEnd last : 2; // its latest attempt that counts in the figures (not gone, no duplicate)
        SEntry() : plus(false), updated(false), last(ENotEnded) {}
        quint64 key() const { return (quint64(plus) << 40) | (quint64(board) << 32) | serial; }
    };
    static_assert(sizeof(SEntry) == 16);
    // The units whose latest attempt ended on a port, with the port's generation then: a unit
    // is still there while the port has it. The few latest per port are kept (only the unit on
    // the port now can match, and attempts end late only now and then).
    struct SOnPort
    {
        quint64 key = 0, generation = 0;
    };
    static constexpr int kKeptOnPort = 4;
    // The failure of a unit whose latest attempt failed, for the summary at the end.
    struct SFailure
    {
        quint16 outcome = 0;
        QByteArray text; // UTF-8
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
    quint16 shared(const QString& text);
    void endedOn(const QString& port, quint64 key, quint64 generation);
    const QString& text(quint16 index) const { return m_Strings[index]; }
    // The entry of `key`, made when `make`; null when there is none. Valid until the next one
    // is made.
    SEntry* entry(quint64 key, bool make);
    const SEntry* entry(quint64 key) const;
    template <typename Visit>
    void forEachEntry(Visit&& visit) const;

    // Times per updated unit in tenths of a second (the last bin takes what is longer), as a
    // Fenwick tree, for the median while the run goes on.
    static constexpr int kBins = 1 << 16;
    void addTime(qint32 ms, int sign);
    qint64 medianTime(const std::vector<int>& without) const;

    // By identity: the most in one sorted array, the latest few beside it until they are merged
    // in (as few bytes per unit as can be, and a lookup in logarithmic time).
    std::vector<SEntry> m_Sorted, m_Recent;
    std::vector<qint32> m_OtherTimes; // of updated units without an entry
    std::vector<qint32> m_TimeTree;
    int m_Times = 0;
    int m_Updated = 0, m_UpToDate = 0, m_Failures = 0, m_FirstTried = 0, m_FirstPassed = 0;
    // outcome -> unit -> text: units of their own ("#12") by their key as the summary orders
    // them, rows that are no attempt of a unit (no-answer) by their number; units with an entry
    // by its key.
    QMap<QString, QMap<QString, QString>> m_Failed;
    QHash<quint64, SFailure> m_EntryFailed;
    QHash<QString, std::vector<SOnPort>> m_OnPort;
    QMap<QString, QMap<int, QString>> m_RowsFailed;
    QVector<QString> m_Strings; // places and outcomes of the entries; 0 is none
    QHash<QString, quint16> m_StringIndex;
    // The figures while the run goes on, asked for at every event: made anew only when an
    // attempt ended or a row kept changed (what is in `m_CachedFor`).
    quint64 m_Version = 0; // of what ended
    mutable quint64 m_CachedFor = 0;
    mutable SStationSummary m_Cached;
};
