#include "clistation.h"

#include "cli/cliexitcodes.h"
#include "cli/clitext.h"
#include "cli/cliupdate.h"
#include "cli/productionrecord.h"
#include "cli/recordbacklog.h"
#include "cli/stationoutput.h"
#include "cli/stationpage.h"
#include "cli/stationprotocol.h"
#include "cli/stationunit.h"
#include "cli/stationworker.h"
#include "service/identityview.h"
#include "service/portenumerator.h"
#include "service/signalpipe.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QTextStream>

#include <algorithm>
#include <csignal>

#include <unistd.h>

namespace proto = stationprotocol;
using stationrouting::EAction;
using stationrouting::SSighting;
using stationrouting::SUnitRow;

using SUnit = SStationUnit;

CCliStation::CCliStation(EMode mode, const SCliOptions& options, QTextStream& out, QTextStream& err,
                         std::unique_ptr<CPortEnumerator> enumerator)
    : m_Mode(mode), m_Options(options), m_Err(err),
      m_Output(CStationOutput::make(options.json              ? CStationOutput::EJson
                                    : ::isatty(STDOUT_FILENO) ? CStationOutput::ETerminal
                                                              : CStationOutput::EPlain,
                                    out, m_Clock)),
      // Fixed now: a package upgrade may replace the program file while the station runs.
      m_Program(QCoreApplication::applicationFilePath()),
      m_Enumerator(enumerator ? std::move(enumerator) : std::make_unique<CPortEnumerator>()),
      m_Record(std::make_unique<CRecordBacklog>(options))
{
    connect(m_Enumerator.get(), &CPortEnumerator::deviceDiscovered, this,
            &CCliStation::lookAtPorts);
    connect(m_Enumerator.get(), &CPortEnumerator::deviceRemoved, this,
            [this](const SPortInfo& info) {
                // Also a port made anew under the same name (a unit unplugged and back between
                // two looks): it is asked again who is there.
                m_Present.remove(info.portName);
                lookAtPorts();
            });
    if (options.httpPort >= 0) {
        auto page = std::make_unique<CStationPage>(
            m_Units, [this] { return tally(false); }, m_Clock, options.stationName);
        m_Page = page.get();
        m_Output = CStationOutput::both(std::move(m_Output), std::move(page));
    }
    m_Tick.setInterval(kRetryMs);
    connect(&m_Tick, &QTimer::timeout, this, [this] {
        lookAtPorts();
        tryPending();
        if (m_Record->poll())
            recordBacklogChanged();
        if (m_Dirty) {
            m_Dirty = false;
            m_Output->refresh(m_Units);
        }
    });
}

CCliStation::~CCliStation()
{
    for (auto it = m_Pending.begin(); it != m_Pending.end(); ++it)
        delete it->probe;
    for (auto& unit : m_Units)
        delete unit->worker;
}

int CCliStation::run()
{
    m_Clock.start();
    if (m_Page) {
        QString error;
        if (!m_Page->listen(m_Options.httpAddress, quint16(m_Options.httpPort), error)) {
            m_Err << "ventaro-cli: the page cannot be served on " << m_Options.httpAddress << ':'
                  << m_Options.httpPort << ": " << error << '\n';
            m_Err.flush();
            return cliexit::kPageFailed;
        }
        const QString host = m_Options.httpAddress.contains(QLatin1Char(':'))
                                 ? QStringLiteral("[%1]").arg(m_Options.httpAddress)
                                 : m_Options.httpAddress;
        m_Err << "station: the page is at http://" << host << ':' << m_Page->port() << "/\n";
        m_Err.flush();
    }
    // Every signal counts, however quickly the next follows (the loop never blocks for long).
    CSignalPipe stopSignals({SIGINT, SIGTERM, SIGHUP});
    connect(&stopSignals, &CSignalPipe::signalReceived, this, &CCliStation::signalReceived);
    // A terminal that has gone (or a reader of a pipe that has) must not end the run: the
    // writes fail, the updates go on and are recorded.
    std::signal(SIGPIPE, SIG_IGN);
    m_Enumerator->setUpNotifications();
    lookAtPorts();
    if (m_Mode == EAll)
        m_StartPorts = m_Present;
    if (m_Mode == EAll && m_StartPorts.isEmpty()) {
        m_Err << "ventaro-cli: no ventaro unit found\n";
        m_Err.flush();
        return cliexit::kNoUnit;
    }
    tryPending();
    m_Tick.start();
    if (m_Mode == EStation && !m_Options.json)
        m_Err << "station: plug units in; Ctrl+C ends after the running updates\n";
    m_Err.flush();
    if (!finished()) {
        QEventLoop loop;
        m_Loop = &loop;
        loop.exec();
        m_Loop = nullptr;
    }
    m_Tick.stop();
    m_Output->refresh(m_Units);
    const int exitCode = summary();
    if (m_Page)
        m_Page->close(kPageCloseMs);
    return exitCode;
}

void CCliStation::signalReceived(int number)
{
    const bool firstEnd = !m_Ending;
    m_Ending = true;
    if (number == SIGHUP) {
        if (firstEnd)
            m_Err << "station: the terminal closed; ending after the running updates\n";
    } else if (++m_StopRequests == 1) {
        m_Err << "station: ending after the running updates (again to stop them)\n";
    } else if (m_StopRequests == 2) {
        m_Err << "station: stopping the running updates after their current packet\n";
        for (auto& unit : m_Units)
            if (unit->worker)
                unit->worker->signal(SIGTERM);
    }
    m_Err.flush();
    m_Dirty = true;
    quitWhenFinished();
}

// ---- Ports and units ----------------------------------------------------------------------

void CCliStation::lookAtPorts()
{
    QSet<QString> now;
    for (const SPortInfo& info : m_Enumerator->getPorts())
        if (isDevicePort(info, QString()))
            now.insert(info.portName);
    for (const QString& port : now) {
        // New, or back: who is it?
        if (!m_Present.contains(port) && !m_Pending.contains(port))
            m_Pending.insert(port, SProbe());
    }
    QStringList vanished;
    for (auto it = m_Pending.begin(); it != m_Pending.end();) {
        if (now.contains(it.key())) {
            ++it;
            continue;
        }
        delete it->probe;
        vanished << it.key();
        it = m_Pending.erase(it);
    }
    for (auto& unit : m_Units)
        if (!unit->handOverPort.isEmpty() && !now.contains(unit->handOverPort))
            unit->handOverPort.clear();
    m_Present = now;
    for (const QString& port : vanished) {
        SSighting seen;
        seen.kind = SSighting::EVanished;
        seen.port = port;
        routed(seen, nullptr);
    }
}

void CCliStation::tryPending()
{
    for (auto it = m_Pending.begin(); it != m_Pending.end(); ++it) {
        if (it->probe)
            continue;
        // The port came back while its worker still works on it: asked again once that worker
        // waits for its unit or has ended.
        const QString& port = it.key();
        const bool busy = std::any_of(m_Units.cbegin(), m_Units.cend(), [&](const auto& u) {
            return u->state == SUnitRow::ERunning && u->port == port;
        });
        if (!busy)
            startProbe(port, it.value());
    }
    startWorkers();
}

void CCliStation::startProbe(const QString& port, SProbe& probe)
{
    auto* worker = new CStationWorker(this);
    probe.probe = worker;
    auto ident = std::make_shared<SHLP_IdentData>();
    auto answered = std::make_shared<bool>(false);
    connect(worker, &CStationWorker::lineReceived, this, [ident, answered](const QByteArray& l) {
        if (proto::parseIdent(QJsonDocument::fromJson(l).object(), *ident))
            *answered = true;
    });
    connect(worker, &CStationWorker::ended, this,
            [this, port, worker, ident, answered](int exitCode, const QString&) {
                probeEnded(port, worker, exitCode, *answered ? ident.get() : nullptr);
            });
    QStringList args = {QStringLiteral("--port"), port, QStringLiteral("identify"),
                        QStringLiteral("--worker")};
    if (m_Options.verbose)
        args.prepend(QStringLiteral("--verbose"));
    worker->start(m_Program, args, kProbeLimitMs);
}

void CCliStation::probeEnded(const QString& port, CStationWorker* probe, int exitCode,
                             const SHLP_IdentData* ident)
{
    probe->deleteLater();
    auto it = m_Pending.find(port);
    if (it == m_Pending.end() || it->probe != probe)
        return; // the port went away meanwhile
    it->probe = nullptr;
    if (exitCode == cliexit::kOk && ident) {
        m_Pending.erase(it);
        SSighting seen;
        seen.port = port;
        seen.identity = SUnitIdentity::of(*ident);
        seen.boot = clitext::bootVersion(*ident);
        seen.appl = clitext::applVersion(*ident);
        seen.wifi = wifiVersionText(*ident);
        routed(seen, ident);
        startWorkers();
        return;
    }
    if (++it->tries < kIdentifyTries)
        return; // asked again at the next tick
    m_Pending.erase(it);
    m_Err << "ventaro-cli: the unit on " << port << " does not answer; left alone\n";
    m_Err.flush();
    SSighting seen;
    seen.kind = SSighting::EUnanswered;
    seen.port = port;
    routed(seen, nullptr);
    quitWhenFinished();
}

std::vector<SUnitRow> CCliStation::table() const
{
    std::vector<SUnitRow> rows;
    rows.reserve(m_Units.size());
    for (const auto& unit : m_Units) {
        SUnitRow row;
        row.state = unit->superseded ? SUnitRow::EDone : unit->state;
        row.identity = unit->identity;
        row.port = unit->port;
        row.updated = unit->state == SUnitRow::EDone &&
                      (unit->exitCode == cliexit::kOk || unit->exitCode == cliexit::kUpToDate);
        row.bootAfter = unit->bootAfter;
        row.applAfter = unit->applAfter;
        row.wifiAfter = unit->wifiAfter;
        rows.push_back(row);
    }
    return rows;
}

stationrouting::SContext CCliStation::context(const QString& port) const
{
    stationrouting::SContext c;
    c.stationMode = m_Mode == EStation;
    c.takesNewUnits = !m_Ending && (m_Mode == EStation || m_StartPorts.contains(port));
    c.present = m_Present;
    return c;
}

void CCliStation::routed(const SSighting& seen, const SHLP_IdentData* ident)
{
    // Once the end was asked for, a port of the start not yet identified is left to the
    // summary as a unit never started.
    if (seen.kind != SSighting::EIdentified && m_Ending)
        return;
    const stationrouting::SRoute route = stationrouting::route(table(), seen, context(seen.port));
    const bool startPort = m_Mode == EAll && m_StartPorts.remove(seen.port);
    if (route.supersedes >= 0)
        m_Units[size_t(route.supersedes)]->superseded = true;
    switch (route.action) {
    case EAction::EIgnore:
        // A unit of the start of --all identified after the end was asked for: it is listed
        // as never started, not forgotten.
        if (startPort && m_Ending)
            m_Output->event(&addUnit(seen.port, ident),
                            {{QStringLiteral("event"), QStringLiteral("unit")}});
        break;
    case EAction::ENoAnswer: {
        SUnit& unit = addUnit(seen.port, nullptr);
        unit.state = SUnitRow::ENoAnswer;
        unit.exitCode = cliexit::kNoUnit;
        unit.outcome = QLatin1String(SUnit::kNoAnswer);
        unit.text = seen.kind == SSighting::EVanished
                        ? QStringLiteral("the port went away before its unit answered")
                        : QStringLiteral("the unit did not answer");
        break;
    }
    case EAction::ENewUnit:
        m_Output->event(&addUnit(seen.port, ident),
                        {{QStringLiteral("event"), QStringLiteral("unit")}});
        break;
    case EAction::EUpToDate: {
        SUnit& unit = addUnit(seen.port, ident);
        m_Output->event(&unit, {{QStringLiteral("event"), QStringLiteral("unit")}});
        unit.bootAfter = seen.boot;
        unit.applAfter = seen.appl;
        unit.wifiAfter = seen.wifi;
        endWithoutWorker(unit, cliexit::kUpToDate, QStringLiteral("up-to-date"),
                         QStringLiteral("updated here before; it still runs what its update "
                                        "wrote"));
        break;
    }
    case EAction::ERequeue: {
        // Plugged in again while it waits for its turn: it keeps its place, on this port.
        SUnit& unit = *m_Units[size_t(route.unit)];
        unit.port = seen.port;
        if (ident)
            unit.ident = *ident;
        m_Dirty = true;
        break;
    }
    case EAction::EHandOver:
        handOver(*m_Units[size_t(route.unit)], seen.port);
        break;
    case EAction::EDuplicate: {
        SUnit& twin = *m_Units[size_t(route.unit)];
        SUnit& unit = addUnit(seen.port, ident);
        m_Output->event(&unit, {{QStringLiteral("event"), QStringLiteral("unit")}});
        duplicate(unit, twin);
        break;
    }
    }
    m_Dirty = true;
}

CCliStation::SUnit& CCliStation::addUnit(const QString& port, const SHLP_IdentData* ident)
{
    auto unit = std::make_unique<SUnit>();
    unit->number = int(m_Units.size()) + 1;
    unit->port = port;
    if (ident) {
        unit->ident = *ident;
        unit->identity = SUnitIdentity::of(*ident);
    }
    unit->clock.start();
    m_Units.push_back(std::move(unit));
    return *m_Units.back();
}

void CCliStation::handOver(SUnit& unit, const QString& port)
{
    if (unit.state != SUnitRow::EWaiting) {
        // Its worker has not begun to wait yet: the port is handed to the wait that comes.
        unit.handOverPort = port;
        return;
    }
    // The unit came back after a restart, perhaps under another name: its worker goes on with
    // it there, and the coordinator keeps away from the port from now on.
    unit.port = port;
    unit.state = SUnitRow::ERunning;
    unit.handOverPort.clear();
    unit.worker->send(proto::handOverLine(unit.wait, port));
    m_Output->event(&unit, {{QStringLiteral("event"), QStringLiteral("handed-over")},
                            {QLatin1String(proto::kWait), unit.wait}});
}

void CCliStation::duplicate(SUnit& seen, SUnit& twin)
{
    const QString text = QStringLiteral("%1 is on %2 and on %3 at once; neither is updated")
                             .arg(seen.identity.describe(), twin.port, seen.port);
    if (twin.worker) {
        // Its worker cannot tell the two apart when the unit restarts: it stops after its
        // current packet, and the unit ends as a duplicate.
        twin.duplicateText = text;
        twin.worker->signal(SIGTERM);
    } else if (twin.state == SUnitRow::EQueued) {
        endWithoutWorker(twin, cliexit::kNotUpdatable, QLatin1String(SUnit::kDuplicate), text);
    }
    endWithoutWorker(seen, cliexit::kNotUpdatable, QLatin1String(SUnit::kDuplicate), text);
}

void CCliStation::endWithoutWorker(SUnit& unit, int exitCode, const QString& outcome,
                                   const QString& text)
{
    unit.exitCode = exitCode;
    unit.outcome = outcome;
    unit.text = text;
    appendRecord(unit);
    workerEnded(unit, exitCode, QString());
}

void CCliStation::appendRecord(const SUnit& unit)
{
    if (!m_Record->enabled())
        return;
    SProductionRecord record = CCliUpdate::recordBefore(
        unit.port, SUnitIdentity::modelName(unit.identity.plus), unit.ident, m_Options);
    if (unit.exitCode == cliexit::kUpToDate) {
        record.bootAfter = record.bootBefore;
        record.applAfter = record.applBefore;
        record.wifiAfter = record.wifiBefore;
    }
    record.durationMs = unit.durationMs;
    record.exitCode = unit.exitCode;
    record.outcome = unit.outcome;
    QString error;
    if (!m_Record->write(record, error)) {
        m_Err << "ventaro-cli: " << error << '\n';
        m_Err.flush();
    }
}

void CCliStation::startWorkers()
{
    int running = 0;
    for (const auto& unit : m_Units)
        running += unit->worker != nullptr;
    for (auto& unit : m_Units) {
        if (m_Options.jobs > 0 && running >= m_Options.jobs)
            break;
        if (unit->state == SUnitRow::EQueued && !m_Ending) {
            startWorker(*unit);
            ++running;
        }
    }
    quitWhenFinished();
}

void CCliStation::startWorker(SUnit& unit)
{
    QStringList args = {QStringLiteral("--port"), unit.port, QStringLiteral("update"),
                        QStringLiteral("--worker"), QStringLiteral("--json")};
    if (m_Options.verbose)
        args.prepend(QStringLiteral("--verbose"));
    if (m_Options.forceBoot)
        args << QStringLiteral("--force-boot");
    if (m_Options.forceAppl)
        args << QStringLiteral("--force-appl");
    if (m_Options.startupMode >= 0)
        args << QStringLiteral("--startup-mode") << QString::number(m_Options.startupMode);
    args << m_Record->workerArguments();
    args << QStringLiteral("--reboot-timeout") << QString::number(m_Options.rebootTimeoutS);
    if (!m_Options.stationName.isEmpty())
        args << QStringLiteral("--station") << m_Options.stationName;
    if (!m_Options.operatorName.isEmpty())
        args << QStringLiteral("--operator") << m_Options.operatorName;

    unit.worker = new CStationWorker(this);
    unit.state = SUnitRow::ERunning;
    unit.step = QStringLiteral("starting");
    unit.clock.start();
    SUnit* self = &unit;
    connect(unit.worker, &CStationWorker::lineReceived, this, [this, self](const QByteArray& l) {
        const QJsonObject event = QJsonDocument::fromJson(l).object();
        if (!event.isEmpty())
            workerEvent(*self, event);
    });
    connect(unit.worker, &CStationWorker::errorLine, this, [this, self](const QString& line) {
        if (m_Options.verbose) {
            m_Err << self->port << ": " << line << '\n';
            m_Err.flush();
        }
    });
    connect(unit.worker, &CStationWorker::ended, this,
            [this, self](int code, const QString& failure) { workerEnded(*self, code, failure); });
    m_Output->event(&unit, {{QStringLiteral("event"), QStringLiteral("started")}});
    unit.worker->start(m_Program, args);
}

void CCliStation::workerEvent(SUnit& unit, const QJsonObject& event)
{
    const QString name = event.value(QLatin1String(proto::kEvent)).toString();
    if (name == QLatin1String(proto::kStepEvent)) {
        unit.step = event.value(QLatin1String(proto::kStep)).toString();
        unit.percent = 0;
    } else if (name == QLatin1String(proto::kProgressEvent)) {
        unit.percent = event.value(QLatin1String(proto::kPercent)).toInt();
    } else if (name == QLatin1String(proto::kWaitingEvent)) {
        // The unit restarts; the worker waits for it, bound to this identity (with the serial
        // number it may have written), and opens only the port handed to this wait.
        unit.state = SUnitRow::EWaiting;
        unit.wait = event.value(QLatin1String(proto::kWait)).toInt();
        unit.step = QStringLiteral("waiting for the restart");
        unit.identity.plus =
            event.value(QLatin1String(proto::kModel)).toString() == SUnitIdentity::modelName(true);
        unit.identity.serial = quint32(event.value(QLatin1String(proto::kUnitSerial)).toDouble());
        unit.identity.board = event.value(QLatin1String(proto::kBoard)).toInt();
        const QString found = unit.handOverPort;
        if (!found.isEmpty() && m_Present.contains(found) && !m_Pending.contains(found))
            handOver(unit, found);
        unit.handOverPort.clear();
    } else if (name == QLatin1String(proto::kResultEvent)) {
        unit.outcome = event.value(QLatin1String(proto::kOutcome)).toString();
        unit.text = event.value(QLatin1String(proto::kText)).toString();
        unit.bootAfter = event.value(QLatin1String(proto::kBootAfter)).toString();
        unit.applAfter = event.value(QLatin1String(proto::kApplAfter)).toString();
        unit.wifiAfter = event.value(QLatin1String(proto::kWifiAfter)).toString();
    }
    m_Dirty = true;
    QJsonObject forwarded = event;
    forwarded.insert(QStringLiteral("workerMs"), event.value(QLatin1String(proto::kMs)));
    m_Output->event(&unit, forwarded);
}

void CCliStation::workerEnded(SUnit& unit, int exitCode, const QString& failure)
{
    unit.state = SUnitRow::EDone;
    unit.durationMs = unit.clock.elapsed();
    if (unit.worker) {
        // A worker writes its record line before its result; one that ended without a result
        // (it crashed, or never started) has left none, and the unit's line is written here.
        const bool recorded = !unit.outcome.isEmpty();
        // Any end without a result of its own is a failure, with the reason known.
        if (!failure.isEmpty() || unit.outcome.isEmpty()) {
            unit.exitCode =
                exitCode == cliexit::kOk || exitCode < 0 ? cliexit::kTransferFailed : exitCode;
            unit.outcome = QLatin1String(SUnit::kWorkerFailed);
            unit.text = !failure.isEmpty()                    ? failure
                        : !unit.worker->lastError().isEmpty() ? unit.worker->lastError()
                                                              : QStringLiteral("the worker ended "
                                                                               "without a result");
        } else {
            unit.exitCode = exitCode;
        }
        if (!unit.duplicateText.isEmpty() && unit.exitCode != cliexit::kOk) {
            unit.exitCode = cliexit::kNotUpdatable;
            unit.outcome = QLatin1String(SUnit::kDuplicate);
            unit.text = unit.duplicateText;
        }
        if (!recorded)
            appendRecord(unit);
        unit.worker->deleteLater();
        unit.worker = nullptr;
    }
    m_Dirty = true;
    m_Output->event(&unit, {{QStringLiteral("event"), QStringLiteral("done")},
                            {QStringLiteral("exitCode"), unit.exitCode},
                            {QStringLiteral("outcome"), unit.outcome},
                            {QStringLiteral("text"), unit.doneText()},
                            {QStringLiteral("durationMs"), unit.durationMs}});
    startWorkers();
}

void CCliStation::quitWhenFinished()
{
    if (m_Loop && finished())
        m_Loop->quit();
}

bool CCliStation::finished() const
{
    const bool busy = std::any_of(m_Units.cbegin(), m_Units.cend(), [this](const auto& u) {
        // Queued units never start once the end was asked for.
        return u->worker || (u->state == SUnitRow::EQueued && !m_Ending);
    });
    if (busy)
        return false;
    if (m_Mode == EStation)
        return m_Ending;
    return m_StartPorts.isEmpty() || m_Ending;
}

// ---- Summary ------------------------------------------------------------------------------

SStationSummary CCliStation::tally(bool final) const
{
    SStationSummary sum = stationSummary(m_Units, m_StartPorts, final);
    sum.recordWaiting = m_Record->waiting();
    sum.recordText = m_Record->text(CRecordBacklog::EWithReason);
    return sum;
}

int CCliStation::summary()
{
    m_Record->flush();
    const SStationSummary sum = tally(true);
    m_Output->summary(sum);
    return sum.failures > 0 ? cliexit::kSomeFailed : cliexit::kOk;
}

void CCliStation::recordBacklogChanged()
{
    m_Output->recordBacklog(m_Record->waiting(), m_Record->text(),
                            m_Record->text(CRecordBacklog::EWithReason));
    m_Dirty = true;
}
