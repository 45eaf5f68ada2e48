#include "unitfinder.h"

#include "cli/cliunit.h"
#include "device/fanbase.h"
#include "service/identityview.h"
#include "station/workerend.h"

#include <QFileInfo>
#include <QTextStream>

#include <algorithm>

CUnitFinder::CUnitFinder(CCliUnit& unit, const QString& port, CWorkerEnd* workerEnd,
                         QTextStream& err)
    : m_Unit(unit), m_Port(port), m_WorkerEnd(workerEnd), m_Err(err)
{}

void CUnitFinder::waitBegins()
{
    m_Polled = m_Unit.portName();
    m_PolledGeneration = 0;
    for (const SPortInfo& port : CCliUnit::ports())
        if (port.portName == m_Polled)
            m_PolledGeneration = port.generation;
}

bool CUnitFinder::poll(const SUnitIdentity& bound, QString& port)
{
    // A unit back under the name of its lost port is connected again like one on a new name.
    if (m_Unit.fan().portLost() && !m_Polled.isEmpty()) {
        m_Polled.clear();
        m_Unit.disconnect();
    }
    return m_Port.isEmpty() && !m_WorkerEnd ? findUnit(bound, port) : pollPort(port);
}

QString CUnitFinder::watchedPort()
{
    if (m_WorkerEnd)
        return m_WorkerEnd->handedPort();
    return QFileInfo::exists(m_Port) ? m_Port : QString();
}

bool CUnitFinder::pollPort(QString& port)
{
    const QString now = watchedPort();
    if (now == m_Polled)
        return false;
    m_Polled = now;
    if (now.isEmpty()) {
        m_Unit.disconnect();
        return false;
    }
    const CCliUnit::EResult result = m_Unit.connect(now);
    if (result != CCliUnit::EOk) {
        // Looked at again at the next poll.
        m_Polled.clear();
        ++m_Retries;
        m_Err << "ventaro-cli: " << m_Unit.errorText(result) << ", trying again\n";
        m_Err.flush();
        return false;
    }
    port = now;
    return true;
}

bool CUnitFinder::findUnit(const SUnitIdentity& bound, QString& found)
{
    const QList<SPortInfo> ports = CCliUnit::ports();
    if (!m_Polled.isEmpty()) {
        const bool stays = std::any_of(ports.cbegin(), ports.cend(), [&](const SPortInfo& p) {
            return p.portName == m_Polled && p.generation == m_PolledGeneration;
        });
        if (stays)
            return false;
        m_Polled.clear();
        m_Unit.disconnect();
    }
    for (const SPortInfo& port : ports) {
        const QString key = QStringLiteral("%1 %2").arg(port.portName).arg(port.generation);
        if (!isDevicePort(port, QString()) || m_OtherUnits.contains(key))
            continue;
        const CCliUnit::EResult result = m_Unit.connect(port.portName);
        if (result != CCliUnit::EOk) {
            // Perhaps the unit itself, not quite started yet: asked again at the next poll.
            ++m_Retries;
            m_Err << "ventaro-cli: " << m_Unit.errorText(result) << ", trying again\n";
            m_Err.flush();
            continue;
        }
        if (SUnitIdentity::of(m_Unit.ident()) != bound) {
            // Another unit, never written and never taken for this one; asked again only once
            // its port is made anew.
            m_OtherUnits.insert(key);
            m_Unit.disconnect();
            continue;
        }
        m_Polled = port.portName;
        m_PolledGeneration = port.generation;
        found = port.portName;
        return true;
    }
    return false;
}
