// CDevSimUnit: the replies that carry records and packet trains.
#include "devsimcodes.h"
#include "devsimunit.h"

#include <algorithm>

using namespace devsim;

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
        // An image the unit did not keep leaves the entry as it was.
        const SDevSimFlashedImage* img =
            type == m_Behaviour.keepImageType ? nullptr : m_Flash.lastComplete(type);
        UINT8 mainVer = UINT8(version / 100);
        UINT8 subVer = UINT8(version % 100);
        if (img && !img->blocks.isEmpty()) {
            start = img->blocks.first().memAdr;
            const auto& last = img->blocks.last();
            size = last.memAdr + UINT32(last.data.size()) - start;
            mainVer = img->mainVer;
            subVer = img->subVer;
        }
        const UINT8 crcFlags = type == m_Behaviour.crcKoType ? 0x02 : 0x01; // CRC16KO : CRC16OK
        table +=
            devsim::encodePartition(start, UINT16(size), UINT8(type), mainVer, subVer, crcFlags);
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
