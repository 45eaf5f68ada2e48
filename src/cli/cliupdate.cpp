#include "cliupdate.h"

#include "cli/cliexitcodes.h"
#include "cli/cliplan.h"
#include "cli/clitext.h"
#include "cli/cliunit.h"
#include "cli/stationprotocol.h"
#include "cli/recordstore.h"
#include "device/fanbase.h"
#include "firmware/flashimagelist.h"
#include "service/identityview.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QThread>

#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_StopRequested = 0;

constexpr int kPortPollMs = 100; // how often the ports are looked at while the unit reboots
constexpr int kBarWidth = 30;    // characters of the terminal progress bar

const char* stepName(EUpdateStep step)
{
    switch (step) {
    case EUpdateStep::SerialNumber:
        return "serial-number";
    case EUpdateStep::Bridge:
        return "wifi-bridge";
    case EUpdateStep::Application:
        return "application";
    case EUpdateStep::RebootPause:
        return "reboot-pause";
    case EUpdateStep::Wifi:
        return "wifi-module";
    case EUpdateStep::BootloaderImage:
        return "bootloader";
    case EUpdateStep::Swap:
        return "swap";
    case EUpdateStep::StartupMode:
        return "startup-mode";
    case EUpdateStep::Verify:
        return "verify";
    }
    return "";
}

} // namespace

CCliUpdate::CCliUpdate(CCliUnit& unit, const SCliOptions& options, QTextStream& out,
                       QTextStream& err)
    : m_Unit(unit), m_Options(options), m_Out(out), m_Err(err),
      m_Terminal(!options.json && ::isatty(STDOUT_FILENO))
{}

CCliUpdate::~CCliUpdate() = default;

int CCliUpdate::run()
{
    m_Clock.start();
    const SHLP_IdentData& before = m_Unit.ident();
    m_Record = recordBefore(m_Unit.portName(), m_Unit.fan().modelName(), before, m_Options);

    QString error;
    if (!m_Options.recordFile.isEmpty()) {
        // The database itself was asked before the unit was (a worker's coordinator did).
        m_Sink = recordstore::open(m_Options.recordFile, m_Options.spoolFile, error);
        if (!m_Sink || !m_Sink->check(CRecordSink::ELocal, error)) {
            m_Err << "ventaro-cli: " << error << '\n';
            m_Err.flush();
            return cliexit::kRecordFailed;
        }
    }

    // What the dialog would show for this unit decides whether the update starts at all.
    const SUpdatePlan plan =
        makeUpdatePlan(flagInput(before, decidingSerial(before, m_Options.serial),
                                 m_Options.forceBoot, m_Options.forceAppl));
    if (plan.exitCode != cliexit::kOk)
        return finish(plan.exitCode,
                      plan.exitCode == cliexit::kUpToDate ? QStringLiteral("up-to-date")
                                                          : QStringLiteral("not-updatable"),
                      plan.verdict);

    // The dialog's decisions at identification, which the workflow reads and updates.
    m_Serial = int(before.m_SerialNo);
    m_Identifications = 1;
    if (!applyRules(false))
        return finish(cliexit::kNotUpdatable, QStringLiteral("not-updatable"), plan.verdict);
    if (const int refused = checkSerialIsNew())
        return refused;
    return runWorkflow();
}

int CCliUpdate::checkSerialIsNew()
{
    if (!m_Sink || m_Unit.ident().m_SerialNo != 0 || m_Options.serial.isEmpty())
        return 0;
    QString text;
    switch (m_Sink->serialInUse(quint32(m_Options.serial.toUInt()), text)) {
    case CRecordSink::ESerialFree:
        return 0;
    case CRecordSink::ESerialTaken:
        return finish(cliexit::kNotUpdatable, QStringLiteral("serial-taken"), text);
    case CRecordSink::ESerialUnknown:
        break;
    }
    return finish(cliexit::kRecordFailed, QStringLiteral("record-failed"),
                  QStringLiteral("cannot check that serial number %1 is new: %2")
                      .arg(m_Options.serial, text));
}

int CCliUpdate::runWorkflow()
{
    // A unit with a 1.x bootloader needs a restart after its new bootloader is in, and a
    // second run for the rest; the dialog leaves that to the user, here it follows on its own.
    for (int run = 0; run < 2; ++run) {
        if (m_Workflow.burn()) {
            completeStep();
            break;
        }
        if (m_Step == EUpdateStep::Verify && !m_Workflow.stoppedForOtherUnit()) {
            const SVerifyOutcome& check = m_Workflow.lastVerification();
            return finish(cliexit::kNotVerified,
                          check.back ? QStringLiteral("verify-failed") : QStringLiteral("not-back"),
                          check.detail());
        }
        if (m_TimedOut)
            return finish(cliexit::kNoComeBack, QStringLiteral("no-come-back"),
                          QStringLiteral("the unit did not come back within %1 s")
                              .arg(m_Options.rebootTimeoutS));
        if (m_Workflow.stoppedForOtherUnit())
            return otherUnit();
        if (m_State == EStateReady && m_Step == EUpdateStep::Swap && run == 0) {
            completeStep();
            if (!waitForIdentification(m_Identifications, kNoWindow))
                return finish(cliexit::kNoComeBack, QStringLiteral("no-come-back"),
                              QStringLiteral("the unit did not come back within %1 s")
                                  .arg(m_Options.rebootTimeoutS));
            if (identifiedUnit() != m_Workflow.boundUnit())
                return otherUnit();
            continue;
        }
        if (m_Flags.notUpdatable)
            return finish(cliexit::kNotUpdatable, QStringLiteral("not-updatable"),
                          QStringLiteral("the update rules refuse this unit"));
        if (m_Step == EUpdateStep::Swap)
            return finish(cliexit::kSwapFailed, QStringLiteral("swap-failed"),
                          QStringLiteral("the bootloader swap failed"));
        return finish(cliexit::kTransferFailed, QStringLiteral("transfer-failed"),
                      QStringLiteral("%1 failed").arg(QLatin1String(stepName(m_Step))));
    }

    const QString checked = m_Workflow.lastVerification().detail();
    return finish(cliexit::kOk, QStringLiteral("updated"),
                  checked.isEmpty()
                      ? QStringLiteral("the unit was updated and confirms it")
                      : QStringLiteral("the unit was updated and confirms it (%1)").arg(checked));
}

SProductionRecord CCliUpdate::recordBefore(const QString& port, const QString& model,
                                           const SHLP_IdentData& before, const SCliOptions& options)
{
    SProductionRecord record;
    record.attemptId = QUuid::createUuid();
    record.time = QDateTime::currentDateTimeUtc();
    record.port = port;
    record.model = model;
    record.serial = before.m_SerialNo;
    record.bootBefore = clitext::bootVersion(before);
    record.applBefore = clitext::applVersion(before);
    record.wifiBefore = wifiVersionText(before);
    record.station = options.stationName;
    record.operatorName = options.operatorName;
    return record;
}

void CCliUpdate::verified(const SVerifyOutcome& outcome)
{
    m_Record.verified = outcome.passed();
    m_Record.verifyDetail = outcome.detail();
    if (!outcome.back)
        return;
    // What the unit runs now, as it reported it to the verification.
    const SHLP_IdentData& after = m_Unit.ident();
    m_Record.bootAfter = clitext::bootVersion(after);
    m_Record.applAfter = clitext::applVersion(after);
    m_Record.wifiAfter = wifiVersionText(after);
    m_Record.serial = after.m_SerialNo;
    if (m_Options.json)
        event(QStringLiteral("verified"), {{QStringLiteral("passed"), outcome.passed()},
                                           {QStringLiteral("detail"), outcome.detail()}});
    else if (!outcome.passed())
        line(QStringLiteral("verification: %1").arg(outcome.detail()));
}

void CCliUpdate::requestStop()
{
    g_StopRequested = 1;
}

bool CCliUpdate::stopRequested()
{
    if (!g_StopRequested || m_Stopped)
        return m_Stopped;
    m_Stopped = true;
    // Asked between packets and while waiting: the port is never closed under an exchange.
    const QString text = QStringLiteral("stop requested: the update ends after the current packet");
    if (m_Options.json)
        event(QStringLiteral("stopping"), {{QStringLiteral("text"), text}});
    else
        line(text);
    return true;
}

int CCliUpdate::otherUnit()
{
    return finish(cliexit::kNoComeBack, QStringLiteral("other-unit"),
                  QStringLiteral("another unit (%1) came back instead of the one under update "
                                 "(%2); nothing more was written")
                      .arg(identifiedUnit().describe(), m_Workflow.boundUnit().describe()));
}

int CCliUpdate::finish(int exitCode, QString outcome, QString text)
{
    if (m_Stopped && exitCode != cliexit::kOk) {
        // Whatever step noticed it: the update ended because it was asked to.
        outcome = QStringLiteral("stopped");
        text = QStringLiteral("stopped on request; the unit is not updated");
    }
    // A number sent to the unit is its number now, whatever failed after it (even when its
    // answer was lost): the record holds it, so that it is never given to another unit.
    if (m_Record.serial == 0 && (exitCode == cliexit::kOk || m_SerialSent))
        m_Record.serial = quint32(enteredSerialNumber());
    m_Record.durationMs = m_Clock.elapsed();
    m_Record.retries = m_Retries;
    m_Record.exitCode = exitCode;
    m_Record.outcome = outcome;
    int code = exitCode;
    QString error;
    if (m_Sink && !m_Sink->write(m_Record, error)) {
        m_Err << "ventaro-cli: " << error << '\n';
        m_Err.flush();
        // A unit updated without its record line must not pass as done.
        if (code == cliexit::kOk)
            code = cliexit::kRecordFailed;
    }
    if (m_Options.json) {
        QJsonObject result{{QStringLiteral("exitCode"), code},
                           {QStringLiteral("outcome"), outcome},
                           {QStringLiteral("text"), text},
                           {QStringLiteral("durationMs"), m_Record.durationMs}};
        // What the unit reported when it was identified after its update (a station uses it to
        // recognise the unit when it is plugged in again).
        if (!m_Record.applAfter.isEmpty()) {
            result.insert(QStringLiteral("bootAfter"), m_Record.bootAfter);
            result.insert(QStringLiteral("applAfter"), m_Record.applAfter);
            result.insert(QStringLiteral("wifiAfter"), m_Record.wifiAfter);
        }
        event(QStringLiteral("result"), result);
    } else {
        line(QStringLiteral("%1: %2").arg(outcome, text));
    }
    // The line is safe in the spool and the outcome given; the database may have it later.
    // A worker sends its own line only; its coordinator sends what else waits.
    const CRecordSink::ESend lines = m_Options.worker ? CRecordSink::EOwn : CRecordSink::EAll;
    if (const int waiting = m_Sink && code == exitCode ? m_Sink->send(lines) : 0) {
        if (m_Options.json)
            event(QStringLiteral("record"), {{QStringLiteral("waiting"), waiting},
                                             {QStringLiteral("text"), m_Sink->sendError()}});
        else
            line(QStringLiteral("record: %1 lines wait in the spool for the database (%2)")
                     .arg(waiting)
                     .arg(m_Sink->sendError()));
    }
    return code;
}

// ---- CUpdateHost ------------------------------------------------------------------------

SUnitIdentity CCliUpdate::identifiedUnit() const
{
    return SUnitIdentity::of(m_Unit.ident());
}

CFanBase* CCliUpdate::device()
{
    return &m_Unit.fan();
}

int CCliUpdate::comPartner() const
{
    return m_Unit.ident().m_ComPartner;
}

bool CCliUpdate::plusDevice() const
{
    return m_Unit.isPlus();
}

int CCliUpdate::enteredSerialNumber() const
{
    return m_Options.serial.toInt();
}

void CCliUpdate::showState(EDialogState state)
{
    m_State = state;
    if (m_Options.json)
        event(QStringLiteral("state"), {{QStringLiteral("state"), int(state)}});
}

void CCliUpdate::refreshState()
{
    showState(chooseState(comPartner(), m_Flags, decidingSerial(m_Unit.ident(), m_Options.serial)));
}

void CCliUpdate::setStatus(const QString& text)
{
    if (text.isEmpty())
        return;
    if (m_Options.json)
        event(QStringLiteral("status"), {{QStringLiteral("text"), text.simplified()}});
    else
        line(text.simplified());
}

void CCliUpdate::showMessage(const SUpdateMessage& message)
{
    if (m_Options.json)
        event(QStringLiteral("message"),
              {{QStringLiteral("kind"), message.kind == SUpdateMessage::ECritical
                                            ? QStringLiteral("critical")
                                            : QStringLiteral("information")},
               {QStringLiteral("title"), message.title},
               {QStringLiteral("text"), message.text.simplified()}});
    else
        line(QStringLiteral("%1: %2").arg(message.title, message.text.simplified()));
}

SUploadObserver CCliUpdate::uploadObserver()
{
    return {[this](int percent) { showProgress(percent); }, [this] { return stopRequested(); }};
}

SHLP_IdentData CCliUpdate::identData() const
{
    return m_Unit.ident();
}

bool CCliUpdate::identifyAgain()
{
    if (m_Unit.identify() != CCliUnit::EOk)
        return false;
    noteIdentified(m_Unit.portName());
    return true;
}

bool CCliUpdate::waitForIdentification(int count, int windowMs)
{
    const qint64 limitMs =
        windowMs != kNoWindow ? qint64(windowMs) : qint64(m_Options.rebootTimeoutS) * 1000;
    const SUnitIdentity& unit = m_Workflow.boundUnit();
    if (m_Options.json)
        event(QStringLiteral("waiting"),
              {{QStringLiteral("timeoutS"), int((limitMs + 999) / 1000)},
               {QStringLiteral("model"), SUnitIdentity::modelName(unit.plus)},
               {QStringLiteral("unitSerial"), qint64(unit.serial)},
               {QStringLiteral("board"), unit.board}});
    else
        line(QStringLiteral("waiting up to %1 s for the unit to come back")
                 .arg((limitMs + 999) / 1000));
    m_PolledPort = m_Unit.portName();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs) {
        QCoreApplication::processEvents();
        if (stopRequested())
            return false;
        readHandedPorts();
        pollPorts();
        if (m_Identifications > count)
            return true;
        QThread::msleep(kPortPollMs);
    }
    if (windowMs == kNoWindow)
        m_TimedOut = true;
    return false;
}

void CCliUpdate::stepStarted(EUpdateStep step)
{
    completeStep();
    m_Step = step;
    m_StepRunning = true;
    m_SerialSent = m_SerialSent || step == EUpdateStep::SerialNumber;
    m_Block = 0;
    m_LastPercent = -1;
    switch (step) {
    case EUpdateStep::Bridge:
        m_StepImageType = CPartitionTable::ECC3200Bridge;
        break;
    case EUpdateStep::Application:
        m_StepImageType = CPartitionTable::EApplication;
        break;
    case EUpdateStep::Wifi:
        m_StepImageType = CPartitionTable::ECC3200;
        break;
    case EUpdateStep::BootloaderImage:
        // The copy that is not running.
        m_StepImageType = comPartner() == 1   ? CPartitionTable::EBootloader2
                          : comPartner() == 2 ? CPartitionTable::EBootloader1
                                              : 0;
        break;
    default:
        m_StepImageType = 0;
        break;
    }
    const QString image = partitionName(m_StepImageType);
    if (m_Options.json)
        event(QStringLiteral("step"), {{QStringLiteral("step"), QLatin1String(stepName(step))},
                                       {QStringLiteral("image"), image}});
    else
        line(QStringLiteral("step: %1%2")
                 .arg(QLatin1String(stepName(step)),
                      image.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(image)));
}

// ---- Helpers ----------------------------------------------------------------------------

bool CCliUpdate::applyRules(bool keepBridge)
{
    SFlagInput in = flagInput(m_Unit.ident(), m_Serial, m_Options.forceBoot, m_Options.forceAppl);
    in.keepBridge = keepBridge;
    const SFlagOutcome outcome = applyUpdateFlagRules(in, m_Flags);
    return !outcome.bootImagesOutOfSync;
}

QString CCliUpdate::watchedPort()
{
    if (m_Options.worker) {
        // Only the coordinator knows which port belongs to which unit now, and it hands over a
        // port once it no longer looks at it: one found for an earlier wait is not used again.
        return m_HandedWait == m_Wait && QFileInfo::exists(m_HandedPort) ? m_HandedPort : QString();
    }
    if (m_Options.port.isEmpty())
        return selectDevicePort(CCliUnit::ports(), QString());
    return QFileInfo::exists(m_Options.port) ? m_Options.port : QString();
}

// Hand-over lines on stdin (stationprotocol): the coordinator identified this worker's unit
// there, for the wait they name.
void CCliUpdate::readHandedPorts()
{
    if (!m_Options.worker)
        return;
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    while (::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
        char chunk[256];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0)
            return;
        m_StdinBuffer.append(chunk, int(got));
    }
    for (const QByteArray& line : clitext::takeLines(m_StdinBuffer)) {
        int wait = 0;
        QString port;
        if (stationprotocol::parseHandOver(line, wait, port) && wait == m_Wait) {
            m_HandedWait = wait;
            m_HandedPort = port;
        }
    }
}

void CCliUpdate::pollPorts()
{
    // A unit back under the name of its lost port is connected again like one on a new name.
    if (m_Unit.fan().portLost() && !m_PolledPort.isEmpty()) {
        m_PolledPort.clear();
        m_Unit.disconnect();
    }
    const QString now = watchedPort();
    if (now == m_PolledPort)
        return;
    m_PolledPort = now;
    if (now.isEmpty()) {
        m_Unit.disconnect();
        return;
    }
    const CCliUnit::EResult result = m_Unit.connect(now);
    if (result != CCliUnit::EOk) {
        // Looked at again at the next poll.
        ++m_Retries;
        m_PolledPort.clear();
        m_Err << "ventaro-cli: " << m_Unit.errorText(result) << ", trying again\n";
        m_Err.flush();
        return;
    }
    noteIdentified(now);
}

void CCliUpdate::noteIdentified(const QString& port)
{
    m_Serial = int(m_Unit.ident().m_SerialNo);
    ++m_Identifications;
    const SUnitIdentity unit = SUnitIdentity::of(m_Unit.ident());
    const bool restartOfUnitUnderUpdate = m_Workflow.updating(unit);
    m_Workflow.unitIdentified(unit);
    (void)applyRules(restartOfUnitUnderUpdate);
    const SHLP_IdentData& id = m_Unit.ident();
    if (m_Options.json)
        event(QStringLiteral("identified"),
              {{QStringLiteral("port"), port},
               {QStringLiteral("bootloader"), clitext::bootVersion(id)},
               {QStringLiteral("application"), clitext::applVersion(id)}});
    else
        line(QStringLiteral("unit on %1: bootloader %2, application %3")
                 .arg(port, clitext::bootVersion(id), clitext::applVersion(id)));
}

void CCliUpdate::completeStep()
{
    if (!m_StepRunning)
        return;
    m_StepRunning = false;
    if (m_StepImageType == 0)
        return;
    const CFlashImageList list;
    const CFlashImage* image = list.find(m_StepImageType, plusDevice() ? CFlashImage::ESystemPlus
                                                                       : CFlashImage::ESystem100);
    if (!image)
        return;
    m_Record.images << SProductionRecord::SImage{partitionName(m_StepImageType),
                                                 versionText(image->m_MainVer, image->m_SubVer),
                                                 productionrecord::imageSha256(*image)};
}

void CCliUpdate::showProgress(int percent)
{
    // Every block of an image counts from 0 to 100.
    if (percent < m_LastPercent || m_Block == 0)
        ++m_Block;
    m_LastPercent = percent;
    if (m_Options.json) {
        event(QStringLiteral("progress"),
              {{QStringLiteral("step"), QLatin1String(stepName(m_Step))},
               {QStringLiteral("block"), m_Block},
               {QStringLiteral("percent"), percent}});
    } else if (m_Terminal) {
        m_Out << '\r'
              << QStringLiteral("  %1 block %2 %3 %4%")
                     .arg(QLatin1String(stepName(m_Step)))
                     .arg(m_Block)
                     .arg(clitext::bar(percent, kBarWidth))
                     .arg(percent, 3);
        m_Out.flush();
        m_BarShown = true;
    }
}

void CCliUpdate::line(const QString& text)
{
    if (m_BarShown) {
        m_Out << '\n';
        m_BarShown = false;
    }
    m_Out << text << '\n';
    m_Out.flush();
}

void CCliUpdate::event(const QString& name, const QJsonObject& fields)
{
    QJsonObject object{{QStringLiteral("event"), name},
                       {QStringLiteral("ms"), m_Clock.elapsed()},
                       {QStringLiteral("port"), m_Unit.portName()}};
    // Each wait for the unit has its number; the coordinator's hand-over names it.
    if (name == QLatin1String(stationprotocol::kWaitingEvent))
        object.insert(QLatin1String(stationprotocol::kWait), ++m_Wait);
    if (const quint32 serial = m_Unit.ident().m_SerialNo)
        object.insert(QStringLiteral("serial"), qint64(serial));
    for (auto it = fields.begin(); it != fields.end(); ++it)
        object.insert(it.key(), it.value());
    m_Out << clitext::jsonLine(object);
    m_Out.flush();
}
