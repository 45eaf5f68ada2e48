#pragma once

#include <QString>

// Persistent counters of a device. The ids are also the indices into the counter vector that
// CFanBase::getCounters fills.
class CPersCounter_ReadOnly
{
public:
    enum ECntID : int {
        EFlashWriteCycles = 0,
        EOperatingHours = 1,
        EFilterOperatingHours = 2,
        EBootCycles = 3,
        EMinSwitchOffTempDeicing = 39,
        EMinExhaustTempDeicing = 40,
        EFlapDiagFirst = 50,
        EFlapDiagLast = 73,
    };
    static constexpr int kCount = 74;
    static constexpr int kFlaps = 4;
    static constexpr int kFlapProperties = 6;

    // The display name of a counter id, empty for ids without a name (45-49, above 73).
    // Part of the names follow the interface language.
    static QString name(int id);
    // The language-table entry that names a counter, or -1 for a fixed or missing name.
    static int uiTextIndex(int id);
};
