#pragma once

#include "app/dialogrecord.h"
#include "link/lltypes.h"
#include "service/updateflags.h"
#include "service/updateworkflow.h"

#include <QDateTime>
#include <QDialog>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <memory>

class CFanBase;
class CPortConnector;
class CPortEnumerator;
class QCheckBox;
class QEventLoop;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QVBoxLayout;
class QWidget;
struct SHLP_IdentData;

// The tool's window: finds and identifies the connected unit, shows its identity and the
// built-in firmware versions, and runs the update. The dialog state (enabled buttons, status
// line, progress bar, banner) is decided in showState only.
class CMainDialogNew : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kCurrentInfoPeriodMs = 10000;
    static constexpr int kExitAfterAutoUpdate = 100;
    static constexpr int kIdentifyTries = 3;
    static constexpr int kPlainWidth = 470; // size without -d before the first show shrinks it
    static constexpr int kPlainHeight = 400;
    static constexpr int kAutoMargin = 50; // -ap: distance from the top and the right edge

    // manufacturing -m, forceBoot -fb, forceAppl -fa, fc -fc, owner -owner, automatic -ap,
    // excludedPort -ec, serialPreset -sn, debug -d.
    CMainDialogNew(bool manufacturing, bool forceBoot, bool forceAppl, bool fc, bool owner,
                   bool automatic, QString excludedPort, QString serialPreset, bool debug,
                   QString testValuesPath, QWidget* parent = nullptr);
    // The same with the port enumerator and the way ports are opened supplied by the caller
    // (tests and benchmarks run the unit in-process).
    CMainDialogNew(bool manufacturing, bool forceBoot, bool forceAppl, bool fc, bool owner,
                   bool automatic, QString excludedPort, QString serialPreset, bool debug,
                   QString testValuesPath, QWidget* parent,
                   std::unique_ptr<CPortEnumerator> enumerator,
                   std::unique_ptr<CPortConnector> connector);
    ~CMainDialogNew() override;

    // For the debug panels.
    CFanBase* fan() const { return m_Fan.get(); }
    bool isPlus() const { return m_Plus; }
    const QString& testValuesPath() const { return m_TestValuesPath; }
    // Appends `text` as a new paragraph of the log area; repaints it at once when asked to.
    void appendLog(const QString& text, bool repaint);

    // Dialog states 0-9 (EDialogState); a larger number acts as 0.
    void showState(int state);
    // Chooses the state from the last identification; queues the automatic update once.
    void refreshState();
    // Version of the built-in image of `type` for the unit's variant; 0.0 when there is none.
    virtual void imageVersion(int type, UINT8& mainVer, UINT8& subVer);

    // Read-only views of the decisions, for tests and the debug panels.
    int comPartner() const { return m_ComPartner; }
    int serialNumber() const { return m_SerialNumber; }
    const SUpdateFlags& updateFlags() const { return m_Flags; }
    bool deIceAvailable() const { return m_DeIceAvailable; }
    int state() const { return m_State; }
    CPortEnumerator* portEnumerator() const { return m_Enumerator.get(); }
    // The model's debug panel (debug mode, after an identification), else null.
    QWidget* debugPanel() const { return m_DebugPanel; }

    // Writes the serial number of the serial-number field; state 6, or state 0 with a failure
    // text. Part of the update; usable on its own.
    bool writeSerialNumber();
    // An update (or one of its steps) is running: update and close stay disabled.
    bool updateRunning() const { return m_Workflow.running(); }
    // Successful identifications since construction.
    int identifications() const { return m_Identifications; }

    // Asks for the identity and updates the fields and flags; true on success. Replaces the
    // debug panel (the old one is deleted later, so the panel itself may call this).
    bool identifyDevice();

    // Checks a signed firmware bundle and, when it is accepted, flashes its images from now on
    // (the "Available Software" box shows its versions and release, and the unit present is
    // decided on again). A refused bundle is reported in a box with its reason and leaves the
    // images in place; it also cancels an automatic run (-ap), which must not write other
    // images than the ones asked for. Not while an update runs.
    bool loadBundle(const QString& path);
    // The release of the bundle in use, empty for the built-in images.
    const QString& bundleRelease() const { return m_BundleRelease; }

public slots:
    void on_ButtonClose_clicked();
    void on_ButtonBurn_clicked();
    void on_DeviceListChanged();
    void on_TextEditedIdentData();
    bool on_ButtonAppl_clicked();
    bool on_ButtonCC3200_clicked();
    bool on_ButtonCC3200bridge_clicked();
    bool on_ButtonBootLdr_clicked();
    void reject() override;
    void onTimerCurrentInfo();
    void userInfo(QString strInfo);
    void on_ButtonDeIce_clicked(bool bChecked);

protected:
    void showEvent(QShowEvent* event) override;

private:
    class CUpdateHostAdapter;
    friend class CUpdateHostAdapter;

    void buildWidgets();
    void nameWidgets();
    QWidget* buildDeviceGroup();
    QWidget* buildDeIceGroup();
    QWidget* buildSoftwareGroup();
    void fillImageVersions();
    void logUserInfo();
    // "Load Firmware Bundle...": asks for the file.
    void chooseBundle();
    // A text of the bundle's controls in the dialog's language.
    static QString bundleText(const char* english, const char* german);

    // Discovery.
    void switchModel(bool plus);
    // Update and close as the state wants them, both disabled while the update runs.
    void applyUpdateLock();
    // Counts a successful identification and ends the update's reboot wait.
    void noteIdentified();
    // A unit was found but could not be identified: the update's reboot wait ends as failed,
    // so the update stops instead of waiting for an event that will not come.
    void noteIdentificationFailed();
    void noteDiscoveryEnded(bool identified);
    void showIdentity(const SHLP_IdentData& ident);
    // keepBridge: the unit under update came back after its restart.
    bool applyFlagRules(const SHLP_IdentData& ident, bool keepBridge);
    void updateDeIceAvailability(const SHLP_IdentData& ident);

    // A dialog text with the device's model name for every %1.
    QString text(int index) const;
    void setStatus(const QString& status);
    int serialFieldValue() const;

    // Options.
    bool m_Manufacturing = false;
    bool m_ForceBoot = false;
    bool m_ForceAppl = false;
    bool m_Fc = false;
    bool m_Owner = false;
    bool m_AutoStart = false;     // cleared once the automatic update has been queued
    bool m_AutoExit = false;      // exit with kExitAfterAutoUpdate after a successful update
    bool m_AutoCancelled = false; // a firmware bundle was refused: no automatic update
    QString m_ExcludedPort;
    QString m_SerialPreset;
    bool m_Debug = false;
    QString m_TestValuesPath;
    QString m_BundleRelease;

    // Device and discovery.
    std::unique_ptr<CFanBase> m_Fan;
    std::unique_ptr<CPortEnumerator> m_Enumerator;
    std::unique_ptr<CPortConnector> m_Connector;
    QWidget* m_DebugPanel = nullptr;

    // Decisions of the last identification.
    SUpdateFlags m_Flags;
    bool m_Plus = false;
    bool m_DeIceAvailable = false;
    int m_SerialNumber = 0;
    int m_ComPartner = 0;
    int m_State = EStateIdle;
    int m_Identifications = 0;
    SUnitIdentity m_Identity; // of the last successful identification
    QUuid m_AttemptId;        // of the update running, for the serial number it reserves
    SHLP_IdentData m_Ident;   // its record
    int m_DiscoveryRun = 0;   // counts discoveries that opened or closed a port
    // Discoveries that ended, identified or not, and how the latest one ended.
    int m_Discoveries = 0;
    bool m_LastIdentified = false;
    QEventLoop* m_RebootWait = nullptr; // while the update waits for the restarted unit

    std::unique_ptr<CUpdateHostAdapter> m_UpdateHost;
    CUpdateWorkflow m_Workflow;
    // The production record of the updates started with the update button (not of single
    // steps from the debug console), and what is known of the one running.
    CDialogRecord m_ProductionRecord;
    struct SAttempt
    {
        bool recorded = false; // started with the update button
        bool succeeded = false;
        bool serialSent = false; // the serial-number step began
        EUpdateStep step = EUpdateStep::SerialNumber;
        updateattempt::SEnd refused; // a serial number refused before anything was written
    } m_Attempt;

    QTimer m_CurrentInfoTimer;
    QDateTime m_ConnectTime;

    // Widgets, top to bottom.
    QLabel* m_Header = nullptr;
    QLabel* m_Status = nullptr;
    QWidget* m_DebugWidgetContainer = nullptr;
    QTextEdit* m_Log = nullptr;
    QWidget* m_DebugPanelContainer = nullptr;
    QVBoxLayout* m_DebugPanelLayout = nullptr;
    QGroupBox* m_DeviceGroup = nullptr;
    QLineEdit* m_SerialField = nullptr;
    QLineEdit* m_BoardField = nullptr;
    QLineEdit* m_ApplField = nullptr;
    QLabel* m_WifiLabel = nullptr;
    QLineEdit* m_WifiField = nullptr;
    QLineEdit* m_BootField = nullptr;
    QWidget* m_DeIceContainer = nullptr;
    QGroupBox* m_DeIceGroup = nullptr;
    QCheckBox* m_DeIceCheck = nullptr;
    QLineEdit* m_ImageApplField = nullptr;
    QLineEdit* m_ImageBootField = nullptr;
    QLabel* m_ReleaseLabel = nullptr;
    QProgressBar* m_Progress = nullptr;
    QLabel* m_Banner = nullptr;
    QPushButton* m_ButtonBurn = nullptr;
    QPushButton* m_ButtonClose = nullptr;
    QPushButton* m_ButtonBundle = nullptr;
};
