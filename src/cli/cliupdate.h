#pragma once

#include "cli/clicommandline.h"
#include "cli/unitfinder.h"
#include "service/updateattempt.h"
#include "service/updateworkflow.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>

class CAttemptRecord;
class CCliUnit;
class CRecordSink;
class CUpdateOutput;
class CWorkerEnd;
class QTextStream;

// `ventaro-cli update`: the update workflow the dialog runs, hosted without a window. The unit
// is found again after each reboot by watching the ports as discovery does, with a time limit
// (a station's worker opens only the port its coordinator hands over). Shows each step and
// block through its output (text, a bar on a terminal, or JSON lines), and appends the
// production record.
class CCliUpdate : public CUpdateHost
{
public:
    CCliUpdate(CCliUnit& unit, const SCliOptions& options, QTextStream& out, QTextStream& err);
    ~CCliUpdate() override;

    // The exit code (cliexit).
    int run();

    // ---- CUpdateHost ----------------------------------------------------------------------
    CFanBase* device() override;
    SUpdateFlags& updateFlags() override { return m_Flags; }
    int comPartner() const override;
    bool plusDevice() const override;
    SUnitIdentity identifiedUnit() const override;
    int serialNumber() const override { return m_Serial; }
    void setSerialNumber(int serialNumber) override { m_Serial = serialNumber; }
    int enteredSerialNumber() const override;
    bool manufacturing() const override { return m_Options.startupMode >= 0; }
    int startupMode() const override { return m_Options.startupMode; }
    void showState(EDialogState state) override;
    void refreshState() override;
    void setStatus(const QString& text) override;
    void showMessage(const SUpdateMessage& message) override;
    SUploadObserver uploadObserver() override;
    int identificationCount() const override { return m_Identifications; }
    [[nodiscard]] bool waitForIdentification(int count, int windowMs) override;
    [[nodiscard]] bool identifyAgain() override;
    SHLP_IdentData identData() const override;
    void verified(const SVerifyOutcome& outcome) override;
    void updateRunning(bool) override {}
    void updateSucceeded() override {}
    void stepStarted(EUpdateStep step) override;

private:
    // Decisions after an identification, as the dialog's discovery takes them; keepBridge when
    // the unit under update came back after its restart.
    [[nodiscard]] bool applyRules(bool keepBridge);
    // A worker asked to stop by its coordinator: the running upload ends after its current
    // packet (the port stays open under it) and the update counts as failed.
    bool stopRequested();
    // As the dialog's identification: the decisions anew, and the workflow told.
    void noteIdentified(const QString& port);
    int runWorkflow();
    // How a run of the workflow that did not complete ended.
    int failed();
    updateattempt::SFailure failure() const;
    int finish(const updateattempt::SEnd& end);
    int finish(int exitCode, QString outcome, QString text);
    // With a database record: a serial number about to be written that another unit holds is
    // refused (the exit code), 0 when it may be written.
    int checkSerialIsNew();
    // The update stopped because another unit was identified.
    int otherUnit();
    int noComeBack();
    void showProgress(int percent);
    void completeStep();

    CCliUnit& m_Unit;
    const SCliOptions& m_Options;
    QTextStream& m_Err;
    QElapsedTimer m_Clock;
    std::unique_ptr<CUpdateOutput> m_Output;
    std::unique_ptr<CWorkerEnd> m_WorkerEnd; // a station's worker
    CUnitFinder m_Finder;
    CUpdateWorkflow m_Workflow{*this};

    SUpdateFlags m_Flags;
    int m_Serial = 0;
    int m_Identifications = 0;
    int m_Wait = 0; // the number of the latest wait for the unit
    EDialogState m_State = EStateIdle;
    bool m_StepRunning = false;
    EUpdateStep m_Step = EUpdateStep::SerialNumber;
    int m_StepImageType = 0; // CPartitionTable::EPartType of an upload step, else 0
    int m_Block = 0;         // of the running upload, from 1
    int m_LastPercent = -1;
    bool m_TimedOut = false;
    bool m_SerialSent = false; // the serial-number step began
    bool m_Stopped = false;

    std::unique_ptr<CAttemptRecord> m_Record;
    std::unique_ptr<CRecordSink> m_Sink; // with --record
};
