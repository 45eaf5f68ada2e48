#include "maindialognew.h"

#include "app/currentinfo.h"
#include "app/deicing.h"
#include "app/maindialognew_updatehost.h"
#include "app/messagebox.h"
#include "device/fanbase.h"
#include "device/uitext.h"
#include "record/recordstore.h"
#include "service/exitcodes.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

// ---- The update: the slots run the workflow, the dialog is its host ----------------------

void CMainDialogNew::on_ButtonBurn_clicked()
{
    // A record that cannot take the update's line is said before anything is written.
    QString why;
    if (!m_ProductionRecord.ready(why)) {
        showMessageBox(
            {QMessageBox::Critical, this, tr("Production record"),
             tr("The update does not start: its line could not be recorded.\n%1").arg(why),
             QMessageBox::Ok});
        setStatus(why);
        return;
    }
    m_Attempt = SAttempt();
    m_Attempt.recorded = m_ProductionRecord.enabled();
    m_Workflow.burn();
    m_Attempt.recorded = false;
}

bool CMainDialogNew::on_ButtonAppl_clicked()
{
    return m_Workflow.uploadApplication();
}

bool CMainDialogNew::on_ButtonCC3200_clicked()
{
    return m_Workflow.uploadWifi();
}

bool CMainDialogNew::on_ButtonCC3200bridge_clicked()
{
    return m_Workflow.uploadBridge();
}

bool CMainDialogNew::on_ButtonBootLdr_clicked()
{
    return m_Workflow.updateBootloader();
}

bool CMainDialogNew::writeSerialNumber()
{
    return m_Workflow.writeSerialNumber();
}

CFanBase* CMainDialogNew::CUpdateHostAdapter::device()
{
    return d.m_Fan.get();
}

void CMainDialogNew::CUpdateHostAdapter::showMessage(const SUpdateMessage& message)
{
    const bool critical = message.kind == SUpdateMessage::ECritical;
    showMessageBox({critical ? QMessageBox::Critical : QMessageBox::Information, nullptr,
                    message.title, message.text, QMessageBox::Ok});
}

namespace {
// Exit code of the reboot wait's event loop when a discovery ended it; the application quitting
// ends it with another code.
constexpr int kDiscoveryExit = 0x1D;
constexpr int kWindowExit = 0x1E;
} // namespace

bool CMainDialogNew::CUpdateHostAdapter::waitForIdentification(int count, int windowMs)
{
    // Discovery runs from the event loop; an event loop sleeps until port notifications or
    // timers wake it, so the wait costs no processor time.
    QElapsedTimer clock;
    clock.start();
    while (d.m_Discoveries <= count) {
        QEventLoop loop;
        QTimer window;
        if (windowMs != kNoWindow) {
            const qint64 left = windowMs - clock.elapsed();
            if (left <= 0)
                return false;
            window.setSingleShot(true);
            QObject::connect(&window, &QTimer::timeout, &loop, [&] { loop.exit(kWindowExit); });
            window.start(int(left));
        }
        d.m_RebootWait = &loop;
        const int result = loop.exec();
        d.m_RebootWait = nullptr;
        if (result != kDiscoveryExit && d.m_Discoveries <= count)
            return false;
    }
    return d.m_LastIdentified;
}

bool CMainDialogNew::CUpdateHostAdapter::serialNumberFree(int serial, QString& refusal)
{
    SSerialClaim claim;
    claim.serial = quint32(serial);
    claim.attemptId = d.m_AttemptId.isNull() ? QUuid::createUuid() : d.m_AttemptId;
    claim.unit = d.m_Identity.describe();
    claim.station = d.m_ProductionRecord.station();
    switch (d.m_ProductionRecord.reserveSerial(claim, refusal)) {
    case CRecordSink::ESerialFree:
        return true;
    case CRecordSink::ESerialTaken:
        d.m_Attempt.refused = {cliexit::kNotUpdatable, QStringLiteral("serial-taken"), refusal};
        return false;
    case CRecordSink::ESerialUnknown:
        break;
    }
    refusal = recordstore::serialUnknownText(quint32(serial), refusal);
    d.m_Attempt.refused = {cliexit::kRecordFailed, QStringLiteral("record-failed"), refusal};
    return false;
}

void CMainDialogNew::CUpdateHostAdapter::stepStarted(EUpdateStep step)
{
    d.m_Attempt.step = step;
    d.m_Attempt.serialSent = d.m_Attempt.serialSent || step == EUpdateStep::SerialNumber;
    d.m_ProductionRecord.stepStarted(step, d.m_ComPartner, d.m_Plus);
}

void CMainDialogNew::CUpdateHostAdapter::verified(const SVerifyOutcome& outcome)
{
    d.m_ProductionRecord.verified(outcome, d.m_Ident);
}

void CMainDialogNew::CUpdateHostAdapter::updateRunning(bool running)
{
    // Called as an update (or a single step) begins and ends: it is one attempt.
    if (running) {
        if (d.m_Attempt.recorded && d.m_Fan)
            d.m_ProductionRecord.begin(d.m_Fan->portName(), d.m_Fan->modelName(), d.m_Ident);
        d.m_AttemptId =
            d.m_ProductionRecord.active() ? d.m_ProductionRecord.attemptId() : QUuid::createUuid();
    } else if (d.m_ProductionRecord.active()) {
        recordEnd();
    }
    d.applyUpdateLock();
}

void CMainDialogNew::CUpdateHostAdapter::recordEnd()
{
    const CUpdateWorkflow& workflow = d.m_Workflow;
    updateattempt::SEnd end = d.m_Attempt.refused;
    if (d.m_Attempt.succeeded) {
        end = updateattempt::updated(workflow.lastVerification());
    } else if (end.outcome.isEmpty()) {
        updateattempt::SFailure f;
        f.step = d.m_Attempt.step;
        f.stoppedForOtherUnit = workflow.stoppedForOtherUnit();
        f.notUpdatable = d.m_Flags.notUpdatable;
        f.verification = workflow.lastVerification();
        f.came = d.m_Identity;
        f.bound = workflow.boundUnit();
        end = updateattempt::failed(f);
    }
    // The number sent to a unit that had none is its number from then on, whatever failed.
    const quint32 serialSent =
        d.m_Attempt.serialSent || d.m_Attempt.succeeded ? quint32(enteredSerialNumber()) : 0;
    QString why;
    if (!d.m_ProductionRecord.finish(end, serialSent, why))
        showMessageBox({QMessageBox::Critical, &d, tr("Production record"),
                        tr("The update's line could not be recorded.\n%1").arg(why),
                        QMessageBox::Ok});
}

bool CMainDialogNew::CUpdateHostAdapter::identifyAgain()
{
    const bool identified = d.identifyDevice();
    if (!identified)
        d.noteIdentificationFailed();
    return identified;
}

void CMainDialogNew::noteIdentified()
{
    ++m_Identifications;
    noteDiscoveryEnded(true);
}

void CMainDialogNew::noteIdentificationFailed()
{
    if (m_RebootWait)
        qDebug() << "*** the restarted device was not identified; the update stops";
    noteDiscoveryEnded(false);
}

void CMainDialogNew::noteDiscoveryEnded(bool identified)
{
    ++m_Discoveries;
    m_LastIdentified = identified;
    if (m_RebootWait)
        m_RebootWait->exit(kDiscoveryExit);
}

void CMainDialogNew::CUpdateHostAdapter::updateSucceeded()
{
    d.m_Attempt.succeeded = true;
    if (d.m_AutoExit)
        QCoreApplication::exit(kExitAfterAutoUpdate);
}

// ---- Current information (manufacturing mode) -----------------------------------------

void CMainDialogNew::onTimerCurrentInfo()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const quint64 seconds = quint64(now - m_ConnectTime.toSecsSinceEpoch());
    for (const QString& line : currentinfo::tick(m_Fan.get(), seconds))
        appendLog(line, true);
}

// ---- De-icing and serial number -------------------------------------------------------

void CMainDialogNew::on_ButtonDeIce_clicked(bool bChecked)
{
    const auto revert = [this, bChecked] { m_DeIceCheck->setChecked(!bChecked); };
    if (!m_DeIceAvailable) {
        showMessageBox({QMessageBox::Information, this, text(168), text(169), QMessageBox::Ok});
        revert();
        return;
    }
    if (m_ComPartner == 1 || m_ComPartner == 2) {
        showMessageBox({QMessageBox::Information, this, text(166), text(167), QMessageBox::Ok});
        revert();
        return;
    }
    const QMessageBox::StandardButton answer =
        showMessageBox({QMessageBox::Question, this, text(170), text(171),
                        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel});
    if (answer != QMessageBox::Ok || !deicing::write(*m_Fan, bChecked))
        revert();
}

void CMainDialogNew::on_TextEditedIdentData()
{
    if (serialFieldValue() == 0) {
        m_ButtonBurn->setEnabled(false);
        return;
    }
    m_ButtonBurn->setEnabled(!m_Workflow.running());
    setStatus(text(132));
}
