// The service requests both device models share: persistent counters, device clock, memory
// dump, secondary-log administration, sensor averaging and the serial number.
#include "fanbase.h"

#include "link/llprotocol.h"
#include "link/llprotocolpacket.h"

#include <QDebug>
#include <QTime>

namespace {
constexpr int kCountersReplySize = 37;
constexpr int kCountersPerPacket = 8;
constexpr int kTimerReplySize = 8;
constexpr int kMemoryRequestSize = 9;
} // namespace

// ---- Persistent counters ---------------------------------------------------------------------

bool CFanBase::getCounters()
{
    qDebug() << "CFan::getCounters at" << QTime::currentTime().toString();
    if (!isConnected())
        return false;
    m_Counters.clear();
    if (!sendCommand(HLP_GET_COUNTERS)) {
        qDebug() << "CFan::getCounters: Error sending request for persistant counters";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::getCounters: Error getting the persistant counters",
                                    "CFan::getCounters: Received wrong packet",
                                    "CFan::getCounters: Packet size mismatch"};
    // A train of packets, each telling how many values are still to come, its own included.
    for (;;) {
        CLLProtocolPacket reply;
        if (!receiveReply(reply, hlpReplyId(HLP_GET_COUNTERS), kCountersReplySize, kCheck))
            return false;
        const UINT32 remaining = le::u32(reply.Data() + 1);
        const int take = int(qMin<UINT32>(remaining, kCountersPerPacket));
        for (int i = 0; i < take; ++i)
            m_Counters.append(le::u32(reply.Data() + 5 + 4 * i));
        if (remaining <= UINT32(kCountersPerPacket))
            return true;
    }
}

UINT32 CFanBase::getCounter(int index) const
{
    if (index < 0 || index >= m_Counters.size())
        return 0xFFFFFFFF;
    return m_Counters[index];
}

QString CFanBase::counterName(int index) const
{
    if (index < 0 || index >= m_Counters.size())
        return QString();
    return CPersCounter_ReadOnly::name(index);
}

bool CFanBase::readWriteCounterValue(CPersCounter_ReadOnly::ECntID id, UINT32* value, bool write)
{
    if (!value && write)
        return false;
    if (!isConnected())
        return false;
    qDebug() << "sizeof(SHLP_ReadWriteSinglePersCounter)" << SHLP_ReadWriteSinglePersCounter::kSize;
    SHLP_ReadWriteSinglePersCounter request;
    request.m_CntID = UINT8(id);
    request.m_Action =
        write ? SHLP_ReadWriteSinglePersCounter::EWrite : SHLP_ReadWriteSinglePersCounter::ERead;
    request.m_Value = write ? *value : SHLP_ReadWriteSinglePersCounter::kReadValue;
    UINT8 bytes[SHLP_ReadWriteSinglePersCounter::kSize];
    request.toBytes(bytes);

    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, bytes, sizeof bytes)) {
        qDebug() << "CFan::counterValue: Error sending request for single pers counter";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::counterValue: Error getting the result package",
                                    "CFan::counterValue: Received wrong packet",
                                    "CFan::counterValue:: Packet size mismatch",
                                    EExpectedLine::Compact};
    CLLProtocolPacket reply;
    if (!receiveReply(protocol, reply, hlpReplyId(HLP_RW_PERS_COUNTER),
                      SHLP_ReadWriteSinglePersCounter::kSize, kCheck))
        return false;
    const auto answer = SHLP_ReadWriteSinglePersCounter::fromBytes(reply.Data());
    if (answer.m_Action == SHLP_ReadWriteSinglePersCounter::EError) {
        qDebug() << "CFan::counterValue:: received packet has m_Action set to 'EError'";
        return false;
    }
    if (write) {
        if (answer.m_Value != *value) {
            qDebug() << "CFan::counterValue (writing) received packet has wrong value";
            return false;
        }
        return true;
    }
    if (value)
        *value = answer.m_Value;
    return true;
}

// ---- Device clock and memory -----------------------------------------------------------------

bool CFanBase::getTimer(UINT16* ms, UINT8* seconds, UINT8* minutes, UINT8* hours, UINT16* days)
{
    if (!isConnected())
        return false;
    if (!sendCommand(HLP_GET_TIMER)) {
        qDebug() << "CFan::getTimer: Error sending request for getting the time";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::getTimer: Error getting the time",
                                    "CFan::getTimer: Received wrong packet",
                                    "CFan::getTimer: Packet size mismatch"};
    CLLProtocolPacket reply;
    if (!receiveReply(reply, hlpReplyId(HLP_GET_TIMER), kTimerReplySize, kCheck))
        return false;
    const UINT8* d = reply.Data();
    if (ms)
        *ms = le::u16(d + 1);
    if (seconds)
        *seconds = d[3];
    if (minutes)
        *minutes = d[4];
    if (hours)
        *hours = d[5];
    if (days)
        *days = le::u16(d + 6);
    return true;
}

bool CFanBase::reportMemory(int address, int length, QVector<UINT8>& out)
{
    if (!isConnected())
        return false;
    UINT8 request[kMemoryRequestSize];
    request[0] = HLP_REPORT_MEMORY;
    le::put32(request + 1, UINT32(address));
    le::put32(request + 5, UINT32(length));
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, request, sizeof request)) {
        qDebug() << "CFan::reportMemory: Error sending request for memory dump";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::reportMemory: Error getting the memory dump",
                                    "CFan::reportMemory: Received wrong packet", ""};
    CLLProtocolPacket reply;
    if (!receiveReply(protocol, reply, hlpReplyId(HLP_REPORT_MEMORY), kAnySize, kCheck))
        return false;
    if (reply.DataLen() == 0) {
        qDebug() << "CFan::reportMemory: Packet too small";
        return false;
    }
    out.resize(reply.DataLen() - 1);
    std::copy(reply.Data() + 1, reply.Data() + reply.DataLen(), out.begin());
    return true;
}

// ---- Secondary-log administration ------------------------------------------------------------

bool CFanBase::getSecLogCnt(UINT16* logSize, UINT16* entriesUsed, UINT16* oldestIndex)
{
    if (!isConnected())
        return false;
    qDebug() << "sizeof(SHLP_GetSecLogCnt)" << SHLP_GetSecLogCnt::kSize;
    UINT8 request[SHLP_GetSecLogCnt::kSize];
    SHLP_GetSecLogCnt().toBytes(request);
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, request, sizeof request)) {
        qDebug() << "CFan::getSecLogCnt: Error sending request for secondary log count";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::getSecLogCnt: Error getting the result package",
                                    "CFan::getSecLogCnt: Received wrong packet",
                                    "CFan::getSecLogCnt: Packet size mismatch",
                                    EExpectedLine::Compact};
    CLLProtocolPacket reply;
    if (!receiveReply(protocol, reply, hlpReplyId(HLP_GET_SEC_LOG_CNT), SHLP_GetSecLogCnt::kSize,
                      kCheck))
        return false;
    const auto answer = SHLP_GetSecLogCnt::fromBytes(reply.Data());
    for (int span = 0; span < SHLP_GetSecLogCnt::kSpans; ++span) {
        if (logSize)
            logSize[span] = answer.m_Size[span];
        if (entriesUsed)
            entriesUsed[span] = answer.m_Used[span];
        if (oldestIndex)
            oldestIndex[span] = answer.m_Oldest[span];
    }
    return true;
}

bool CFanBase::checkSecLog(CLogging::EMaxTimeSpan span, quint8& result)
{
    if (!isConnected())
        return false;
    qDebug() << "sizeof(SHLP_CheckSecLog)" << SHLP_CheckSecLog::kSize;
    const UINT8 request[SHLP_CheckSecLog::kSize] = {HLP_CHECK_SEC_LOG, UINT8(span), 0};
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, request, sizeof request)) {
        qDebug() << "CFan::checkSecLog: Error sending request for secondary log";
        return false;
    }
    static const SReplyCheck kCheck{"CFan::checkSecLog: Error getting the result package",
                                    "CFan::checkSecLog: Received wrong packet",
                                    "CFan::checkSecLog:: Packet size mismatch",
                                    EExpectedLine::Compact};
    CLLProtocolPacket reply;
    if (!receiveReply(protocol, reply, hlpReplyId(HLP_CHECK_SEC_LOG), SHLP_CheckSecLog::kSize,
                      kCheck))
        return false;
    result = reply.Data()[2];
    return true;
}

bool CFanBase::eraseSecLog(CLogging::EMaxTimeSpan span)
{
    if (!isConnected())
        return false;
    qDebug() << "sizeof(SHLP_EraseSecLog)" << SHLP_EraseSecLog::kSize;
    const UINT8 request[SHLP_EraseSecLog::kSize] = {HLP_ERASE_SEC_LOG, UINT8(span)};
    CLLProtocol protocol(wire());
    if (!sendRecord(protocol, request, sizeof request)) {
        qDebug() << "CFan::eraseSecLog: Error sending request for secondary log";
        return false;
    }
    return true;
}

// ---- Sensor averaging and serial number ------------------------------------------------------

bool CFanBase::calcAveSenVal()
{
    if (!isConnected())
        return false;
    if (!sendCommand(HLP_CALC_AVE_SEN_VAL)) {
        qDebug() << "CFan::calcAveSenVal: Error sending request for calculate sensor values";
        return false;
    }
    return true;
}

bool CFanBase::setSerialNumber(UINT32 serialNumber)
{
    if (serialNumber == 0 || !isConnected())
        return false;
    UINT8 request[SHLP_IdentData::kSize] = {};
    request[0] = HLP_SET_SERIAL_NUMBER;
    le::put32(request + 1, serialNumber);
    CLLProtocol protocol(wire(), debugOutput());
    return sendRecord(protocol, request, sizeof request);
}
