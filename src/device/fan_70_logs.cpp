// Log retrieval of the 70-series device.
#include "fan_70_pc.h"

bool CFan_70_PC::getPrimLog(QVector<SPrimLogEntry_70>&)
{
    return false;
}

bool CFan_70_PC::getSecLog(QVector<SSecLogEntry_70>&, CLogging_70::EMaxTimeSpan, UINT16, UINT16)
{
    return false;
}
