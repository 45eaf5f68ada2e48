#include "portconnector.h"

#include "device/fanbase.h"
#include "service/portdoctor.h"

#include <QDebug>

bool CPortConnector::connectPort(CFanBase& fan, const QString& portName)
{
    const bool open = fan.connectPort(portName);
    if (open && !portName.isEmpty())
        openSucceeded();
    return open;
}

QString CPortConnector::portName(const CFanBase& fan) const
{
    return fan.portName();
}

void CPortConnector::reportOpenFailure(const QString& portName)
{
    if (portName.isEmpty() || portName == m_FailingPort)
        return;
    m_FailingPort = portName;
    // The same findings, with their fixes, as ventaro-cli doctor gives for this port.
    for (const SDoctorCheck& c : portdoctor::portChecks(SDoctorInput::system(), portName))
        if (c.status != SDoctorCheck::EOk)
            qDebug() << "***" << c.text << "-" << c.fix;
    qDebug() << "*** ventaro-cli doctor checks the whole set-up for ventaro units";
}
