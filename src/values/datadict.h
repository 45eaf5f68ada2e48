#pragma once

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

// Index of every value-dictionary entry, named after the entry's key.
namespace DictIndex {
enum EDictIndex : int {
    LogTimestamp = 0,
    Restarted = 1,
    OperationMode = 2,
    OM_Standard = 3,
    OM_Alternate = 4,
    OM_Auto = 5,
    OM_Sleep = 6,
    OM_Turbo = 7,
    OM_TurboCool = 8,
    OM_Service = 9,
    OM_Test = 10,
    OM_Manufacturer = 11,
    Program = 12,
    MinAir = 13,
    RelDry = 14,
    AbsDry = 15,
    Cool = 16,
    VenCO2 = 17,
    CO2Inp = 18,
    HumUndCO2Inp = 19,
    HumInp = 20,
    ReductionReason = 21,
    DefrostBypass = 22,
    DefrostSupply = 23,
    HumInput = 24,
    SupplyCondensing = 25,
    MinTOut = 26,
    MinTOutDeicing = 27,
    HumReductionMode = 28,
    SumCoolBypassOpen = 29,
    ComfortLevel = 30,
    RoomArea = 31,
    Max2ndRoomExtract = 32,
    FanRPM70 = 33,
    FanSupplyRPM = 34,
    FanExtractRPM = 35,
    ExtractAirFlow = 36,
    ExtractTemp = 37,
    SupplyTemp70 = 38,
    ExtractHum = 39,
    ExtractHumAbs = 40,
    OutdoorTemp = 41,
    OutdoorHum = 42,
    CO2 = 43,
    ExtractCO270 = 44,
    SupplyCO270 = 45,
    SupplyTemp = 46,
    SupplyTempVirt = 47,
    OutdoorHumAbs = 48,
    ExhaustTemp = 49,
    Pressure = 50,
    AirDensity = 51,
    RecoveryPercent = 52,
    RecoveryWatt = 53,
    OperatingHours = 54,
    FilterHours = 55,
    Deicing = 56,
    SoftwareVersion = 57,
    BoardVersion = 58,
    SerialNumber = 59,
    SupplyAirFlow = 60,
    RSSI = 61,
    LogEntryTimeSpan = 62,
    TimeComLev0 = 63,
    TimeComLev1 = 64,
    TimeComLev2 = 65,
    TimeComLev3 = 66,
    TimeComLev4 = 67,
    TimeSleepMode = 68,
    TimeTurboMode = 69,
    TimeServiceMode = 70,
    TimeAutoAlt = 71,
    TimeDefExh = 72,
    TimeMinAir = 73,
    TimeSupCond = 74,
    TimeHumInp = 75,
    TimeCO2Inp = 76,
    TimeHumCO2Inp = 77,
    TimeAbsDrying = 78,
    TimeRelDrying = 79,
    TimeCooling = 80,
    TimeCO2Ventilation = 81,
    HumRedModeSet = 82,
    HumRedModeClr = 83,
    EnergyExtracted = 84,
    EnergyRecovered = 85,
    PowerConsumption = 86,
    EnergyCooled = 87,
    AirExchanged = 88,
    WaterRemoved = 89,
    SW_Version = 90,
    ErrorState = 91,
    ERR_OK = 92,
    ERR_FilterOld = 93,
    ERR_FilterDirty = 94,
    ERR_General = 95,
    ERR_SensorTempOutdoor = 96,
    ERR_SensorTempExhaust = 97,
    ERR_SensorTempExtract = 98,
    ERR_SensorTempSupply = 99,
    ERR_SensorHumOutdoor = 100,
    ERR_SensorHumExtract = 101,
    ERR_SensorCO2 = 102,
    ERR_SensorPressure = 103,
    ERR_VentExtract = 104,
    ERR_VentBath = 105,
    ERR_VentSupply = 106,
    ERR_VentBypass = 107,
    ERR_FanExtract = 108,
    ERR_FanSupply = 109,
    ERR_DIPSwitch = 110,
    ERR_DetailOnPress = 111,
    ERR_CO2TooHigh = 112,
    ERR_Fire = 113,
    ERR_SensorTemp = 114,
    ERR_SensorHum = 115,
    ERR_SenErr = 116,
    ERR_Fan = 117,
    ERR_SensorVOC = 118,
    ERR_Wlan = 119,
    ExtCO2UnCor70 = 120,
    SupCO2UnCor70 = 121,
    ErrorFileNr = 122,
    ErrorLineNr = 123,
    ErrorCode = 124,
    VentPosExtract = 125,
    VentPosBypass = 126,
    VentPosBath = 127,
    VentPosSupply = 128,
    VentCtrlSetExtract = 129,
    VentCtrlSetBypass = 130,
    VentCtrlSetBath = 131,
    VentCtrlSetSupply = 132,
    FilterSupplyFull = 133,
    FilterExtractFull = 134,
    DIPSwitch = 135,
    DIPSwitch2 = 136,
    FanSupplyCharac = 137,
    FanExtractCharac = 138,
    FanCmdsSucceeded = 139,
    FanCmdsFailed = 140,
    NoCO2Sensor = 141,
    Count = 142
};
} // namespace DictIndex

// One named quantity: how to describe, label and unit-tag it, and where it occurs.
struct DataDictEntry
{
    QString description; // fixed when the dictionary is built
    QString unit;        // may be empty
    QByteArray label;    // UTF-8; translated on each request (part 1)
    QString code;        // short code, may be empty
    int category = 0;    // air path: 1 supply, 2 extract, 3 outdoor, 4 exhaust, 5 general
    int mark = 0;        // 0/1
    int valueType = 0;   // 0 none, 1 integer, 2 real, 3 yes/no flag, 4 text
    int views = 0; // record kinds: 1 100 primary, 2 100 secondary, 8 70 primary, 16 70 secondary
};

// The process-wide value dictionary: 142 entries addressed by index or key. Descriptions and
// units are translated (or taken from the language table) once, when the dictionary is built.
// GUI thread only.
class CDataDict : public QObject
{
    Q_OBJECT

public:
    enum ETextPart : int {
        EDescription = 0,
        ELabel = 1,    // translated in the "CDataDict" context
        ELabelRaw = 2, // as stored, untranslated
        EUnit = 3,
        ECode = 4
    };

    static CDataDict& instance();

    int count() const { return entries.size(); }

    // Empty for an index or part out of range. bracketed wraps the text as "(text)".
    QString text(int index, int part, bool bracketed = false) const;
    // The entry's index, or count() for an unknown key.
    int indexOf(const QString& key) const;

    // 0 for an index out of range.
    int category(int index) const;
    int mark(int index) const;
    int valueType(int index) const;
    int views(int index) const;

    static QColor categoryColour(int category);

private:
    CDataDict();
    const DataDictEntry* entry(int index) const;

    QVector<DataDictEntry> entries;
    QHash<QString, int> keyIndex;
};
