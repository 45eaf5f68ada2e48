// Log retrieval of the 100-series device: the primary log and the secondary-log rings.
#include "fan.h"

#include "device/logtrain.h"
#include "device/seclogentry.h"
#include "link/llprotocol.h"

#include <QDebug>

namespace {
constexpr SLogTrainLayout kPrimLogLayout{2, 4, 7};
constexpr int kPrimLogReplySize = 4 + 7 * SPrimLogEntry::kSize; // 186
constexpr SLogTrainLayout kSecLogLayout{SHLP_ReportSecLog::kRemainingOffset,
                                        SHLP_ReportSecLog::kSlotsOffset, SHLP_ReportSecLog::kSlots};
constexpr int kSecLogSpanOffset = 1;
} // namespace

bool CFan::getPrimLog(QVector<SPrimLogEntry>& entries)
{
    if (!isConnected())
        return false;
    entries.clear();
    qDebug() << "\n======================";
    if (!sendCommand(HLP_GET_PRIM_LOG)) {
        qDebug() << "CFan::getPrimLog: Error sending request for primary log";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::getPrimLog: Error getting the primary log",
                                    "CFan::getPrimLog: Received wrong packet",
                                    "CFan::getPrimLog: Packet size mismatch",
                                    EExpectedLine::Spaced};
    CLLProtocol protocol(wire());
    const auto receive = [&](CLLProtocolPacket& reply) {
        return receiveReply(protocol, reply, hlpReplyId(HLP_GET_PRIM_LOG), kPrimLogReplySize,
                            kCheck);
    };
    return readLogTrain(entries, kPrimLogLayout, receive,
                        "CFan::getPrimLog: Primary log longer than any count can announce");
}

bool CFan::getSecLog(QVector<SSecLogEntry>& entries, CLogging::EMaxTimeSpan span, UINT16 count,
                     UINT16 first)
{
    if (!isConnected())
        return false;
    entries.clear();
    qDebug() << "\n======================";
    qDebug() << "sizeof(SSecLogEntry): " << SSecLogEntry::kSize;

    SHLP_ReportSecLog request;
    request.m_Span = span;
    request.m_First = first;
    request.m_Count = count;
    UINT8 bytes[SHLP_ReportSecLog::kSize];
    request.toBytes(bytes);
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, bytes, sizeof bytes)) {
        qDebug() << "CFan::getSecLog: Error sending request for secondary log";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::getSecLog: Error getting the secondary log",
                                    "CFan::getSecLog: Received wrong packet",
                                    "CFan::getSecLog: Packet size mismatch", EExpectedLine::Spaced};
    const auto receive = [&](CLLProtocolPacket& reply) {
        if (!receiveReply(protocol, reply, hlpReplyId(HLP_GET_SEC_LOG), SHLP_ReportSecLog::kSize,
                          kCheck))
            return false;
        const int replySpan = reply.Data()[kSecLogSpanOffset];
        if (replySpan != span) {
            qDebug() << "CFan::getSecLog: time span mismatche!";
            qDebug() << "Expected: " << int(span) << ", received: " << replySpan;
            return false;
        }
        return true;
    };
    return readLogTrain(entries, kSecLogLayout, receive,
                        "CFan::getSecLog: Secondary log longer than any count can announce");
}
