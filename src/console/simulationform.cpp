#include "simulationform.h"

#include "values/saturatedhumidity.h"

#include <cmath>

namespace simform {

namespace {
constexpr double kEighthsPerDegree = 8.0;
constexpr double kPercent = 100.0;
constexpr double kTenths = 10.0;
constexpr int kMaxComfortCode = 4;

// The low 16 bits of a whole number held in a double, for any finite magnitude.
qint16 low16(double whole)
{
    double wrapped = std::fmod(whole, 65536.0);
    if (wrapped < 0)
        wrapped += 65536.0;
    return qint16(quint16(wrapped));
}

double number(const QString& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}
} // namespace

qint16 eighths(const QString& text)
{
    // std::round rounds halves away from zero: -0.0625 degC is -0.5 eighths, sent as -1.
    return low16(std::round(number(text) * kEighthsPerDegree));
}

int integer(const QString& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

quint8 comfortCode(int level)
{
    const int n = level & 0xFF;
    if (n == 0)
        return 0;
    return quint8(n > kMaxComfortCode + 1 ? kMaxComfortCode : n - 1);
}

quint8 dipValue100(int roomArea, bool roomCheck, int sumCool, int flow)
{
    return quint8(16 * roomArea + 8 * int(roomCheck) + 4 * sumCool + flow);
}

quint8 dipValue70(int roomArea, int sumCool)
{
    return quint8(8 * roomArea + 2 * sumCool);
}

QString absoluteHumidityText(const QString& temperature, const QString& relHumidity)
{
    const qint16 t = eighths(temperature);
    const double r = number(relHumidity) / kPercent;
    const double gkg = r * saturatedHumidity(t, 1) / kTenths;
    const double gm3 = r * saturatedHumidity(t, 0) / kTenths;
    return QStringLiteral("g/Kg: %1, g/m³: %2").arg(gkg, 4, 'f', 2).arg(gm3, 4, 'f', 2);
}

SHLP_SetSimulationValues buildSimulation100(const SForm100& f)
{
    SHLP_SetSimulationValues v;
    v.m_ComfortLevel = comfortCode(integer(f.comfortLevel));
    v.m_DIPSwitch = dipValue100(f.roomArea, f.roomCheck, f.sumCool, f.flow);
    v.m_HumReduction = f.humReduction ? 1 : 0;
    v.m_AveExtractHum = UINT8(integer(f.aveHumExt));
    v.m_AveOutdoorTempC = INT8(UINT8(integer(f.aveTempOut)));
    v.m_SupplyTemp = eighths(f.tSupply);
    v.m_OutdoorTemp = eighths(f.tOutdoor);
    v.m_OutdoorHum = UINT16(integer(f.relHumOut));
    v.m_ExhaustTemp = eighths(f.tExhaust);
    v.m_ExtractTemp = eighths(f.tExtract);
    v.m_ExtractHum = UINT16(integer(f.relHumExt));
    v.m_CO2 = UINT16(integer(f.co2));
    v.m_Reserved = 0;
    return v;
}

SHLP_SetSimulationValues_70 buildSimulation70(const SForm70& f)
{
    // Bytes at record offsets 1-5 and words at offsets 6, 8, ... 28.
    SHLP_SetSimulationValues_70 v;
    v.m_Bytes[0] = comfortCode(integer(f.comfortLevel));
    v.m_Bytes[1] = dipValue70(f.roomArea, f.sumCool);
    v.m_Bytes[2] = UINT8(integer(f.aveHumExt));
    v.m_Bytes[3] = UINT8(integer(f.aveTempSup));
    v.m_Bytes[4] = 0;
    v.m_Words[0] = UINT16(eighths(f.tSupply));
    v.m_Words[1] = UINT16(eighths(f.tExtract));
    v.m_Words[2] = UINT16(integer(f.relHumSup));
    v.m_Words[3] = UINT16(integer(f.relHumExt));
    v.m_Words[4] = UINT16(integer(f.co2Sup));
    v.m_Words[5] = UINT16(integer(f.co2Ext));
    return v;
}

} // namespace simform
