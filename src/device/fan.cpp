#include "fan.h"

#include "link/llprotocolpacket.h"

#include <QDebug>

CFan::CFan(QObject* parent) : CFanBase(parent) {}

QString CFan::modelName() const
{
    return QStringLiteral("ventaro100");
}

int CFan::modelType() const
{
    return 0;
}

bool CFan::getCurrentState(SPrimLogEntry& entry)
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
    entry = SPrimLogEntry::fromBytes(reply.Data() + 2);
    return true;
}
