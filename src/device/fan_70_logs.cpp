// Log retrieval of the 70-series device: the same trains as the 100 series, with 28-byte
// primary entries in 200-byte packets.
#include "fan_70_pc.h"

#include "device/logtrain.h"
#include "device/seclogentry.h"
#include "link/llprotocol.h"

#include <QDebug>

namespace {
constexpr SLogTrainLayout kPrimLogLayout{2, CFan_70_PC::kPrimLogSlotsOffset,
                                         CFan_70_PC::kPrimLogEntriesPerPacket};
constexpr SLogTrainLayout kSecLogLayout{SHLP_ReportSecLog::kRemainingOffset,
                                        SHLP_ReportSecLog::kSlotsOffset, SHLP_ReportSecLog::kSlots};
constexpr int kSecLogSpanOffset = 1;
static_assert(SHLP_ReportSecLog::kSlotSize == SSecLogEntry_70::kSize, "32-byte slots");
} // namespace

bool CFan_70_PC::getPrimLog(QVector<SPrimLogEntry_70>& entries)
{
    if (!isConnected())
        return false;
    entries.clear();
    qDebug() << "\n======================";
    if (!sendCommand(HLP_GET_PRIM_LOG)) {
        qDebug() << "CFan_70_PC::getPrimLog: Error sending request for primary log";
        return false;
    }
    static const SReplyCheck kCheck{"CFan_70_PC::getPrimLog: Error getting the primary log",
                                    "CFan_70_PC::getPrimLog: Received wrong packet",
                                    "CFan_70_PC::getPrimLog: Packet size mismatch",
                                    EExpectedLine::Spaced};
    CLLProtocol protocol(wire());
    const auto receive = [&](CLLProtocolPacket& reply) {
        return receiveReply(protocol, reply, hlpReplyId(HLP_GET_PRIM_LOG), kPrimLogReplySize,
                            kCheck);
    };
    return readLogTrain(entries, kPrimLogLayout, receive,
                        "CFan_70_PC::getPrimLog: Primary log longer than any count can announce");
}

bool CFan_70_PC::getSecLog(QVector<SSecLogEntry_70>& entries, CLogging_70::EMaxTimeSpan span,
                           UINT16 count, UINT16 first)
{
    if (!isConnected())
        return false;
    entries.clear();
    qDebug() << "\n======================";
    qDebug() << "sizeof(SSecLogEntry_70): " << SSecLogEntry_70::kSize;

    SHLP_ReportSecLog request;
    request.m_Span = span;
    request.m_First = first;
    request.m_Count = count;
    UINT8 bytes[SHLP_ReportSecLog::kSize];
    request.toBytes(bytes);
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, bytes, sizeof bytes)) {
        qDebug() << "CFan_70_PC::getSecLog: Error sending request for secondary log";
        return false;
    }
    static const SReplyCheck kCheck{"CFan_70_PC::getSecLog: Error getting the secondary log",
                                    "CFan_70_PC::getSecLog: Received wrong packet",
                                    "CFan_70_PC::getSecLog: Packet size mismatch",
                                    EExpectedLine::Spaced};
    const auto receive = [&](CLLProtocolPacket& reply) {
        if (!receiveReply(protocol, reply, hlpReplyId(HLP_GET_SEC_LOG), SHLP_ReportSecLog::kSize,
                          kCheck))
            return false;
        const int replySpan = reply.Data()[kSecLogSpanOffset];
        if (replySpan != span) {
            qDebug() << "CFan_70_PC::getSecLog: time span mismatche!";
            qDebug() << "Expected: " << int(span) << ", received: " << replySpan;
            return false;
        }
        return true;
    };
    return readLogTrain(entries, kSecLogLayout, receive,
                        "CFan_70_PC::getSecLog: Secondary log longer than any count can announce");
}
