#pragma once

#include "firmware/firmwarebundle.h"

#include <QString>
#include <QStringList>

// Loading a firmware bundle for an update, the same for the dialog, the command line and the
// station: the trusted keys and the highest counter accepted, the checks, and then, when the
// bundle is to be used, the counter raised and its images put in place of the built-in ones.
namespace bundleuse {

enum EMode {
    ECheckOnly, // bundle verify: nothing changes
    EPreview,   // plan: the images are used, the counter stays (nothing is written)
    EUse,       // the images are used from now on; the counter is raised first
};

struct SLoad
{
    SBundleVerdict verdict;
    QStringList keyProblems; // key files that hold no valid key
    int trustedKeys = 0;
};

// `plantHighest`: the highest counter the plant's record holds (0 without one).
SLoad load(const QString& path, EMode use, CFirmwareBundle& bundle, qint64 plantHighest = 0);

} // namespace bundleuse
