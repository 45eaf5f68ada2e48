#pragma once

#include "link/lltypes.h"

// Secondary-log definitions shared by the device objects.
class CLogging
{
public:
    // Time span of one secondary-log entry; sent to the device as one byte.
    enum EMaxTimeSpan : UINT8 {
        EQuarterHour = 0,
        EDay = 1,
        EMonth = 2,
    };
    static constexpr int kSpanCount = 3;
};
