#pragma once

// The log requests both models share: a request, then a train of replies whose entries are
// read by readLogTrain. Included by the models' log files only.
#include "device/fanbase.h"
#include "device/logtrain.h"
#include "device/seclogentry.h"
#include "link/llprotocol.h"

#include <QByteArray>
#include <QDebug>

namespace logrequest {
// The debug lines of a log request's reply checks, alive for the whole request. `where` is
// "Class::function: ", `log` names the log.
struct SCheckTexts
{
    SCheckTexts(const QByteArray& where, const char* log)
        : failed(where + "Error getting the " + log), wrong(where + "Received wrong packet"),
          size(where + "Packet size mismatch")
    {}
    QByteArray failed;
    QByteArray wrong;
    QByteArray size;
};
} // namespace logrequest

template <typename Entry>
bool CFanBase::requestPrimLog(QVector<Entry>& entries, const SLogTrainLayout& layout, int replySize,
                              const char* owner)
{
    if (!isConnected())
        return false;
    entries.clear();
    const QByteArray where = QByteArray(owner) + "::getPrimLog: ";
    qDebug() << "\n======================";
    if (!sendCommand(HLP_GET_PRIM_LOG)) {
        qDebug() << (where + "Error sending request for primary log").constData();
        return false;
    }
    const logrequest::SCheckTexts texts(where, "primary log");
    const SReplyCheck check{texts.failed.constData(), texts.wrong.constData(),
                            texts.size.constData(), EExpectedLine::Spaced};
    CLLProtocol protocol(wire());
    const auto receive = [&](CLLProtocolPacket& reply) {
        return receiveReply(protocol, reply, hlpReplyId(HLP_GET_PRIM_LOG), replySize, check);
    };
    return readLogTrain(entries, layout, receive,
                        (where + "Primary log longer than any count can announce").constData());
}

template <typename Entry>
bool CFanBase::requestSecLog(QVector<Entry>& entries, int span, UINT16 count, UINT16 first,
                             const char* owner, const char* entryName)
{
    static constexpr SLogTrainLayout kLayout{SHLP_ReportSecLog::kRemainingOffset,
                                             SHLP_ReportSecLog::kSlotsOffset,
                                             SHLP_ReportSecLog::kSlots};
    static constexpr int kSpanOffset = 1;
    static_assert(SHLP_ReportSecLog::kSlotSize == Entry::kSize, "32-byte slots");
    if (!isConnected())
        return false;
    entries.clear();
    const QByteArray where = QByteArray(owner) + "::getSecLog: ";
    qDebug() << "\n======================";
    qDebug() << (QByteArray("sizeof(") + entryName + "): ").constData() << Entry::kSize;

    SHLP_ReportSecLog request;
    request.m_Span = UINT8(span);
    request.m_First = first;
    request.m_Count = count;
    UINT8 bytes[SHLP_ReportSecLog::kSize];
    request.toBytes(bytes);
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, bytes, sizeof bytes)) {
        qDebug() << (where + "Error sending request for secondary log").constData();
        return false;
    }
    const logrequest::SCheckTexts texts(where, "secondary log");
    const SReplyCheck check{texts.failed.constData(), texts.wrong.constData(),
                            texts.size.constData(), EExpectedLine::Spaced};
    const auto receive = [&](CLLProtocolPacket& reply) {
        if (!receiveReply(protocol, reply, hlpReplyId(HLP_GET_SEC_LOG), SHLP_ReportSecLog::kSize,
                          check))
            return false;
        const int replySpan = reply.Data()[kSpanOffset];
        if (replySpan != span) {
            qDebug() << (where + "time span mismatche!").constData();
            qDebug() << "Expected: " << span << ", received: " << replySpan;
            return false;
        }
        return true;
    };
    return readLogTrain(entries, kLayout, receive,
                        (where + "Secondary log longer than any count can announce").constData());
}
