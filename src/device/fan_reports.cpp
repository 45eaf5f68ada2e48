// Text reports of the 100-series logs: one fixed-width, comma-separated line per entry.
#include "fan.h"

#include "device/reportcolumns.h"
#include "device/reportheaders.h"
#include "device/reporttexts.h"
#include "device/seclogentry.h"
#include "device/seclogreport.h"

using namespace report;

namespace {

constexpr int kAirFlowIsFanLimit = 20;
constexpr int kAirFlow2060 = 1;
constexpr int kSecondRoomFlowStepM3h = 30;

// Average air flow: code 20 stands for the fan limit, code 1 for the 20/60 pattern.
QString aveFlowColumn(const SPrimLogEntry& e)
{
    if (e.airFlowCode() == kAirFlow2060)
        return QStringLiteral("  20/60 ,");
    const int flow = e.airFlowCode() == kAirFlowIsFanLimit ? e.fanLimit() : e.airFlowCode();
    return col(flow, 7, "%1 ,");
}

QString primFilterColumn(bool full)
{
    return colText(full ? QStringLiteral("FUL") : QStringLiteral("OK"), 3, "%1, ");
}

QString primLogLine(int index, const SPrimLogEntry& e, const char* ventReason)
{
    QString line = col(index, 3, "%1,: ");
    line += colFixed(e.extractTemp(), 7);
    line += colFixed(e.supplyTemp(), 7);
    line += colFixed(e.outdoorTemp(), 7);
    line += colFixed(e.exhaustTemp(), 7);
    line += col(e.extractHum(), 5);
    line += col(e.outdoorHum(), 5);
    line += col(e.pressure(), 5);
    line += col(e.co2(), 5);
    line += colFixed(e.supplyTempVirt(), 7);
    line += col(e.comfortLevel(), 4);
    line += col(e.humReductionMode(), 4);
    line += col(e.sumCoolBypassOpen(), 4);
    line += col(e.fanLimit(), 4);
    line += aveFlowColumn(e);
    line += col(e.fanLimitActive(), 4);
    line += col(e.secondRoomOver20(), 4);
    line += col(e.fanExtractRPM(), 5);
    line += col(e.fanSupplyRPM(), 5);
    line += colText(ventPositionText(e.ventPosExtract()), 0, " %1,");
    line += colText(ventPositionText(e.ventPosBath()), 0, " %1,");
    line += colText(ventPositionText(e.ventPosSupply()), 0, " %1,");
    line += colText(ventPositionText(e.ventPosBypass()), 0, " %1,");
    line += col(e.ventCtrlSetExtract(), 3, " %1,");
    line += col(e.ventCtrlSetBath(), 3, " %1,");
    line += col(e.ventCtrlSetSupply(), 3, " %1,");
    line += col(e.ventCtrlSetBypass(), 3, " %1,");
    line += colText(operationModeText(e.operationMode()), 8, "%1, ");
    line += QString::fromUtf8(ventReason) + QStringLiteral(", ");
    line += colText(defrostText(e.defrostState()), 6, "%1 , ");
    line += primFilterColumn(e.filterSupplyFull());
    line += primFilterColumn(e.filterExtractFull());
    // The report reads the area from all four upper DIP bits: codes 6-15 print 0.
    line += col(roomArea(e.dipSwitch() >> 4), 4, "%1, ");
    line += col(e.secondRoomExtractCode() * kSecondRoomFlowStepM3h, 8, "%1, ");
    line += col(e.errorFileNr(), 5, "%1, ");
    line += col(e.errorLineNr(), 5, "%1, ");
    line += col(e.errorCode(), 5, "%1, ");
    line += colText(errorStateText(e.errorState()), 0, "%1,");
    return line + QLatin1Char('\n');
}

// Humidity-reduction mode over the entry: used and not used both seen, only one, or neither.
QString humModeColumn(const SSecLogEntry& e)
{
    if (e.humRedModeSet())
        return e.humRedModeClr() ? QStringLiteral("X ,") : QStringLiteral("1 ,");
    return e.humRedModeClr() ? QStringLiteral("0 ,") : QStringLiteral("???,");
}

QString secFilterColumn(bool full)
{
    return full ? QStringLiteral(" Ful,") : QStringLiteral("  Ok,");
}

// `n` is the span's length in its time unit; the last comfort level and the standard mode
// are what the other durations leave of it (negative when the device's sum exceeds it).
QString secLogLine(int index, const SSecLogEntry& e, int n)
{
    QString line = e.restarted() ? QStringLiteral("*") : QStringLiteral(" ");
    line += col(index, 3, "%1,: ");
    line += col(e.extractTemp(), 5);
    line += col(e.supplyTemp(), 5);
    line += col(e.outdoorTemp(), 5);
    line += col(e.exhaustTemp(), 5);
    line += col(e.extractHum(), 5);
    line += col(e.outdoorHum(), 5);
    line += col(e.pressure(), 5);
    line += col(e.co2(), 5);
    const int levels[] = {e.timeComLev0(), e.timeComLev1(), e.timeComLev2(), e.timeComLev3()};
    int levelSum = 0;
    for (int t : levels) {
        line += col(t, 2);
        levelSum += t;
    }
    line += col(n - levelSum, 2);
    line += col(n - (e.timeAutoAlt() + e.timeSleepMode() + e.timeTurboMode()), 4);
    line += col(e.timeAutoAlt(), 4);
    line += col(e.timeSleepMode(), 4);
    line += col(e.timeTurboMode(), 4);
    line += humModeColumn(e);
    line += col(e.timeDefExh(), 8);
    line += col(e.timeSupCond(), 9);
    line += col(e.timeHumInp(), 8);
    line += col(e.timeMinAir(), 4);
    line += col(e.timeAbsDrying(), 7);
    line += col(e.timeRelDrying(), 7);
    line += col(e.timeCooling(), 5);
    line += col(e.timeCO2Ventilation(), 4);
    line += col(e.airExchanged(), 6);
    line += col(e.waterRemoved(), 6);
    line += col(e.energyExtracted(), 6);
    line += col(e.energyRecovered(), 6);
    line += col(e.energyCooled(), 6);
    line += secFilterColumn(e.filterSupplyFull());
    line += secFilterColumn(e.filterExtractFull());
    line += col(e.accCount(), 4);
    line += col(e.warnFileNr(), 5);
    line += col(e.warnLineNr(), 5);
    line += col(e.warnCode(), 5, "%1, ");
    line += colText(errorStateText(e.errorState()), 0, "%1,");
    return line + QLatin1Char('\n');
}

// Each span step multiplies the air, water and energy units (by 128, then by 32).
SSecLogUnits secLogUnits(int span)
{
    switch (span) {
    case CLogging::EQuarterHour:
        return {"Minutes", "1/36m³", "g", "0.333Km³"};
    case CLogging::EDay:
        return {"Hours", "3.55m³", "128g", "42.7Km³"};
    case CLogging::EMonth:
        return {"Days", " 114m³", "4096g", "1365Km³"};
    default:
        return {};
    }
}

} // namespace

QString CFan::getPrimaryLog()
{
    QVector<SPrimLogEntry> entries;
    if (!getPrimLog(entries))
        return QStringLiteral("Didn't get any logs...");
    QString out = QStringLiteral("\nPrimary Log:\n");
    out += QString::fromUtf8(kPrimHeader100);
    out += QString::fromUtf8(kPrimUnits100);
    for (int i = 0; i < entries.size(); ++i)
        out += primLogLine(i, entries[i], ventReasonName(entries[i].program()));
    return out;
}

QString CFan::secLogReport(CLogging::EMaxTimeSpan span, bool first10, bool first100, bool last10,
                           bool last100, const QString& caption)
{
    QString out = QString::fromUtf8(kSecLogTitle);
    const int n = spanLength(span);
    if (n == 0)
        return out + QString::fromUtf8(kUnknownSpan);
    SSecLogSelection selection;
    if (!selectFromDevice(*this, span, secLogPick(first10, first100, last10, last100), selection))
        return out + QString::fromUtf8(kSecLogCntFailed);
    QVector<SSecLogEntry> entries;
    if (!getSecLog(entries, span, selection.count, selection.first))
        return QStringLiteral("Didn't get any Logs...");

    out += caption + QLatin1Char('\n');
    out += QString::fromUtf8(kSecHeader100a);
    out += QString::fromUtf8(kSecHeader100b);
    out += unitLine(kSecUnits100, secLogUnits(span));
    for (int i = entries.size() - 1; i >= 0; --i)
        out += secLogLine(i, entries[i], n);
    return out;
}
