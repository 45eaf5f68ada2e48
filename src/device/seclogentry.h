#pragma once

#include "device/bitfield.h"
#include "device/hlprecords.h"

#include <cstring>

// One 100-series secondary-log entry: averages and durations over the entry's time span.
// Durations ("time...") are in the span's unit (minutes, hours, days), 0-31 each. Bit
// positions count through the record as one little-endian bit stream (bitfield.h).
struct SSecLogEntry : SRawRecord<32>
{
    static constexpr int kPressureBaseHPa = 700;
    static constexpr int kPressureStepHPa = 2;
    static constexpr int kCO2StepPpm = 16;

    static SSecLogEntry fromBytes(const UINT8* p)
    {
        SSecLogEntry e;
        std::memcpy(e.m_Bytes, p, kSize);
        return e;
    }

    // Averages: temperatures in degC, humidities in %.
    int supplyTemp() const { return INT8(m_Bytes[0]); }
    int outdoorTemp() const { return INT8(m_Bytes[1]); }
    int outdoorHum() const { return INT8(m_Bytes[2]); }
    int exhaustTemp() const { return INT8(m_Bytes[3]); }
    int extractTemp() const { return INT8(m_Bytes[4]); }
    int extractHum() const { return INT8(m_Bytes[5]); }
    // CO2 in steps of 16 ppm, signed as the device stores it.
    int co2Raw() const { return INT8(m_Bytes[6]); }
    int co2() const { return co2Raw() * kCO2StepPpm; }
    int warnCode() const { return INT8(m_Bytes[7]); }

    int timeSupCond() const { return int(u(64, 5)); }   // byte 8, bits 0-4
    int timeHumInp() const { return int(u(69, 5)); }    // byte 8 bits 5-7, byte 9 bits 0-1
    int timeComLev0() const { return int(u(74, 5)); }   // byte 9, bits 2-6
    bool filterSupplyFull() const { return u(79, 1); }  // byte 9, bit 7
    int timeAbsDrying() const { return int(u(80, 5)); } // byte 10
    int timeRelDrying() const { return int(u(85, 5)); }
    int timeComLev1() const { return int(u(90, 5)); }
    bool filterExtractFull() const { return u(95, 1); }
    int timeCooling() const { return int(u(96, 5)); } // byte 12
    int timeCO2Ventilation() const { return int(u(101, 5)); }
    int timeComLev2() const { return int(u(106, 5)); }
    bool humRedModeSet() const { return u(111, 1); }
    int timeSleepMode() const { return int(u(112, 5)); } // byte 14
    int timeTurboMode() const { return int(u(117, 5)); }
    int timeComLev3() const { return int(u(122, 5)); }
    bool humRedModeClr() const { return u(127, 1); }
    int timeAutoAlt() const { return int(u(128, 5)); } // byte 16
    int timeDefExh() const { return int(u(133, 5)); }
    int timeMinAir() const { return int(u(138, 5)); }
    bool restarted() const { return u(143, 1); } // byte 17, bit 7

    // Counters in the span's energy, air and water units.
    int energyExtracted() const { return le::i16(m_Bytes + 18); }
    int energyRecovered() const { return le::i16(m_Bytes + 20); }
    int energyCooled() const { return le::i16(m_Bytes + 22); }
    int airExchanged() const { return int(u(192, 10)); } // byte 24, byte 25 bits 0-1
    int errorState() const { return int(u(208, 5)); }    // byte 26, bits 0-4
    int waterRemoved() const { return s(213, 11); }      // byte 26 bits 5-7, byte 27
    int accCount() const { return int(u(224, 7)); }      // byte 28, bits 0-6
    int pressureCode() const { return int(u(231, 8)); }  // byte 28 bit 7, byte 29 bits 0-6
    // Air pressure in hPa, 700-1210.
    int pressure() const { return kPressureBaseHPa + kPressureStepHPa * pressureCode(); }
    int warnLineNr() const { return int(u(240, 10)); } // byte 30, byte 31 bits 0-1
    int warnFileNr() const { return int(u(250, 6)); }  // byte 31, bits 2-7

    // Field setters, for the simulated unit and for tests; values are cut to the field width.
    void setSupplyTemp(int v) { m_Bytes[0] = UINT8(v); }
    void setOutdoorTemp(int v) { m_Bytes[1] = UINT8(v); }
    void setOutdoorHum(int v) { m_Bytes[2] = UINT8(v); }
    void setExhaustTemp(int v) { m_Bytes[3] = UINT8(v); }
    void setExtractTemp(int v) { m_Bytes[4] = UINT8(v); }
    void setExtractHum(int v) { m_Bytes[5] = UINT8(v); }
    void setCo2Raw(int v) { m_Bytes[6] = UINT8(v); }
    void setWarnCode(int v) { m_Bytes[7] = UINT8(v); }
    void setTimeSupCond(int v) { put(64, 5, v); }
    void setTimeHumInp(int v) { put(69, 5, v); }
    void setTimeComLev0(int v) { put(74, 5, v); }
    void setFilterSupplyFull(bool on) { put(79, 1, on); }
    void setTimeAbsDrying(int v) { put(80, 5, v); }
    void setTimeRelDrying(int v) { put(85, 5, v); }
    void setTimeComLev1(int v) { put(90, 5, v); }
    void setFilterExtractFull(bool on) { put(95, 1, on); }
    void setTimeCooling(int v) { put(96, 5, v); }
    void setTimeCO2Ventilation(int v) { put(101, 5, v); }
    void setTimeComLev2(int v) { put(106, 5, v); }
    void setHumRedModeSet(bool on) { put(111, 1, on); }
    void setTimeSleepMode(int v) { put(112, 5, v); }
    void setTimeTurboMode(int v) { put(117, 5, v); }
    void setTimeComLev3(int v) { put(122, 5, v); }
    void setHumRedModeClr(bool on) { put(127, 1, on); }
    void setTimeAutoAlt(int v) { put(128, 5, v); }
    void setTimeDefExh(int v) { put(133, 5, v); }
    void setTimeMinAir(int v) { put(138, 5, v); }
    void setRestarted(bool on) { put(143, 1, on); }
    void setEnergyExtracted(int v) { le::put16(m_Bytes + 18, UINT16(v)); }
    void setEnergyRecovered(int v) { le::put16(m_Bytes + 20, UINT16(v)); }
    void setEnergyCooled(int v) { le::put16(m_Bytes + 22, UINT16(v)); }
    void setAirExchanged(int v) { put(192, 10, v); }
    void setErrorState(int v) { put(208, 5, v); }
    void setWaterRemoved(int v) { put(213, 11, v); }
    void setAccCount(int v) { put(224, 7, v); }
    void setPressureCode(int v) { put(231, 8, v); }
    void setWarnLineNr(int v) { put(240, 10, v); }
    void setWarnFileNr(int v) { put(250, 6, v); }
};
static_assert(sizeof(SSecLogEntry) == SSecLogEntry::kSize, "32-byte record");

// Secondary-log request and reply (code 20) of both models. Request: the span, the first ring
// index and the number of entries wanted, slots zero. Reply: the span of the delivered
// entries, the number still to be delivered counting this packet's, five entry slots (bytes
// 2-3 of the reply are not read).
struct SHLP_ReportSecLog
{
    static constexpr int kSize = 166;
    static constexpr int kSlots = 5;
    static constexpr int kSlotSize = 32;
    static constexpr int kSlotsOffset = 6;
    static constexpr int kRemainingOffset = 4;

    UINT8 m_Code = HLP_GET_SEC_LOG;
    UINT8 m_Span = 0;
    UINT16 m_First = 0;
    UINT16 m_Count = 0; // request: entries wanted; reply: entries remaining
    UINT8 m_Slots[kSlots * kSlotSize] = {};

    const UINT8* slot(int i) const { return m_Slots + i * kSlotSize; }

    void toBytes(UINT8* p) const
    {
        p[0] = m_Code;
        p[1] = m_Span;
        le::put16(p + 2, m_First);
        le::put16(p + 4, m_Count);
        std::memcpy(p + kSlotsOffset, m_Slots, sizeof m_Slots);
    }
    static SHLP_ReportSecLog fromBytes(const UINT8* p)
    {
        SHLP_ReportSecLog r;
        r.m_Code = p[0];
        r.m_Span = p[1];
        r.m_First = le::u16(p + 2);
        r.m_Count = le::u16(p + 4);
        std::memcpy(r.m_Slots, p + kSlotsOffset, sizeof r.m_Slots);
        return r;
    }
};
static_assert(SHLP_ReportSecLog::kSlotsOffset + sizeof(SHLP_ReportSecLog::m_Slots) ==
                  SHLP_ReportSecLog::kSize,
              "166-byte record");
static_assert(SHLP_ReportSecLog::kSlotSize == SSecLogEntry::kSize, "slots hold SSecLogEntry");
