#include "fanfactory.h"

#include "device/fan.h"
#if __has_include("device/fan_70_pc.h")
#include "device/fan_70_pc.h"
#define VENTARO_HAVE_FAN70 1
#endif

std::unique_ptr<CFanBase> createFan(int modelType)
{
#ifdef VENTARO_HAVE_FAN70
    if (modelType == 1)
        return std::make_unique<CFan_70_PC>();
#else
    (void)modelType;
#endif
    return std::make_unique<CFan>();
}
