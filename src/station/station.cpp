#include "station.h"

#include "record/recordbacklog.h"
#include "service/exitcodes.h"
#include "service/portenumerator.h"
#include "service/signalpipe.h"
#include "service/unitidentity.h"
#include "station/stationhistory.h"
#include "station/stationoutput.h"
#include "station/stationpage.h"
#include "station/stationports.h"
#include "station/stationrouter.h"
#include "station/stationunit.h"
#include "station/stationworker.h"
#include "web/pagenames.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTextStream>

#include <algorithm>
#include <csignal>

#include <unistd.h>

namespace proto = stationprotocol;
using stationrouting::SSighting;
using stationrouting::SUnitRow;

using SUnit = SStationUnit;

namespace {

CStationOutput::EKind outputKind(const SStationOptions& options)
{
    return options.json              ? CStationOutput::EJson
           : ::isatty(STDOUT_FILENO) ? CStationOutput::ETerminal
                                     : CStationOutput::EPlain;
}

} // namespace

CStation::CStation(const SStationOptions& options, QTextStream& out, QTextStream& err,
                   std::unique_ptr<CPortEnumerator> enumerator)
    : m_Options(options), m_Err(err),
      m_Output(CStationOutput::make(outputKind(options), out, m_Clock)),
      // Fixed now: a package upgrade may replace the program file while the station runs.
      m_Program(QCoreApplication::applicationFilePath()),
      m_Record(std::make_unique<CRecordBacklog>(options.recordFile, options.spoolFile, m_Program))
{
    m_Options.worker.recordArguments = m_Record->workerArguments();
    CStationPorts::SHooks hooks;
    hooks.busy = [this](const QString& port) {
        return std::any_of(m_Units.cbegin(), m_Units.cend(), [&](const auto& u) {
            return u->state == SUnitRow::ERunning && u->port == port;
        });
    };
    hooks.looked = [this](const QHash<QString, quint64>& now) { portsLooked(now); };
    hooks.sighted = [this](const SSighting& seen, const SHLP_IdentData* ident) {
        sighted(seen, ident);
    };
    m_Ports = std::make_unique<CStationPorts>(enumerator ? std::move(enumerator)
                                                         : std::make_unique<CPortEnumerator>(),
                                              m_Program, options.verbose, err, std::move(hooks));
    if (options.httpPort >= 0) {
        auto page = std::make_unique<CStationPage>(
            m_Units, [this] { return tally(false); }, m_Clock, options.worker.stationName,
            CPageNames(options.httpNames, options.httpOrigins));
        page->setBundleRelease(options.bundleRelease);
        m_Page = page.get();
        m_Output = CStationOutput::both(std::move(m_Output), std::move(page));
    }
    m_History = std::make_unique<CStationHistory>();
    m_Router = std::make_unique<CStationRouter>(CStationRouter::SParts{
        m_Units, *m_History, *m_Output, *m_Record, err, options.worker.stationName,
        options.worker.operatorName,
        [this](SUnit& unit, int exitCode) { workerEnded(unit, exitCode, QString()); }});
    m_Tick.setInterval(kRetryMs);
    connect(&m_Tick, &QTimer::timeout, this, &CStation::tick);
}

CStation::~CStation()
{
    m_Ports.reset();
    for (auto& unit : m_Units)
        delete unit->worker;
}

int CStation::run()
{
    m_Clock.start();
    if (m_Page && !servePage())
        return cliexit::kPageFailed;
    // Every signal counts, however quickly the next follows (the loop never blocks for long).
    CSignalPipe stopSignals({SIGINT, SIGTERM, SIGHUP});
    connect(&stopSignals, &CSignalPipe::signalReceived, this, &CStation::signalReceived);
    // A terminal that has gone (or a reader of a pipe that has) must not end the run: the
    // writes fail, the updates go on and are recorded.
    std::signal(SIGPIPE, SIG_IGN);
    m_Ports->start();
    const bool all = m_Options.mode == SStationOptions::EAll;
    if (all)
        for (auto it = m_Ports->present().cbegin(); it != m_Ports->present().cend(); ++it)
            m_StartPorts.insert(it.key());
    if (all && m_StartPorts.isEmpty()) {
        m_Err << "ventaro-cli: no ventaro unit found\n";
        m_Err.flush();
        return cliexit::kNoUnit;
    }
    m_Ports->probe();
    startWorkers();
    m_Tick.start();
    if (!all && !m_Options.json)
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

bool CStation::servePage()
{
    QString error;
    if (!m_Page->listen(m_Options.httpAddress, quint16(m_Options.httpPort), error)) {
        m_Err << "ventaro-cli: the page cannot be served on " << m_Options.httpAddress << ':'
              << m_Options.httpPort << ": " << error << '\n';
        m_Err.flush();
        return false;
    }
    const QString host = m_Options.httpAddress.contains(QLatin1Char(':'))
                             ? QStringLiteral("[%1]").arg(m_Options.httpAddress)
                             : m_Options.httpAddress;
    m_Err << "station: the page is at http://" << host << ':' << m_Page->port() << "/\n";
    m_Err.flush();
    return true;
}

void CStation::tick()
{
    m_Ports->look();
    m_Ports->probe();
    startWorkers();
    if (m_Record->poll())
        recordBacklogChanged();
    if (m_Dirty) {
        m_Dirty = false;
        m_Output->refresh(m_Units);
    }
    // After the refresh: the outputs have shown what became of the rows dropped now.
    m_History->prune(m_Units, *m_Output);
}

void CStation::signalReceived(int number)
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
                unit->worker->stop();
    }
    m_Err.flush();
    m_Dirty = true;
    quitWhenFinished();
}

// ---- Ports and units ----------------------------------------------------------------------

void CStation::portsLooked(const QHash<QString, quint64>& now)
{
    for (auto& unit : m_Units)
        if (!unit->handOverPort.isEmpty() &&
            now.value(unit->handOverPort) != unit->handOverGeneration)
            unit->handOverPort.clear();
}

void CStation::sighted(const SSighting& seen, const SHLP_IdentData* ident)
{
    CStationRouter::SRun run;
    run.stationMode = m_Options.mode == SStationOptions::EStation;
    run.ending = m_Ending;
    run.startPorts = &m_StartPorts;
    run.present = &m_Ports->present();
    if (m_Router->route(seen, ident, run))
        m_Dirty = true;
    if (seen.kind == SSighting::EIdentified)
        startWorkers();
    else if (seen.kind == SSighting::EUnanswered)
        quitWhenFinished();
}

// ---- Workers ------------------------------------------------------------------------------

void CStation::startWorkers()
{
    int running = 0;
    for (const auto& unit : m_Units)
        running += unit->worker != nullptr;
    for (auto& unit : m_Units) {
        if (m_Options.jobs > 0 && running >= m_Options.jobs)
            break;
        if (unit->state != SUnitRow::EQueued || m_Ending)
            continue;
        // Its port is still the one it was identified on: nobody else can be behind it.
        if (m_Ports->present().value(unit->port) == unit->generation &&
            !m_Ports->pending(unit->port)) {
            startWorker(*unit);
            ++running;
        } else if (!m_Ports->pending(unit->port)) {
            // Unplugged before its turn, or its port made anew and another unit found there:
            // nothing was written; plugged in again, it is a unit of its own.
            unit->exitCode = cliexit::kNoUnit;
            unit->outcome = QLatin1String(SUnit::kGone);
            unit->text = QStringLiteral("not on %1 any more when its turn came").arg(unit->port);
            unit->state = SUnitRow::EDone;
            announceDone(*unit);
        }
        // Else the port is asked who is there now: the unit keeps its place meanwhile.
    }
    quitWhenFinished();
}

void CStation::startWorker(SUnit& unit)
{
    unit.worker = new CStationWorker(this);
    unit.state = SUnitRow::ERunning;
    unit.step = QStringLiteral("starting");
    unit.clock.start();
    unit.startedAt = QDateTime::currentDateTimeUtc();
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
    m_Output->event(&unit,
                    {{QStringLiteral("event"), QStringLiteral("started")},
                     {QStringLiteral("attempt"), unit.attemptId.toString(QUuid::WithoutBraces)}});
    unit.worker->start(m_Program, proto::updateArguments(unit.port, unit.identity, unit.attemptId,
                                                         m_Options.worker));
}

void CStation::workerEvent(SUnit& unit, const QJsonObject& event)
{
    if (unit.apply(event)) {
        // A port found while the worker was still at work goes to this wait.
        const QString found = unit.handOverPort;
        if (!found.isEmpty() && m_Ports->settled(found) &&
            m_Ports->present().value(found) == unit.handOverGeneration)
            m_Router->handOver(unit, found, unit.handOverGeneration);
        unit.handOverPort.clear();
    }
    m_Dirty = true;
    QJsonObject forwarded = event;
    forwarded.insert(QStringLiteral("workerMs"), event.value(QLatin1String(proto::kMs)));
    m_Output->event(&unit, forwarded);
}

void CStation::workerEnded(SUnit& unit, int exitCode, const QString& failure)
{
    unit.state = SUnitRow::EDone;
    unit.durationMs = unit.clock.elapsed();
    if (unit.worker) {
        // A worker writes its record line before its result; one that ended without a result
        // (it crashed, or never started) has left none, and the unit's line is written here.
        const bool recorded = !unit.outcome.isEmpty();
        unit.workerEnded(exitCode, failure, unit.worker->lastError());
        // Another unit answered the worker: the port is asked again who is there.
        if (unit.gone())
            m_Ports->forget(unit.port);
        if (!recorded)
            m_Router->appendRecord(unit);
        m_Record->sendSoon();
        unit.worker->deleteLater();
        unit.worker = nullptr;
    }
    announceDone(unit);
    startWorkers();
}

void CStation::announceDone(SUnit& unit)
{
    m_Dirty = true;
    if (unit.exitCode == cliexit::kRecordFailed)
        ++m_LinesLost;
    m_History->ended(unit);
    m_Output->event(&unit, {{QStringLiteral("event"), QStringLiteral("done")},
                            {QStringLiteral("exitCode"), unit.exitCode},
                            {QStringLiteral("outcome"), unit.outcome},
                            {QStringLiteral("text"), unit.doneText()},
                            {QStringLiteral("durationMs"), unit.durationMs}});
}

void CStation::quitWhenFinished()
{
    if (m_Loop && finished())
        m_Loop->quit();
}

bool CStation::finished() const
{
    const bool busy = std::any_of(m_Units.cbegin(), m_Units.cend(), [this](const auto& u) {
        // Queued units never start once the end was asked for.
        return u->worker || (u->state == SUnitRow::EQueued && !m_Ending);
    });
    if (busy)
        return false;
    if (m_Options.mode == SStationOptions::EStation)
        return m_Ending;
    return m_StartPorts.isEmpty() || m_Ending;
}

// ---- Summary ------------------------------------------------------------------------------

SStationSummary CStation::tally(bool final) const
{
    SStationSummary sum = m_History->summary(m_Units, m_StartPorts, final);
    sum.recordWaiting = m_Record->waiting();
    sum.recordText = m_Record->text(CRecordBacklog::EWithReason);
    return sum;
}

int CStation::summary()
{
    if (m_Record->flush())
        recordBacklogChanged();
    const SStationSummary sum = tally(true);
    m_Output->summary(sum);
    // A unit whose record line was not written ends the run as a record failure: a line was
    // lost, whatever else happened.
    return m_LinesLost > 0    ? cliexit::kRecordFailed
           : sum.failures > 0 ? cliexit::kSomeFailed
                              : cliexit::kOk;
}

void CStation::recordBacklogChanged()
{
    m_Output->recordBacklog(m_Record->waiting(), m_Record->text(),
                            m_Record->text(CRecordBacklog::EWithReason));
    m_Dirty = true;
}
