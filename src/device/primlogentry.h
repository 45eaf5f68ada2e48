#pragma once

#include "link/lltypes.h"

#include <cstring>

// The 100-series state record: the current state, and one element of the primary log. Kept as
// the device's 26 raw bytes so that bits the tool does not read travel unchanged; every field
// is reached through a named accessor. Temperatures are 11-bit two's-complement numbers in
// steps of 1/8 degC held in bits 0-10 of a little-endian word; the upper five bits of that
// word's high byte belong to another field.
struct SPrimLogEntry
{
    static constexpr int kSize = 26;
    static constexpr int kPressureBaseHPa = 700;
    static constexpr int kCO2StepPpm = 16;
    static constexpr int kFanLimitStepM3h = 10;

    UINT8 m_Bytes[kSize] = {};

    static SPrimLogEntry fromBytes(const UINT8* bytes)
    {
        SPrimLogEntry entry;
        std::memcpy(entry.m_Bytes, bytes, kSize);
        return entry;
    }
    const UINT8* bytes() const { return m_Bytes; }

    // Temperatures in 1/8 degC (Raw) and in degC.
    int supplyTempRaw() const { return temp(0); }
    int outdoorTempRaw() const { return temp(2); }
    int exhaustTempRaw() const { return temp(4); }
    int extractTempRaw() const { return temp(6); }
    int supplyTempVirtRaw() const { return temp(8); }
    double supplyTemp() const { return supplyTempRaw() / 8.0; }
    double outdoorTemp() const { return outdoorTempRaw() / 8.0; }
    double exhaustTemp() const { return exhaustTempRaw() / 8.0; }
    double extractTemp() const { return extractTempRaw() / 8.0; }
    double supplyTempVirt() const { return supplyTempVirtRaw() / 8.0; }

    int errorState() const { return bits(1, 3, 5); }
    int pressureHigh() const { return bits(3, 3, 5); }
    int pressureLow() const { return bits(9, 3, 4); }
    // Air pressure in hPa, 700-1211.
    int pressure() const { return kPressureBaseHPa + 16 * pressureHigh() + pressureLow(); }
    bool deicing() const { return bits(9, 7, 1); }

    // Vent position codes: 0 undetermined, 1-24 steps, 25 closed, 26-30 open 15-75 deg, 31 open.
    int ventPosExtract() const { return bits(5, 3, 5); }
    int ventPosBypass() const { return bits(7, 3, 5); }
    int ventPosBath() const { return bits(13, 0, 5); }
    int ventPosSupply() const { return bits(14, 0, 5); }

    // Relative humidities in %.
    int outdoorHum() const { return bits(10, 0, 7); }
    bool filterSupplyFull() const { return bits(10, 7, 1); }
    int extractHum() const { return bits(11, 0, 7); }
    bool filterExtractFull() const { return bits(11, 7, 1); }

    int co2Raw() const { return m_Bytes[12]; }
    // CO2 in ppm, 0-4080.
    int co2() const { return co2Raw() * kCO2StepPpm; }

    int comfortLevelStored() const { return bits(13, 5, 3); }
    // Comfort level 1-8.
    int comfortLevel() const { return comfortLevelStored() + 1; }
    int operationMode() const { return bits(14, 5, 3); }
    int program() const { return bits(15, 0, 3); }
    // Average air flow in m3/h, except code 20 (the flow is fanLimit()) and 1 (20/60 pattern).
    int airFlowCode() const { return bits(15, 3, 5); }

    // Fan speeds in 1/min.
    int fanExtractRPM() const { return word(16) & 0x0FFF; }
    int fanSupplyRPM() const { return word(18) & 0x0FFF; }
    int fanLimitCode() const { return bits(17, 4, 4); }
    // Fan air-flow limit in m3/h, 0-150.
    int fanLimit() const { return fanLimitCode() * kFanLimitStepM3h; }
    bool humReductionMode() const { return bits(19, 4, 1); }
    bool fanLimitActive() const { return bits(19, 5, 1); }
    bool secondRoomOver20() const { return bits(19, 6, 1); }
    bool sumCoolBypassOpen() const { return bits(19, 7, 1); }

    int dipSwitch() const { return m_Bytes[20]; }
    // Second-room extract code (x 30 m3/h) and room-area code, both parts of dipSwitch().
    int secondRoomExtractCode() const { return bits(20, 0, 2); }
    int roomAreaCode() const { return bits(20, 4, 3); }
    int dipSwitch2() const { return bits(23, 5, 3); }
    bool noCO2Sensor() const { return bits(23, 4, 1); }

    int defrostState() const { return bits(21, 0, 2); }
    int errorFileNr() const { return bits(21, 2, 6); }
    // Internal error line; the writer's software version in entries whose errorFileNr() is 0.
    int errorLineNr() const { return word(22) & 0x03FF; }
    int errorCode() const { return INT8(m_Bytes[24]); }

    int ventCtrlSetExtract() const { return bits(25, 0, 2); }
    int ventCtrlSetBath() const { return bits(25, 2, 2); }
    int ventCtrlSetSupply() const { return bits(25, 4, 2); }
    int ventCtrlSetBypass() const { return bits(25, 6, 2); }

    // Field setters, for the simulated unit and for tests; values are cut to the field width.
    void setSupplyTempRaw(int eighths) { setTemp(0, eighths); }
    void setOutdoorTempRaw(int eighths) { setTemp(2, eighths); }
    void setExhaustTempRaw(int eighths) { setTemp(4, eighths); }
    void setExtractTempRaw(int eighths) { setTemp(6, eighths); }
    void setSupplyTempVirtRaw(int eighths) { setTemp(8, eighths); }
    void setErrorState(int v) { setBits(1, 3, 5, v); }
    // Pressure in hPa, clamped to 700-1211.
    void setPressure(int hPa)
    {
        const int offset = hPa < kPressureBaseHPa ? 0 : (hPa > 1211 ? 511 : hPa - kPressureBaseHPa);
        setBits(3, 3, 5, offset >> 4);
        setBits(9, 3, 4, offset & 0x0F);
    }
    void setDeicing(bool on) { setBits(9, 7, 1, on); }
    void setVentPosExtract(int v) { setBits(5, 3, 5, v); }
    void setVentPosBypass(int v) { setBits(7, 3, 5, v); }
    void setVentPosBath(int v) { setBits(13, 0, 5, v); }
    void setVentPosSupply(int v) { setBits(14, 0, 5, v); }
    void setOutdoorHum(int v) { setBits(10, 0, 7, v); }
    void setFilterSupplyFull(bool on) { setBits(10, 7, 1, on); }
    void setExtractHum(int v) { setBits(11, 0, 7, v); }
    void setFilterExtractFull(bool on) { setBits(11, 7, 1, on); }
    void setCO2Raw(int v) { setBits(12, 0, 8, v); }
    void setComfortLevelStored(int v) { setBits(13, 5, 3, v); }
    void setOperationMode(int v) { setBits(14, 5, 3, v); }
    void setProgram(int v) { setBits(15, 0, 3, v); }
    void setAirFlowCode(int v) { setBits(15, 3, 5, v); }
    void setFanExtractRPM(int v) { setWordBits(16, 12, v); }
    void setFanSupplyRPM(int v) { setWordBits(18, 12, v); }
    void setFanLimitCode(int v) { setBits(17, 4, 4, v); }
    void setHumReductionMode(bool on) { setBits(19, 4, 1, on); }
    void setFanLimitActive(bool on) { setBits(19, 5, 1, on); }
    void setSecondRoomOver20(bool on) { setBits(19, 6, 1, on); }
    void setSumCoolBypassOpen(bool on) { setBits(19, 7, 1, on); }
    void setDipSwitch(int v) { setBits(20, 0, 8, v); }
    void setDipSwitch2(int v) { setBits(23, 5, 3, v); }
    void setNoCO2Sensor(bool on) { setBits(23, 4, 1, on); }
    void setDefrostState(int v) { setBits(21, 0, 2, v); }
    void setErrorFileNr(int v) { setBits(21, 2, 6, v); }
    void setErrorLineNr(int v) { setWordBits(22, 10, v); }
    void setErrorCode(int v) { m_Bytes[24] = UINT8(v); }
    void setVentCtrlSetExtract(int v) { setBits(25, 0, 2, v); }
    void setVentCtrlSetBath(int v) { setBits(25, 2, 2, v); }
    void setVentCtrlSetSupply(int v) { setBits(25, 4, 2, v); }
    void setVentCtrlSetBypass(int v) { setBits(25, 6, 2, v); }

private:
    int word(int at) const { return le::u16(m_Bytes + at); }
    int bits(int at, int shift, int width) const
    {
        return (m_Bytes[at] >> shift) & ((1 << width) - 1);
    }
    // Sign-extends bits 0-10 of the word at `at`.
    int temp(int at) const
    {
        const int raw = word(at) & 0x07FF;
        return (raw & 0x0400) ? raw - 0x0800 : raw;
    }
    void setBits(int at, int shift, int width, int value)
    {
        const int mask = ((1 << width) - 1) << shift;
        m_Bytes[at] = UINT8((m_Bytes[at] & ~mask) | ((value << shift) & mask));
    }
    void setWordBits(int at, int width, int value)
    {
        const int mask = (1 << width) - 1;
        le::put16(m_Bytes + at, UINT16((word(at) & ~mask) | (value & mask)));
    }
    void setTemp(int at, int eighths) { setWordBits(at, 11, eighths); }
};

static_assert(sizeof(SPrimLogEntry) == SPrimLogEntry::kSize, "SPrimLogEntry is a 26-byte record");
