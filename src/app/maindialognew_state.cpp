#include "maindialognew.h"

#include "app/messagebox.h"
#include "device/fanbase.h"
#include "device/uitext.h"
#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>

namespace {
// What one dialog state sets. The status line is left alone where statusText is 0.
struct SStateView
{
    bool progressEnabled = false;
    int progressValue = 0;
    bool banner = false;
    bool serialEditable = false;
    bool serialDisabled = true; // false: the field keeps its enabled state
    bool burnEnabled = false;
    bool closeEnabled = true;
    int statusText = 0;
    bool deIceEnabled = false;
};

SStateView stateView(int state)
{
    SStateView v;
    switch (state) {
    case EStateReady:
        v.burnEnabled = true;
        v.deIceEnabled = true;
        break;
    case EStateUpToDate:
        v.statusText = 138;
        v.deIceEnabled = true;
        break;
    case EStateUpdating:
        v.progressEnabled = true;
        v.banner = true;
        v.serialDisabled = false;
        v.closeEnabled = false;
        v.statusText = 154;
        break;
    case EStateUpdated:
        v.progressEnabled = true;
        v.progressValue = 100;
        v.statusText = 136;
        break;
    case EStateSerialNeeded:
        v.serialEditable = true;
        v.serialDisabled = false;
        v.statusText = 146;
        break;
    case EStateSerialWritten:
        v.statusText = 145;
        break;
    case EStateApplicationRunning:
        v.statusText = 131;
        v.deIceEnabled = true;
        break;
    case EStateNotUpdatable:
        v.statusText = 137;
        break;
    case EStateRebootNeeded:
        v.serialDisabled = false;
        v.closeEnabled = false;
        v.statusText = 160;
        break;
    default:
        break;
    }
    return v;
}
} // namespace

void CMainDialogNew::showState(int state)
{
    if (state < EStateIdle || state > EStateRebootNeeded)
        state = EStateIdle;
    m_State = state;
    const SStateView v = stateView(state);

    m_Progress->setEnabled(v.progressEnabled);
    m_Progress->setValue(v.progressValue);
    m_Banner->setText(v.banner ? QStringLiteral("<h4><span style=\"color:#aa0000;\"><i>") +
                                     text(135) + QStringLiteral("</i></span></h4>")
                               : QString());
    m_SerialField->setReadOnly(!v.serialEditable);
    if (v.serialEditable)
        m_SerialField->setEnabled(true);
    else if (v.serialDisabled)
        m_SerialField->setEnabled(false);
    applyUpdateLock();
    m_DeIceCheck->setEnabled(v.deIceEnabled);

    switch (state) {
    case EStateIdle:
        // The field goes back to the preset, which a unit's own number may have replaced.
        if (m_SerialPreset.isEmpty())
            m_SerialField->clear();
        else
            m_SerialField->setText(m_SerialPreset);
        m_ApplField->clear();
        m_WifiField->clear();
        m_BootField->clear();
        m_DeIceCheck->setChecked(false);
        break;
    case EStateReady:
        setStatus(text(m_Manufacturing ? 133 : 132));
        break;
    case EStateApplicationRunning:
        setStatus(text(131) + text(m_Plus ? 164 : 165));
        break;
    default:
        setStatus(text(v.statusText));
        break;
    }
}

void CMainDialogNew::applyUpdateLock()
{
    // Discovery shows states in the middle of an update; the update keeps its controls locked.
    const SStateView v = stateView(m_State);
    m_ButtonBurn->setEnabled(v.burnEnabled && !m_Workflow.running());
    m_ButtonClose->setEnabled(v.closeEnabled && !m_Workflow.running());
    // Another bundle only while nothing is being written.
    m_ButtonBundle->setEnabled(v.closeEnabled && !m_Workflow.running());
}

void CMainDialogNew::refreshState()
{
    const EDialogState state = chooseState(m_ComPartner, m_Flags, serialFieldValue());
    showState(state);
    if (state == EStateReady && m_AutoStart) {
        m_AutoStart = false;
        // A bundle refused meanwhile (-b) calls the automatic update off.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_AutoCancelled)
                    on_ButtonBurn_clicked();
            },
            Qt::QueuedConnection);
    }
}

void CMainDialogNew::imageVersion(int type, UINT8& mainVer, UINT8& subVer)
{
    const CFlashImageList images;
    const int system = m_Plus ? CFlashImage::ESystemPlus : CFlashImage::ESystem100;
    if (const CFlashImage* image = images.find(type, system)) {
        mainVer = image->m_MainVer;
        subVer = image->m_SubVer;
    } else {
        mainVer = 0;
        subVer = 0;
    }
}

bool CMainDialogNew::applyFlagRules(const SHLP_IdentData& ident, bool keepBridge)
{
    SFlagInput in;
    in.keepBridge = keepBridge;
    in.ident = ident;
    in.plus = m_Plus;
    in.serialNumber = m_SerialNumber;
    in.forceBoot = m_ForceBoot;
    in.forceAppl = m_ForceAppl;
    const auto version = [this](int type) {
        UINT8 mainVer = 0, subVer = 0;
        imageVersion(type, mainVer, subVer);
        return SVersion{mainVer, subVer};
    };
    in.images.boot1 = version(CPartitionTable::EBootloader1);
    in.images.boot2 = version(CPartitionTable::EBootloader2);
    in.images.appl = version(CPartitionTable::EApplication);

    const SFlagOutcome outcome = applyUpdateFlagRules(in, m_Flags);
    if (outcome.bootImagesOutOfSync) {
        showMessageBox({QMessageBox::Warning, this, text(156), text(157), QMessageBox::Ok,
                        QMessageBox::NoButton});
        return false;
    }
    if (outcome.notUpdatableText != 0) {
        showMessageBox({QMessageBox::Critical, nullptr, text(144), text(outcome.notUpdatableText),
                        QMessageBox::Ok, QMessageBox::NoButton});
    }
    updateDeIceAvailability(ident);
    return true;
}

void CMainDialogNew::updateDeIceAvailability(const SHLP_IdentData& ident)
{
    if (!deIceSupported(ident))
        return;
    m_DeIceAvailable = true;
    UINT32 value = 0;
    const bool read = m_Fan->readWriteCounterValue(CPersCounter_ReadOnly::EMinSwitchOffTempDeicing,
                                                   &value, false);
    m_DeIceCheck->setChecked(read && value >= 1 && value <= 9);
}
