#pragma once

#include "link/lltypes.h"

class CFanBase;

// The de-icing function of the outside wall, kept by the unit in persistent counters 39 and 40.
namespace deicing {

struct SSetting
{
    UINT32 counter39;
    UINT32 counter40;
};
constexpr SSetting kOn{1, 19};
constexpr SSetting kOff{22, 11};

// Counter 39 as read back: 1-9 means on.
constexpr bool isOn(UINT32 counter39)
{
    return counter39 >= 1 && counter39 <= 9;
}

// Writes counter 39, and counter 40 only after that succeeded; true when both were written.
[[nodiscard]] bool write(CFanBase& fan, bool on);

} // namespace deicing
