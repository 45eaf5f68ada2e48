#pragma once

#include "link/lltypes.h"

// Bit fields of packed device records. The record is read as one little-endian bit stream:
// bit n is bit (n % 8) of byte (n / 8), so a field that starts in the upper bits of one byte
// and continues in the lower bits of the next is one run of consecutive bits. Fields are at
// most 16 bits wide.
namespace bitfield {

inline unsigned get(const UINT8* bytes, int firstBit, int width)
{
    unsigned value = 0;
    for (int i = 0; i < width; ++i) {
        const int bit = firstBit + i;
        value |= unsigned((bytes[bit / 8] >> (bit % 8)) & 1) << i;
    }
    return value;
}

// The field read as a two's-complement number of `width` bits.
inline int getSigned(const UINT8* bytes, int firstBit, int width)
{
    const int value = int(get(bytes, firstBit, width));
    return (value & (1 << (width - 1))) ? value - (1 << width) : value;
}

// Stores the low `width` bits of `value`; the other bits of the record stay as they are.
inline void set(UINT8* bytes, int firstBit, int width, int value)
{
    for (int i = 0; i < width; ++i) {
        const int bit = firstBit + i;
        const UINT8 mask = UINT8(1u << (bit % 8));
        if ((unsigned(value) >> i) & 1)
            bytes[bit / 8] |= mask;
        else
            bytes[bit / 8] &= UINT8(~mask);
    }
}

} // namespace bitfield

// A packed device record kept as its raw bytes, so that bits the tool does not read travel
// unchanged; the derived record names its fields through these helpers.
template <int N>
struct SRawRecord
{
    static constexpr int kSize = N;
    UINT8 m_Bytes[N] = {};

    const UINT8* bytes() const { return m_Bytes; }

protected:
    unsigned u(int firstBit, int width) const { return bitfield::get(m_Bytes, firstBit, width); }
    int s(int firstBit, int width) const { return bitfield::getSigned(m_Bytes, firstBit, width); }
    void put(int firstBit, int width, int value) { bitfield::set(m_Bytes, firstBit, width, value); }
};
