#pragma once

#include <cstdint>

// Fixed-width names used throughout the device protocol. Every multi-byte value on the serial
// line is little-endian.
using UINT8 = std::uint8_t;
using UINT16 = std::uint16_t;
using UINT32 = std::uint32_t;
using INT8 = std::int8_t;
using INT16 = std::int16_t;
using INT32 = std::int32_t;

// Little-endian field access for packed device records, independent of the host's byte order.
namespace le {
inline UINT16 u16(const UINT8* p)
{
    return UINT16(p[0] | (UINT16(p[1]) << 8));
}
inline INT16 i16(const UINT8* p)
{
    return INT16(u16(p));
}
inline UINT32 u32(const UINT8* p)
{
    return UINT32(p[0]) | (UINT32(p[1]) << 8) | (UINT32(p[2]) << 16) | (UINT32(p[3]) << 24);
}
inline INT32 i32(const UINT8* p)
{
    return INT32(u32(p));
}
inline void put16(UINT8* p, UINT16 v)
{
    p[0] = UINT8(v);
    p[1] = UINT8(v >> 8);
}
inline void put32(UINT8* p, UINT32 v)
{
    p[0] = UINT8(v);
    p[1] = UINT8(v >> 8);
    p[2] = UINT8(v >> 16);
    p[3] = UINT8(v >> 24);
}
} // namespace le
