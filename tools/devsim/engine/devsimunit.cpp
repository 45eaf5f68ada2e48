#include "devsimunit.h"

#include "devsimcodes.h"

#include <algorithm>

using namespace devsim;

CDevSimUnit::CDevSimUnit(const SDevSimIdentity& identity, const SDevSimBehaviour& behaviour)
    : m_Id(identity), m_Behaviour(behaviour)
{
    if (m_Id.partner == 1 || m_Id.partner == 2)
        m_Id.runningCopy = m_Id.partner;
    if (m_Id.runningCopy != 1 && m_Id.runningCopy != 2)
        m_Id.runningCopy = 1;
    m_BootVer[1] = m_BootVer[2] = packVersion(m_Id.bootMain, m_Id.bootSub);
    m_Id.counterCount = std::max(0, std::min(255, m_Id.counterCount));
    m_Counters.fill(0, m_Id.counterCount);
    const UINT32 defaults[][2] = {
        {0, 118},
        {1, 5321},
        {2, 1730},
        {kCounterBootCycles, 87},
        {11, 2},
        {kCounterPrevVersion, 218},
        {kCounterVersion, UINT32(packVersion(m_Id.applMain, m_Id.applSub))},
        {kCounterDeiceSwitchOff, 22},
        {kCounterDeiceExhaust, 11},
    };
    for (const auto& d : defaults)
        if (int(d[0]) < m_Counters.size())
            m_Counters[int(d[0])] = d[1];
    for (int i = 50; i < std::min(74, m_Counters.size()); ++i)
        m_Counters[i] = UINT32(i - 49);
    m_Live.softwareVersion = packVersion(m_Id.applMain, m_Id.applSub);
    react();
    fillPrimaryLog(9);
    fillSecRing(0, 96, 96, 37);
    fillSecRing(1, 62, 40, 0);
    fillSecRing(2, 24, 5, 0);
    for (int v = 0; v < devsim::kVentCount; ++v) {
        m_Vents[size_t(v)].speedSumOpen = UINT32(40000 + 1000 * v);
        m_Vents[size_t(v)].speedSumClose = UINT32(38000 + 1000 * v);
        m_Vents[size_t(v)].runTimeOpen = 24;
        m_Vents[size_t(v)].runTimeClose = 22;
        m_Vents[size_t(v)].maxIMean = UINT16(180 + v);
    }
    m_ClockAtBoot = ((3LL * 24 + 4) * 3600 + 5 * 60 + 6) * 1000 + 789;
}

void CDevSimUnit::log(const QString& line) const
{
    if (m_Log)
        m_Log(line);
}

void CDevSimUnit::recordViolation(const QString& text)
{
    log(text);
    m_Flash.record(text);
}

int CDevSimUnit::bootVersion(int copy) const
{
    return (copy == 1 || copy == 2) ? m_BootVer[size_t(copy)] : 0;
}

void CDevSimUnit::setBootVersion(int copy, UINT8 mainVer, UINT8 subVer)
{
    if (copy != 1 && copy != 2)
        return;
    m_BootVer[size_t(copy)] = packVersion(mainVer, subVer);
    if (copy == m_Id.runningCopy) {
        m_Id.bootMain = mainVer;
        m_Id.bootSub = subVer;
    }
}

void CDevSimUnit::setClockMs(qint64 ms, qint64 nowMs)
{
    m_ClockAtBoot = ms - (nowMs - m_BootAt);
}

void CDevSimUnit::fillSecRing(int span, UINT16 size, UINT16 used, UINT16 oldest)
{
    if (span < 0 || span > 2)
        return;
    SDevSimSecRing& ring = m_SecRings[size_t(span)];
    ring.size = size;
    ring.used = std::min(used, size);
    ring.oldest = size ? UINT16(oldest % size) : 0;
    ring.slots.fill(QByteArray(devsim::kSecEntrySize, '\0'), size);
    for (int k = 0; k < ring.used; ++k) {
        const int slot = (ring.oldest + k) % size;
        ring.slots[slot] = devsim::makeSecEntry(span, k, slot, m_Id.plus());
    }
}

void CDevSimUnit::fillPrimaryLog(int count)
{
    m_PrimLog.clear();
    SDevSimLive v = m_Live;
    for (int i = 0; i < count; ++i) {
        v.supplyTemp8 = m_Live.supplyTemp8 + i;
        v.extractHum = m_Live.extractHum + i % 5;
        v.program = i % 5;
        v.comfortCode = i % 8;
        m_PrimLog << (m_Id.plus() ? devsim::encodePrimEntry70(v) : devsim::encodePrimEntry100(v));
    }
}

QByteArray CDevSimUnit::identRecord() const
{
    QByteArray out = payload(kIdentReply, devsim::kIdentSize);
    UINT8* p = bytes(out);
    le::put32(p + 1, m_Id.serial);
    p[6] = m_Id.board;
    p[7] = m_Id.partner;
    p[8] = m_Id.partnerX;
    p[9] = m_Id.bootMain;
    p[10] = m_Id.bootSub;
    p[11] = m_Id.applMain;
    p[12] = m_Id.applSub;
    const UINT16 features = UINT16((m_Id.plus() ? 1 : 0) | ((m_Id.wifiMain & 0x1F) << 1) |
                                   ((m_Id.wifiSub & 0x7F) << 6));
    le::put16(p + 13, features);
    return out;
}

QByteArray CDevSimUnit::currentStateRecord() const
{
    const QByteArray entry =
        m_Id.plus() ? devsim::encodePrimEntry70(m_Live) : devsim::encodePrimEntry100(m_Live);
    QByteArray out = payload(kCurrentState, 2);
    return out + entry;
}

// The controller's reaction to its inputs, so that simulated values show in the state.
void CDevSimUnit::react()
{
    SDevSimLive& v = m_Live;
    const bool deicingOn = m_Counters.size() > kCounterDeiceSwitchOff &&
                           m_Counters[kCounterDeiceSwitchOff] >= 1 &&
                           m_Counters[kCounterDeiceSwitchOff] <= 9;
    v.deicing = deicingOn && v.outdoorTemp8 < -3 * 8;
    v.defrostState = v.outdoorTemp8 < -5 * 8 ? 1 : 0;
    if (v.co2Ppm > 1200)
        v.program = 4;
    else if (v.humReduction && v.extractHum > 65)
        v.program = 1;
    else if (v.outdoorTemp8 > 24 * 8 && v.extractTemp8 > v.outdoorTemp8)
        v.program = 3;
    else
        v.program = 0;
    v.airFlowCode = std::min(31, 10 + 3 * (v.comfortCode & 7) + (v.program ? 4 : 0));
    v.fanExtractRpm = 700 + 160 * v.airFlowCode / 4;
    v.fanSupplyRpm = v.fanExtractRpm - 20;
    v.ventPos[3] = v.program == 3 ? 31 : 25; // bypass opens for summer cooling
    v.supplyTempVirt8 = v.supplyTemp8;
}

void CDevSimUnit::applySimulation(const UINT8* d, UINT16 len)
{
    SDevSimLive& v = m_Live;
    if (!m_Id.plus()) {
        v.comfortCode = d[1] & 7;
        v.dipSwitch = d[2];
        v.humReduction = d[3] != 0;
        v.supplyTemp8 = le::i16(d + 6);
        v.outdoorTemp8 = le::i16(d + 8);
        v.outdoorHum = le::i16(d + 10);
        v.exhaustTemp8 = le::i16(d + 12);
        v.extractTemp8 = le::i16(d + 14);
        v.extractHum = le::i16(d + 16);
        v.co2Ppm = le::i16(d + 18);
    } else {
        v.comfortCode = d[1] & 7;
        v.dipSwitch = d[2];
        v.supplyTemp8 = le::i16(d + 6);
        v.extractTemp8 = le::i16(d + 8);
        v.supplyHum = le::i16(d + 10);
        v.extractHum = le::i16(d + 12);
        v.co2SupplyPpm = le::i16(d + 14);
        v.co2Ppm = le::i16(d + 16);
    }
    m_LastSimulation = QByteArray(reinterpret_cast<const char*>(d), len);
    ++m_SimulationCount;
    react();
}

CDevSimUnit::SOutcome CDevSimUnit::handle(const UINT8* d, UINT16 len, UINT8 flags, qint64 nowMs)
{
    SOutcome out;
    if (!d || len == 0) {
        recordViolation(QStringLiteral("request without data ignored"));
        return out;
    }
    const UINT8 code = d[0];
    ++m_RequestCounts[code];
    log(QStringLiteral("request code %1 length %2").arg(code).arg(len));

    auto tooShort = [&](int need) {
        if (len >= need)
            return false;
        recordViolation(
            QStringLiteral("request %1: %2 bytes, needs %3; ignored").arg(code).arg(len).arg(need));
        return true;
    };

    switch (code) {
    case kIdent:
        out.replies << identRecord();
        break;
    case kSetSerial:
        if (tooShort(5))
            break;
        if (le::u32(d + 1) == 0) {
            recordViolation(QStringLiteral("serial number 0 ignored"));
            break;
        }
        m_Id.serial = le::u32(d + 1);
        break;
    case kFlashBegin:
    case kFlashEnd:
    case kPartHeader:
    case kPartData:
    case kPartEnd:
        handleFlash(code, d, len, flags, out);
        break;
    case kSwap:
        swapBootloaders(out);
        break;
    case kPartTable:
        replyPartitionTable(out);
        break;
    case kMemory:
        if (!tooShort(9))
            replyMemory(d, len, out);
        break;
    case kCounters:
        replyCounters(out);
        break;
    case kTimer:
        replyTimer(nowMs, out);
        break;
    case kPrimLog:
        replyPrimLog(out);
        break;
    case kSimulation: {
        const int need = m_Id.plus() ? kSimulation70Size : kSimulation100Size;
        if (len != need) {
            recordViolation(QStringLiteral("simulation values: %1 bytes, expected %2; ignored")
                                .arg(len)
                                .arg(need));
            break;
        }
        applySimulation(d, len);
        break;
    }
    case kStart:
        ++m_StartRequests;
        if (bootloaderRuns()) {
            m_Id.partner = 3;
            log(QStringLiteral("start: the application runs"));
        }
        break;
    case kStartupMode:
        if (!tooShort(2))
            m_StartupMode = d[1];
        break;
    case kCurrentState:
        out.replies << currentStateRecord();
        break;
    case kSecLog:
        if (!tooShort(kSecRequestMin))
            replySecLog(d, len, out);
        break;
    case kEraseSecLog:
        if (tooShort(2) || d[1] > 2)
            break;
        fillSecRing(d[1], m_SecRings[d[1]].size, 0, 0);
        if (kCounterSecErased + d[1] < m_Counters.size())
            ++m_Counters[kCounterSecErased + d[1]];
        break;
    case kCalcAverage:
        break;
    case kCheckSecLog: {
        if (tooShort(2))
            break;
        QByteArray r = payload(kCheckSecLog, 3);
        r[1] = char(d[1]);
        r[2] = char(d[1] <= 2 ? m_SecCheck[d[1]] : 0xFF);
        out.replies << r;
        break;
    }
    case kSecLogCnt: {
        QByteArray r = payload(kSecLogCnt, kSecLogCntSize);
        for (int s = 0; s < 3; ++s) {
            le::put16(bytes(r) + 2 + 2 * s, m_SecRings[size_t(s)].size);
            le::put16(bytes(r) + 8 + 2 * s, m_SecRings[size_t(s)].used);
            le::put16(bytes(r) + 14 + 2 * s, m_SecRings[size_t(s)].oldest);
        }
        out.replies << r;
        break;
    }
    case kVentInfo:
        replyVentInfo(out);
        break;
    case kWifiData: {
        QByteArray r = payload(kWifiData, kWifiReplySize);
        r[2] = char(m_Rssi);
        out.replies << r;
        break;
    }
    case kCounter:
        if (!tooShort(kCounterRecordSize))
            replyCounter(d, len, out);
        break;
    case kMoveVent: {
        if (tooShort(3))
            break;
        if (d[1] >= devsim::kVentCount || d[2] > 31) {
            recordViolation(
                QStringLiteral("move vent %1 to %2: no such vent or position").arg(d[1]).arg(d[2]));
            break;
        }
        m_Live.ventPos[d[1]] = d[2];
        SDevSimVentStats& s = m_Vents[d[1]];
        ++s.moves;
        s.stops = UINT8((s.stops + 1) & 0x0F);
        s.speedSumOpen += 120;
        s.speedSumClose += 110;
        break;
    }
    case kCredentials:
        m_Credentials = QByteArray(reinterpret_cast<const char*>(d), len);
        break;
    default:
        recordViolation(QStringLiteral("unknown request code %1 ignored").arg(code));
        break;
    }
    return out;
}

void CDevSimUnit::powerCycle(qint64 nowMs)
{
    m_Flash.reset();
    ++m_PowerCycles;
    if (m_Counters.size() > kCounterBootCycles)
        ++m_Counters[kCounterBootCycles];
    const bool toApp = m_Behaviour.restart == EDevSimRestart::Application;
    m_Id.partner = toApp ? 3 : m_Id.runningCopy;
    m_BootAt = nowMs;
    log(QStringLiteral("power cycle: partner %1 answers").arg(m_Id.partner));
}
