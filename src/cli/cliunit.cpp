#include "cliunit.h"

#include "device/fanbase.h"
#include "service/fanfactory.h"
#include "service/identityview.h"
#include "service/portconnector.h"

CCliUnit::CCliUnit(std::unique_ptr<CPortConnector> connector)
    : m_Connector(connector ? std::move(connector) : std::make_unique<CPortConnector>()),
      m_Fan(createFan(0))
{}

CCliUnit::~CCliUnit()
{
    disconnect();
}

QList<SPortInfo> CCliUnit::ports()
{
    return CPortEnumerator::systemPorts();
}

CCliUnit::EResult CCliUnit::connect(const QString& port)
{
    m_Port = port.isEmpty() ? selectDevicePort(ports(), QString()) : port;
    if (m_Port.isEmpty())
        return ENoPort;
    if (!m_Connector->connectPort(*m_Fan, m_Port)) {
        m_Connector->reportOpenFailure(m_Port);
        return EOpenFailed;
    }
    return identify();
}

CCliUnit::EResult CCliUnit::identify()
{
    SHLP_IdentData ident;
    ident.m_Code = 0;
    if (!m_Fan->getIdentData(ident))
        return ENoAnswer;
    m_Ident = ident;
    if (ident.m_ComPartner >= 4)
        return ECorrupted;
    const int model = ident.isModel70() ? 1 : 0;
    if (m_Fan->modelType() != model) {
        // The old object closes the port before the new one opens it.
        m_Fan.reset();
        m_Fan = createFan(model);
        if (!m_Connector->connectPort(*m_Fan, m_Port))
            return EOpenFailed;
    }
    return EOk;
}

void CCliUnit::disconnect()
{
    if (m_Fan)
        (void)m_Connector->connectPort(*m_Fan, QString());
}

QString CCliUnit::errorText(EResult result) const
{
    switch (result) {
    case EOk:
        return {};
    case ENoPort:
        return QStringLiteral("no ventaro unit found (vendor 0x%1, product 0x%2)")
            .arg(QString::number(kDeviceVendorId, 16).toUpper().rightJustified(4, QLatin1Char('0')),
                 QString::number(kDeviceProductId, 16)
                     .toUpper()
                     .rightJustified(4, QLatin1Char('0')));
    case EOpenFailed:
        return QStringLiteral("cannot open port %1 (ventaro-cli doctor tells why)").arg(m_Port);
    case ENoAnswer:
        return QStringLiteral("the unit on %1 does not answer").arg(m_Port);
    case ECorrupted:
        return QStringLiteral("the unit on %1 answered with a corrupted sender address (%2)")
            .arg(m_Port)
            .arg(m_Ident.m_ComPartner);
    }
    return {};
}
