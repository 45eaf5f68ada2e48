#pragma once

#include <QVariant>

struct SPrimLogEntry;

// One 100-series state record decoded into named values, handed out by value-dictionary index.
// A short-lived value: decoded once in the constructor, never changed afterwards.
class CFanValues
{
public:
    explicit CFanValues(const SPrimLogEntry& entry);

    // The value of one dictionary entry; an invalid QVariant for entries without a value source.
    QVariant value(int index) const;

    // Both fans stopped and both humidities exactly 50 %: the application has not measured yet.
    bool isDefaultState() const;

    // Heat recovery: relative (%), recovered and lost power (W).
    int recoveryPercent() const;
    int recoveryWatt() const;
    int recoveryLossWatt() const;

    // Dictionary index of the error-state member for a device error code 0-22, -1 for others.
    static int errorStateIndex(int errorState);

    int errorState() const { return m_ErrorState; }
    int operationMode() const { return m_OperationMode; }
    int program() const { return m_Program; }
    int defrostState() const { return m_DefrostState; }
    int fanLimit() const { return m_FanLimit; }
    bool fanLimitActive() const { return m_FanLimitActive; }
    bool secondRoomOver20() const { return m_SecondRoomOver20; }
    int swVersionMajor() const { return m_SwVersionMajor; }
    int swVersionMinor() const { return m_SwVersionMinor; }

private:
    QVariant entryLabel(int index) const;
    QVariant reductionReason() const;

    // degC
    double m_ExtractTemp = 0;
    double m_OutdoorTemp = 0;
    double m_ExhaustTemp = 0;
    double m_SupplyTemp = 0;
    double m_SupplyTempVirt = 0;
    // %
    int m_ExtractHum = 0;
    int m_OutdoorHum = 0;
    int m_CO2 = 0; // ppm
    int m_ComfortLevel = 1;
    int m_FanLimit = 0;          // m3/h
    int m_ExtractAirFlow = 0;    // m3/h
    int m_RoomArea = 0;          // m2
    int m_Max2ndRoomExtract = 0; // m3/h
    // 1/min
    int m_FanSupplyRPM = 0;
    int m_FanExtractRPM = 0;
    int m_OperationMode = 0;
    int m_Program = 0;
    int m_DefrostState = 0;
    int m_ErrorState = 0;
    int m_Pressure = 0; // hPa
    int m_VentPosExtract = 0;
    int m_VentPosBypass = 0;
    int m_VentPosBath = 0;
    int m_VentPosSupply = 0;
    int m_VentCtrlSetExtract = 0;
    int m_VentCtrlSetBypass = 0;
    int m_VentCtrlSetBath = 0;
    int m_VentCtrlSetSupply = 0;
    int m_FilterSupplyFull = 0;
    int m_FilterExtractFull = 0;
    int m_DIPSwitch = 0;
    uint m_DIPSwitch2 = 0;
    uint m_ErrorFileNr = 0;
    uint m_ErrorLineNr = 0;
    int m_ErrorCode = 0;
    bool m_HumReductionMode = false;
    bool m_FanLimitActive = false;
    bool m_SecondRoomOver20 = false;
    bool m_SumCoolBypassOpen = false;
    int m_Deicing = 0;
    bool m_NoCO2Sensor = false;
    int m_SwVersionMajor = 0;
    int m_SwVersionMinor = 0;
};
