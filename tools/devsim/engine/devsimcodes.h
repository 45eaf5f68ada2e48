#pragma once

// Request codes, record sizes and counter ids the simulated unit works with; shared by the
// parts of CDevSimUnit.

#include "link/lltypes.h"

#include <QByteArray>

namespace devsim {
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

// Record and reply sizes in data bytes, entries per packet of the reply trains.
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
// Swap reply: return code 0 = swapped, kSwapRefused = the idle copy is incomplete.
constexpr UINT16 kSwapSecurityBits = 0x00A5;
constexpr UINT8 kSwapRefused = 1;
// Persistent counters the unit keeps up to date itself.
constexpr int kCounterBootCycles = 3;
constexpr int kCounterPrevVersion = 33;
constexpr int kCounterVersion = 34;
constexpr int kCounterSecErased = 35; // 35, 36, 37 by span
constexpr int kCounterDeiceSwitchOff = 39;
constexpr int kCounterDeiceExhaust = 40;
constexpr UINT8 kCounterError = 2; // m_Action of a refused counter access

// A reply payload of `size` bytes: the code, then zeros.
inline QByteArray payload(UINT8 code, int size)
{
    QByteArray out(size, '\0');
    out[0] = char(code);
    return out;
}

inline UINT8* bytes(QByteArray& a)
{
    return reinterpret_cast<UINT8*>(a.data());
}

// Versions compare as main * 100 + sub.
inline int packVersion(UINT8 mainVer, UINT8 subVer)
{
    return mainVer * 100 + subVer;
}
} // namespace devsim
