#pragma once

#include "device/bitfield.h"
#include "device/hlprecords.h"

#include <cstring>

// Records of the 70-series unit ("ventaro plus"). Bit positions count through the record as
// one little-endian bit stream (bitfield.h); the comments give byte and bit as the device
// documents them.

class CLogging_70
{
public:
    // Time span of one secondary-log entry; sent to the device as one byte.
    enum EMaxTimeSpan : UINT8 {
        EQuarterHour = 0,
        EDay = 1,
        EMonth = 2,
    };
};

// The 70-series state record: the current state and one element of the primary log.
struct SPrimLogEntry_70 : SRawRecord<28>
{
    static SPrimLogEntry_70 fromBytes(const UINT8* p)
    {
        SPrimLogEntry_70 e;
        std::memcpy(e.m_Bytes, p, kSize);
        return e;
    }

    // Temperatures: TOut and TExt in 1/8 degC, HTExt and HTSup in 1/4 degC (Raw), and in degC.
    int tOutRaw() const { return s(0, 11); }         // bytes 0-1, bits 0-10
    int tExtRaw() const { return s(48, 11); }        // bytes 6-7, bits 0-10
    int htExtRaw() const { return s(32, 10); }       // bytes 4-5, bits 0-9
    int htSupRaw() const { return int(u(118, 10)); } // byte 14 bits 6-7, byte 15
    double tOut() const { return tOutRaw() / 8.0; }
    double tExt() const { return tExtRaw() / 8.0; }
    double htExt() const { return htExtRaw() / 4.0; }
    double htSup() const { return htSupRaw() / 4.0; }

    // Relative humidities in %.
    int huEx() const { return int(u(16, 7)); } // byte 2, bits 0-6
    int huSu() const { return int(u(23, 7)); } // byte 2 bit 7, byte 3 bits 0-5
    int hSup() const { return int(u(80, 7)); } // byte 10
    int hExt() const { return int(u(88, 7)); } // byte 11

    int intErFile() const { return int(u(42, 6)); } // byte 5, bits 2-7
    int intErLine() const { return le::u16(m_Bytes + 24); }
    int intErCode() const { return le::i16(m_Bytes + 26); }

    // Fan state 0-5 (text in the report), speed signed, RPM 0-4095 1/min.
    int fanState() const { return int(u(59, 3)); } // byte 7, bits 3-5
    int sbFlow() const { return int(u(64, 7)); }   // byte 8, bits 0-6
    int fanSpeed() const { return s(71, 8); }      // byte 8 bit 7, byte 9 bits 0-6
    int rpm() const { return int(u(128, 12)); }    // bytes 16-17, bits 0-11

    // Service level 1-16 (stored + 1), comfort level 1-8 (stored + 1).
    int serviceLevel() const { return int(u(107, 4)) + 1; } // byte 13, bits 3-6
    bool sumCoo() const { return u(111, 1); }               // byte 13, bit 7
    int comLev() const { return int(u(112, 3)) + 1; }       // byte 14, bits 0-2
    // Operation mode: 0 auto, 1 turbo, 2 service, 3 test, 4 manufacturer.
    int state() const { return int(u(115, 3)); }        // byte 14, bits 3-5
    int ventilReason() const { return int(u(140, 4)); } // byte 17, bits 4-7

    int co2Ex() const { return m_Bytes[20]; }
    int co2Su() const { return m_Bytes[21]; }
    // Cooling setting and room-area code share bit 3 of byte 22.
    int coolingSetting() const { return int(u(177, 3)); } // byte 22, bits 1-3
    int roomAreaCode() const { return int(u(179, 5)); }   // byte 22, bits 3-7
    // Air flow in m3/h.
    int flow() const { return s(184, 8); } // byte 23

    // Field setters, for the simulated unit and for tests; values are cut to the field width.
    void setTOutRaw(int eighths) { put(0, 11, eighths); }
    void setTExtRaw(int eighths) { put(48, 11, eighths); }
    void setHtExtRaw(int quarters) { put(32, 10, quarters); }
    void setHtSupRaw(int quarters) { put(118, 10, quarters); }
    void setHuEx(int v) { put(16, 7, v); }
    void setHuSu(int v) { put(23, 7, v); }
    void setHSup(int v) { put(80, 7, v); }
    void setHExt(int v) { put(88, 7, v); }
    void setIntErFile(int v) { put(42, 6, v); }
    void setIntErLine(int v) { le::put16(m_Bytes + 24, UINT16(v)); }
    void setIntErCode(int v) { le::put16(m_Bytes + 26, UINT16(v)); }
    void setFanState(int v) { put(59, 3, v); }
    void setSbFlow(int v) { put(64, 7, v); }
    void setFanSpeed(int v) { put(71, 8, v); }
    void setRpm(int v) { put(128, 12, v); }
    void setServiceLevel(int level) { put(107, 4, level - 1); }
    void setSumCoo(bool on) { put(111, 1, on); }
    void setComLev(int level) { put(112, 3, level - 1); }
    void setState(int v) { put(115, 3, v); }
    void setVentilReason(int v) { put(140, 4, v); }
    void setCo2Ex(int v) { put(160, 8, v); }
    void setCo2Su(int v) { put(168, 8, v); }
    void setCoolingSetting(int v) { put(177, 3, v); }
    void setRoomAreaCode(int v) { put(179, 5, v); }
    void setFlow(int v) { put(184, 8, v); }
};
static_assert(sizeof(SPrimLogEntry_70) == SPrimLogEntry_70::kSize, "28-byte record");

// One 70-series secondary-log entry: averages and durations over the entry's time span.
// Durations ("Time...") are in the span's unit (minutes, hours, days), 0-31 each.
struct SSecLogEntry_70 : SRawRecord<32>
{
    static SSecLogEntry_70 fromBytes(const UINT8* p)
    {
        SSecLogEntry_70 e;
        std::memcpy(e.m_Bytes, p, kSize);
        return e;
    }

    // Averages: temperatures in degC, humidities in %, CO2 in steps of 16 ppm.
    int tSup() const { return INT8(m_Bytes[0]); }
    int tExt() const { return INT8(m_Bytes[1]); }
    int hOut() const { return INT8(m_Bytes[2]); }
    int hExt() const { return INT8(m_Bytes[3]); }
    int co2S() const { return m_Bytes[4]; }
    int co2E() const { return m_Bytes[5]; }

    int timeHumInp() const { return int(u(96, 5)); }     // byte 12, bits 0-4
    int timeHumCO2Inp() const { return int(u(101, 5)); } // byte 12 bits 5-7, byte 13 0-1
    int timeCO2Inp() const { return int(u(106, 5)); }    // byte 13, bits 2-6
    int timeComLev0() const { return int(u(112, 5)); }   // byte 14
    int timeAbsDrying() const { return int(u(117, 5)); }
    int timeRelDrying() const { return int(u(122, 5)); }
    int timeComLev1() const { return int(u(128, 5)); } // byte 16
    int timeCooling() const { return int(u(133, 5)); }
    int timeCO2Ventilation() const { return int(u(138, 5)); }
    int timeComLev2() const { return int(u(144, 5)); } // byte 18
    int timeServiceMode() const { return int(u(149, 5)); }
    int timeTurboMode() const { return int(u(154, 5)); }
    int timeComLev3() const { return int(u(160, 5)); } // byte 20
    int timeMinAir() const { return int(u(165, 5)); }
    bool restarted() const { return u(175, 1); } // byte 21, bit 7

    int energyCooled() const { return le::i16(m_Bytes + 22); }
    int airExchanged() const { return int(u(192, 11)); } // byte 24, byte 25 bits 0-2
    int waterRemoved() const { return s(208, 11); }      // byte 26, byte 27 bits 0-2
    int accCount() const { return int(u(224, 7)); }      // byte 28, bits 0-6
    int warnCode() const { return m_Bytes[29]; }
    int warnLineNr() const { return int(u(240, 10)); } // byte 30, byte 31 bits 0-1
    int warnFileNr() const { return int(u(250, 6)); }  // byte 31, bits 2-7

    void setTSup(int v) { m_Bytes[0] = UINT8(v); }
    void setTExt(int v) { m_Bytes[1] = UINT8(v); }
    void setHOut(int v) { m_Bytes[2] = UINT8(v); }
    void setHExt(int v) { m_Bytes[3] = UINT8(v); }
    void setCo2S(int v) { m_Bytes[4] = UINT8(v); }
    void setCo2E(int v) { m_Bytes[5] = UINT8(v); }
    void setTimeHumInp(int v) { put(96, 5, v); }
    void setTimeHumCO2Inp(int v) { put(101, 5, v); }
    void setTimeCO2Inp(int v) { put(106, 5, v); }
    void setTimeComLev0(int v) { put(112, 5, v); }
    void setTimeAbsDrying(int v) { put(117, 5, v); }
    void setTimeRelDrying(int v) { put(122, 5, v); }
    void setTimeComLev1(int v) { put(128, 5, v); }
    void setTimeCooling(int v) { put(133, 5, v); }
    void setTimeCO2Ventilation(int v) { put(138, 5, v); }
    void setTimeComLev2(int v) { put(144, 5, v); }
    void setTimeServiceMode(int v) { put(149, 5, v); }
    void setTimeTurboMode(int v) { put(154, 5, v); }
    void setTimeComLev3(int v) { put(160, 5, v); }
    void setTimeMinAir(int v) { put(165, 5, v); }
    void setRestarted(bool on) { put(175, 1, on); }
    void setEnergyCooled(int v) { le::put16(m_Bytes + 22, UINT16(v)); }
    void setAirExchanged(int v) { put(192, 11, v); }
    void setWaterRemoved(int v) { put(208, 11, v); }
    void setAccCount(int v) { put(224, 7, v); }
    void setWarnCode(int v) { m_Bytes[29] = UINT8(v); }
    void setWarnLineNr(int v) { put(240, 10, v); }
    void setWarnFileNr(int v) { put(250, 6, v); }
};
static_assert(sizeof(SSecLogEntry_70) == SSecLogEntry_70::kSize, "32-byte record");

// Simulated sensor values for the 70-series controller: code, five bytes, twelve words, all
// zero when created. Field meanings belong to the debug panel that fills them.
struct SHLP_SetSimulationValues_70
{
    static constexpr int kSize = 30;
    static constexpr int kByteCount = 5;
    static constexpr int kWordCount = 12;

    UINT8 m_Code = HLP_SET_SIMULATION_VALUES;
    UINT8 m_Bytes[kByteCount] = {};  // offsets 1-5
    UINT16 m_Words[kWordCount] = {}; // offsets 6-29

    void toBytes(UINT8* p) const
    {
        p[0] = m_Code;
        std::memcpy(p + 1, m_Bytes, kByteCount);
        for (int i = 0; i < kWordCount; ++i)
            le::put16(p + 6 + 2 * i, m_Words[i]);
    }
    static SHLP_SetSimulationValues_70 fromBytes(const UINT8* p)
    {
        SHLP_SetSimulationValues_70 v;
        v.m_Code = p[0];
        std::memcpy(v.m_Bytes, p + 1, kByteCount);
        for (int i = 0; i < kWordCount; ++i)
            v.m_Words[i] = le::u16(p + 6 + 2 * i);
        return v;
    }
};
static_assert(1 + SHLP_SetSimulationValues_70::kByteCount +
                      2 * SHLP_SetSimulationValues_70::kWordCount ==
                  SHLP_SetSimulationValues_70::kSize,
              "30-byte record");
