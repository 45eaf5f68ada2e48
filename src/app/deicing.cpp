#include "deicing.h"

#include "device/fanbase.h"

namespace deicing {

bool write(CFanBase& fan, bool on)
{
    const SSetting setting = on ? kOn : kOff;
    UINT32 value = setting.counter39;
    if (!fan.readWriteCounterValue(CPersCounter_ReadOnly::EMinSwitchOffTempDeicing, &value, true))
        return false;
    value = setting.counter40;
    return fan.readWriteCounterValue(CPersCounter_ReadOnly::EMinExhaustTempDeicing, &value, true);
}

} // namespace deicing
