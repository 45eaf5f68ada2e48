#include "fan_70_pc.h"

#include "link/llprotocol.h"
#include "link/llprotocolpacket.h"

#include <QDebug>

CFan_70_PC::CFan_70_PC(QObject* parent) : CFanBase(parent) {}

QString CFan_70_PC::modelName() const
{
    return QStringLiteral("ventaro plus");
}

int CFan_70_PC::modelType() const
{
    return 1;
}

const char* CFan_70_PC::ventReasonName(int reason) const
{
    static const char* const kNames[] = {"MinAir", "RelDry", "AbsDry", "SumCoo",
                                         "VenCO2", "HumInp", "CO2Inp", "HCO2In"};
    if (reason < 0 || reason >= int(sizeof kNames / sizeof kNames[0]))
        return "- ?? -";
    return kNames[reason];
}

bool CFan_70_PC::getCurrentState(SPrimLogEntry_70& entry)
{
    if (!isConnected())
        return false;
    if (!sendCommand(HLP_GET_CURRENT_STATE)) {
        qDebug() << "CFan::getCurrentState: Error sending request for current state";
        return false;
    }
    CLLProtocolPacket reply;
    static const SReplyCheck kCheck{"CFan::getCurrentState: Error getting the current state",
                                    "CFan::getCurrentState: Received wrong packet",
                                    "CFan::getCurrentState:: Packet size mismatch",
                                    EExpectedLine::Spaced};
    if (!receiveReply(reply, hlpReplyId(HLP_GET_CURRENT_STATE), kCurrentStateReplySize, kCheck))
        return false;
    entry = SPrimLogEntry_70::fromBytes(reply.Data() + 2);
    return true;
}

bool CFan_70_PC::setSimulationValues(const SHLP_SetSimulationValues_70& values)
{
    qDebug() << "sizeof(SHLP_SetSimulationValues_70)" << SHLP_SetSimulationValues_70::kSize;
    if (!isConnected())
        return false;
    UINT8 bytes[SHLP_SetSimulationValues_70::kSize];
    values.toBytes(bytes);
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, bytes, sizeof bytes)) {
        qDebug() << "CFan_70::setSimulationValues: Error sending request for simulation values";
        return false;
    }
    return true;
}
