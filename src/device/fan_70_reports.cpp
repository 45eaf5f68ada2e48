// Text reports of the 70-series logs.
#include "fan_70_pc.h"

QString CFan_70_PC::getPrimaryLog()
{
    return QString();
}

QString CFan_70_PC::secLogReport(CLogging::EMaxTimeSpan, bool, bool, bool, bool, const QString&)
{
    return QString();
}
