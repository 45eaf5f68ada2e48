#include "fanfactory.h"

#include "device/fan.h"
#include "device/fan_70_pc.h"

std::unique_ptr<CFanBase> createFan(int modelType)
{
    if (modelType == 1)
        return std::make_unique<CFan_70_PC>();
    return std::make_unique<CFan>();
}
