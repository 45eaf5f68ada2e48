#pragma once

#include "cli/clicommandline.h"
#include "cli/productionrecord.h"
#include "service/updateworkflow.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>

#include <memory>

class CCliUnit;
class CRecordSink;
class QTextStream;

// `ventaro-cli update`: the update workflow the dialog runs, hosted without a window. The unit
// is found again after each reboot by watching the ports as discovery does, with a time limit.
// Reports per step and per block on `out` (text, a bar on a terminal, or JSON lines), and
// appends the production record.
class CCliUpdate : public CUpdateHost
{
public:
    CCliUpdate(CCliUnit& unit, const SCliOptions& options, QTextStream& out, QTextStream& err);
    ~CCliUpdate() override;

    // The exit code (cliexit).
    int run();

    // A worker asked to stop (the coordinator's second SIGINT/SIGTERM): the running upload
    // ends after its current packet (the port stays open under it) and the update counts as
    // failed. Safe from a signal handler.
    static void requestStop();
    // A record line's fields known before the update: when, where, which unit, its versions.
    static SProductionRecord recordBefore(const QString& port, const QString& model,
                                          const SHLP_IdentData& before, const SCliOptions& options);

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
    // One look at the ports: reconnects and identifies when the unit's port changed.
    void pollPorts();
    // The port to look at while waiting: as given, the one discovery would pick, or (worker)
    // the last one the coordinator handed over.
    QString watchedPort();
    void readHandedPorts();
    bool stopRequested();
    // As the dialog's identification: the decisions anew, and the workflow told.
    void noteIdentified(const QString& port);
    int runWorkflow();
    int finish(int exitCode, QString outcome, QString text);
    // With a database record: a serial number about to be written that another unit holds is
    // refused (the exit code), 0 when it may be written.
    int checkSerialIsNew();
    // The update stopped because another unit was identified.
    int otherUnit();
    void event(const QString& name, const QJsonObject& fields);
    void line(const QString& text);
    void showProgress(int percent);
    void completeStep();

    CCliUnit& m_Unit;
    const SCliOptions& m_Options;
    QTextStream& m_Out;
    QTextStream& m_Err;
    CUpdateWorkflow m_Workflow{*this};
    bool m_Terminal = false; // stdout is a terminal: draw a bar

    SUpdateFlags m_Flags;
    int m_Serial = 0;
    int m_Identifications = 0;
    int m_Retries = 0;
    QString m_PolledPort; // the unit's port as last seen while waiting
    EDialogState m_State = EStateIdle;
    bool m_StepRunning = false;
    EUpdateStep m_Step = EUpdateStep::SerialNumber;
    int m_StepImageType = 0; // CPartitionTable::EPartType of an upload step, else 0
    int m_Block = 0;         // of the running upload, from 1
    int m_LastPercent = -1;
    bool m_BarShown = false; // a terminal bar line is open
    bool m_TimedOut = false;
    bool m_SerialSent = false; // the serial-number step began
    bool m_Stopped = false;
    int m_Wait = 0;           // worker: the number of its latest wait for the unit
    int m_HandedWait = 0;     // worker: the wait that m_HandedPort answers
    QString m_HandedPort;     // worker: the port the coordinator found the unit on
    QByteArray m_StdinBuffer; // worker: a handed-over line not yet complete

    QElapsedTimer m_Clock;
    SProductionRecord m_Record;
    std::unique_ptr<CRecordSink> m_Sink; // with --record
};
