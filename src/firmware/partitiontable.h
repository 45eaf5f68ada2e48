#pragma once

#include "link/lltypes.h"

// The device's flash partition table as reported by the bootloader: 20 entries of 12 bytes.
class CPartitionTable
{
public:
    // Partition and image types; also the `Type` key of an image file.
    enum EPartType {
        EBootloader1 = 1,
        EBootloader2 = 2,
        EApplication = 3,
        ECC3200 = 4,       // WiFi module firmware
        ECC3200Bridge = 5, // WiFi bridge firmware; flashed as an ECC3200 partition
    };
    static constexpr int kMinPartType = EBootloader1;
    static constexpr int kMaxPartType = ECC3200Bridge;
    static constexpr int kEntries = 20;

    // One entry, decoded from its 12 wire bytes (little-endian, bytes 10-11 reserved).
    struct SPartition
    {
        static constexpr int kWireSize = 12;

        UINT32 m_Start = 0; // start address
        UINT16 m_Size = 0;
        UINT8 m_Type = 0; // EPartType
        UINT8 m_MainVer = 0;
        UINT8 m_SubVer = 0;
        UINT8 m_CrcFlags = 0;
        UINT16 m_Reserved = 0;

        static SPartition fromBytes(const UINT8* p);

        bool crc16Ok() const { return m_CrcFlags & 0x01; }
        bool crc16Ko() const { return m_CrcFlags & 0x02; }
        bool crc16MirrorOk() const { return m_CrcFlags & 0x04; }
        bool crc16MirrorKo() const { return m_CrcFlags & 0x08; }
    };
    static_assert(sizeof(SPartition) == SPartition::kWireSize, "partition entry is 12 bytes");
};

inline CPartitionTable::SPartition CPartitionTable::SPartition::fromBytes(const UINT8* p)
{
    SPartition entry;
    entry.m_Start = le::u32(p);
    entry.m_Size = le::u16(p + 4);
    entry.m_Type = p[6];
    entry.m_MainVer = p[7];
    entry.m_SubVer = p[8];
    entry.m_CrcFlags = p[9];
    entry.m_Reserved = le::u16(p + 10);
    return entry;
}
