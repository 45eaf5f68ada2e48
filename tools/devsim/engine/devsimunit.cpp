#include "devsimunit.h"

#include "link/llprotocolpacket.h"

#include <algorithm>

namespace {
// Request codes of the high-level protocol.
enum : UINT8 {
    kIdent = 1,
    kIdentReply = 2,
    kSetSerial = 3,
    kFlashBegin = 4,
    kFlashEnd = 5,
    kSwap = 6,
    kPartHeader = 7,
    kPartData = 8,
    kPartEnd = 9,
    kSwapReply = 10,
    kPartTable = 11,
    kMemory = 12,
    kCounters = 13,
    kTimer = 14,
    kPrimLog = 15,
    kSimulation = 16,
    kStart = 17,
    kStartupMode = 18,
    kCurrentState = 19,
    kSecLog = 20,
    kEraseSecLog = 21,
    kCalcAverage = 22,
    kCheckSecLog = 23,
    kSecLogCnt = 24,
    kVentInfo = 25,
    kWifiData = 26,
    kCounter = 27,
    kMoveVent = 28,
    kCredentials = 29,
};

constexpr int kCountersPerPacket = 8;
constexpr int kCountersReplySize = 37;
constexpr int kPrimPerPacket = 7;
constexpr int kPrimReply100Size = 186;
constexpr int kPrimReply70Size = 200;
constexpr int kSecPerPacket = 5;
constexpr int kSecReplySize = 166;
constexpr int kSecRequestMin = 6;
constexpr int kPartTableReplySize = 120;
constexpr int kMaxDump = 199;
constexpr int kSimulation100Size = 22;
constexpr int kSimulation70Size = 30;
constexpr int kWifiReplySize = 170;
constexpr int kCounterRecordSize = 7;
constexpr int kSecLogCntSize = 20;
constexpr UINT16 kSwapSecurityBits = 0x00A5;
constexpr UINT8 kSwapRefused = 1;
constexpr int kCounterBootCycles = 3;
constexpr int kCounterPrevVersion = 33;
constexpr int kCounterVersion = 34;
constexpr int kCounterSecErased = 35; // 35, 36, 37 by span
constexpr int kCounterDeiceSwitchOff = 39;
constexpr int kCounterDeiceExhaust = 40;
constexpr UINT8 kCounterError = 2;

QByteArray payload(UINT8 code, int size)
{
    QByteArray out(size, '\0');
    out[0] = char(code);
    return out;
}

UINT8* bytes(QByteArray& a)
{
    return reinterpret_cast<UINT8*>(a.data());
}

int packVersion(UINT8 mainVer, UINT8 subVer)
{
    return mainVer * 100 + subVer;
}
} // namespace

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

// The idle copy becomes the running one, unless it is incomplete: then the reply carries a
// non-zero return code and nothing changes.
void CDevSimUnit::swapBootloaders(SOutcome& out)
{
    QByteArray r = payload(kSwapReply, 4);
    le::put16(bytes(r) + 2, kSwapSecurityBits);
    const UINT8 idle = m_Id.runningCopy == 1 ? 2 : 1;
    if (!m_Flash.copyIntact(idle)) {
        recordViolation(QStringLiteral("swap refused: bootloader copy %1 is incomplete").arg(idle));
        r[1] = char(kSwapRefused);
        out.replies << r;
        return;
    }
    out.replies << r;
    m_Id.runningCopy = idle;
    const int ver = m_BootVer[idle];
    m_Id.bootMain = UINT8(ver / 100);
    m_Id.bootSub = UINT8(ver % 100);
    if (bootloaderRuns())
        m_Id.partner = m_Id.runningCopy;
    log(QStringLiteral("bootloaders swapped: copy %1 runs, version %2.%3")
            .arg(m_Id.runningCopy)
            .arg(m_Id.bootMain)
            .arg(m_Id.bootSub, 2, 10, QLatin1Char('0')));
    out.rebootAfterMs = m_Behaviour.rebootAfterSwapMs;
}

void CDevSimUnit::handleFlash(UINT8 code, const UINT8* d, UINT16 len, UINT8 flags, SOutcome& out)
{
    if (!bootloaderRuns()) {
        m_Flash.record(
            QStringLiteral("request %1 while partner %2 answers").arg(code).arg(m_Id.partner));
        out.ack = false;
    } else {
        CDevSimFlash::EResult result = CDevSimFlash::EAccepted;
        const SDevSimFlashedImage* finished = nullptr;
        switch (code) {
        case kFlashBegin:
            result = m_Flash.begin();
            break;
        case kPartHeader:
            result = m_Flash.header(d, len, m_Id.runningCopy);
            break;
        case kPartData:
            result = m_Flash.chunk(d, len, flags & LLF_APP);
            break;
        case kPartEnd:
            result = m_Flash.partitionEnd(m_Behaviour.checkBlockCrc);
            break;
        default:
            result = m_Flash.end(&finished);
            break;
        }
        out.ack = result == CDevSimFlash::EAccepted;
        if (finished)
            adoptFlashed(*finished, out);
    }
    if (!out.ack && !m_Flash.violations().isEmpty())
        log(QStringLiteral("refused: %1").arg(m_Flash.violations().last()));
}

void CDevSimUnit::adoptFlashed(const SDevSimFlashedImage& image, SOutcome& out)
{
    switch (image.type) {
    case 1:
    case 2:
        setBootVersion(image.type, image.mainVer, image.subVer);
        break;
    case 3:
        if (m_Counters.size() > kCounterVersion) {
            m_Counters[kCounterPrevVersion] = UINT32(packVersion(m_Id.applMain, m_Id.applSub));
            m_Counters[kCounterVersion] = UINT32(packVersion(image.mainVer, image.subVer));
        }
        m_Id.applMain = image.mainVer;
        m_Id.applSub = image.subVer;
        m_Id.partnerX = 0;
        m_Live.softwareVersion = packVersion(image.mainVer, image.subVer);
        out.rebootAfterMs = m_Behaviour.rebootAfterUploadMs;
        break;
    default:
        m_Id.wifiMain = UINT8(image.mainVer & 0x1F);
        m_Id.wifiSub = UINT8(image.subVer & 0x7F);
        break;
    }
    log(QStringLiteral("image of type %1 written, version %2.%3")
            .arg(image.type)
            .arg(image.mainVer)
            .arg(image.subVer, 2, 10, QLatin1Char('0')));
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

void CDevSimUnit::replyCounters(SOutcome& out) const
{
    const int total = m_Counters.size();
    int sent = 0;
    do {
        QByteArray r = payload(kCounters, kCountersReplySize);
        le::put32(bytes(r) + 1, UINT32(total - sent));
        for (int i = 0; i < kCountersPerPacket && sent + i < total; ++i)
            le::put32(bytes(r) + 5 + 4 * i, m_Counters[sent + i]);
        out.replies << r;
        sent += kCountersPerPacket;
    } while (sent < total);
}

void CDevSimUnit::replyPrimLog(SOutcome& out) const
{
    const int entrySize = m_Id.plus() ? devsim::kPrimEntry70Size : devsim::kPrimEntry100Size;
    const int replySize = m_Id.plus() ? kPrimReply70Size : kPrimReply100Size;
    const int total = m_PrimLog.size();
    int sent = 0;
    do {
        QByteArray r = payload(kPrimLog, replySize);
        le::put16(bytes(r) + 2, UINT16(total - sent));
        for (int i = 0; i < kPrimPerPacket && sent + i < total; ++i) {
            const QByteArray& e = m_PrimLog[sent + i];
            std::copy_n(e.constData(), std::min<int>(e.size(), entrySize),
                        r.data() + 4 + i * entrySize);
        }
        out.replies << r;
        sent += kPrimPerPacket;
    } while (sent < total);
}

void CDevSimUnit::replySecLog(const UINT8* d, UINT16 len, SOutcome& out) const
{
    (void)len;
    const UINT8 span = d[1];
    const UINT16 first = le::u16(d + 2);
    const UINT16 wanted = le::u16(d + 4);
    if (span > 2) {
        log(QStringLiteral("secondary log: no span %1").arg(span));
        QByteArray r = payload(kSecLog, kSecReplySize);
        r[1] = char(span);
        out.replies << r;
        return;
    }
    const SDevSimSecRing& ring = m_SecRings[span];
    const int total = ring.size ? std::min<int>(wanted, ring.used) : 0;
    int sent = 0;
    do {
        QByteArray r = payload(kSecLog, kSecReplySize);
        r[1] = char(span);
        le::put16(bytes(r) + 2, UINT16(ring.size ? (first + sent) % ring.size : 0));
        le::put16(bytes(r) + 4, UINT16(total - sent));
        for (int i = 0; i < kSecPerPacket && sent + i < total; ++i) {
            const int slot = (first + sent + i) % ring.size;
            if (slot >= ring.slots.size())
                continue;
            const QByteArray& e = ring.slots[slot];
            std::copy_n(e.constData(), std::min<int>(e.size(), devsim::kSecEntrySize),
                        r.data() + 6 + i * devsim::kSecEntrySize);
        }
        out.replies << r;
        sent += kSecPerPacket;
    } while (sent < total);
}

void CDevSimUnit::replyPartitionTable(SOutcome& out) const
{
    QByteArray table;
    auto add = [&](int type, UINT32 start, UINT32 size, int version) {
        const SDevSimFlashedImage* img = m_Flash.lastComplete(type);
        UINT8 mainVer = UINT8(version / 100);
        UINT8 subVer = UINT8(version % 100);
        if (img && !img->blocks.isEmpty()) {
            start = img->blocks.first().memAdr;
            const auto& last = img->blocks.last();
            size = last.memAdr + UINT32(last.data.size()) - start;
            mainVer = img->mainVer;
            subVer = img->subVer;
        }
        table += devsim::encodePartition(start, UINT16(size), UINT8(type), mainVer, subVer, 0x01);
    };
    add(1, 0x00000, 0x5020, m_BootVer[1]);
    add(2, 0x00000, 0x84FC, m_BootVer[2]);
    add(3, 0x08800, 0xE4AE, packVersion(m_Id.applMain, m_Id.applSub));
    if (!m_Id.plus())
        add(4, 0x00000, 94838, m_Id.wifiMain * 100 + m_Id.wifiSub);
    table.append(
        QByteArray(devsim::kPartitionEntries * devsim::kPartitionEntrySize - table.size(), '\0'));
    out.replies << table.left(kPartTableReplySize)
                << table.mid(kPartTableReplySize, kPartTableReplySize);
}

void CDevSimUnit::replyMemory(const UINT8* d, UINT16 len, SOutcome& out) const
{
    (void)len;
    const UINT32 address = le::u32(d + 1);
    const UINT32 length = std::min<UINT32>(le::u32(d + 5), kMaxDump);
    QByteArray r = payload(kMemory, 1 + int(length));
    for (UINT32 i = 0; i < length; ++i) {
        UINT8 b = 0;
        const UINT32 a = address + i;
        if (!m_Flash.readByte(a, b))
            b = UINT8(a ^ (a >> 8));
        r[int(1 + i)] = char(b);
    }
    out.replies << r;
}

void CDevSimUnit::replyTimer(qint64 nowMs, SOutcome& out) const
{
    const qint64 ms = std::max<qint64>(0, clockMs(nowMs));
    QByteArray r = payload(kTimer, 8);
    le::put16(bytes(r) + 1, UINT16(ms % 1000));
    r[3] = char((ms / 1000) % 60);
    r[4] = char((ms / 60000) % 60);
    r[5] = char((ms / 3600000) % 24);
    le::put16(bytes(r) + 6, UINT16(ms / 86400000));
    out.replies << r;
}

void CDevSimUnit::replyCounter(const UINT8* d, UINT16 len, SOutcome& out)
{
    (void)len;
    QByteArray r(reinterpret_cast<const char*>(d), kCounterRecordSize);
    const UINT8 id = d[1];
    const UINT8 action = d[2];
    if (id >= m_Counters.size() || action > 1) {
        log(QStringLiteral("counter %1 action %2 refused").arg(id).arg(action));
        r[2] = char(kCounterError);
        le::put32(bytes(r) + 3, 0xFFFFFFFFu);
    } else {
        if (action == 1)
            m_Counters[id] = le::u32(d + 3);
        le::put32(bytes(r) + 3, m_Counters[id]);
        if (id == kCounterDeiceSwitchOff)
            react();
    }
    out.replies << r;
}

void CDevSimUnit::replyVentInfo(SOutcome& out) const
{
    QByteArray r = payload(kVentInfo, 2 + devsim::kVentCount * devsim::kVentInfoSize);
    for (int v = 0; v < devsim::kVentCount; ++v) {
        UINT8* p = bytes(r) + 2 + v * devsim::kVentInfoSize;
        const SDevSimVentStats& s = m_Vents[size_t(v)];
        p[0] = UINT8(v);
        le::put32(p + 12, s.speedSumOpen);
        le::put32(p + 16, s.speedSumClose);
        p[25] = UINT8((s.stops << 4) | (s.shakeLoose & 0x0F));
        p[27] = s.runTimeOpen;
        p[28] = s.runTimeClose;
        le::put16(p + 32, s.maxIMean);
    }
    out.replies << r;
}
