#pragma once

#include <QString>

class CFanBase;

// How discovery opens a port on the device object and asks which port is open. The tool opens
// serial ports; a test or benchmark maps port names to in-process wires instead.
class CPortConnector
{
public:
    virtual ~CPortConnector() = default;
    // As CFanBase::connectPort: an empty name closes; true when the port is open afterwards.
    virtual bool connectPort(CFanBase& fan, const QString& portName);
    // The name of the port open on `fan`, or empty.
    virtual QString portName(const CFanBase& fan) const;

    // For the caller after a port would not open: the doctor's findings about it, with their
    // fixes, go to the debug log once per run of failures on that port (retries stay quiet);
    // the run ends when a port opens.
    void reportOpenFailure(const QString& portName);

protected:
    void openSucceeded() { m_FailingPort.clear(); }

private:
    QString m_FailingPort; // reported already
};
