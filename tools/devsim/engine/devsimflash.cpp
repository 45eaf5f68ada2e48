#include "devsimflash.h"

#include "link/llprotocolpacket.h"

namespace {
constexpr UINT16 kHeaderSize = 16;
constexpr UINT16 kChunkPacketSize = 200;
constexpr UINT16 kChunkHeaderSize = 8;
constexpr UINT16 kMaxChunk = 192;
constexpr int kWifiType = 4;

UINT32 paddedLength(UINT32 plainLen)
{
    return (plainLen + 7u) & ~7u;
}

QString hex(UINT32 v)
{
    return QStringLiteral("0x%1").arg(v, 0, 16);
}
} // namespace

CDevSimFlash::EResult CDevSimFlash::violation(const QString& text)
{
    m_Violations << text;
    ++m_Revision;
    return ERefused;
}

void CDevSimFlash::record(const QString& text)
{
    violation(text);
}

SDevSimFlashedBlock* CDevSimFlash::openBlock()
{
    if (!m_BlockOpen || m_SessionImage < 0 || m_SessionImage >= m_Images.size() ||
        m_Images[m_SessionImage].blocks.isEmpty())
        return nullptr;
    return &m_Images[m_SessionImage].blocks.last();
}

CDevSimFlash::EResult CDevSimFlash::begin()
{
    if (m_InSession && m_BlockOpen)
        m_Violations << QStringLiteral("begin: the previous upload was left with an open block");
    m_InSession = true;
    m_BlockOpen = false;
    m_SessionImage = -1;
    m_LastStep = EStep::Begin;
    ++m_Revision;
    return EAccepted;
}

CDevSimFlash::EResult CDevSimFlash::header(const UINT8* d, UINT16 len, int runningCopy)
{
    if (len != kHeaderSize)
        return violation(
            QStringLiteral("header: length %1, expected %2").arg(len).arg(kHeaderSize));
    if (!m_InSession)
        return violation(QStringLiteral("header: no upload begun"));
    const QByteArray raw(reinterpret_cast<const char*>(d), len);
    if (m_BlockOpen && m_LastStep == EStep::Header && raw == m_LastHeader)
        return EAccepted; // repeated after a lost acknowledgement
    if (m_BlockOpen)
        return violation(
            QStringLiteral("header: block at %1 not ended").arg(hex(openBlock()->memAdr)));

    SDevSimFlashedBlock block;
    block.memAdr = le::u32(d + 1);
    block.typeByte = d[7];
    block.crc16 = le::u16(d + 14);
    const int type = d[7] & 0x0F;
    const UINT32 high = UINT32(d[7] >> 4);
    if (type < 1 || type > 5)
        return violation(QStringLiteral("header: partition type byte %1").arg(hex(d[7])));
    if (high != 0 && type != kWifiType)
        return violation(QStringLiteral("header: length bits in type byte %1 of type %2")
                             .arg(hex(d[7]))
                             .arg(type));
    if (type == runningCopy)
        return violation(QStringLiteral("header: bootloader copy %1 is running").arg(type));
    block.plainLen = le::u16(d + 5) | (high << 16);

    const UINT8 mainVer = d[8];
    const UINT8 subVer = d[9];
    const UINT32 startAdr = le::u32(d + 10);
    // A new image starts with the session's first header or a header of another type/version.
    bool sameImage = m_SessionImage >= 0;
    if (sameImage) {
        const SDevSimFlashedImage& img = m_Images[m_SessionImage];
        sameImage = img.type == type && img.mainVer == mainVer && img.subVer == subVer &&
                    img.startAdr == startAdr;
    }
    if (!sameImage) {
        SDevSimFlashedImage img;
        img.type = type;
        img.mainVer = mainVer;
        img.subVer = subVer;
        img.startAdr = startAdr;
        m_Images << img;
        m_SessionImage = m_Images.size() - 1;
    }
    block.appFlag = true;
    if (type == 1 || type == 2)
        m_CopyIntact[type - 1] = false; // intact again only when the whole image is in
    m_Images[m_SessionImage].blocks << block;
    m_BlockOpen = true;
    m_LastChunkLen = 0;
    m_LastStep = EStep::Header;
    m_LastHeader = raw;
    ++m_Revision;
    return EAccepted;
}

CDevSimFlash::EResult CDevSimFlash::chunk(const UINT8* d, UINT16 len, bool appFlag)
{
    SDevSimFlashedBlock* block = openBlock();
    if (!block)
        return violation(QStringLiteral("data: chunk before a partition header"));
    if (len != kChunkPacketSize)
        return violation(
            QStringLiteral("data: packet length %1, expected %2").arg(len).arg(kChunkPacketSize));
    const UINT8 pad = d[1];
    const UINT16 n = le::u16(d + 2);
    const UINT32 adr = le::u32(d + 4);
    if (n == 0 || n > kMaxChunk)
        return violation(QStringLiteral("data: chunk length %1").arg(n));
    // The same chunk again: its acknowledgement was lost and the tool repeated it.
    if (m_LastChunkLen == n && adr == m_LastChunkAdr && !block->data.isEmpty() &&
        adr + n == block->memAdr + UINT32(block->data.size()))
        return EAccepted;
    const UINT32 expectedAdr = block->memAdr + UINT32(block->data.size());
    if (adr != expectedAdr)
        return violation(
            QStringLiteral("data: chunk at %1, expected %2").arg(hex(adr), hex(expectedAdr)));
    const UINT32 total = UINT32(block->data.size()) + n;
    if (total > paddedLength(block->plainLen))
        return violation(QStringLiteral("data: %1 bytes exceed block of %2 plain bytes at %3")
                             .arg(total)
                             .arg(block->plainLen)
                             .arg(hex(block->memAdr)));
    const UINT8 expectedPad = total > block->plainLen ? UINT8(total - block->plainLen) : 0;
    if (pad != expectedPad)
        return violation(QStringLiteral("data: pad count %1, expected %2 (chunk at %3)")
                             .arg(pad)
                             .arg(expectedPad)
                             .arg(hex(adr)));
    block->data.append(reinterpret_cast<const char*>(d + kChunkHeaderSize), n);
    block->appFlag = block->appFlag && appFlag;
    m_LastChunkAdr = adr;
    m_LastChunkLen = n;
    m_LastStep = EStep::Chunk;
    ++m_Revision;
    return EAccepted;
}

CDevSimFlash::EResult CDevSimFlash::partitionEnd(bool checkCrc)
{
    // A refused end leaves the block open, so a repeated end is refused for the same reason;
    // the next begin starts afresh.
    SDevSimFlashedBlock* block = openBlock();
    if (!block && m_LastStep == EStep::PartitionEnd)
        return EAccepted; // repeated after a lost acknowledgement
    if (!block)
        return violation(QStringLiteral("partition end: no open block"));
    if (UINT32(block->data.size()) < block->plainLen) {
        const QString text = QStringLiteral("partition end: block at %1 has %2 of %3 plain bytes")
                                 .arg(hex(block->memAdr))
                                 .arg(block->data.size())
                                 .arg(block->plainLen);
        return violation(text);
    }
    if (checkCrc) {
        const UINT16 crc = CLLProtocolPacket::CalcCrc16(block->data.constData(), block->plainLen);
        if (crc != block->crc16)
            return violation(QStringLiteral("partition end: block at %1 CRC16 %2, header says %3")
                                 .arg(hex(block->memAdr), hex(crc), hex(block->crc16)));
    }
    block->complete = true;
    m_BlockOpen = false;
    m_LastStep = EStep::PartitionEnd;
    ++m_Revision;
    return EAccepted;
}

CDevSimFlash::EResult CDevSimFlash::end(const SDevSimFlashedImage** finished)
{
    if (finished)
        *finished = nullptr;
    if (!m_InSession && m_LastStep == EStep::End)
        return EAccepted; // repeated after a lost acknowledgement
    if (!m_InSession)
        return violation(QStringLiteral("end: no upload begun"));
    if (m_BlockOpen)
        return violation(
            QStringLiteral("end: block at %1 not ended").arg(hex(openBlock()->memAdr)));
    m_InSession = false;
    if (m_SessionImage >= 0) {
        SDevSimFlashedImage& img = m_Images[m_SessionImage];
        bool allBlocks = !img.blocks.isEmpty();
        for (const auto& b : img.blocks)
            allBlocks = allBlocks && b.complete;
        img.complete = allBlocks;
        if ((img.type == 1 || img.type == 2) && allBlocks)
            m_CopyIntact[img.type - 1] = true;
        if (finished && allBlocks)
            *finished = &img;
    }
    m_SessionImage = -1;
    m_LastStep = EStep::End;
    ++m_Revision;
    return EAccepted;
}

void CDevSimFlash::reset()
{
    if (m_InSession)
        m_Violations << QStringLiteral("power cycle during an upload");
    m_InSession = false;
    m_BlockOpen = false;
    m_SessionImage = -1;
    m_LastStep = EStep::None;
    ++m_Revision;
}

const SDevSimFlashedImage* CDevSimFlash::lastComplete(int type) const
{
    for (int i = m_Images.size() - 1; i >= 0; --i)
        if (m_Images[i].type == type && m_Images[i].complete)
            return &m_Images[i];
    return nullptr;
}

bool CDevSimFlash::readByte(UINT32 address, UINT8& out) const
{
    for (int i = m_Images.size() - 1; i >= 0; --i) {
        for (const auto& b : m_Images[i].blocks) {
            if (b.complete && address >= b.memAdr && address - b.memAdr < UINT32(b.data.size())) {
                out = UINT8(b.data[int(address - b.memAdr)]);
                return true;
            }
        }
    }
    return false;
}
