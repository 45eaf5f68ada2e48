#pragma once

#include "firmware/partitiontable.h"
#include "link/lltypes.h"

#include <array>

// Request codes, record layouts and pauses of flashing a device. The device object sends these
// packets; building them here keeps every byte testable without a device.
namespace flash {

// Upload steps; the other firmware requests (swap, partition table, start-up mode) are in the
// device's request code table.
enum ECode : UINT8 {
    kBeginUpload = 4,
    kEndUpload = 5,
    kPartitionHeader = 7,
    kPartitionData = 8,
    kPartitionEnd = 9,
};

constexpr int kSwapReplyMinLen = 4; // code, return code, UINT16 flash security bits

constexpr int kHeaderLen = 16;
constexpr int kDataPacketLen = 200; // every data packet has this length, whatever the chunk
constexpr int kDataHeadLen = 8;     // code, pad count, UINT16 chunk length, UINT32 address
constexpr int kChunkLen = kDataPacketLen - kDataHeadLen; // 192

constexpr int kTableEntriesPerPacket = 10;
constexpr int kTablePacketLen = kTableEntriesPerPacket * CPartitionTable::SPartition::kWireSize;
constexpr int kTablePackets = CPartitionTable::kEntries / kTableEntriesPerPacket;

// Pauses, in milliseconds.
constexpr UINT16 kSlowBeginPauseMs = 15000;  // slow mode: after the begin request and each header
constexpr UINT16 kSlowChunkPauseMs = 100;    // slow mode: after every data packet
constexpr UINT16 kPartitionEndPauseMs = 750; // after every acknowledged partition end

// The largest plain length a partition header can carry: 16 bits, and for the WiFi module 4
// more in the upper nibble of the type byte.
UINT32 maxPlainLen(CPartitionTable::EPartType type);

// The type byte of a partition header: for ECC3200 bits 16-19 of the plain length go into the
// upper nibble.
UINT8 headerTypeByte(CPartitionTable::EPartType type, UINT32 plainLen);

std::array<UINT8, kHeaderLen> partitionHeader(UINT32 memAdr, UINT32 plainLen,
                                              CPartitionTable::EPartType type, UINT8 mainVer,
                                              UINT8 subVer, UINT32 startAdr, UINT16 crc16);

// Pad bytes the device must drop from the end of a block: how far `sentSoFar` (this chunk
// included) is past the plain length, low 8 bits; 0 while it is not.
UINT8 padCount(UINT32 sentSoFar, UINT32 plainLen);

// One data packet: `len` (1..kChunkLen) bytes for flash address `chunkAdr`; the rest of the
// 200 bytes is zero filler the device does not read.
std::array<UINT8, kDataPacketLen> partitionData(UINT32 chunkAdr, const UINT8* bytes, UINT16 len,
                                                UINT8 pad);

} // namespace flash
