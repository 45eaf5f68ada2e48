#pragma once

#include "link/lltypes.h"

#include <cstring>

// Vent (flap) statistics of a 100-series device.
class CVents
{
public:
    static constexpr int kVentCount = 4; // extract, second room (bath), supply, bypass

    // One vent's 36-byte statistics record, kept raw; the fields the tool interprets have
    // accessors, all other bytes pass through untouched.
    struct SVentInfo
    {
        static constexpr int kSize = 36;
        UINT8 m_Bytes[kSize] = {};

        static SVentInfo fromBytes(const UINT8* p)
        {
            SVentInfo info;
            std::memcpy(info.m_Bytes, p, kSize);
            return info;
        }
        UINT32 speedSumOpen() const { return le::u32(m_Bytes + 12); }
        UINT32 speedSumClose() const { return le::u32(m_Bytes + 16); }
        int noStops() const { return m_Bytes[25] >> 4; }
        int shakeLooseCycles() const { return m_Bytes[25] & 0x0F; }
        // Run times in steps of 0.25 s.
        int runTimeOpen() const { return m_Bytes[27]; }
        int runTimeClose() const { return m_Bytes[28]; }
        UINT16 maxIMean() const { return le::u16(m_Bytes + 32); }
    };
};
static_assert(sizeof(CVents::SVentInfo) == CVents::SVentInfo::kSize, "SVentInfo is 36 bytes");
