#include "maindialognew.h"

#include "app/messagebox.h"
#include "console/debugquorlin70.h"
#include "console/debugventaro100.h"
#include "device/fan.h"
#include "device/uitext.h"
#include "service/fanfactory.h"
#include "service/identityview.h"
#include "service/portconnector.h"
#include "service/portenumerator.h"

#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QVBoxLayout>

void CMainDialogNew::on_DeviceListChanged()
{
    qDebug() << "*** on_DeviceListChanged(): start";
    const QString selected = selectDevicePort(m_Enumerator->getPorts(), m_ExcludedPort);
    // A unit back under the name of its lost port needs the port opened again.
    if (selected == m_Connector->portName(*m_Fan) && !m_Fan->portLost()) {
        qDebug() << "*** on_DeviceListChanged(): com port not changed";
        return;
    }
    // A message box of this discovery's identification runs the event loop, and with it the
    // next discovery: the run number tells the interrupted one to leave the dialog alone.
    const int run = ++m_DiscoveryRun;
    if (m_Manufacturing) {
        m_CurrentInfoTimer.stop();
        m_Log->clear();
    }
    if (!m_Connector->connectPort(*m_Fan, selected)) {
        m_ComPartner = 0; // no unit to decide anything for
        showState(EStateIdle);
        qDebug() << "*** on_DeviceListChanged(): failed open com port";
        if (!selected.isEmpty())
            noteIdentificationFailed();
        return;
    }
    bool identified = false;
    for (int attempt = 0; attempt < kIdentifyTries && !identified; ++attempt) {
        identified = identifyDevice();
        if (run != m_DiscoveryRun) {
            qDebug() << "*** on_DeviceListChanged(): the connection changed meanwhile";
            return;
        }
    }
    if (!identified)
        noteIdentificationFailed();
    qDebug() << "*** on_DeviceListChanged():com partner " << m_ComPartner;
    if ((m_ComPartner == 0 || m_ComPartner == 3) && m_Manufacturing) {
        m_CurrentInfoTimer.start(kCurrentInfoPeriodMs);
        m_ConnectTime = QDateTime::currentDateTime();
        qDebug() << "*** on_DeviceListChanged(): manu timer started";
    }
    qDebug() << "on_DeviceListChanged(): all good";
    refreshState();
}

bool CMainDialogNew::identifyDevice()
{
    const int run = m_DiscoveryRun;
    m_Plus = false;
    m_SerialNumber = 0;
    m_DeIceAvailable = false;
    SHLP_IdentData ident;
    ident.m_Code = 0;
    if (!m_Fan->getIdentData(ident)) {
        m_ComPartner = 0;
        return false;
    }
    if (m_DebugPanel) {
        // Deferred: "Get Ident" of the panel itself leads here.
        m_DebugPanelLayout->removeWidget(m_DebugPanel);
        m_DebugPanel->hide();
        m_DebugPanel->deleteLater();
        m_DebugPanel = nullptr;
    }

    m_Plus = ident.isModel70();
    switchModel(m_Plus);
    if (m_Debug) {
        if (m_Plus)
            m_DebugPanel = new CDebugQuorlin70(this, nullptr);
        else
            m_DebugPanel = new CDebugVentaro100(this, ident.m_SerialNo, nullptr);
        m_DebugPanelLayout->addWidget(m_DebugPanel);
    }
    showIdentity(ident);
    if (run != m_DiscoveryRun)
        return false; // the unit went away while its box was open; that discovery decided

    if (ident.m_ComPartner < 4) {
        m_ComPartner = ident.m_ComPartner;
        const SUnitIdentity unit = SUnitIdentity::of(ident);
        const bool restartOfUnitUnderUpdate = m_Workflow.updating(unit);
        m_Identity = unit;
        m_Ident = ident;
        m_Workflow.unitIdentified(unit);
        const bool decided = applyFlagRules(ident, restartOfUnitUnderUpdate);
        if (run != m_DiscoveryRun)
            return false;
        if (decided) {
            noteIdentified();
            return true;
        }
        // Built-in bootloader images that disagree leave nothing to decide on: the unit counts
        // as not identified rather than as up to date.
        m_ComPartner = 0;
        return false;
    }
    setStatus(tr("- Communication failed (corrupted sender address) - "));
    return false;
}

void CMainDialogNew::switchModel(bool plus)
{
    const int wanted = plus ? 1 : 0;
    if (m_Fan->modelType() != wanted) {
        const QString port = m_Connector->portName(*m_Fan);
        // The old object closes the port before the new one opens it again.
        m_Fan.reset();
        m_Fan = createFan(wanted);
        logUserInfo();
        if (m_Debug)
            m_Fan->setDebugOutput(m_Log);
        if (!m_Connector->connectPort(*m_Fan, port))
            qDebug() << "*** identifyDevice(): unable to reopen" << port << "for"
                     << m_Fan->modelName();
    }
}

void CMainDialogNew::showIdentity(const SHLP_IdentData& ident)
{
    // The unit's own number always counts; a preset is only for a unit without one.
    m_SerialNumber = int(ident.m_SerialNo);
    if (ident.m_SerialNo != 0)
        m_SerialField->setText(QString::number(ident.m_SerialNo));
    else if (!m_SerialPreset.isEmpty())
        m_SerialField->setText(m_SerialPreset);
    else
        m_SerialField->clear();
    m_BoardField->setText(QString::number(ident.m_BoardVersion));
    m_ApplField->setText(versionText(ident.m_ApplMainVer, ident.m_ApplSubVer));
    m_WifiField->setText(wifiVersionText(ident));
    m_WifiField->hide();
    m_WifiLabel->hide();
    m_BootField->setText(bootloaderText(ident));
    // Last: the box runs the event loop, and discovery with it.
    if (!m_SerialPreset.isEmpty() && m_SerialPreset.toInt() != int(ident.m_SerialNo) &&
        ident.m_SerialNo != 0) {
        showMessageBox({QMessageBox::Information, this, uiText(152), uiText(153), QMessageBox::Ok,
                        QMessageBox::NoButton});
    }
}
