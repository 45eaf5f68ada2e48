#pragma once

#include "device/uploadobserver.h"
#include "firmware/partitiontable.h"
#include "service/unitidentity.h"
#include "service/updateflags.h"
#include "service/updateverify.h"

#include <QString>

class CFanBase;

// A box the update shows: a title and a text, both final (model name filled in).
struct SUpdateMessage
{
    enum EKind { EInformation, ECritical };
    EKind kind = EInformation;
    QString title;
    QString text;
};

// The steps of an update, in the order they run.
enum class EUpdateStep {
    SerialNumber,
    Bridge,
    Application,
    RebootPause,
    Wifi,
    BootloaderImage, // the idle copy
    Swap,
    StartupMode,
    Verify, // the unit reports what it runs after the last write
};

// What the update needs from its surroundings (the main dialog, or a headless front end):
// the identity discovery keeps up to date, and the places where it reports. Discovery runs
// while events are processed (during uploads and the reboot wait) and may change every value
// here, the device object included.
class CUpdateHost
{
public:
    virtual ~CUpdateHost() = default;

    // The device object now in use; never kept across a step by the workflow.
    virtual CFanBase* device() = 0;
    // Decisions of the last identification; the workflow clears flags as uploads succeed.
    virtual SUpdateFlags& updateFlags() = 0;
    virtual int comPartner() const = 0; // 0 none, 1/2 a bootloader copy, 3 the application
    virtual bool plusDevice() const = 0;
    // The unit as the last successful identification saw it.
    virtual SUnitIdentity identifiedUnit() const = 0;
    virtual int serialNumber() const = 0; // as identification stored it
    virtual void setSerialNumber(int serialNumber) = 0;
    // The serial number entered by the user or preset; 0 for none or for text that is no number.
    virtual int enteredSerialNumber() const = 0;
    virtual bool manufacturing() const = 0; // -m: set the start-up mode after success
    // Whether `serial` may still be given: false, with the reason, when the plant's record
    // holds it for another unit or cannot be asked.
    virtual bool serialNumberFree(int serial, QString& refusal)
    {
        (void)serial;
        (void)refusal;
        return true;
    }
    virtual int startupMode() const { return 1; } // the mode set then

    virtual void showState(EDialogState state) = 0;
    virtual void refreshState() = 0;
    virtual void setStatus(const QString& text) = 0;
    // Modal; returns when the user has closed it.
    virtual void showMessage(const SUpdateMessage& message) = 0;
    // What the uploads report their progress to, and ask whether to stop between packets.
    virtual SUploadObserver uploadObserver() = 0;
    // Discoveries of a unit so far that ended, identified or not (a port that vanished does
    // not count), and a wait (processing events, without spinning) until there have been more
    // than `count`. True when the latest of them identified the unit; false when it could not
    // be identified or the wait ended otherwise (the application is quitting).
    // `windowMs` bounds the wait; kNoWindow leaves it to the host (the user restarts the unit).
    static constexpr int kNoWindow = -1;
    virtual int identificationCount() const = 0;
    [[nodiscard]] virtual bool waitForIdentification(int count, int windowMs = kNoWindow) = 0;
    // Identifies the unit on the connection in use again, as discovery does (the decisions are
    // taken anew, the device object may be replaced). False when it did not answer.
    [[nodiscard]] virtual bool identifyAgain() = 0;
    // The identity record of the last successful identification.
    virtual SHLP_IdentData identData() const = 0;
    // The verification after the last write ended (passed or not), before the update's end
    // is shown.
    virtual void verified(const SVerifyOutcome& outcome) { (void)outcome; }
    // An update (or a single step) starts or ends; running() tells which.
    virtual void updateRunning(bool running) = 0;
    // The whole update succeeded (state 4 is shown).
    virtual void updateSucceeded() = 0;
    // A step begins; when the update then fails, this step failed. For front ends that report
    // per step (the headless tool's exit codes and production record).
    virtual void stepStarted(EUpdateStep step) { (void)step; }
};

// The firmware update of one unit, in its fixed order, and its single-image steps. One
// implementation for every front end: the dialog's slots and the headless tool call it.
//
// A step that fails ends the update in state 0 with the failure text in the status line (the
// step's own text, else the last text the device object reported), so a failure never reads
// as "ready" or "updated"; the unit is then to be switched off and on, which re-identifies it.
//
// An update belongs to the unit identified when it started (with the serial number it wrote).
// Its host reports every identification through unitIdentified(); another unit identified while
// the update runs stops it before anything more is written to either unit.
//
// An update counts as done only when the unit confirms it: after the last write it must answer
// again within updateverify::kVerifyWindowMs (on its connection, or back through discovery
// after a restart) and report the versions written, its partition table without checksum
// errors, the bootloader copy the swap chose and its own identity. Anything else ends the
// update as failed with a text naming what the unit still runs; it can be run again at once.
class CUpdateWorkflow
{
public:
    static constexpr int kMinUpdatableSerial = 50000;

    explicit CUpdateWorkflow(CUpdateHost& host) : m_Host(host) {}

    // The whole update: serial number, serial-number rule, bridge, application, reboot pause,
    // WiFi module, bootloader and swap, start-up mode, state 4. True when the unit is updated.
    // A call while an update runs does nothing and gives false.
    bool burn();

    // Single images, as the update runs them; also reachable on their own (debug console).
    bool uploadApplication();
    bool uploadWifi(); // slow mode
    bool uploadBridge();
    // Writes the bootloader copy that is not running, then swaps the copies.
    bool updateBootloader();
    // Writes the entered serial number; state 6, or state 0 with uiText(151).
    bool writeSerialNumber();

    // An update or a single-image step is running: the controls that start device operations
    // or close the tool stay disabled whatever state is shown meanwhile.
    bool running() const { return m_Depth > 0; }
    // `unit` is the one the running update started on (coming back after its restart).
    bool updating(const SUnitIdentity& unit) const;
    // Discovery identified `unit`; when an update runs on another unit, it stops.
    void unitIdentified(const SUnitIdentity& unit);
    // The last update stopped because another unit was identified.
    bool stoppedForOtherUnit() const { return m_OtherUnit; }
    // The unit the last update started on, with the serial number it wrote.
    const SUnitIdentity& boundUnit() const { return m_Unit; }
    // The verification of the last update that reached it.
    const SVerifyOutcome& lastVerification() const { return m_Verification; }
    // What the running (or last) update wrote.
    const SWrittenUpdate& written() const { return m_Written; }
    static QString otherUnitText();
    static QString serialTakenTitle();

    // Texts the device object reports while a step runs (upload failures); the last one is the
    // failure text when a step gives no text of its own.
    void deviceReported(const QString& text);

private:
    class CRunning;

    enum EImage { EAppl, EWifi, EBridge };
    bool uploadSingle(EImage image);
    bool flashImage(CPartitionTable::EPartType type, bool slow);
    // Runs a device operation while collecting the texts the device object reports.
    template <typename Step>
    bool reporting(CFanBase& fan, Step step);
    // Ends a failed step: state 0, and the failure text in the status line.
    void fail(const QString& text);
    [[nodiscard]] bool rebootPause();
    // Holds the unit's report after the last write against what was written; false (with
    // the failure shown) when it does not confirm the update.
    [[nodiscard]] bool verify();
    SVerifyOutcome checkUnit();
    void noteWritten(CPartitionTable::EPartType type);
    // False, with the failure shown, once another unit has been identified.
    [[nodiscard]] bool onBoundUnit();
    // The serial number the update is to write, or 0 when the unit has its own.
    int serialToWrite() const;
    SUpdateMessage rebootMessage() const;
    QString text(int index) const;

    CUpdateHost& m_Host;
    int m_Depth = 0;
    QString m_LastReport;
    bool m_Bound = false; // a whole update runs on m_Unit
    SUnitIdentity m_Unit;
    bool m_OtherUnit = false;
    SWrittenUpdate m_Written;
    SVerifyOutcome m_Verification;
};
