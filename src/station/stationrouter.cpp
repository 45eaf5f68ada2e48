#include "stationrouter.h"

#include "record/attemptrecord.h"
#include "record/recordbacklog.h"
#include "service/exitcodes.h"
#include "service/unitidentity.h"
#include "station/stationhistory.h"
#include "station/stationoutput.h"
#include "station/stationprotocol.h"
#include "station/stationunit.h"
#include "station/stationworker.h"

#include <QTextStream>

using stationrouting::EAction;
using stationrouting::SSighting;
using stationrouting::SUnitRow;

bool CStationRouter::route(const SSighting& seen, const SHLP_IdentData* ident, const SRun& run)
{
    // Once the end was asked for, a port of the start not yet identified is left to the
    // summary as a unit never started.
    if (seen.kind != SSighting::EIdentified && run.ending)
        return false;
    stationrouting::SContext context;
    context.stationMode = run.stationMode;
    context.takesNewUnits = !run.ending && (run.stationMode || run.startPorts->contains(seen.port));
    context.present = *run.present;
    std::vector<SUnitRow> rows;
    std::vector<SStationUnit*> owners;
    table(seen, rows, owners);
    const stationrouting::SRoute route = stationrouting::route(rows, seen, context);
    const bool startPort = !run.stationMode && run.startPorts->remove(seen.port);
    SStationUnit* actedOn = route.unit >= 0 ? owners[size_t(route.unit)] : nullptr;
    if (route.supersedes >= 0)
        owners[size_t(route.supersedes)]->superseded = true;
    switch (route.action) {
    case EAction::EIgnore:
        // A unit of the start of --all identified after the end was asked for: it is listed
        // as never started, not forgotten.
        if (startPort && run.ending)
            newUnit(seen, ident);
        break;
    case EAction::ENoAnswer:
        noAnswer(seen);
        break;
    case EAction::ENewUnit:
        newUnit(seen, ident);
        break;
    case EAction::EUpToDate:
        upToDate(seen, ident);
        break;
    case EAction::ERequeue: {
        // Plugged in again while it waits for its turn: it keeps its place, on this port.
        SStationUnit& unit = *actedOn;
        unit.port = seen.port;
        unit.generation = seen.generation;
        if (ident)
            unit.ident = *ident;
        break;
    }
    case EAction::EHandOver:
        handOver(*actedOn, seen.port, seen.generation);
        break;
    case EAction::EDuplicate:
        duplicate(newUnit(seen, ident), actedOn, rows[size_t(route.unit)].port);
        break;
    }
    return true;
}

void CStationRouter::table(const SSighting& seen, std::vector<SUnitRow>& rows,
                           std::vector<SStationUnit*>& owners) const
{
    // A finished attempt matters to routing only as the latest of its unit (stationrouting), and
    // the history keeps that one for every unit, dropped or not.
    for (const auto& unit : m_Parts.units) {
        if (unit->superseded || unit->done())
            continue;
        SUnitRow row;
        row.state = unit->state;
        row.identity = unit->identity;
        row.port = unit->port;
        row.generation = unit->generation;
        rows.push_back(row);
        owners.push_back(unit.get());
    }
    SUnitRow latest;
    if (m_Parts.history.latest(seen.identity, latest)) {
        rows.push_back(latest);
        owners.push_back(nullptr);
    }
}

SStationUnit& CStationRouter::addUnit(const SSighting& seen, const SHLP_IdentData* ident)
{
    auto unit = std::make_unique<SStationUnit>();
    unit->number = ++m_LastNumber;
    unit->port = seen.port;
    unit->generation = seen.generation;
    if (ident) {
        unit->ident = *ident;
        unit->identity = SUnitIdentity::of(*ident);
    }
    unit->clock.start();
    m_Parts.units.push_back(std::move(unit));
    return *m_Parts.units.back();
}

SStationUnit& CStationRouter::newUnit(const SSighting& seen, const SHLP_IdentData* ident)
{
    SStationUnit& unit = addUnit(seen, ident);
    m_Parts.output.event(&unit, {{QStringLiteral("event"), QStringLiteral("unit")}});
    return unit;
}

void CStationRouter::noAnswer(const SSighting& seen)
{
    SStationUnit& unit = addUnit(seen, nullptr);
    unit.state = SUnitRow::ENoAnswer;
    unit.exitCode = cliexit::kNoUnit;
    unit.outcome = QLatin1String(SStationUnit::kNoAnswer);
    unit.text = seen.kind == SSighting::EVanished
                    ? QStringLiteral("the port went away before its unit answered")
                    : QStringLiteral("the unit did not answer");
}

void CStationRouter::upToDate(const SSighting& seen, const SHLP_IdentData* ident)
{
    SStationUnit& unit = newUnit(seen, ident);
    unit.bootAfter = seen.boot;
    unit.applAfter = seen.appl;
    unit.wifiAfter = seen.wifi;
    endWithoutWorker(unit, cliexit::kUpToDate, QStringLiteral("up-to-date"),
                     QStringLiteral("updated here before; it still runs what its update wrote"));
}

void CStationRouter::handOver(SStationUnit& unit, const QString& port, quint64 generation)
{
    if (unit.state != SUnitRow::EWaiting) {
        // Its worker has not begun to wait yet: the port is handed to the wait that comes.
        unit.handOverPort = port;
        unit.handOverGeneration = generation;
        return;
    }
    // The unit came back after a restart, perhaps under another name: its worker goes on with
    // it there, and the coordinator keeps away from the port from now on.
    unit.port = port;
    unit.generation = generation;
    unit.state = SUnitRow::ERunning;
    unit.handOverPort.clear();
    unit.worker->send(stationprotocol::handOverLine(unit.wait, port));
    m_Parts.output.event(&unit, {{QStringLiteral("event"), QStringLiteral("handed-over")},
                                 {QLatin1String(stationprotocol::kWait), unit.wait}});
}

void CStationRouter::duplicate(SStationUnit& seen, SStationUnit* twin, const QString& twinPort)
{
    const QString text = QStringLiteral("%1 is on %2 and on %3 at once; neither is updated")
                             .arg(seen.identity.describe(), twinPort, seen.port);
    const QString outcome = QLatin1String(SStationUnit::kDuplicate);
    if (twin && twin->worker) {
        // Its worker cannot tell the two apart when the unit restarts: it stops after its
        // current packet, and the unit ends as a duplicate.
        twin->duplicateText = text;
        twin->worker->stop(text);
    } else if (twin && twin->state == SUnitRow::EQueued) {
        endWithoutWorker(*twin, cliexit::kNotUpdatable, outcome, text);
    }
    endWithoutWorker(seen, cliexit::kNotUpdatable, outcome, text);
}

void CStationRouter::endWithoutWorker(SStationUnit& unit, int exitCode, const QString& outcome,
                                      const QString& text)
{
    unit.exitCode = exitCode;
    unit.outcome = outcome;
    unit.text = text;
    appendRecord(unit);
    m_Parts.ended(unit, unit.exitCode);
}

void CStationRouter::appendRecord(SStationUnit& unit)
{
    if (!m_Parts.record.enabled())
        return;
    CAttemptRecord record(unit.port, SUnitIdentity::modelName(unit.identity.plus), unit.ident,
                          {m_Parts.stationName, m_Parts.operatorName});
    record.begunAt(unit.attemptId, unit.startedAt);
    if (unit.exitCode == cliexit::kUpToDate)
        record.unchanged();
    QString error;
    const bool written = m_Parts.record.write(
        record.finish(unit.exitCode, unit.outcome, unit.durationMs, 0, 0), error);
    if (const QString notice = m_Parts.record.takeNotice(); !notice.isEmpty()) {
        m_Parts.err << "ventaro-cli: " << notice << '\n';
        m_Parts.err.flush();
    }
    if (written)
        return;
    // A unit without its record line does not pass as done, and the run ends with 10.
    m_Parts.err << "ventaro-cli: " << error << '\n';
    m_Parts.err.flush();
    unit.text = QStringLiteral("%1; its record line could not be written: %2")
                    .arg(unit.text.isEmpty() ? unit.outcome : unit.text, error);
    unit.outcome = QLatin1String(SStationUnit::kRecordFailed);
    unit.exitCode = cliexit::kRecordFailed;
}
