#include "consoletexts.h"

#include <QDebug>

namespace consoletext {

namespace {
constexpr int kAirFlowFanLimit = 20;
constexpr int kAirFlowPattern = 1;
constexpr int kFanLimitStep = 10; // m3/h per fan-limit code
constexpr int kAirSpeedWidth = 7;
constexpr double kRunTimeStepS = 0.25;

QString col(qint64 value, int width)
{
    return QStringLiteral("%1").arg(value, width);
}
} // namespace

QString timer(UINT16 ms, UINT8 seconds, UINT8 minutes, UINT8 hours, UINT16 days)
{
    return QStringLiteral("\n") + QStringLiteral("Millisecond: \t%1\n").arg(ms) +
           QStringLiteral("Second:      \t%1\n").arg(seconds) +
           QStringLiteral("Minute:      \t%1\n").arg(minutes) +
           QStringLiteral("Hour:        \t%1\n").arg(hours) +
           QStringLiteral("Day:         \t%1\n").arg(days);
}

QString counterLine(int index, UINT32 value, const QString& name)
{
    return QStringLiteral("Counter %1: %2, %3\n").arg(index, 3).arg(value).arg(name);
}

QString partitionTable(const CPartitionTable::SPartition (&table)[CPartitionTable::kEntries])
{
    QString text = QStringLiteral("Partition Table:\n") +
                   QStringLiteral("Type, MainVer, SubVer,  Start , Size , CRC16OK, CRC16KO, "
                                  "CRC16_MIROK, CRC16_MIRKO\n");
    for (const CPartitionTable::SPartition& p : table) {
        text += QStringLiteral("%1, %2, %3, %4, %5, ")
                    .arg(col(p.m_Type, 4), col(p.m_MainVer, 7), col(p.m_SubVer, 6),
                         col(p.m_Start, 7), col(p.m_Size, 5));
        text += QStringLiteral("%1, %2, %3, %4 \n")
                    .arg(col(p.m_CrcFlags & 1, 7), col(p.m_CrcFlags & 2, 7),
                         col(p.m_CrcFlags & 4, 11), col(p.m_CrcFlags & 8, 11));
        qDebug() << "m_Start: " << p.m_Start;
    }
    return text;
}

QString partitionTableFailed()
{
    return QStringLiteral("Get Partition Table failed!\n");
}

QString secLogCount(const UINT16* logSize, const UINT16* used, const UINT16* oldest)
{
    static const char* const kPrefix[] = {"15 Min : ", "1  Day : ", "30 Days: "};
    QString text;
    for (int i = 0; i < 3; ++i) {
        text += QLatin1String(kPrefix[i]) +
                QStringLiteral("Log size: %1, Number of logs used : %2, index of oldest log: %3\n")
                    .arg(logSize[i])
                    .arg(used[i])
                    .arg(oldest[i]);
    }
    return text;
}

QString secLogCheck(bool ok, quint8 error)
{
    if (!ok)
        return commandFailed();
    if (error == 0)
        return QStringLiteral("The secondary log is OK!\n");
    return QStringLiteral("The secondary log has error %1!\n").arg(error);
}

QString commandFailed()
{
    return QStringLiteral("Comand failed\n");
}

QString wifiDebug(bool ok, quint8 betaR78, quint8 betaCC3200)
{
    if (!ok)
        return QString();
    return QStringLiteral("\nBeta R78: \t%1\n").arg(betaR78) +
           QStringLiteral("Beta CC3200:      \t%1\n").arg(betaCC3200);
}

QString memoryDump(quint32 address, const QVector<UINT8>& bytes)
{
    constexpr int kPerLine = 16;
    QString text;
    for (int i = 0; i < bytes.size(); i += kPerLine) {
        text += QStringLiteral("%1:").arg(address + quint32(i), 8, 16, QLatin1Char('0')).toUpper();
        for (int j = i; j < bytes.size() && j < i + kPerLine; ++j)
            text += QStringLiteral(" %1").arg(bytes[j], 2, 16, QLatin1Char('0')).toUpper();
        text += QLatin1Char('\n');
    }
    return text;
}

QString invalidDumpAddress(const QString& text)
{
    return QStringLiteral("Invalid dump address '%1'\n").arg(text);
}

QString ventInfo(const CVents::SVentInfo (&info)[CVents::kVentCount])
{
    static const char* const kLabel[] = {
        "Extract Vent: ", "Bath    Vent: ", "Supply  Vent: ", "Bypass  Vent: "};
    QString text;
    for (int i = 0; i < CVents::kVentCount; ++i) {
        const CVents::SVentInfo& v = info[i];
        text += QLatin1String(kLabel[i]) +
                QStringLiteral("RunTimeOpen: %1, RunTimeClose %2, NoStops: %3, SpeedSumOpen: %4, "
                               "SpeedSumClose: %5, ShakeLoose Cycles: %6MaxIMean: %7\n")
                    .arg(v.runTimeOpen() * kRunTimeStepS, 7, 'f', 3)
                    .arg(v.runTimeClose() * kRunTimeStepS, 7, 'f', 3)
                    .arg(v.noStops(), 3)
                    .arg(v.speedSumOpen(), 3)
                    .arg(v.speedSumClose(), 3)
                    .arg(v.shakeLooseCycles(), 3)
                    .arg(v.maxIMean(), 3);
    }
    return text;
}

QString airSpeed100(int airFlowCode, int fanLimitCode)
{
    if (airFlowCode == kAirFlowPattern)
        return QStringLiteral("  20/60");
    const int value = airFlowCode == kAirFlowFanLimit ? kFanLimitStep * fanLimitCode : airFlowCode;
    return col(value, kAirSpeedWidth);
}

QString airSpeed70(qint8 flow)
{
    return col(flow, kAirSpeedWidth);
}

} // namespace consoletext
