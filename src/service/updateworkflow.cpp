#include "updateworkflow.h"

#include "device/fanbase.h"
#include "device/uitext.h"
#include "firmware/flashimagelist.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>

// Counts the nesting of running steps; the update is running while one is alive.
class CUpdateWorkflow::CRunning
{
public:
    explicit CRunning(CUpdateWorkflow& workflow) : m_Workflow(workflow)
    {
        if (m_Workflow.m_Depth++ == 0) {
            m_Workflow.m_LastReport.clear();
            m_Workflow.m_Bound = false;
            m_Workflow.m_OtherUnit = false;
            m_Workflow.m_Written = {};
            m_Workflow.m_Host.updateRunning(true);
        }
    }
    ~CRunning()
    {
        if (--m_Workflow.m_Depth == 0)
            m_Workflow.m_Host.updateRunning(false);
    }
    CRunning(const CRunning&) = delete;
    CRunning& operator=(const CRunning&) = delete;

private:
    CUpdateWorkflow& m_Workflow;
};

bool CUpdateWorkflow::burn()
{
    if (running()) {
        qDebug() << "CUpdateWorkflow::burn: an update is already running";
        return false;
    }
    CRunning guard(*this);
    m_Bound = true;
    m_Unit = m_Host.identifiedUnit();
    m_Host.showState(EStateUpdating);

    // The serial-number rule is checked before a number is written: a refused number stays
    // out of the unit.
    const int toWrite = serialToWrite();
    const int serial = toWrite != 0 ? toWrite : m_Host.serialNumber();
    if (serial >= 1 && serial < kMinUpdatableSerial && !m_Host.plusDevice()) {
        m_Host.updateFlags().notUpdatable = true;
        m_Host.showMessage({SUpdateMessage::ECritical, text(144), text(142)});
    }
    if (m_Host.updateFlags().notUpdatable) {
        m_Host.setStatus(text(144));
        m_Host.refreshState();
        return false;
    }
    if (m_Host.serialNumber() == 0) {
        // A number goes to one unit of the plant only.
        QString refusal;
        if (toWrite > 0 && !m_Host.serialNumberFree(toWrite, refusal)) {
            m_Host.showMessage({SUpdateMessage::ECritical, serialTakenTitle(), refusal});
            m_Host.showState(EStateSerialNeeded);
            m_Host.setStatus(refusal);
            qDebug() << "CUpdateWorkflow: serial number refused:" << refusal;
            return false;
        }
        m_Host.setStatus(text(150));
        if (!writeSerialNumber())
            return false; // state 0 and its text are shown
        m_Host.setSerialNumber(toWrite);
        m_Unit.serial = quint32(toWrite);
        m_Written.serialWritten = quint32(toWrite);
    }

    // The flags are read afresh before every step: discovery re-identifies the unit while
    // the uploads process events and after the reboot.
    const auto flags = [this]() -> const SUpdateFlags& { return m_Host.updateFlags(); };
    const bool plus = m_Host.plusDevice();

    if (flags().bridgeNeeded && !plus && flags().updateWifi && !flags().oldBoot) {
        m_Host.setStatus(QString());
        if (!uploadBridge() || !onBoundUnit())
            return false;
    }
    if (flags().updateAppl && !flags().oldBoot) {
        m_Host.setStatus(QString());
        if (!uploadApplication() || !onBoundUnit())
            return false;
    }
    if (flags().bridgeNeeded && !m_Host.plusDevice() && (!rebootPause() || !onBoundUnit()))
        return false;
    if (flags().updateWifi && !flags().oldBoot && !m_Host.plusDevice()) {
        m_Host.setStatus(QString());
        if (!uploadWifi() || !onBoundUnit())
            return false;
    }
    if (flags().updateBoot) {
        if (!updateBootloader() || !onBoundUnit())
            return false;
        m_Host.updateFlags().updateBoot = false;
        if (flags().oldBoot) {
            // The new bootloader takes over after a restart; the user starts the rest then.
            m_Host.showMessage(rebootMessage());
            m_Host.showState(EStateReady);
            return false;
        }
    }
    if (m_Host.manufacturing()) {
        m_Host.stepStarted(EUpdateStep::StartupMode);
        if (!onBoundUnit())
            return false;
        CFanBase* fan = m_Host.device();
        const int mode = m_Host.startupMode();
        if (!fan || !reporting(*fan, [&] { return fan->setStartupMode(UINT8(mode)); })) {
            fail(m_LastReport);
            return false;
        }
    }
    if (!verify())
        return false;
    m_Host.showState(EStateUpdated);
    m_Host.updateFlags().bridgeNeeded = false;
    m_Host.updateSucceeded();
    return true;
}

bool CUpdateWorkflow::uploadApplication()
{
    return uploadSingle(EAppl);
}

bool CUpdateWorkflow::uploadWifi()
{
    return uploadSingle(EWifi);
}

bool CUpdateWorkflow::uploadBridge()
{
    return uploadSingle(EBridge);
}

bool CUpdateWorkflow::uploadSingle(EImage image)
{
    CRunning guard(*this);
    m_Host.showState(EStateUpdating);
    m_Host.setStatus(text(134));
    static constexpr EUpdateStep kSteps[] = {EUpdateStep::Application, EUpdateStep::Wifi,
                                             EUpdateStep::Bridge};
    m_Host.stepStarted(kSteps[image]);
    static constexpr CPartitionTable::EPartType kTypes[] = {
        CPartitionTable::EApplication, CPartitionTable::ECC3200, CPartitionTable::ECC3200Bridge};
    if (!flashImage(kTypes[image], image == EWifi)) {
        fail(m_LastReport);
        return false;
    }
    m_Host.showState(EStateUpdated);
    if (image == EAppl)
        m_Host.updateFlags().updateAppl = false;
    else
        m_Host.updateFlags().updateWifi = false;
    return true;
}

bool CUpdateWorkflow::updateBootloader()
{
    m_Host.stepStarted(EUpdateStep::BootloaderImage);
    CRunning guard(*this);
    m_Host.showState(EStateUpdating);
    m_Host.setStatus(QString());
    CPartitionTable::EPartType idle;
    switch (m_Host.comPartner()) {
    case 1:
        idle = CPartitionTable::EBootloader2;
        break;
    case 2:
        idle = CPartitionTable::EBootloader1;
        break;
    default:
        fail(text(172));
        return false;
    }
    if (!flashImage(idle, false)) {
        fail(text(173));
        return false;
    }
    m_Host.stepStarted(EUpdateStep::Swap);
    if (!onBoundUnit())
        return false;
    CFanBase* fan = m_Host.device();
    if (!fan || !fan->swapBootloaders()) {
        fail(text(174));
        return false;
    }
    m_Host.updateFlags().updateBoot = false;
    m_Written.swappedTo = idle == CPartitionTable::EBootloader1 ? 1 : 2;
    m_Host.showState(EStateUpdated);
    return true;
}

bool CUpdateWorkflow::writeSerialNumber()
{
    m_Host.stepStarted(EUpdateStep::SerialNumber);
    CFanBase* fan = m_Host.device();
    const int serial = m_Host.enteredSerialNumber();
    // A negative entry would become a huge number on the wire; it counts as none.
    if (!fan || serial <= 0 || !fan->setSerialNumber(UINT32(serial))) {
        fail(text(151));
        return false;
    }
    m_Host.showState(EStateSerialWritten);
    return true;
}

bool CUpdateWorkflow::updating(const SUnitIdentity& unit) const
{
    return running() && m_Bound && unit == m_Unit;
}

void CUpdateWorkflow::unitIdentified(const SUnitIdentity& unit)
{
    if (!running() || !m_Bound || unit == m_Unit || m_OtherUnit)
        return;
    m_OtherUnit = true;
    qDebug() << "CUpdateWorkflow: another unit was identified:" << unit.describe()
             << "; the update runs on" << m_Unit.describe();
}

bool CUpdateWorkflow::onBoundUnit()
{
    if (!m_OtherUnit)
        return true;
    fail(QString());
    return false;
}

int CUpdateWorkflow::serialToWrite() const
{
    // A number entered or preset goes only into a unit that has none; a unit's own number is
    // never overwritten.
    return m_Host.serialNumber() == 0 ? m_Host.enteredSerialNumber() : 0;
}

void CUpdateWorkflow::deviceReported(const QString& text)
{
    if (running())
        m_LastReport = text;
}

bool CUpdateWorkflow::flashImage(CPartitionTable::EPartType type, bool slow)
{
    CFanBase* fan = m_Host.device();
    if (!fan)
        return false;
    const auto system = m_Host.plusDevice() ? CFlashImage::ESystemPlus : CFlashImage::ESystem100;
    // The device object may be replaced (and deleted) while the upload processes events.
    if (!reporting(*fan,
                   [&] { return fan->uploadImage(system, type, m_Host.uploadObserver(), slow); }))
        return false;
    noteWritten(type);
    // A unit that went away after its last acknowledgement is not updated either.
    return m_Host.device() && m_Host.device()->isConnected();
}

template <typename Step>
bool CUpdateWorkflow::reporting(CFanBase& fan, Step step)
{
    const QMetaObject::Connection reports = QObject::connect(
        &fan, &CFanBase::signalUserInfo, [this](const QString& text) { deviceReported(text); });
    const bool ok = step();
    QObject::disconnect(reports);
    return ok;
}

void CUpdateWorkflow::fail(const QString& failure)
{
    // A step that failed because the port now leads to another unit says so.
    const QString shown = m_OtherUnit ? otherUnitText() : failure.isEmpty() ? text(173) : failure;
    m_Host.showState(EStateIdle);
    m_Host.setStatus(shown);
    qDebug() << "CUpdateWorkflow: update stopped:" << shown;
}

QString CUpdateWorkflow::otherUnitText()
{
    return QCoreApplication::translate(
        "CUpdateWorkflow", "Another ventaro device was connected. The update was stopped.");
}

QString CUpdateWorkflow::serialTakenTitle()
{
    return QCoreApplication::translate("CUpdateWorkflow", "Serial number not new");
}

bool CUpdateWorkflow::rebootPause()
{
    m_Host.stepStarted(EUpdateStep::RebootPause);
    // Identification stores the serial number again after the restart.
    m_Host.setSerialNumber(0);
    const int identifiedBefore = m_Host.identificationCount();
    m_Host.showState(EStateRebootNeeded);
    m_Host.showMessage(rebootMessage());
    // The unit may already have been found again while the box was open.
    if (!m_Host.waitForIdentification(identifiedBefore)) {
        fail(text(173));
        return false;
    }
    m_Host.showState(EStateUpdating);
    return true;
}

void CUpdateWorkflow::noteWritten(CPartitionTable::EPartType type)
{
    const CFlashImageList list;
    const auto system = m_Host.plusDevice() ? CFlashImage::ESystemPlus : CFlashImage::ESystem100;
    if (const CFlashImage* image = list.find(type, system))
        m_Written.images << SWrittenUpdate::SImage{type, image->m_MainVer, image->m_SubVer};
}

bool CUpdateWorkflow::verify()
{
    m_Host.stepStarted(EUpdateStep::Verify);
    m_Host.setStatus(updateverify::verifyingText());
    m_Verification = checkUnit();
    if (m_OtherUnit) {
        fail(QString());
        return false;
    }
    m_Host.verified(m_Verification);
    if (m_Verification.passed()) {
        qDebug() << "CUpdateWorkflow: the unit confirms the update;" << m_Verification.detail();
        return true;
    }
    qDebug() << "CUpdateWorkflow: the unit does not confirm the update:" << m_Verification.detail();
    // Ready to be updated again at once, with the reason in the status line.
    m_Host.refreshState();
    m_Host.setStatus(m_Verification.userText());
    return false;
}

SVerifyOutcome CUpdateWorkflow::checkUnit()
{
    QElapsedTimer clock;
    clock.start();
    const auto left = [&] { return updateverify::kVerifyWindowMs - clock.elapsed(); };
    const auto reachable = [this] {
        CFanBase* fan = m_Host.device();
        return fan && fan->isConnected() && !fan->portLost();
    };
    int unanswered = 0;
    int unreadable = 0;      // rounds in which the unit answered but its table could not be read
    SVerifyOutcome answered; // of the latest such round
    while (left() > 0 && !m_OtherUnit) {
        // A port that is gone is not asked: the unit is waited for where it comes back. On a
        // port that stays, a request spoilt on the line is asked again.
        if (reachable()) {
            if (!m_Host.identifyAgain()) {
                if (!reachable())
                    continue; // gone while it was asked: waited for below
                if (++unanswered < updateverify::kVerifyTries)
                    continue;
                break; // a port that stays, and no answer on it: nothing else will come
            } else if (!m_OtherUnit) {
                CPartitionTable::SPartition table[CPartitionTable::kEntries];
                bool read = false;
                for (int i = 0; i < updateverify::kVerifyTries && !read && reachable(); ++i)
                    read = m_Host.device()->getPartitionTable(table);
                if (!read && !reachable())
                    continue; // gone between the requests (a restart): asked once it is back
                answered = updateverify::compare(m_Written, m_Unit, m_Host.identData(),
                                                 read ? table : nullptr);
                // A table the line spoilt each time is asked again while the window lasts.
                if (!answered.tableMissing || ++unreadable >= updateverify::kVerifyTries)
                    return answered;
                continue;
            }
        }
        if (m_OtherUnit || left() <= 0 ||
            !m_Host.waitForIdentification(m_Host.identificationCount(), int(left())))
            break;
        unanswered = 0;
    }
    return answered.back && !m_OtherUnit ? answered : updateverify::notBack();
}

SUpdateMessage CUpdateWorkflow::rebootMessage() const
{
    return {SUpdateMessage::EInformation, text(162), text(163)};
}

QString CUpdateWorkflow::text(int index) const
{
    QString out = uiText(index);
    if (CFanBase* fan = m_Host.device())
        out.replace(QLatin1String("%1"), fan->modelName());
    return out;
}
