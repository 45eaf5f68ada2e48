// Text reports of the 70-series logs: one fixed-width, comma-separated line per entry. The
// header's last column (Error) has no value in the 70-series lines.
#include "fan_70_pc.h"

#include "device/reportcolumns.h"
#include "device/reportheaders.h"
#include "device/reporttexts.h"
#include "device/seclogreport.h"

#include <QDebug>

using namespace report;

namespace {

constexpr int kStateService = 2;
constexpr int kCoolingNotFitted = 3;
constexpr int kAirUnitDivisor = 15;

// Comfort level, or in service mode the service level (one place wider).
QString comfortColumn(const SPrimLogEntry_70& e)
{
    if (e.state() == kStateService)
        return col(e.serviceLevel(), 4);
    return col(e.comLev(), 3);
}

// Summer cooling; blanked for units whose cooling setting says there is none.
QString sumCooColumn(const SPrimLogEntry_70& e)
{
    if (e.coolingSetting() == kCoolingNotFitted)
        return QStringLiteral("  --,");
    return col(e.sumCoo(), 4);
}

QString primLogLine(int index, const SPrimLogEntry_70& e, const char* ventReason)
{
    QString line = col(index, 3, "%1: ");
    line += colFixed(e.tExt(), 6);
    line += colFixed(e.tOut(), 7);
    line += col(e.hExt(), 4);
    line += col(e.hSup(), 4);
    line += col(e.co2Ex(), 5);
    line += col(e.co2Su(), 5);
    line += colFixed(e.htExt(), 7);
    line += colFixed(e.htSup(), 7);
    line += col(e.huEx(), 4);
    line += col(e.huSu(), 4);
    line += comfortColumn(e);
    line += sumCooColumn(e);
    line += col(e.fanSpeed(), 4);
    line += col(e.flow(), 6);
    line += col(e.sbFlow(), 6);
    line += col(e.rpm(), 5);
    line += colText(operationModeText70(e.state()), 8);
    line += colText(fanStateText70(e.fanState()), 8);
    line += QLatin1Char(' ') + QString::fromUtf8(ventReason) + QStringLiteral(", ");
    line += col(roomArea(e.roomAreaCode()), 4, "%1, ");
    line += col(e.intErFile(), 5, "%1, ");
    line += col(e.intErLine(), 5, "%1, ");
    line += col(e.intErCode(), 5, "%1, ");
    return line + QLatin1Char('\n');
}

// `n` is the span's length in its time unit; comfort level 5 and the auto-mode time are what
// the other durations leave of it.
QString secLogLine(int index, const SSecLogEntry_70& e, int n)
{
    QString line = e.restarted() ? QStringLiteral("*") : QStringLiteral(" ");
    line += col(index, 3, "%1,: ");
    line += col(e.tExt(), 4);
    line += col(e.tSup(), 4);
    line += col(e.hExt(), 4);
    line += col(e.hOut(), 4);
    line += col(e.co2E() * 16, 5);
    line += col(e.co2S() * 16, 5);
    const int levels[] = {e.timeComLev0(), e.timeComLev1(), e.timeComLev2(), e.timeComLev3()};
    int levelSum = 0;
    for (int t : levels) {
        line += col(t, 2);
        levelSum += t;
    }
    line += col(n - levelSum, 2);
    line += col(n - (e.timeServiceMode() + e.timeTurboMode()), 4);
    line += col(e.timeServiceMode(), 4);
    line += col(e.timeTurboMode(), 4);
    line += col(e.timeHumInp(), 8);
    line += col(e.timeHumCO2Inp(), 8);
    line += col(e.timeCO2Inp(), 8);
    line += col(e.timeMinAir(), 4);
    line += col(e.timeAbsDrying(), 7);
    line += col(e.timeRelDrying(), 7);
    line += col(e.timeCooling(), 5);
    line += col(e.timeCO2Ventilation(), 4);
    line += col(e.airExchanged() / kAirUnitDivisor, 6);
    line += col(e.waterRemoved(), 6);
    line += col(e.energyCooled(), 6);
    line += col(e.accCount(), 4);
    line += col(e.warnFileNr(), 5);
    line += col(e.warnLineNr(), 5);
    line += col(e.warnCode(), 5, "%1, ");
    return line + QLatin1Char('\n');
}

// The air and water units are right-aligned to six places in the unit line.
SSecLogUnits secLogUnits(int span)
{
    SSecLogUnits units;
    switch (span) {
    case CLogging_70::EQuarterHour:
        units = {"  Minutes", "1/4m³", "   g  ", " 0.333Km³ "};
        break;
    case CLogging_70::EDay:
        units = {" Hours   ", "32m³", "128g  ", "  42.7Km³ "};
        break;
    case CLogging_70::EMonth:
        units = {"  Days   ", " 1024m³", "4096g ", " 1365Km³  "};
        break;
    default:
        break;
    }
    units.air = units.air.rightJustified(6);
    units.water = units.water.rightJustified(6);
    return units;
}

} // namespace

QString CFan_70_PC::getPrimaryLog()
{
    QVector<SPrimLogEntry_70> entries;
    if (!getPrimLog(entries))
        return QStringLiteral(" Didn't get any logs");
    QString out = QStringLiteral("\nPrimary Log:\n");
    out += QString::fromUtf8(kPrimHeader70);
    out += QString::fromUtf8(kPrimUnits70);
    for (int i = 0; i < entries.size(); ++i) {
        qDebug() << "logEntries[ nLog ].ControlAuto = " << entries[i].ventilReason();
        out += primLogLine(i, entries[i], ventReasonName(entries[i].ventilReason()));
    }
    return out;
}

QString CFan_70_PC::secLogReport(CLogging::EMaxTimeSpan span, bool first10, bool first100,
                                 bool last10, bool last100, const QString& caption)
{
    QString out = QString::fromUtf8(kSecLogTitle);
    const int n = spanLength(span);
    if (n == 0)
        return out + QString::fromUtf8(kUnknownSpan);
    SSecLogSelection selection;
    if (!selectFromDevice(*this, span, secLogPick(first10, first100, last10, last100), selection))
        return out + QString::fromUtf8(kSecLogCntFailed);
    QVector<SSecLogEntry_70> entries;
    if (!getSecLog(entries, CLogging_70::EMaxTimeSpan(span), selection.count, selection.first))
        return QStringLiteral(" Didn't get any Logs...");

    out += caption + QLatin1Char('\n');
    out += QString::fromUtf8(kSecHeader70a);
    out += QString::fromUtf8(kSecHeader70b);
    out += unitLine(kSecUnits70, secLogUnits(span));
    for (int i = entries.size() - 1; i >= 0; --i)
        out += secLogLine(i, entries[i], n);
    return out;
}
