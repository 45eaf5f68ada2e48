#include "datadict.h"

#include "device/uitext.h"

#include <QCoreApplication>

namespace {

// A text of the dictionary: a literal translated in the "CDataDict" context, or (uiIndex >= 0)
// an entry of the language table, of which the literal is the English version.
struct STextSource
{
    const char* text;
    int uiIndex;
};

struct SDictRow
{
    const char* key;
    STextSource description;
    const char* unit;
    STextSource label;
    const char* code;
    int category;
    int mark;
    int valueType;
    int views;
};

// clang-format off
const SDictRow kDictRows[] = {
    /*   0 */ {"LogTimestamp", {QT_TRANSLATE_NOOP("CDataDict", "Timestamp of log entry"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "TIM"), -1}, "LogTimestamp", 5, 0, 1, 27},
    /*   1 */ {"Restarted", {QT_TRANSLATE_NOOP("CDataDict", "Restarted"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "RES"), -1}, "RES", 5, 0, 1, 18},
    /*   2 */ {"OperationMode", {QT_TRANSLATE_NOOP("CDataDict", "Operation mode"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "OM"), -1}, "OM", 5, 0, 4, 9},
    /*   3 */ {"OM_Standard", {QT_TRANSLATE_NOOP("CDataDict", "Comfort"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "cmf"), -1}, nullptr, 5, 0, 0, 0},
    /*   4 */ {"OM_Alternate", {QT_TRANSLATE_NOOP("CDataDict", "Comfort (1st room)"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "cm1"), -1}, nullptr, 5, 0, 0, 0},
    /*   5 */ {"OM_Auto", {QT_TRANSLATE_NOOP("CDataDict", "Auto"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "aut"), -1}, nullptr, 5, 0, 0, 0},
    /*   6 */ {"OM_Sleep", {QT_TRANSLATE_NOOP("CDataDict", "Sleep"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "slp"), -1}, nullptr, 5, 0, 0, 0},
    /*   7 */ {"OM_Turbo", {QT_TRANSLATE_NOOP("CDataDict", "Turbo"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "trb"), -1}, nullptr, 5, 0, 0, 0},
    /*   8 */ {"OM_TurboCool", {QT_TRANSLATE_NOOP("CDataDict", "Turbo Cool"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "trc"), -1}, nullptr, 5, 0, 0, 0},
    /*   9 */ {"OM_Service", {QT_TRANSLATE_NOOP("CDataDict", "Service"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "svc"), -1}, nullptr, 5, 0, 0, 0},
    /*  10 */ {"OM_Test", {QT_TRANSLATE_NOOP("CDataDict", "Test"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "tst"), -1}, nullptr, 5, 0, 0, 0},
    /*  11 */ {"OM_Manufacturer", {QT_TRANSLATE_NOOP("CDataDict", "Manufacturer"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "mnu"), -1}, nullptr, 5, 0, 0, 0},
    /*  12 */ {"Program", {QT_TRANSLATE_NOOP("CDataDict", "Program"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "PRG"), -1}, "PRG", 5, 0, 4, 9},
    /*  13 */ {"MinAir", {QT_TRANSLATE_NOOP("CDataDict", "Minimum Ventilation"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "mve"), -1}, nullptr, 5, 0, 0, 0},
    /*  14 */ {"RelDry", {QT_TRANSLATE_NOOP("CDataDict", "Humidity Reduction (relative)"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "hrr"), -1}, nullptr, 5, 0, 0, 0},
    /*  15 */ {"AbsDry", {QT_TRANSLATE_NOOP("CDataDict", "Humidity Reduction (absolute)"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "hra"), -1}, nullptr, 5, 0, 0, 0},
    /*  16 */ {"Cool", {QT_TRANSLATE_NOOP("CDataDict", "Active Cooling"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "col"), -1}, nullptr, 5, 0, 0, 0},
    /*  17 */ {"VenCO2", {QT_TRANSLATE_NOOP("CDataDict", "CO2 Reduction"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "co2"), -1}, nullptr, 5, 0, 0, 0},
    /*  18 */ {"CO2Inp", {QT_TRANSLATE_NOOP("CDataDict", "CO2 Input"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "CO2Inp"), -1}, nullptr, 5, 0, 0, 0},
    /*  19 */ {"HumUndCO2Inp", {QT_TRANSLATE_NOOP("CDataDict", "CO2 and Humidity Input"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "HCO2Inp"), -1}, nullptr, 5, 0, 0, 0},
    /*  20 */ {"HumInp", {QT_TRANSLATE_NOOP("CDataDict", "Humidity Input"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "HumInp"), -1}, nullptr, 5, 0, 0, 0},
    /*  21 */ {"ReductionReason", {QT_TRANSLATE_NOOP("CDataDict", "Reduction (mini)"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "RED"), -1}, "RED", 5, 0, 4, 9},
    /*  22 */ {"DefrostBypass", {QT_TRANSLATE_NOOP("CDataDict", "Defrosting"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "dfr"), -1}, nullptr, 5, 0, 0, 0},
    /*  23 */ {"DefrostSupply", {QT_TRANSLATE_NOOP("CDataDict", "Defrosting Supply"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "dfs"), -1}, nullptr, 1, 0, 0, 0},
    /*  24 */ {"HumInput", {QT_TRANSLATE_NOOP("CDataDict", "Humidity Input"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "hin"), -1}, nullptr, 5, 0, 0, 0},
    /*  25 */ {"SupplyCondensing", {QT_TRANSLATE_NOOP("CDataDict", "Water Insertion"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "win"), -1}, nullptr, 1, 0, 0, 0},
    /*  26 */ {"MinTOut", {"Outside temperature below -22°C", 9}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "otb"), -1}, nullptr, 3, 0, 0, 0},
    /*  27 */ {"MinTOutDeicing", {QT_TRANSLATE_NOOP("CDataDict", "Deicing outer wall"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "dow"), -1}, nullptr, 3, 0, 0, 0},
    /*  28 */ {"HumReductionMode", {"Humidity reduction mode", 26}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "HR"), -1}, "HR", 5, 0, 3, 1},
    /*  29 */ {"SumCoolBypassOpen", {QT_TRANSLATE_NOOP("CDataDict", "Cooling"), -1}, nullptr, {"CA", 27}, "SC", 5, 0, 3, 1},
    /*  30 */ {"ComfortLevel", {QT_TRANSLATE_NOOP("CDataDict", "Comfort Level"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "CL"), -1}, "CL", 5, 0, 1, 9},
    /*  31 */ {"RoomArea", {"Room area (minimal ventilation)", 28}, QT_TRANSLATE_NOOP("CDataDict", "m²"), {QT_TRANSLATE_NOOP("CDataDict", "RA"), -1}, "RA", 5, 0, 1, 9},
    /*  32 */ {"Max2ndRoomExtract", {"2nd room adapter", 29}, QT_TRANSLATE_NOOP("CDataDict", "m³/h"), {QT_TRANSLATE_NOOP("CDataDict", "2A"), -1}, "A2", 2, 0, 1, 1},
    /*  33 */ {"FanRPM70", {"Fan speed", 187}, QT_TRANSLATE_NOOP("CDataDict", "1/min"), {"FSP", 186}, "FSP", 5, 1, 1, 8},
    /*  34 */ {"FanSupplyRPM", {"Fan speed supply air", 30}, QT_TRANSLATE_NOOP("CDataDict", "1/min"), {"FSS", 32}, "FSS", 1, 1, 1, 1},
    /*  35 */ {"FanExtractRPM", {"Fan speed extract air", 31}, QT_TRANSLATE_NOOP("CDataDict", "1/min"), {"FSE", 33}, "FSE", 2, 1, 1, 1},
    /*  36 */ {"ExtractAirFlow", {QT_TRANSLATE_NOOP("CDataDict", "Air flow"), -1}, QT_TRANSLATE_NOOP("CDataDict", "m³/h"), {QT_TRANSLATE_NOOP("CDataDict", "AFL"), -1}, "AFL", 2, 1, 1, 9},
    /*  37 */ {"ExtractTemp", {"Temperature extract air", 14}, QT_TRANSLATE_NOOP("CDataDict", "°C"), {"TEX", 11}, "TET", 2, 1, 2, 27},
    /*  38 */ {"SupplyTemp70", {QT_TRANSLATE_NOOP("CDataDict", "Supply temperature"), -1}, QT_TRANSLATE_NOOP("CDataDict", "°C"), {QT_TRANSLATE_NOOP("CDataDict", "TSU"), -1}, "TSU", 1, 1, 2, 24},
    /*  39 */ {"ExtractHum", {"Humidity extract air (rel)", 13}, QT_TRANSLATE_NOOP("CDataDict", "%"), {"HEX", 12}, "HET", 2, 1, 1, 27},
    /*  40 */ {"ExtractHumAbs", {QT_TRANSLATE_NOOP("CDataDict", "Extract humidity (abs)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "g/m³"), {QT_TRANSLATE_NOOP("CDataDict", "HEA"), -1}, nullptr, 2, 0, 0, 0},
    /*  41 */ {"OutdoorTemp", {"Temperature outside air", 15}, QT_TRANSLATE_NOOP("CDataDict", "°C"), {"TOU", 10}, "TOU", 3, 1, 2, 3},
    /*  42 */ {"OutdoorHum", {"Humidity outside air (rel)", 16}, QT_TRANSLATE_NOOP("CDataDict", "%"), {QT_TRANSLATE_NOOP("CDataDict", "HOU"), -1}, "HOU", 3, 1, 1, 27},
    /*  43 */ {"CO2", {QT_TRANSLATE_NOOP("CDataDict", "CO2"), -1}, QT_TRANSLATE_NOOP("CDataDict", "ppm"), {QT_TRANSLATE_NOOP("CDataDict", "CO2"), -1}, "CO2", 2, 1, 1, 3},
    /*  44 */ {"ExtractCO270", {"Quality extract air", 180}, QT_TRANSLATE_NOOP("CDataDict", "VOC"), {"QEA", 178}, "AQE", 2, 1, 1, 24},
    /*  45 */ {"SupplyCO270", {"Quality supply air", 181}, QT_TRANSLATE_NOOP("CDataDict", "VOC"), {"QSA", 179}, "AQS", 1, 1, 1, 24},
    /*  46 */ {"SupplyTemp", {"Temperature supply air (sens)", 17}, QT_TRANSLATE_NOOP("CDataDict", "°C"), {QT_TRANSLATE_NOOP("CDataDict", "TSU"), -1}, "TSU", 1, 0, 2, 3},
    /*  47 */ {"SupplyTempVirt", {"Temperature supply air", 18}, QT_TRANSLATE_NOOP("CDataDict", "°C"), {QT_TRANSLATE_NOOP("CDataDict", "TSC"), -1}, "TSC", 1, 1, 2, 1},
    /*  48 */ {"OutdoorHumAbs", {QT_TRANSLATE_NOOP("CDataDict", "Outdoor humidity (abs)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "g/m³"), {QT_TRANSLATE_NOOP("CDataDict", "HOA"), -1}, nullptr, 3, 0, 0, 0},
    /*  49 */ {"ExhaustTemp", {"Temperature exhaust air", 19}, QT_TRANSLATE_NOOP("CDataDict", "°C"), {QT_TRANSLATE_NOOP("CDataDict", "TEH"), -1}, "TEH", 4, 1, 2, 3},
    /*  50 */ {"Pressure", {QT_TRANSLATE_NOOP("CDataDict", "Air pressure"), -1}, QT_TRANSLATE_NOOP("CDataDict", "hPa"), {QT_TRANSLATE_NOOP("CDataDict", "APR"), -1}, "PRS", 5, 1, 1, 3},
    /*  51 */ {"AirDensity", {QT_TRANSLATE_NOOP("CDataDict", "Air density"), -1}, QT_TRANSLATE_NOOP("CDataDict", "kg/m³"), {QT_TRANSLATE_NOOP("CDataDict", "ADY"), -1}, nullptr, 5, 1, 2, 3},
    /*  52 */ {"RecoveryPercent", {QT_TRANSLATE_NOOP("CDataDict", "Heat recovery (rel)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "%"), {QT_TRANSLATE_NOOP("CDataDict", "HRP"), -1}, nullptr, 5, 1, 2, 3},
    /*  53 */ {"RecoveryWatt", {QT_TRANSLATE_NOOP("CDataDict", "Heat recovery (abs)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "W"), {QT_TRANSLATE_NOOP("CDataDict", "HRW"), -1}, nullptr, 5, 1, 2, 1},
    /*  54 */ {"OperatingHours", {QT_TRANSLATE_NOOP("CDataDict", "Operating hours"), -1}, QT_TRANSLATE_NOOP("CDataDict", "h"), {QT_TRANSLATE_NOOP("CDataDict", "OPH"), -1}, "OPH", 5, 0, 1, 9},
    /*  55 */ {"FilterHours", {QT_TRANSLATE_NOOP("CDataDict", "Filter hours"), -1}, QT_TRANSLATE_NOOP("CDataDict", "h"), {QT_TRANSLATE_NOOP("CDataDict", "FIH"), -1}, "FIH", 5, 0, 1, 1},
    /*  56 */ {"Deicing", {QT_TRANSLATE_NOOP("CDataDict", "Deicing"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "DEI"), -1}, "DEI", 5, 0, 1, 1},
    /*  57 */ {"SoftwareVersion", {QT_TRANSLATE_NOOP("CDataDict", "Software version"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "SWV"), -1}, nullptr, 5, 0, 0, 0},
    /*  58 */ {"BoardVersion", {QT_TRANSLATE_NOOP("CDataDict", "Circuit board version"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "CBV"), -1}, nullptr, 5, 0, 0, 0},
    /*  59 */ {"SerialNumber", {QT_TRANSLATE_NOOP("CDataDict", "Serial number"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "SNR"), -1}, "SNR", 5, 0, 1, 27},
    /*  60 */ {"SupplyAirFlow", {QT_TRANSLATE_NOOP("CDataDict", "Supply Air flow"), -1}, QT_TRANSLATE_NOOP("CDataDict", "m³/h"), {QT_TRANSLATE_NOOP("CDataDict", "AFL"), -1}, nullptr, 1, 0, 0, 0},
    /*  61 */ {"RSSI", {"WiFi-received signal strength", 34}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "RSSI"), -1}, "RSSI", 2, 1, 1, 1},
    /*  62 */ {"LogEntryTimeSpan", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "LTS"), -1}, "LTS", 5, 0, 1, 18},
    /*  63 */ {"TimeComLev0", {"Duration comfort level 1", 20}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DL1"), -1}, "DL1", 5, 0, 1, 18},
    /*  64 */ {"TimeComLev1", {"Duration comfort level 2", 21}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DL2"), -1}, "DL2", 5, 0, 1, 18},
    /*  65 */ {"TimeComLev2", {"Duration comfort level 3", 22}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DL3"), -1}, "DL3", 5, 0, 1, 18},
    /*  66 */ {"TimeComLev3", {"Duration comfort level 4", 23}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DL4"), -1}, "DL4", 5, 0, 1, 18},
    /*  67 */ {"TimeComLev4", {"Duration comfort level 5", 24}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DL5"), -1}, "DL5", 5, 0, 1, 18},
    /*  68 */ {"TimeSleepMode", {QT_TRANSLATE_NOOP("CDataDict", "Duration sleep mode"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DSM"), -1}, "DSM", 5, 0, 1, 2},
    /*  69 */ {"TimeTurboMode", {QT_TRANSLATE_NOOP("CDataDict", "Duration turbo mode"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DTM"), -1}, "DTM", 5, 0, 1, 18},
    /*  70 */ {"TimeServiceMode", {"Duration service mode", 183}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {"DSE", 182}, "DSeM", 5, 0, 1, 16},
    /*  71 */ {"TimeAutoAlt", {QT_TRANSLATE_NOOP("CDataDict", "Duration Comfort (1st room)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "D1R"), -1}, "D1R", 5, 0, 1, 2},
    /*  72 */ {"TimeDefExh", {QT_TRANSLATE_NOOP("CDataDict", "Duration defrosting"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DDF"), -1}, "DDF", 5, 0, 1, 2},
    /*  73 */ {"TimeMinAir", {QT_TRANSLATE_NOOP("CDataDict", "Duration minimum ventilation"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DMV"), -1}, "DMV", 5, 0, 1, 18},
    /*  74 */ {"TimeSupCond", {QT_TRANSLATE_NOOP("CDataDict", "Duration water insertion"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DWI"), -1}, "DWI", 5, 0, 1, 2},
    /*  75 */ {"TimeHumInp", {QT_TRANSLATE_NOOP("CDataDict", "Duration humidity input"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DHI"), -1}, "DHI", 5, 0, 1, 18},
    /*  76 */ {"TimeCO2Inp", {QT_TRANSLATE_NOOP("CDataDict", "Duration CO2 insertion"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {"DC2I", 184}, "DCO2I", 5, 0, 1, 16},
    /*  77 */ {"TimeHumCO2Inp", {QT_TRANSLATE_NOOP("CDataDict", "Duration humidity and CO2 insertion"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {"DHCI", 185}, "DHuCO2I", 5, 0, 1, 16},
    /*  78 */ {"TimeAbsDrying", {QT_TRANSLATE_NOOP("CDataDict", "Duration humidity reduction (absolute)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DRA"), -1}, "DRA", 5, 0, 1, 18},
    /*  79 */ {"TimeRelDrying", {QT_TRANSLATE_NOOP("CDataDict", "Duration humidity reduction (relative)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DRR"), -1}, "DRR", 5, 0, 1, 18},
    /*  80 */ {"TimeCooling", {QT_TRANSLATE_NOOP("CDataDict", "Duration cooling"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {QT_TRANSLATE_NOOP("CDataDict", "DCO"), -1}, "DCO", 5, 0, 1, 18},
    /*  81 */ {"TimeCO2Ventilation", {QT_TRANSLATE_NOOP("CDataDict", "Duration CO2 reduction"), -1}, QT_TRANSLATE_NOOP("CDataDict", "H:M"), {"DC2R", 25}, "DC2", 5, 0, 1, 18},
    /*  82 */ {"HumRedModeSet", {QT_TRANSLATE_NOOP("CDataDict", "Humidity reduction mode used"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "HRU"), -1}, "HRU", 5, 0, 1, 2},
    /*  83 */ {"HumRedModeClr", {QT_TRANSLATE_NOOP("CDataDict", "Humidity reduction mode not used"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "HRN"), -1}, "HRN", 5, 0, 1, 2},
    /*  84 */ {"EnergyExtracted", {QT_TRANSLATE_NOOP("CDataDict", "Extracted energy"), -1}, QT_TRANSLATE_NOOP("CDataDict", "Wh"), {QT_TRANSLATE_NOOP("CDataDict", "EXE"), -1}, "EXE", 2, 1, 1, 2},
    /*  85 */ {"EnergyRecovered", {QT_TRANSLATE_NOOP("CDataDict", "Recovered energy"), -1}, QT_TRANSLATE_NOOP("CDataDict", "Wh"), {QT_TRANSLATE_NOOP("CDataDict", "REE"), -1}, "REE", 5, 1, 1, 2},
    /*  86 */ {"PowerConsumption", {QT_TRANSLATE_NOOP("CDataDict", "Power consumption"), -1}, QT_TRANSLATE_NOOP("CDataDict", "Wh"), {QT_TRANSLATE_NOOP("CDataDict", "PCO"), -1}, nullptr, 5, 1, 2, 2},
    /*  87 */ {"EnergyCooled", {QT_TRANSLATE_NOOP("CDataDict", "Cooling energy"), -1}, QT_TRANSLATE_NOOP("CDataDict", "Wh"), {QT_TRANSLATE_NOOP("CDataDict", "COE"), -1}, "COE", 5, 1, 1, 18},
    /*  88 */ {"AirExchanged", {QT_TRANSLATE_NOOP("CDataDict", "Air exchanged"), -1}, QT_TRANSLATE_NOOP("CDataDict", "m³"), {QT_TRANSLATE_NOOP("CDataDict", "AEX"), -1}, "AEX", 5, 1, 2, 18},
    /*  89 */ {"WaterRemoved", {QT_TRANSLATE_NOOP("CDataDict", "Water removed"), -1}, QT_TRANSLATE_NOOP("CDataDict", "g"), {QT_TRANSLATE_NOOP("CDataDict", "WAR"), -1}, "WAR", 5, 1, 1, 18},
    /*  90 */ {"SW_Version", {QT_TRANSLATE_NOOP("CDataDict", "Software Version"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "SWV"), -1}, "SWV", 5, 0, 4, 1},
    /*  91 */ {"ErrorState", {QT_TRANSLATE_NOOP("CDataDict", "Error state"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "ES"), -1}, "ES", 5, 0, 4, 27},
    /*  92 */ {"ERR_OK", {QT_TRANSLATE_NOOP("CDataDict", "ok"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "ok"), -1}, nullptr, 5, 0, 0, 0},
    /*  93 */ {"ERR_FilterOld", {"Filter operating hours", 40}, nullptr, {"Err-FiOH", 58}, nullptr, 5, 0, 0, 0},
    /*  94 */ {"ERR_FilterDirty", {"Filter dirty (air handicap)", 41}, nullptr, {"Err-FiDI", 59}, nullptr, 5, 0, 0, 0},
    /*  95 */ {"ERR_General", {QT_TRANSLATE_NOOP("CDataDict", "general error"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "ge1"), -1}, nullptr, 5, 0, 0, 0},
    /*  96 */ {"ERR_SensorTempOutdoor", {"Temperature sensor outside air", 42}, nullptr, {"Err-TOU", 60}, nullptr, 5, 0, 0, 0},
    /*  97 */ {"ERR_SensorTempExhaust", {"Temperature sensor exhaust air", 43}, nullptr, {"Err-TEH", 61}, nullptr, 5, 0, 0, 0},
    /*  98 */ {"ERR_SensorTempExtract", {"Temperature sensor extract air", 44}, nullptr, {"Err-TEX", 62}, nullptr, 5, 0, 0, 0},
    /*  99 */ {"ERR_SensorTempSupply", {"Temperature sensor supply air", 45}, nullptr, {"Err-TSU", 63}, nullptr, 5, 0, 0, 0},
    /* 100 */ {"ERR_SensorHumOutdoor", {"Humidity sensor outside air", 46}, nullptr, {"Err-HOU", 64}, nullptr, 5, 0, 0, 0},
    /* 101 */ {"ERR_SensorHumExtract", {"Humidity sensor extract air", 47}, nullptr, {"Err-HEX", 65}, nullptr, 5, 0, 0, 0},
    /* 102 */ {"ERR_SensorCO2", {"CO2 sensor", 48}, nullptr, {"Err-CO2", 66}, nullptr, 5, 0, 0, 0},
    /* 103 */ {"ERR_SensorPressure", {"Air pressure sensor", 56}, nullptr, {"Err-APR", 74}, nullptr, 5, 0, 0, 0},
    /* 104 */ {"ERR_VentExtract", {"Flap extract air", 49}, nullptr, {"Err-FE1", 67}, nullptr, 5, 0, 0, 0},
    /* 105 */ {"ERR_VentBath", {"Flap extract air 2nd room", 52}, nullptr, {"Err-FE2", 69}, nullptr, 5, 0, 0, 0},
    /* 106 */ {"ERR_VentSupply", {"Flap supply air", 51}, nullptr, {"Err-FSU", 70}, nullptr, 5, 0, 0, 0},
    /* 107 */ {"ERR_VentBypass", {"Flap bypass", 50}, nullptr, {"Err-FBY", 68}, nullptr, 5, 0, 0, 0},
    /* 108 */ {"ERR_FanExtract", {"Fan extract air", 54}, nullptr, {"Err-FSE", 72}, nullptr, 5, 0, 0, 0},
    /* 109 */ {"ERR_FanSupply", {"Fan supply air", 53}, nullptr, {"Err-FSS", 71}, nullptr, 5, 0, 0, 0},
    /* 110 */ {"ERR_DIPSwitch", {"DIP switch", 55}, nullptr, {"Err-DIP", 73}, nullptr, 5, 0, 0, 0},
    /* 111 */ {"ERR_DetailOnPress", {QT_TRANSLATE_NOOP("CDataDict", "general error 2"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "ge2"), -1}, nullptr, 5, 0, 0, 0},
    /* 112 */ {"ERR_CO2TooHigh", {"CO2 content", 36}, nullptr, {"CO2", 38}, nullptr, 5, 0, 0, 0},
    /* 113 */ {"ERR_Fire", {"Fire", 35}, nullptr, {"Fire", 37}, nullptr, 5, 0, 0, 0},
    /* 114 */ {"ERR_SensorTemp", {"Temperature sesnsor", 192}, nullptr, {"Err-TSE", 193}, nullptr, 5, 0, 0, 0},
    /* 115 */ {"ERR_SensorHum", {"Humidity sensor", 194}, nullptr, {"Err-HSE", 195}, nullptr, 5, 0, 0, 0},
    /* 116 */ {"ERR_SenErr", {QT_TRANSLATE_NOOP("CDataDict", "sensor error"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "se"), -1}, nullptr, 5, 0, 0, 0},
    /* 117 */ {"ERR_Fan", {"Fan", 190}, nullptr, {"Err-FAN", 191}, nullptr, 5, 0, 0, 0},
    /* 118 */ {"ERR_SensorVOC", {"VOC sensor", 188}, nullptr, {"Err-VOC", 189}, nullptr, 5, 0, 0, 0},
    /* 119 */ {"ERR_Wlan", {"WiFi", 39}, nullptr, {"Err-WiFi", 57}, nullptr, 5, 0, 0, 0},
    /* 120 */ {"ExtCO2UnCor70", {QT_TRANSLATE_NOOP("CDataDict", "Extract air quality (uncor.)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "VOC"), {QT_TRANSLATE_NOOP("CDataDict", "QEU"), -1}, "QEU", 2, 0, 1, 8},
    /* 121 */ {"SupCO2UnCor70", {QT_TRANSLATE_NOOP("CDataDict", "Supply air quality  (uncor.)"), -1}, QT_TRANSLATE_NOOP("CDataDict", "VOC"), {QT_TRANSLATE_NOOP("CDataDict", " QSU"), -1}, "QSU", 1, 0, 1, 8},
    /* 122 */ {"ErrorFileNr", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "EFN"), -1}, "EFN", 5, 0, 1, 27},
    /* 123 */ {"ErrorLineNr", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "ELN"), -1}, "ELN", 5, 0, 1, 27},
    /* 124 */ {"ErrorCode", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "ECO"), -1}, "ECO", 5, 0, 1, 27},
    /* 125 */ {"VentPosExtract", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "VPE"), -1}, "VPE", 2, 0, 1, 1},
    /* 126 */ {"VentPosBypass", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "VBY"), -1}, "VBY", 5, 0, 1, 1},
    /* 127 */ {"VentPosBath", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "VBA"), -1}, "VBA", 5, 0, 1, 1},
    /* 128 */ {"VentPosSupply", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "VPS"), -1}, "VPS", 1, 0, 1, 1},
    /* 129 */ {"VentCtrlSetExtract", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "TPE"), -1}, "TPE", 2, 0, 1, 1},
    /* 130 */ {"VentCtrlSetBypass", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "TBY"), -1}, "TBY", 5, 0, 1, 1},
    /* 131 */ {"VentCtrlSetBath", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "TBA"), -1}, "TBA", 5, 0, 1, 1},
    /* 132 */ {"VentCtrlSetSupply", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "TPS"), -1}, "TPS", 1, 0, 1, 1},
    /* 133 */ {"FilterSupplyFull", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "FSF"), -1}, "FSF", 1, 0, 1, 3},
    /* 134 */ {"FilterExtractFull", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "FEF"), -1}, "FEF", 2, 0, 1, 3},
    /* 135 */ {"DIPSwitch", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "DIP"), -1}, "DIP", 5, 0, 1, 9},
    /* 136 */ {"DIPSwitch2", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "DIP2"), -1}, "DIP2", 5, 0, 1, 1},
    /* 137 */ {"FanSupplyCharac", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "FSC"), -1}, "FSC", 5, 0, 1, 1},
    /* 138 */ {"FanExtractCharac", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "FEC"), -1}, "FEC", 2, 0, 1, 1},
    /* 139 */ {"FanCmdsSucceeded", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "CSU"), -1}, "CSU", 5, 0, 1, 1},
    /* 140 */ {"FanCmdsFailed", {nullptr, -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "CFA"), -1}, "CFA", 5, 0, 1, 1},
    /* 141 */ {"NoCO2Sensor", {QT_TRANSLATE_NOOP("CDataDict", "NoCO2Sensor"), -1}, nullptr, {QT_TRANSLATE_NOOP("CDataDict", "NOCO2"), -1}, "NOCO2", 5, 0, 3, 3},
};
// clang-format on

static_assert(sizeof(kDictRows) / sizeof(kDictRows[0]) == DictIndex::Count,
              "one row per dictionary entry");

const char* const kContext = "CDataDict";

QString translated(const char* text)
{
    return text ? QCoreApplication::translate(kContext, text) : QString();
}

QString describedBy(const STextSource& source)
{
    return source.uiIndex >= 0 ? uiText(source.uiIndex) : translated(source.text);
}

} // namespace

CDataDict& CDataDict::instance()
{
    static CDataDict dictionary;
    return dictionary;
}

CDataDict::CDataDict()
{
    entries.reserve(DictIndex::Count);
    for (int index = 0; index < DictIndex::Count; ++index) {
        const SDictRow& row = kDictRows[index];
        keyIndex.insert(QString::fromLatin1(row.key), index);
        DataDictEntry e;
        e.description = describedBy(row.description);
        e.unit = translated(row.unit);
        e.label = row.label.uiIndex >= 0 ? uiText(row.label.uiIndex).toUtf8()
                                         : QByteArray(row.label.text);
        e.code = row.code ? QString::fromLatin1(row.code) : QString();
        e.category = row.category;
        e.mark = row.mark;
        e.valueType = row.valueType;
        e.views = row.views;
        entries.append(e);
    }
}

const DataDictEntry* CDataDict::entry(int index) const
{
    return index >= 0 && index < entries.size() ? &entries[index] : nullptr;
}

QString CDataDict::text(int index, int part, bool bracketed) const
{
    const DataDictEntry* e = entry(index);
    if (!e)
        return QString();
    QString result;
    switch (part) {
    case EDescription:
        result = e->description;
        break;
    case ELabel:
        result = QCoreApplication::translate(kContext, e->label.constData());
        break;
    case ELabelRaw:
        result = QString::fromUtf8(e->label);
        break;
    case EUnit:
        result = e->unit;
        break;
    case ECode:
        result = e->code;
        break;
    default:
        return QString();
    }
    return bracketed ? QStringLiteral("(%1)").arg(result) : result;
}

int CDataDict::indexOf(const QString& key) const
{
    return keyIndex.value(key, entries.size());
}

int CDataDict::category(int index) const
{
    const DataDictEntry* e = entry(index);
    return e ? e->category : 0;
}

int CDataDict::mark(int index) const
{
    const DataDictEntry* e = entry(index);
    return e ? e->mark : 0;
}

int CDataDict::valueType(int index) const
{
    const DataDictEntry* e = entry(index);
    return e ? e->valueType : 0;
}

int CDataDict::views(int index) const
{
    const DataDictEntry* e = entry(index);
    return e ? e->views : 0;
}

QColor CDataDict::categoryColour(int category)
{
    switch (category) {
    case 1:
        return QColor(128, 0, 0);
    case 2:
        return QColor(128, 128, 0);
    case 3:
        return QColor(0, 128, 0);
    case 4:
        return QColor(196, 160, 96);
    case 5:
        return QColor(249, 169, 49);
    default:
        return QColor(0, 0, 0);
    }
}
