#include "bundleuse.h"

#include "firmware/bundlecounter.h"
#include "firmware/flashimagelist.h"

#include <QDebug>

namespace bundleuse {

SLoad load(const QString& path, EMode use, CFirmwareBundle& bundle, qint64 plantHighest)
{
    SLoad out;
    SBundlePolicy policy;
    policy.trustedKeys = bundletrust::trustedKeys(out.keyProblems);
    out.trustedKeys = policy.trustedKeys.size();
    for (const QString& problem : out.keyProblems)
        qDebug() << "bundleuse::load: key not trusted:" << problem;
    QString error;
    qint64 stationHighest = 0;
    if (!bundlecounter::highest(stationHighest, error)) {
        out.verdict = SBundleVerdict{EBundleOutcome::Rollback, error};
        return out;
    }
    policy.highestCounter = qMax(stationHighest, plantHighest);
    out.verdict = bundle.load(path, policy);
    if (!out.verdict.accepted() || use == ECheckOnly)
        return out;
    // Accepted for use: a later bundle with a lower counter is a rollback from now on.
    if (use == EUse && !bundlecounter::raise(bundle.securityCounter(), error)) {
        out.verdict = SBundleVerdict{EBundleOutcome::Rollback, error};
        bundle = CFirmwareBundle();
        return out;
    }
    CFlashImageList::useBundle(bundle.flashImages(), {bundle.release(), bundle.manifestSha256(),
                                                      bundle.keyId(), bundle.securityCounter()});
    return out;
}

} // namespace bundleuse
