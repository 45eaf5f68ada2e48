#include "flashpackets.h"

#include <algorithm>

namespace flash {

UINT32 maxPlainLen(CPartitionTable::EPartType type)
{
    return type == CPartitionTable::ECC3200 ? 0xFFFFFu : 0xFFFFu;
}

UINT8 headerTypeByte(CPartitionTable::EPartType type, UINT32 plainLen)
{
    if (type == CPartitionTable::ECC3200)
        return UINT8(((plainLen >> 16) << 4) | CPartitionTable::ECC3200);
    return UINT8(type);
}

std::array<UINT8, kHeaderLen> partitionHeader(UINT32 memAdr, UINT32 plainLen,
                                              CPartitionTable::EPartType type, UINT8 mainVer,
                                              UINT8 subVer, UINT32 startAdr, UINT16 crc16)
{
    std::array<UINT8, kHeaderLen> h{};
    h[0] = kPartitionHeader;
    le::put32(&h[1], memAdr);
    le::put16(&h[5], UINT16(plainLen));
    h[7] = headerTypeByte(type, plainLen);
    h[8] = mainVer;
    h[9] = subVer;
    le::put32(&h[10], startAdr);
    le::put16(&h[14], crc16);
    return h;
}

UINT8 padCount(UINT32 sentSoFar, UINT32 plainLen)
{
    return sentSoFar > plainLen ? UINT8(sentSoFar - plainLen) : 0;
}

std::array<UINT8, kDataPacketLen> partitionData(UINT32 chunkAdr, const UINT8* bytes, UINT16 len,
                                                UINT8 pad)
{
    std::array<UINT8, kDataPacketLen> p{};
    len = std::min<UINT16>(len, kChunkLen);
    p[0] = kPartitionData;
    p[1] = pad;
    le::put16(&p[2], len);
    le::put32(&p[4], chunkAdr);
    std::copy(bytes, bytes + len, p.begin() + kDataHeadLen);
    return p;
}

} // namespace flash
