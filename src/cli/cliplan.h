#pragma once

#include "device/hlprecords.h"
#include "service/updateflags.h"

#include <QString>
#include <QVector>

// What an update of the identified unit would do, decided by the dialog's update-flag rules
// (applyUpdateFlagRules) and state choice; nothing here decides on its own.
struct SUpdatePlan
{
    struct SFlagLine
    {
        QString key;  // "updateBoot", the JSON key
        QString name; // "update bootloader"
        bool set = false;
        QString reason; // the facts behind the flag
    };
    struct SImage
    {
        int type = 0;     // CPartitionTable::EPartType
        QString name;     // "application"
        SVersion version; // of the built-in image
    };

    SFlagInput input;
    SUpdateFlags flags;
    SFlagOutcome outcome;
    EDialogState state = EStateIdle;
    QVector<SFlagLine> lines;
    QVector<SImage> images;   // in the order the update writes them
    bool needsReboot = false; // a reboot pause after the application (bridge path)
    QString verdict;          // one line for the user
    int exitCode = 0;         // what plan exits with (cliexit)
};

// The input of the update rules for `ident`: the built-in image versions of the unit's
// variant, and `serialNumber` (the unit's, or the one an update would write first).
SFlagInput flagInput(const SHLP_IdentData& ident, int serialNumber, bool forceBoot, bool forceAppl);
// The serial number the rules decide on: the unit's own, else the number given to write into it
// (`preset`, empty for none).
int decidingSerial(const SHLP_IdentData& ident, const QString& preset);
SVersion builtInVersion(int type, bool plus);

// Runs the rules on `input` and explains each flag.
SUpdatePlan makeUpdatePlan(const SFlagInput& input);

// The state's name in plan output ("ready", "up-to-date", ...; "no-unit" for the rest).
const char* planStateName(EDialogState state);
QString planText(const SUpdatePlan& plan);
QString planJson(const SUpdatePlan& plan);
