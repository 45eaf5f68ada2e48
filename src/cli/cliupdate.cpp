#include "cliupdate.h"

#include "cli/cliplan.h"
#include "cli/cliunit.h"
#include "cli/unitfinder.h"
#include "cli/updateoutput.h"
#include "device/fanbase.h"
#include "firmware/flashimagelist.h"
#include "record/attemptrecord.h"
#include "record/recordstore.h"
#include "service/exitcodes.h"
#include "service/identityview.h"
#include "station/workerend.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QThread>

#include <unistd.h>

namespace {

constexpr int kPortPollMs = 100; // how often the ports are looked at while the unit reboots

CUpdateOutput::EKind outputKind(const SCliOptions& options)
{
    return options.json              ? CUpdateOutput::EJson
           : ::isatty(STDOUT_FILENO) ? CUpdateOutput::ETerminal
                                     : CUpdateOutput::EPlain;
}

} // namespace

CCliUpdate::CCliUpdate(CCliUnit& unit, const SCliOptions& options, QTextStream& out,
                       QTextStream& err)
    : m_Unit(unit), m_Options(options), m_Err(err),
      m_Output(CUpdateOutput::make(outputKind(options), out, m_Clock, unit)),
      m_WorkerEnd(options.worker ? std::make_unique<CWorkerEnd>() : nullptr),
      m_Finder(unit, options.port, m_WorkerEnd.get(), err)
{}

CCliUpdate::~CCliUpdate() = default;

int CCliUpdate::run()
{
    m_Clock.start();
    // A station's worker updates the unit it was started for, or nothing: the kernel may have
    // given its port to another unit since the coordinator identified it.
    if (m_Options.expectGiven && identifiedUnit() != m_Options.expected) {
        CUpdateOutput::SResult gone;
        gone.exitCode = cliexit::kNoUnit;
        gone.outcome = QStringLiteral("gone");
        gone.text =
            QStringLiteral("%1 answers on %2, not %3; nothing was written")
                .arg(identifiedUnit().describe(), m_Unit.portName(), m_Options.expected.describe());
        gone.durationMs = m_Clock.elapsed();
        m_Output->result(gone);
        return cliexit::kNoUnit;
    }
    const SHLP_IdentData& before = m_Unit.ident();
    m_Record = std::make_unique<CAttemptRecord>(
        m_Unit.portName(), m_Unit.fan().modelName(), before,
        CAttemptRecord::SPlace{m_Options.stationName, m_Options.operatorName});
    m_Record->begunAt(m_Options.attemptId, QDateTime());
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
    // Reserved before it is written: from now on the record gives it to no other unit.
    SSerialClaim claim;
    claim.serial = quint32(m_Options.serial.toUInt());
    claim.attemptId = m_Record->line().attemptId;
    claim.unit = identifiedUnit().describe();
    claim.station = m_Options.stationName;
    QString text;
    switch (m_Sink->reserveSerial(claim, text)) {
    case CRecordSink::ESerialFree:
        return 0;
    case CRecordSink::ESerialTaken:
        return finish(cliexit::kNotUpdatable, QStringLiteral("serial-taken"), text);
    case CRecordSink::ESerialUnknown:
        break;
    }
    return finish(cliexit::kRecordFailed, QStringLiteral("record-failed"),
                  recordstore::serialUnknownText(claim.serial, text));
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
        if (m_State == EStateReady && m_Step == EUpdateStep::Swap && run == 0 && !m_TimedOut &&
            !m_Workflow.stoppedForOtherUnit()) {
            completeStep();
            if (!waitForIdentification(m_Identifications, kNoWindow))
                return noComeBack();
            if (identifiedUnit() != m_Workflow.boundUnit())
                return otherUnit();
            continue;
        }
        return failed();
    }

    return finish(updateattempt::updated(m_Workflow.lastVerification()));
}

updateattempt::SFailure CCliUpdate::failure() const
{
    updateattempt::SFailure f;
    f.step = m_Step;
    f.timedOut = m_TimedOut;
    f.stoppedForOtherUnit = m_Workflow.stoppedForOtherUnit();
    f.notUpdatable = m_Flags.notUpdatable;
    f.verification = m_Workflow.lastVerification();
    f.rebootTimeoutS = m_Options.rebootTimeoutS;
    f.came = identifiedUnit();
    f.bound = m_Workflow.boundUnit();
    return f;
}

int CCliUpdate::failed()
{
    return finish(updateattempt::failed(failure()));
}

void CCliUpdate::verified(const SVerifyOutcome& outcome)
{
    m_Record->verified(outcome, m_Unit.ident());
    if (outcome.back)
        m_Output->verified(outcome);
}

bool CCliUpdate::stopRequested()
{
    if (m_Stopped || !m_WorkerEnd || !m_WorkerEnd->stopAsked())
        return m_Stopped;
    m_Stopped = true;
    // Asked between packets and while waiting: the port is never closed under an exchange.
    m_Output->stopping(QStringLiteral("stop requested: the update ends after the current packet"));
    return true;
}

int CCliUpdate::otherUnit()
{
    updateattempt::SFailure f = failure();
    f.stoppedForOtherUnit = true;
    f.timedOut = false;
    return finish(updateattempt::failed(f));
}

int CCliUpdate::noComeBack()
{
    updateattempt::SFailure f = failure();
    f.timedOut = true;
    return finish(updateattempt::failed(f));
}

int CCliUpdate::finish(const updateattempt::SEnd& end)
{
    return finish(end.exitCode, end.outcome, end.text);
}

int CCliUpdate::finish(int exitCode, QString outcome, QString text)
{
    if (m_Stopped && exitCode != cliexit::kOk) {
        // Whatever step noticed it: the update ended because it was asked to, perhaps since
        // its unit's twin turned up.
        const QString twin = m_WorkerEnd ? m_WorkerEnd->duplicateText() : QString();
        exitCode = twin.isEmpty() ? exitCode : cliexit::kNotUpdatable;
        outcome = twin.isEmpty() ? QStringLiteral("stopped") : QStringLiteral("duplicate");
        text =
            twin.isEmpty() ? QStringLiteral("stopped on request; the unit is not updated") : twin;
    }
    const quint32 serialSent =
        exitCode == cliexit::kOk || m_SerialSent ? quint32(enteredSerialNumber()) : 0;
    const SProductionRecord& line =
        m_Record->finish(exitCode, outcome, m_Clock.elapsed(), m_Finder.retries(), serialSent);
    int code = exitCode;
    QString error;
    const bool written = !m_Sink || m_Sink->write(line, error);
    if (const QString notice = m_Sink ? m_Sink->takeNotice() : QString(); !notice.isEmpty()) {
        m_Err << "ventaro-cli: " << notice << '\n';
        m_Err.flush();
    }
    if (!written) {
        m_Err << "ventaro-cli: " << error << '\n';
        m_Err.flush();
        // A unit updated without its record line must not pass as done.
        if (code == cliexit::kOk)
            code = cliexit::kRecordFailed;
    }
    m_Output->result(
        {code, outcome, text, line.durationMs, line.bootAfter, line.applAfter, line.wifiAfter});
    // The line is safe in the spool and the outcome given; the database may have it later. A
    // worker leaves sending to its coordinator, so no database holds up the end of its unit.
    if (const int waiting = m_Sink && !m_Options.worker && code == exitCode ? m_Sink->send() : 0)
        m_Output->recordWaiting(waiting, m_Sink->sendError());
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
    m_Output->state(int(state));
}

void CCliUpdate::refreshState()
{
    showState(chooseState(comPartner(), m_Flags, decidingSerial(m_Unit.ident(), m_Options.serial)));
}

void CCliUpdate::setStatus(const QString& text)
{
    if (!text.isEmpty())
        m_Output->status(text);
}

void CCliUpdate::showMessage(const SUpdateMessage& message)
{
    m_Output->message(message);
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
    m_Output->waiting(++m_Wait, int((limitMs + 999) / 1000), m_Workflow.boundUnit());
    if (m_WorkerEnd)
        m_WorkerEnd->waitBegins(m_Wait);
    m_Finder.waitBegins();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs) {
        QCoreApplication::processEvents();
        if (stopRequested())
            return false;
        QString port;
        if (m_Finder.poll(m_Workflow.boundUnit(), port))
            noteIdentified(port);
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
    m_StepImageType = updateattempt::stepImageType(step, comPartner());
    m_Output->step(updateattempt::stepName(step), updateattempt::partitionName(m_StepImageType));
}

// ---- Helpers ----------------------------------------------------------------------------

bool CCliUpdate::applyRules(bool keepBridge)
{
    SFlagInput in = flagInput(m_Unit.ident(), m_Serial, m_Options.forceBoot, m_Options.forceAppl);
    in.keepBridge = keepBridge;
    const SFlagOutcome outcome = applyUpdateFlagRules(in, m_Flags);
    return !outcome.bootImagesOutOfSync;
}

void CCliUpdate::noteIdentified(const QString& port)
{
    m_Serial = int(m_Unit.ident().m_SerialNo);
    ++m_Identifications;
    const SUnitIdentity unit = SUnitIdentity::of(m_Unit.ident());
    const bool restartOfUnitUnderUpdate = m_Workflow.updating(unit);
    m_Workflow.unitIdentified(unit);
    (void)applyRules(restartOfUnitUnderUpdate);
    m_Output->identified(port, m_Unit.ident());
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
    if (image)
        m_Record->imageWritten(updateattempt::partitionName(m_StepImageType), *image);
}

void CCliUpdate::showProgress(int percent)
{
    // Every block of an image counts from 0 to 100.
    if (percent < m_LastPercent || m_Block == 0)
        ++m_Block;
    m_LastPercent = percent;
    m_Output->progress(updateattempt::stepName(m_Step), m_Block, percent);
}
