#include "updateattempt.h"

#include "firmware/partitiontable.h"
#include "service/exitcodes.h"

namespace updateattempt {

QString stepName(EUpdateStep step)
{
    switch (step) {
    case EUpdateStep::SerialNumber:
        return QStringLiteral("serial-number");
    case EUpdateStep::Bridge:
        return QStringLiteral("wifi-bridge");
    case EUpdateStep::Application:
        return QStringLiteral("application");
    case EUpdateStep::RebootPause:
        return QStringLiteral("reboot-pause");
    case EUpdateStep::Wifi:
        return QStringLiteral("wifi-module");
    case EUpdateStep::BootloaderImage:
        return QStringLiteral("bootloader");
    case EUpdateStep::Swap:
        return QStringLiteral("swap");
    case EUpdateStep::StartupMode:
        return QStringLiteral("startup-mode");
    case EUpdateStep::Verify:
        return QStringLiteral("verify");
    }
    return {};
}

int stepImageType(EUpdateStep step, int comPartner)
{
    switch (step) {
    case EUpdateStep::Bridge:
        return CPartitionTable::ECC3200Bridge;
    case EUpdateStep::Application:
        return CPartitionTable::EApplication;
    case EUpdateStep::Wifi:
        return CPartitionTable::ECC3200;
    case EUpdateStep::BootloaderImage:
        return comPartner == 1   ? CPartitionTable::EBootloader2
               : comPartner == 2 ? CPartitionTable::EBootloader1
                                 : 0;
    default:
        return 0;
    }
}

QString partitionName(int type)
{
    switch (type) {
    case CPartitionTable::EBootloader1:
        return QStringLiteral("bootloader copy 1");
    case CPartitionTable::EBootloader2:
        return QStringLiteral("bootloader copy 2");
    case CPartitionTable::EApplication:
        return QStringLiteral("application");
    case CPartitionTable::ECC3200:
        return QStringLiteral("WiFi module");
    case CPartitionTable::ECC3200Bridge:
        return QStringLiteral("WiFi bridge");
    default:
        return {};
    }
}

SEnd failed(const SFailure& f)
{
    if (f.step == EUpdateStep::Verify && !f.stoppedForOtherUnit) {
        const SVerifyOutcome& check = f.verification;
        const QString outcome = !check.back          ? QStringLiteral("not-back")
                                : check.tableMissing ? QStringLiteral("not-confirmed")
                                                     : QStringLiteral("verify-failed");
        return {cliexit::kNotVerified, outcome, check.detail()};
    }
    if (f.timedOut)
        return {cliexit::kNoComeBack, QStringLiteral("no-come-back"),
                QStringLiteral("the unit did not come back within %1 s").arg(f.rebootTimeoutS)};
    if (f.stoppedForOtherUnit)
        return {cliexit::kNoComeBack, QStringLiteral("other-unit"),
                QStringLiteral("another unit (%1) came back instead of the one under update "
                               "(%2); nothing more was written")
                    .arg(f.came.describe(), f.bound.describe())};
    if (f.notUpdatable)
        return {cliexit::kNotUpdatable, QStringLiteral("not-updatable"),
                QStringLiteral("the update rules refuse this unit")};
    if (f.step == EUpdateStep::Swap)
        return {cliexit::kSwapFailed, QStringLiteral("swap-failed"),
                QStringLiteral("the bootloader swap failed")};
    return {cliexit::kTransferFailed, QStringLiteral("transfer-failed"),
            QStringLiteral("%1 failed").arg(stepName(f.step))};
}

SEnd updated(const SVerifyOutcome& verification)
{
    const QString checked = verification.detail();
    return {cliexit::kOk, QStringLiteral("updated"),
            checked.isEmpty()
                ? QStringLiteral("the unit was updated and confirms it")
                : QStringLiteral("the unit was updated and confirms it (%1)").arg(checked)};
}

} // namespace updateattempt
