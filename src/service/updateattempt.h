#pragma once

#include "service/unitidentity.h"
#include "service/updateverify.h"
#include "service/updateworkflow.h"

#include <QString>

// An update attempt as its front ends report it (the headless tool's exit code and output, the
// record line of the tool and of the dialog alike): the names of its steps and partitions, and
// how it ended.
namespace updateattempt {

// "serial-number", "application", ...
QString stepName(EUpdateStep step);
// The partition a step writes (CPartitionTable::EPartType), 0 for none; a bootloader goes into
// the copy that is not running (`comPartner` 1 or 2).
int stepImageType(EUpdateStep step, int comPartner);
// "application", "bootloader copy 1", ...; empty for no partition.
QString partitionName(int type);

// How an attempt ended: its exit code, the record's outcome word and a text.
struct SEnd
{
    int exitCode = 0;
    QString outcome;
    QString text;
};

// What is known of an update that did not succeed.
struct SFailure
{
    EUpdateStep step = EUpdateStep::SerialNumber; // the step it ended in
    bool timedOut = false;            // the unit did not come back within `rebootTimeoutS`
    bool stoppedForOtherUnit = false; // another unit came back instead
    bool notUpdatable = false;        // the update rules refused the unit
    SVerifyOutcome verification;      // after the last write
    int rebootTimeoutS = 0;
    SUnitIdentity came, bound; // for another unit: the one that came, the one updated
};

SEnd failed(const SFailure& failure);
SEnd updated(const SVerifyOutcome& verification);

} // namespace updateattempt
