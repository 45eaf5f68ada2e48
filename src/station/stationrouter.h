#pragma once

#include "device/hlprecords.h"
#include "station/stationrouting.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class CRecordBacklog;
class CStationHistory;
class CStationOutput;
class QTextStream;
struct SStationUnit;

// The station's units and what a sighting of a port does to them: the routing's decision
// (stationrouting) carried out on the coordinator's units: a new unit, a unit handed back to
// its worker, a unit plugged in again while it waits, a twin, a port that never answered. Units
// that end without a worker (up to date, duplicate) get their record line here.
class CStationRouter
{
public:
    using SUnits = std::vector<std::unique_ptr<SStationUnit>>;

    struct SParts
    {
        SUnits& units;
        const CStationHistory& history; // the units whose rows were dropped
        CStationOutput& output;
        CRecordBacklog& record;
        QTextStream& err;
        QString stationName, operatorName; // the record's columns
        // A unit that ended without a worker, with its exit code.
        std::function<void(SStationUnit& unit, int exitCode)> ended;
    };
    // What routing needs to know of the run besides the units.
    struct SRun
    {
        bool stationMode = false;            // `station` rather than `update --all`
        bool ending = false;                 // no new unit is taken
        QSet<QString>* startPorts = nullptr; // --all: ports of the start without a unit yet
        const QHash<QString, quint64>* present = nullptr; // the ventaro ports there now
    };

    explicit CStationRouter(SParts parts) : m_Parts(std::move(parts)) {}

    // What a port told; false when nothing changed.
    bool route(const stationrouting::SSighting& seen, const SHLP_IdentData* ident, const SRun& run);
    // The unit is back after a restart on `port`: to its worker, now or at its next wait.
    void handOver(SStationUnit& unit, const QString& port, quint64 generation);
    // The unit's record line as the coordinator knows it (for a unit whose worker left none).
    // A line that cannot be written makes the unit's outcome "record-failed" (exit code 10).
    void appendRecord(SStationUnit& unit);

private:
    // The rows routing needs: the units still going on and, of `seen`'s identity, its latest
    // finished attempt (null in `owners`: it may be one no longer kept).
    void table(const stationrouting::SSighting& seen, std::vector<stationrouting::SUnitRow>& rows,
               std::vector<SStationUnit*>& owners) const;
    SStationUnit& addUnit(const stationrouting::SSighting& seen, const SHLP_IdentData* ident);
    // A unit of its own, told to the output.
    SStationUnit& newUnit(const stationrouting::SSighting& seen, const SHLP_IdentData* ident);
    void noAnswer(const stationrouting::SSighting& seen);
    void upToDate(const stationrouting::SSighting& seen, const SHLP_IdentData* ident);
    // `twin` is null for a finished attempt.
    void duplicate(SStationUnit& seen, SStationUnit* twin, const QString& twinPort);
    void endWithoutWorker(SStationUnit& unit, int exitCode, const QString& outcome,
                          const QString& text);

    SParts m_Parts;
    int m_LastNumber = 0; // of the units found so far (their rows may be gone)
};
