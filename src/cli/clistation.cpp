#include "clistation.h"

#include "cli/cliexitcodes.h"
#include "cli/clitext.h"
#include "cli/cliunit.h"
#include "cli/cliupdate.h"
#include "cli/productionrecord.h"
#include "cli/recordbacklog.h"
#include "service/identityview.h"
#include "service/portenumerator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QProcess>
#include <QSocketNotifier>
#include <QTextStream>

#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kBarWidth = 20;

int g_SignalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Nothing else is safe here; the coordinator reads the pipe on its own thread.
    (void)!::write(g_SignalPipe[1], &byte, 1);
}

// "ttyACM0" for /dev/ttyACM0, "pts/3" for /dev/pts/3: short, and still telling ports apart.
QString shortPortName(const QString& port)
{
    const QString dev = QStringLiteral("/dev/");
    return port.startsWith(dev) ? port.mid(dev.size()) : port;
}

// What the technician does with a unit whose update failed.
QString remedy(int exitCode)
{
    switch (exitCode) {
    case cliexit::kNotUpdatable:
        return QStringLiteral("this tool cannot update it");
    case cliexit::kNoUnit:
        return QStringLiteral("check the cable, switch the unit off and on, plug it in again");
    default:
        return QStringLiteral("switch the unit off and on, plug it in again to repeat");
    }
}

} // namespace

struct CCliStation::SUnit
{
    enum EState { ERunning, EWaiting, EDone };

    int number = 0; // 1, 2, ... in the order the units were found
    QString port;   // where the unit is now
    SUnitIdentity identity;
    EState state = ERunning;
    bool started = false; // its worker was started
    QProcess* worker = nullptr;
    QByteArray pending; // worker output not yet a whole line
    QString lastError;  // the worker's last line on stderr
    QString step;
    int percent = 0;
    QElapsedTimer clock;
    qint64 durationMs = 0;
    int exitCode = -1;
    QString outcome;
    QString text;
    QString bootAfter, applAfter, wifiAfter; // as identified after its update, if it was
    bool written = false;                    // on a terminal: its final line is out
};

CCliStation::CCliStation(EMode mode, const SCliOptions& options, QTextStream& out, QTextStream& err,
                         std::unique_ptr<CPortEnumerator> enumerator)
    : m_Mode(mode), m_Options(options), m_Out(out), m_Err(err),
      m_Terminal(!options.json && ::isatty(STDOUT_FILENO)),
      m_Enumerator(enumerator ? std::move(enumerator) : std::make_unique<CPortEnumerator>()),
      m_Record(std::make_unique<CRecordBacklog>(options))
{
    connect(m_Enumerator.get(), &CPortEnumerator::deviceDiscovered, this,
            &CCliStation::lookAtPorts);
    connect(m_Enumerator.get(), &CPortEnumerator::deviceRemoved, this, &CCliStation::lookAtPorts);
    m_Tick.setInterval(kRetryMs);
    connect(&m_Tick, &QTimer::timeout, this, [this] {
        lookAtPorts();
        tryPending();
        if (m_Record->poll())
            recordBacklogChanged();
        if (m_Dirty)
            redraw();
    });
}

CCliStation::~CCliStation()
{
    for (auto& unit : m_Units) {
        if (unit->worker && unit->worker->state() != QProcess::NotRunning) {
            unit->worker->kill();
            unit->worker->waitForFinished(1000);
        }
    }
}

int CCliStation::run()
{
    m_Clock.start();
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (::pipe2(g_SignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_SignalPipe[0], QSocketNotifier::Read);
        connect(signalNotifier.get(), &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(g_SignalPipe[0], bytes, sizeof bytes) > 0)
                requestEnd();
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    m_Enumerator->setUpNotifications();
    lookAtPorts();
    if (m_Mode == EAll)
        m_StartPorts = m_Present;
    tryPending();
    if (m_Mode == EAll && m_Units.empty() && m_StartPorts.isEmpty()) {
        m_Err << "ventaro-cli: no ventaro unit found\n";
        m_Err.flush();
        return cliexit::kNoUnit;
    }
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
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    signalNotifier.reset();
    ::close(g_SignalPipe[0]);
    ::close(g_SignalPipe[1]);
    redraw();
    return summary();
}

void CCliStation::requestEnd()
{
    ++m_EndRequests;
    if (m_EndRequests == 1) {
        m_Err << "station: ending after the running updates (again to stop them)\n";
    } else if (m_EndRequests == 2) {
        m_Err << "station: stopping the running updates after their current packet\n";
        for (auto& unit : m_Units)
            if (unit->worker && unit->worker->state() != QProcess::NotRunning)
                ::kill(pid_t(unit->worker->processId()), SIGTERM);
    }
    m_Err.flush();
    m_Pending.clear();
    if (finished() && m_Loop)
        m_Loop->quit();
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
        if (!m_Present.contains(port))
            m_Pending.insert(port, 0);
    }
    for (auto it = m_Pending.begin(); it != m_Pending.end();) {
        if (!now.contains(it.key()))
            it = m_Pending.erase(it);
        else
            ++it;
    }
    m_Present = now;
}

void CCliStation::tryPending()
{
    const QStringList ports = m_Pending.keys();
    for (const QString& port : ports) {
        // The port came back while its worker still runs on it: asked again once that worker
        // waits for its unit or has ended.
        const bool busy = std::any_of(m_Units.cbegin(), m_Units.cend(), [&](const auto& u) {
            return u->started && u->state == SUnit::ERunning && u->port == port;
        });
        if (busy)
            continue;
        SHLP_IdentData ident;
        if (!identifyPort(port, ident)) {
            if (++m_Pending[port] >= kIdentifyTries) {
                m_Err << "ventaro-cli: the unit on " << port << " does not answer; left alone\n";
                m_Err.flush();
                m_Pending.remove(port);
                // A unit that --all was to update, or one plugged into the station, that was
                // never updated: it counts as failed, never as nothing to do.
                if (m_Mode == EStation || m_StartPorts.remove(port))
                    m_Unanswered << port;
            }
            continue;
        }
        m_Pending.remove(port);
        const SUnitIdentity identity = SUnitIdentity::of(ident);
        if (SUnit* own = unitUnderUpdate(identity)) {
            // The unit came back after a restart, perhaps under another name: its worker goes
            // on with it there.
            own->port = port;
            own->worker->write(QStringLiteral("port %1\n").arg(port).toUtf8());
            emitEvent(own, {{QStringLiteral("event"), QStringLiteral("handed-over")}});
            continue;
        }
        // Plugged in again while it waits for its turn: it keeps its place, on this port.
        const auto queued = std::find_if(m_Units.begin(), m_Units.end(), [&](const auto& u) {
            return !u->started && identity.serial != 0 && u->identity == identity;
        });
        if (queued != m_Units.end()) {
            (*queued)->port = port;
            m_Dirty = true;
            continue;
        }
        // A unit of its own: in station mode every one, with --all those of the start.
        if (m_EndRequests > 0 || (m_Mode == EAll && !m_StartPorts.remove(port)))
            continue;
        auto unit = std::make_unique<SUnit>();
        unit->number = int(m_Units.size()) + 1;
        unit->port = port;
        unit->identity = identity;
        const bool updatedHere = asUpdatedHere(identity, ident);
        m_Units.push_back(std::move(unit));
        emitEvent(m_Units.back().get(), {{QStringLiteral("event"), QStringLiteral("unit")}});
        if (updatedHere)
            upToDateWithoutWorker(*m_Units.back(), ident);
    }
    startWorkers();
}

bool CCliStation::identifyPort(const QString& port, SHLP_IdentData& ident)
{
    CCliUnit probe;
    if (probe.connect(port) != CCliUnit::EOk)
        return false;
    ident = probe.ident();
    probe.disconnect();
    return true;
}

// The update rules write an application of the same version again, so a unit plugged in once
// more after its update would be written anew. It is not when its latest attempt here left it
// with exactly the versions it reports now.
bool CCliStation::asUpdatedHere(const SUnitIdentity& identity, const SHLP_IdentData& ident) const
{
    if (identity.serial == 0)
        return false; // cannot be told apart from another unit without a number
    for (auto it = m_Units.crbegin(); it != m_Units.crend(); ++it) {
        const SUnit& unit = **it;
        if (!unit.started || !(unit.identity == identity))
            continue;
        const bool done = unit.state == SUnit::EDone &&
                          (unit.exitCode == cliexit::kOk || unit.exitCode == cliexit::kUpToDate);
        return done && !unit.applAfter.isEmpty() && unit.bootAfter == clitext::bootVersion(ident) &&
               unit.applAfter == clitext::applVersion(ident) &&
               unit.wifiAfter == wifiVersionText(ident);
    }
    return false;
}

void CCliStation::upToDateWithoutWorker(SUnit& unit, const SHLP_IdentData& ident)
{
    unit.started = true;
    unit.clock.start();
    unit.exitCode = cliexit::kUpToDate;
    unit.outcome = QStringLiteral("up-to-date");
    unit.text = QStringLiteral("updated here before; it still runs what its update wrote");
    unit.bootAfter = clitext::bootVersion(ident);
    unit.applAfter = clitext::applVersion(ident);
    unit.wifiAfter = wifiVersionText(ident);
    if (m_Record->enabled()) {
        SProductionRecord record = CCliUpdate::recordBefore(
            unit.port, SUnitIdentity::modelName(unit.identity.plus), ident, m_Options);
        record.bootAfter = record.bootBefore;
        record.applAfter = record.applBefore;
        record.wifiAfter = record.wifiBefore;
        record.exitCode = unit.exitCode;
        record.outcome = unit.outcome;
        QString error;
        if (!m_Record->write(record, error))
            m_Err << "ventaro-cli: " << error << '\n';
    }
    workerFinished(unit, cliexit::kUpToDate, false);
}

CCliStation::SUnit* CCliStation::unitUnderUpdate(const SUnitIdentity& identity)
{
    for (auto& unit : m_Units)
        if (unit->state != SUnit::EDone && unit->started && unit->identity == identity)
            return unit.get();
    return nullptr;
}

void CCliStation::startWorkers()
{
    int running = 0;
    for (const auto& unit : m_Units)
        running += unit->started && unit->state != SUnit::EDone;
    for (auto& unit : m_Units) {
        if (m_Options.jobs > 0 && running >= m_Options.jobs)
            break;
        if (!unit->started && m_EndRequests == 0) {
            startWorker(*unit);
            ++running;
        }
    }
    if (finished() && m_Loop)
        m_Loop->quit();
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

    unit.worker = new QProcess(this);
    unit.started = true;
    unit.state = SUnit::ERunning;
    unit.step = QStringLiteral("starting");
    unit.clock.start();
    SUnit* self = &unit;
    connect(unit.worker, &QProcess::readyReadStandardOutput, this,
            [this, self] { readWorker(*self); });
    connect(unit.worker, &QProcess::readyReadStandardError, this, [this, self] {
        const QStringList lines =
            QString::fromUtf8(self->worker->readAllStandardError()).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (line.trimmed().isEmpty())
                continue;
            self->lastError = line.trimmed();
            if (m_Options.verbose)
                m_Err << self->port << ": " << line << '\n';
        }
        m_Err.flush();
    });
    connect(unit.worker, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, self](int code, QProcess::ExitStatus status) {
                readWorker(*self);
                workerFinished(*self, code, status != QProcess::NormalExit);
            });
    unit.worker->start(QCoreApplication::applicationFilePath(), args);
    emitEvent(&unit, {{QStringLiteral("event"), QStringLiteral("started")}});
}

void CCliStation::readWorker(SUnit& unit)
{
    unit.pending += unit.worker->readAllStandardOutput();
    for (const QByteArray& line : clitext::takeLines(unit.pending)) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        if (!event.isEmpty())
            workerEvent(unit, event);
    }
}

void CCliStation::workerEvent(SUnit& unit, const QJsonObject& event)
{
    const QString name = event.value(QStringLiteral("event")).toString();
    const QString before = unit.step;
    if (name == QLatin1String("step")) {
        unit.step = event.value(QStringLiteral("step")).toString();
        unit.percent = 0;
        unit.state = SUnit::ERunning;
    } else if (name == QLatin1String("progress")) {
        unit.percent = event.value(QStringLiteral("percent")).toInt();
    } else if (name == QLatin1String("waiting")) {
        // The unit restarts; the worker waits for it, bound to this identity (with the serial
        // number it may have written).
        unit.state = SUnit::EWaiting;
        unit.step = QStringLiteral("waiting for the restart");
        unit.identity.plus =
            event.value(QStringLiteral("model")).toString() == SUnitIdentity::modelName(true);
        unit.identity.serial = quint32(event.value(QStringLiteral("unitSerial")).toDouble());
        unit.identity.board = event.value(QStringLiteral("board")).toInt();
    } else if (name == QLatin1String("result")) {
        unit.outcome = event.value(QStringLiteral("outcome")).toString();
        unit.text = event.value(QStringLiteral("text")).toString();
        unit.bootAfter = event.value(QStringLiteral("bootAfter")).toString();
        unit.applAfter = event.value(QStringLiteral("applAfter")).toString();
        unit.wifiAfter = event.value(QStringLiteral("wifiAfter")).toString();
    }
    m_Dirty = true;
    if (m_Options.json) {
        QJsonObject forwarded = event;
        forwarded.insert(QStringLiteral("workerMs"), event.value(QStringLiteral("ms")));
        emitEvent(&unit, forwarded);
    } else if (!m_Terminal && unit.step != before) {
        plainLine(unit, unit.step);
    }
}

void CCliStation::workerFinished(SUnit& unit, int exitCode, bool crashed)
{
    unit.state = SUnit::EDone;
    unit.durationMs = unit.clock.elapsed();
    unit.exitCode = crashed ? cliexit::kTransferFailed : exitCode;
    if (crashed || unit.outcome.isEmpty()) {
        unit.outcome = QStringLiteral("worker-failed");
        unit.text = unit.lastError.isEmpty() ? QStringLiteral("the worker ended without a result")
                                             : unit.lastError;
    }
    if (unit.worker) {
        unit.worker->deleteLater();
        unit.worker = nullptr;
    }
    m_Dirty = true;
    if (m_Options.json)
        emitEvent(&unit, {{QStringLiteral("event"), QStringLiteral("done")},
                          {QStringLiteral("exitCode"), unit.exitCode},
                          {QStringLiteral("outcome"), unit.outcome},
                          {QStringLiteral("text"), doneText(unit)},
                          {QStringLiteral("durationMs"), unit.durationMs}});
    else if (!m_Terminal)
        plainLine(unit, doneText(unit));
    startWorkers();
}

bool CCliStation::finished() const
{
    const bool busy = std::any_of(m_Units.cbegin(), m_Units.cend(), [this](const auto& u) {
        // Queued units never start once the end was asked for.
        return u->state != SUnit::EDone && (u->started || m_EndRequests == 0);
    });
    if (busy)
        return false;
    if (m_Mode == EStation)
        return m_EndRequests > 0;
    return m_StartPorts.isEmpty() || m_EndRequests > 0;
}

// ---- Output -------------------------------------------------------------------------------

QString CCliStation::clockText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString CCliStation::doneText(const SUnit& unit) const
{
    if (unit.exitCode == cliexit::kOk)
        return QStringLiteral("updated - unplug");
    if (unit.exitCode == cliexit::kUpToDate)
        return QStringLiteral("up to date - unplug");
    return QStringLiteral("%1: %2 - %3").arg(unit.outcome, unit.text, remedy(unit.exitCode));
}

void CCliStation::emitEvent(const SUnit* unit, QJsonObject event)
{
    if (!m_Options.json)
        return;
    event.insert(QStringLiteral("ms"), m_Clock.elapsed());
    if (unit) {
        event.insert(QStringLiteral("unit"), unit->number);
        event.insert(QStringLiteral("port"), unit->port);
        if (unit->identity.serial != 0)
            event.insert(QStringLiteral("serial"), qint64(unit->identity.serial));
        event.insert(QStringLiteral("model"), SUnitIdentity::modelName(unit->identity.plus));
    }
    m_Out << QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)) << '\n';
    m_Out.flush();
}

void CCliStation::plainLine(const SUnit& unit, const QString& text)
{
    m_Out << QStringLiteral("%1 %2 %3: %4")
                 .arg(clockText(m_Clock.elapsed()), unit.port)
                 .arg(unit.identity.serial)
                 .arg(text)
          << '\n';
    m_Out.flush();
}

QString CCliStation::unitLine(const SUnit& unit) const
{
    const qint64 ms = unit.state == SUnit::EDone ? unit.durationMs
                      : unit.started             ? unit.clock.elapsed()
                                                 : 0;
    QString state;
    if (unit.state == SUnit::EDone) {
        state = doneText(unit);
    } else if (!unit.started) {
        state = QStringLiteral("queued");
    } else {
        const int filled = unit.percent * kBarWidth / 100;
        state = QStringLiteral("%1 [%2%3] %4%")
                    .arg(unit.step, -24)
                    .arg(QString(filled, QLatin1Char('#')))
                    .arg(QString(kBarWidth - filled, QLatin1Char(' ')))
                    .arg(unit.percent, 3);
    }
    return QStringLiteral("%1 %2 %3 %4")
        .arg(shortPortName(unit.port), -12)
        .arg(unit.identity.serial, 10)
        .arg(clockText(ms))
        .arg(state);
}

void CCliStation::recordBacklogChanged()
{
    if (m_Options.json)
        emitEvent(nullptr, {{QStringLiteral("event"), QStringLiteral("record")},
                            {QStringLiteral("waiting"), m_Record->waiting()}});
    else if (!m_Terminal)
        m_Out << clockText(m_Clock.elapsed()) << ' '
              << (m_Record->waiting() > 0 ? m_Record->text(CRecordBacklog::EWithReason)
                                          : QStringLiteral("record: every line is in the database"))
              << '\n';
    m_Dirty = true;
}

void CCliStation::redraw()
{
    if (!m_Terminal)
        return;
    m_Dirty = false;
    // Back to the first live line. A unit that is done gets its line once, where the live lines
    // began, and it scrolls away with the terminal like a log; the units still at work keep one
    // line each below, redrawn in place, so a long session never redraws more than those.
    if (m_DrawnLines > 0)
        m_Out << QStringLiteral("\x1b[%1A").arg(m_DrawnLines);
    for (const auto& unit : m_Units) {
        if (unit->state == SUnit::EDone && !unit->written) {
            m_Out << '\r' << unitLine(*unit) << "\x1b[K\n";
            unit->written = true;
        }
    }
    m_DrawnLines = 0;
    for (const auto& unit : m_Units) {
        if (unit->state != SUnit::EDone) {
            m_Out << '\r' << unitLine(*unit) << "\x1b[K\n";
            ++m_DrawnLines;
        }
    }
    if (!m_Record->text().isEmpty()) {
        m_Out << '\r' << m_Record->text() << "\x1b[K\n";
        ++m_DrawnLines;
    }
    m_Out << "\x1b[J"; // what is left of a longer block of live lines
    m_Out.flush();
}

int CCliStation::summary()
{
    // A unit plugged in again (to repeat a failed update, or after its update) is one unit:
    // its last attempt says how it ended, and an "up to date" after its own update counts as
    // updated. Units without a serial number cannot be told apart; each attempt counts.
    struct SAttempts
    {
        const SUnit* last = nullptr;
        const SUnit* updated = nullptr;
    };
    QMap<QString, SAttempts> byUnit;
    for (const auto& unit : m_Units) {
        if (!unit->started)
            continue;
        const QString key = unit->identity.serial != 0 ? unit->identity.describe()
                                                       : QStringLiteral("#%1").arg(unit->number);
        SAttempts& attempts = byUnit[key];
        attempts.last = unit.get();
        if (unit->exitCode == cliexit::kOk)
            attempts.updated = unit.get();
    }
    int updated = 0, upToDate = 0;
    QMap<QString, QStringList> failed; // outcome -> units
    for (const QString& port : m_Unanswered)
        failed[QStringLiteral("no-answer")] << QStringLiteral("%1: the unit did not answer; %2")
                                                   .arg(port, remedy(cliexit::kNoUnit));
    QVector<qint64> times;
    for (const SAttempts& attempts : byUnit) {
        const SUnit& unit = *attempts.last;
        if (attempts.updated &&
            (unit.exitCode == cliexit::kOk || unit.exitCode == cliexit::kUpToDate)) {
            ++updated;
            times << attempts.updated->durationMs;
        } else if (unit.exitCode == cliexit::kUpToDate) {
            ++upToDate;
        } else {
            failed[unit.outcome] << QStringLiteral("%1 (%2): %3")
                                        .arg(unit.port)
                                        .arg(unit.identity.serial)
                                        .arg(unit.text);
        }
    }
    m_Record->flush();
    std::sort(times.begin(), times.end());
    const qint64 median = times.isEmpty() ? 0 : times.at(times.size() / 2);
    int failures = 0;
    for (const QStringList& units : failed)
        failures += units.size();
    const int seen = updated + upToDate + failures;
    if (m_Options.json) {
        QJsonObject byReason;
        for (auto it = failed.cbegin(); it != failed.cend(); ++it)
            byReason.insert(it.key(), QJsonArray::fromStringList(it.value()));
        emitEvent(nullptr, {{QStringLiteral("event"), QStringLiteral("summary")},
                            {QStringLiteral("seen"), seen},
                            {QStringLiteral("updated"), updated},
                            {QStringLiteral("upToDate"), upToDate},
                            {QStringLiteral("failed"), failures},
                            {QStringLiteral("failedByReason"), byReason},
                            {QStringLiteral("medianMs"), median},
                            {QStringLiteral("recordWaiting"), m_Record->waiting()}});
    } else {
        m_Out << QStringLiteral("units seen %1, updated %2, up to date %3, failed %4; median time "
                                "per updated unit %5\n")
                     .arg(seen)
                     .arg(updated)
                     .arg(upToDate)
                     .arg(failures)
                     .arg(clockText(median));
        for (auto it = failed.cbegin(); it != failed.cend(); ++it)
            for (const QString& unit : it.value())
                m_Out << "  failed, " << it.key() << ": " << unit << '\n';
        if (m_Record->waiting() > 0)
            m_Out << m_Record->text(CRecordBacklog::EWithReason)
                  << "; 'ventaro-cli record sync' sends them\n";
        m_Out.flush();
    }
    return failures > 0 ? cliexit::kSomeFailed : cliexit::kOk;
}
