#include "fanvalues.h"

#include "datadict.h"
#include "device/primlogentry.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {

// Air-flow codes with a meaning of their own.
constexpr int kAirFlowIsFanLimit = 20;
constexpr int kAirFlowPattern2060 = 1; // 20/60 pattern, no flow figure

// Room area in m2 for DIP-switch bits 4-6.
constexpr int kRoomAreaM2[8] = {20, 25, 35, 45, 60, 75, 1, 2};
constexpr int kSecondRoomStepM3h = 30;

// Temperature differences below this give no meaningful recovery figure.
constexpr double kMinRecoveryDeltaK = 2.0;
// Air flow (m3/h) x temperature difference (K) / 3 gives watts (heat capacity of air).
constexpr double kM3hKPerWatt = 3.0;

constexpr int kOperationModeEntry[8] = {DictIndex::OM_Standard,  DictIndex::OM_Alternate,
                                        DictIndex::OM_Sleep,     DictIndex::OM_Turbo,
                                        DictIndex::OM_TurboCool, DictIndex::OM_Service,
                                        DictIndex::OM_Test,      DictIndex::OM_Manufacturer};
constexpr int kProgramEntry[5] = {DictIndex::MinAir, DictIndex::RelDry, DictIndex::AbsDry,
                                  DictIndex::Cool, DictIndex::VenCO2};
constexpr int kErrorEntry[23] = {
    DictIndex::ERR_OK,
    DictIndex::ERR_FilterOld,
    DictIndex::ERR_FilterDirty,
    DictIndex::ERR_General,
    DictIndex::ERR_SensorTempSupply,
    DictIndex::ERR_SensorTempOutdoor,
    DictIndex::ERR_SensorHumOutdoor,
    DictIndex::ERR_SensorTempExhaust,
    DictIndex::ERR_SensorTempExtract,
    DictIndex::ERR_SensorHumExtract,
    DictIndex::ERR_SensorCO2,
    DictIndex::ERR_SensorPressure,
    DictIndex::ERR_VentExtract,
    DictIndex::ERR_VentBath,
    DictIndex::ERR_VentSupply,
    DictIndex::ERR_VentBypass,
    DictIndex::ERR_FanExtract,
    DictIndex::ERR_FanSupply,
    DictIndex::ERR_DIPSwitch,
    DictIndex::ERR_DetailOnPress,
    DictIndex::ERR_CO2TooHigh,
    DictIndex::ERR_Fire,
    DictIndex::ERR_Wlan,
};

// Rounds half up, then truncates toward zero (so -2.7 becomes -2).
int roundHalfUp(double value)
{
    return int(value + 0.5);
}

} // namespace

CFanValues::CFanValues(const SPrimLogEntry& entry)
    : m_ExtractTemp(entry.extractTemp()), m_OutdoorTemp(entry.outdoorTemp()),
      m_ExhaustTemp(entry.exhaustTemp()), m_SupplyTemp(entry.supplyTemp()),
      m_SupplyTempVirt(entry.supplyTempVirt()), m_ExtractHum(entry.extractHum()),
      m_OutdoorHum(entry.outdoorHum()), m_CO2(entry.co2()), m_ComfortLevel(entry.comfortLevel()),
      m_FanLimit(entry.fanLimit()), m_RoomArea(kRoomAreaM2[entry.roomAreaCode() & 7]),
      m_Max2ndRoomExtract(entry.secondRoomExtractCode() * kSecondRoomStepM3h),
      m_FanSupplyRPM(entry.fanSupplyRPM()), m_FanExtractRPM(entry.fanExtractRPM()),
      m_OperationMode(entry.operationMode()), m_Program(entry.program()),
      m_DefrostState(entry.defrostState()), m_ErrorState(entry.errorState()),
      m_Pressure(entry.pressure()), m_VentPosExtract(entry.ventPosExtract()),
      m_VentPosBypass(entry.ventPosBypass()), m_VentPosBath(entry.ventPosBath()),
      m_VentPosSupply(entry.ventPosSupply()), m_VentCtrlSetExtract(entry.ventCtrlSetExtract()),
      m_VentCtrlSetBypass(entry.ventCtrlSetBypass()), m_VentCtrlSetBath(entry.ventCtrlSetBath()),
      m_VentCtrlSetSupply(entry.ventCtrlSetSupply()), m_FilterSupplyFull(entry.filterSupplyFull()),
      m_FilterExtractFull(entry.filterExtractFull()), m_DIPSwitch(entry.dipSwitch()),
      m_DIPSwitch2(uint(entry.dipSwitch2())), m_ErrorFileNr(uint(entry.errorFileNr())),
      m_ErrorCode(entry.errorCode()), m_HumReductionMode(entry.humReductionMode()),
      m_FanLimitActive(entry.fanLimitActive()), m_SecondRoomOver20(entry.secondRoomOver20()),
      m_SumCoolBypassOpen(entry.sumCoolBypassOpen()), m_Deicing(entry.deicing() ? 1 : 0),
      m_NoCO2Sensor(entry.noCO2Sensor())
{
    switch (entry.airFlowCode()) {
    case kAirFlowIsFanLimit:
        m_ExtractAirFlow = m_FanLimit;
        break;
    case kAirFlowPattern2060:
        m_ExtractAirFlow = 0;
        break;
    default:
        m_ExtractAirFlow = entry.airFlowCode();
        break;
    }

    // Entries without an internal error carry the writer's software version in the line bits.
    const int lineBits = entry.errorLineNr();
    if (m_ErrorFileNr == 0) {
        m_SwVersionMajor = (lineBits >> 7) & 0x07;
        m_SwVersionMinor = lineBits & 0x7F;
        m_ErrorLineNr = 0;
        qDebug() << "SW_Version Prim Log" << lineBits;
    } else {
        m_ErrorLineNr = uint(lineBits);
    }
}

int CFanValues::errorStateIndex(int errorState)
{
    const int count = int(sizeof(kErrorEntry) / sizeof(kErrorEntry[0]));
    return errorState >= 0 && errorState < count ? kErrorEntry[errorState] : -1;
}

QVariant CFanValues::entryLabel(int index) const
{
    return CDataDict::instance().text(index, CDataDict::ELabel);
}

QVariant CFanValues::reductionReason() const
{
    switch (m_Program) {
    case 5:
        return entryLabel(DictIndex::SupplyCondensing);
    case 6:
        return entryLabel(DictIndex::MinTOut);
    case 7:
        return entryLabel(DictIndex::HumInput);
    default:
        break;
    }
    switch (m_DefrostState) {
    case 1:
        return entryLabel(DictIndex::DefrostBypass);
    case 2:
        return entryLabel(DictIndex::DefrostSupply);
    default:
        return QString();
    }
}

QVariant CFanValues::value(int index) const
{
    switch (index) {
    case DictIndex::OperationMode:
        return entryLabel(kOperationModeEntry[m_OperationMode & 7]);
    case DictIndex::Program:
        return m_Program >= 0 && m_Program < 5 ? entryLabel(kProgramEntry[m_Program])
                                               : QVariant(QString());
    case DictIndex::ReductionReason:
        return reductionReason();
    case DictIndex::HumReductionMode:
        return m_HumReductionMode;
    case DictIndex::SumCoolBypassOpen:
        return m_SumCoolBypassOpen;
    case DictIndex::ComfortLevel:
        return m_ComfortLevel;
    case DictIndex::RoomArea:
        return m_RoomArea;
    case DictIndex::Max2ndRoomExtract:
        return m_Max2ndRoomExtract;
    case DictIndex::FanSupplyRPM:
        return m_FanSupplyRPM;
    case DictIndex::FanExtractRPM:
        return m_FanExtractRPM;
    case DictIndex::ExtractAirFlow:
        return m_ExtractAirFlow;
    case DictIndex::ExtractTemp:
        return m_ExtractTemp;
    case DictIndex::ExtractHum:
        return m_ExtractHum;
    case DictIndex::OutdoorTemp:
        return m_OutdoorTemp;
    case DictIndex::OutdoorHum:
        return m_OutdoorHum;
    case DictIndex::CO2:
        return m_CO2;
    case DictIndex::SupplyTemp:
        return m_SupplyTemp;
    case DictIndex::SupplyTempVirt:
        return m_SupplyTempVirt;
    case DictIndex::ExhaustTemp:
        return m_ExhaustTemp;
    case DictIndex::Pressure:
        return m_Pressure;
    case DictIndex::Deicing:
        return m_Deicing;
    case DictIndex::SW_Version:
        return QStringLiteral("%1.%2").arg(m_SwVersionMajor).arg(m_SwVersionMinor);
    case DictIndex::ErrorState: {
        const int entry = errorStateIndex(m_ErrorState);
        return entry >= 0 ? entryLabel(entry) : QVariant(QString());
    }
    case DictIndex::ErrorFileNr:
        return m_ErrorFileNr;
    case DictIndex::ErrorLineNr:
        return m_ErrorLineNr;
    case DictIndex::ErrorCode:
        return m_ErrorCode; // signed: the device's code is a signed byte
    case DictIndex::VentPosExtract:
        return m_VentPosExtract;
    case DictIndex::VentPosBypass:
        return m_VentPosBypass;
    case DictIndex::VentPosBath:
        return m_VentPosBath;
    case DictIndex::VentPosSupply:
        return m_VentPosSupply;
    case DictIndex::VentCtrlSetExtract:
        return m_VentCtrlSetExtract;
    case DictIndex::VentCtrlSetBypass:
        return m_VentCtrlSetBypass;
    case DictIndex::VentCtrlSetBath:
        return m_VentCtrlSetBath;
    case DictIndex::VentCtrlSetSupply:
        return m_VentCtrlSetSupply;
    case DictIndex::FilterSupplyFull:
        return m_FilterSupplyFull;
    case DictIndex::FilterExtractFull:
        return m_FilterExtractFull;
    case DictIndex::DIPSwitch:
        return m_DIPSwitch;
    case DictIndex::DIPSwitch2:
        return m_DIPSwitch2;
    case DictIndex::NoCO2Sensor:
        return m_NoCO2Sensor;
    default:
        return QVariant();
    }
}

bool CFanValues::isDefaultState() const
{
    return m_FanSupplyRPM == 0 && m_FanExtractRPM == 0 && m_ExtractHum == 50 && m_OutdoorHum == 50;
}

int CFanValues::recoveryPercent() const
{
    if (m_ExtractAirFlow == 0)
        return 100;
    const double delta = m_ExtractTemp - m_OutdoorTemp;
    if (std::fabs(delta) < kMinRecoveryDeltaK)
        return 100;
    const double percent = (1.0 - (m_ExtractTemp - m_SupplyTempVirt) / delta) * 100.0;
    return roundHalfUp(std::min(percent, 100.0));
}

int CFanValues::recoveryWatt() const
{
    const double delta = m_ExtractTemp - m_OutdoorTemp;
    if (std::fabs(delta) < kMinRecoveryDeltaK)
        return 0;
    return roundHalfUp(m_ExtractAirFlow * (m_SupplyTempVirt - m_OutdoorTemp) / kM3hKPerWatt);
}

int CFanValues::recoveryLossWatt() const
{
    return roundHalfUp(m_ExtractAirFlow * (m_ExtractTemp - m_SupplyTempVirt) / kM3hKPerWatt);
}
