#include "portconnector.h"

#include "device/fanbase.h"

bool CPortConnector::connectPort(CFanBase& fan, const QString& portName)
{
    return fan.connectPort(portName);
}

QString CPortConnector::portName(const CFanBase& fan) const
{
    return fan.portName();
}
