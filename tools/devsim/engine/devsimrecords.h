#pragma once

#include "link/lltypes.h"

#include <QByteArray>

// Record encoders of the simulated unit: its live values packed into the state records that a
// real unit reports, field by field, little-endian.

namespace devsim {
constexpr int kPrimEntry100Size = 26;
constexpr int kPrimEntry70Size = 28;
constexpr int kSecEntrySize = 32;
constexpr int kVentInfoSize = 36;
constexpr int kVentCount = 4;
constexpr int kIdentSize = 39;
constexpr int kPartitionEntrySize = 12;
constexpr int kPartitionEntries = 20;
} // namespace devsim

// The unit's live values. Temperatures in 1/8 degC, humidities in %, CO2 in ppm.
struct SDevSimLive
{
    int supplyTemp8 = 19 * 8;
    int outdoorTemp8 = 5 * 8;
    int exhaustTemp8 = 8 * 8;
    int extractTemp8 = 21 * 8;
    int supplyTempVirt8 = 19 * 8;
    int outdoorHum = 70;
    int extractHum = 45;
    int supplyHum = 40; // plus model
    int co2Ppm = 640;
    int co2SupplyPpm = 420; // plus model
    int pressureHpa = 980;
    int comfortCode = 2;   // stored comfort level (0-7, shown as 1-8)
    int operationMode = 0; // 0 standard/auto
    int program = 0;       // ventilation reason
    int defrostState = 0;
    bool deicing = false;
    bool humReduction = false;
    int dipSwitch = 0x21;
    int ventPos[4] = {31, 25, 31, 25}; // extract, bath, supply, bypass (vent position codes)
    int airFlowCode = 16;
    int fanLimit = 6; // x 10 m3/h
    int fanExtractRpm = 1300;
    int fanSupplyRpm = 1280;
    int errorState = 0;
    int softwareVersion = 220; // main * 100 + sub, carried where no internal error is set
};

namespace devsim {
// SPrimLogEntry of the 100 series (26 bytes).
QByteArray encodePrimEntry100(const SDevSimLive& live);
// SPrimLogEntry_70 of the plus model (28 bytes).
QByteArray encodePrimEntry70(const SDevSimLive& live);
// A secondary-log entry (32 bytes, both models). Marks for tests: bytes 22-23 hold `sequence`
// (0 = the oldest entry of the ring), bytes 30-31 bits 0-9 the ring slot it is stored in.
QByteArray makeSecEntry(int span, int sequence, int slot, bool plus);
// A 12-byte partition-table entry.
QByteArray encodePartition(UINT32 start, UINT16 size, UINT8 type, UINT8 mainVer, UINT8 subVer,
                           UINT8 crcFlags);
// Eleven-bit two's complement of a temperature in 1/8 degC, clamped to the field's range.
UINT16 temp11(int temp8);
} // namespace devsim
