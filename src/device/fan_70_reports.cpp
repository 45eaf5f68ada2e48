// Text reports of the 70-series logs: one fixed-width, comma-separated line per entry. The
// header's last column (Error) has no value in the 70-series lines.
#include "fan_70_pc.h"

#include "device/reportcolumns.h"
#include "device/reportheaders.h"
#include "device/reporttexts.h"
#include "device/seclogreport.h"

#include <QDebug>

using namespace report;
using logtable::EAxis;

namespace {

constexpr int kStateService = 2;
constexpr int kCoolingNotFitted = 3;
constexpr int kAirUnitDivisor = 15;

// Comfort level, or in service mode the service level (one place wider).
void comfortColumn(logtable::CRowBuilder& row, const SPrimLogEntry_70& e)
{
    if (e.state() == kStateService)
        row.number("Com Lev", "", e.serviceLevel(), col(e.serviceLevel(), 4));
    else
        row.number("Com Lev", "", e.comLev(), col(e.comLev(), 3));
}

// Summer cooling; blanked for units whose cooling setting says there is none.
void sumCooColumn(logtable::CRowBuilder& row, const SPrimLogEntry_70& e)
{
    if (e.coolingSetting() == kCoolingNotFitted)
        row.empty("Sum Coo", "", QStringLiteral("  --,"));
    else
        row.flag("Sum Coo", e.sumCoo(), col(e.sumCoo(), 4));
}

void primLogRow(logtable::CRowBuilder& row, int index, const SPrimLogEntry_70& e,
                const char* ventReason)
{
    row.beginRow(index);
    row.number("Log", "", index, col(index, 3, "%1: "));
    row.number("TExt", "°C", e.tExt(), colFixed(e.tExt(), 6), EAxis::Temperature, 3);
    row.number("TOut", "°C", e.tOut(), colFixed(e.tOut(), 7), EAxis::Temperature, 3);
    row.number("HExt", "%", e.hExt(), col(e.hExt(), 4), EAxis::Humidity);
    row.number("HSup", "%", e.hSup(), col(e.hSup(), 4), EAxis::Humidity);
    row.number("CO2Ex", "ppm", e.co2Ex(), col(e.co2Ex(), 5), EAxis::CO2);
    row.number("CO2Su", "ppm", e.co2Su(), col(e.co2Su(), 5), EAxis::CO2);
    row.number("HTExt", "°C", e.htExt(), colFixed(e.htExt(), 7), EAxis::Temperature, 3);
    row.number("HTSup", "°C", e.htSup(), colFixed(e.htSup(), 7), EAxis::Temperature, 3);
    row.number("HUEx", "%", e.huEx(), col(e.huEx(), 4), EAxis::Humidity);
    row.number("HUSu", "%", e.huSu(), col(e.huSu(), 4), EAxis::Humidity);
    comfortColumn(row, e);
    sumCooColumn(row, e);
    row.number("Fan Speed", "", e.fanSpeed(), col(e.fanSpeed(), 4));
    row.number("Flow", "m³/h", e.flow(), col(e.flow(), 6), EAxis::Flow);
    row.number("SBFlow", "m³/h", e.sbFlow(), col(e.sbFlow(), 6), EAxis::Flow);
    row.number("RPM", "", e.rpm(), col(e.rpm(), 5));
    const QString mode = operationModeText70(e.state());
    row.text("State", "", mode, colText(mode, 8));
    const QString fanState = fanStateText70(e.fanState());
    row.text("Fan State", "", fanState, colText(fanState, 8));
    const QString reason = QString::fromUtf8(ventReason);
    row.text("Ventil Reason", "", reason, QLatin1Char(' ') + reason + QStringLiteral(", "));
    const int area = roomArea(e.roomAreaCode());
    row.number("Room Area", "", area, col(area, 4, "%1, "));
    row.number("IntEr File", "", e.intErFile(), col(e.intErFile(), 5, "%1, "));
    row.number("IntEr Line", "", e.intErLine(), col(e.intErLine(), 5, "%1, "));
    row.number("IntEr Code", "", e.intErCode(), col(e.intErCode(), 5, "%1, "));
}

// `n` is the span's length in its time unit; comfort level 5 and the auto-mode time are what
// the other durations leave of it.
void secLogRow(logtable::CRowBuilder& row, int index, int age, const SSecLogEntry_70& e, int n,
               const SSecLogUnits& units)
{
    row.beginRow(age);
    row.flag("Restart", e.restarted(), e.restarted() ? QStringLiteral("*") : QStringLiteral(" "));
    row.number("Log", "", index, col(index, 3, "%1,: "));
    row.number("TExt", "°C", e.tExt(), col(e.tExt(), 4), EAxis::Temperature);
    row.number("TSup", "°C", e.tSup(), col(e.tSup(), 4), EAxis::Temperature);
    row.number("HExt", "%", e.hExt(), col(e.hExt(), 4), EAxis::Humidity);
    row.number("HOut", "%", e.hOut(), col(e.hOut(), 4), EAxis::Humidity);
    row.number("CO2E", "log", e.co2E() * 16, col(e.co2E() * 16, 5), EAxis::CO2);
    row.number("CO2S", "log", e.co2S() * 16, col(e.co2S() * 16, 5), EAxis::CO2);
    comfortLevelColumns(row, {e.timeComLev0(), e.timeComLev1(), e.timeComLev2(), e.timeComLev3()},
                        n, units.time);
    const struct
    {
        const char* caption;
        int value;
        int width;
    } durations[] = {{"Auto", n - (e.timeServiceMode() + e.timeTurboMode()), 4},
                     {"Ser", e.timeServiceMode(), 4},
                     {"Trb", e.timeTurboMode(), 4},
                     {"HumInp", e.timeHumInp(), 8},
                     {"HumCO2Inp", e.timeHumCO2Inp(), 8},
                     {"CO2Inp", e.timeCO2Inp(), 8},
                     {"Min", e.timeMinAir(), 4},
                     {"AbsHum", e.timeAbsDrying(), 7},
                     {"RelHum", e.timeRelDrying(), 7},
                     {"Cool", e.timeCooling(), 5},
                     {"CO2", e.timeCO2Ventilation(), 4}};
    for (const auto& d : durations)
        row.number(d.caption, units.time, d.value, col(d.value, d.width));
    const int air = e.airExchanged() / kAirUnitDivisor;
    row.number("Air", units.air, air, col(air, 6), EAxis::Flow);
    row.number("Water", units.water, e.waterRemoved(), col(e.waterRemoved(), 6));
    row.number("EnCol", units.energy, e.energyCooled(), col(e.energyCooled(), 6));
    row.number("Acc Cnt", "", e.accCount(), col(e.accCount(), 4));
    row.number("SW File", "", e.warnFileNr(), col(e.warnFileNr(), 5));
    row.number("SW Line", "", e.warnLineNr(), col(e.warnLineNr(), 5));
    row.number("SW Code", "", e.warnCode(), col(e.warnCode(), 5, "%1, "));
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

bool CFan_70_PC::primLogTable(logtable::STable& table)
{
    QVector<SPrimLogEntry_70> entries;
    if (!getPrimLog(entries))
        return false;
    for (const SPrimLogEntry_70& e : entries)
        qDebug() << "logEntries[ nLog ].ControlAuto = " << e.ventilReason();
    logtable::decodeEntries(table, entries, logtable::EOrder::Forward,
                            [this](logtable::CRowBuilder& row, int i, const SPrimLogEntry_70& e) {
                                primLogRow(row, i, e, ventReasonName(e.ventilReason()));
                            });
    return true;
}

bool CFan_70_PC::secLogTable(CLogging::EMaxTimeSpan span, ESecLogPick pick, logtable::STable& table)
{
    return readSecLogTable(span, pick, table) == ESecLogRead::Ok;
}

ESecLogRead CFan_70_PC::readSecLogTable(CLogging::EMaxTimeSpan span, ESecLogPick pick,
                                        logtable::STable& table)
{
    const SSecLogUnits units = secLogUnits(span);
    const auto fetch = [&](QVector<SSecLogEntry_70>& entries, const SSecLogSelection& selection) {
        return getSecLog(entries, CLogging_70::EMaxTimeSpan(span), selection.count,
                         selection.first);
    };
    const auto decode = [&](logtable::CRowBuilder& row, int index, int age,
                            const SSecLogEntry_70& e,
                            int n) { secLogRow(row, index, age, e, n, units); };
    return readSecLog<SSecLogEntry_70>(*this, span, pick, fetch, decode, table);
}

QString CFan_70_PC::getPrimaryLog()
{
    logtable::STable table;
    if (!primLogTable(table))
        return QStringLiteral(" Didn't get any logs");
    return QStringLiteral("\nPrimary Log:\n") + QString::fromUtf8(kPrimHeader70) +
           QString::fromUtf8(kPrimUnits70) + table.reportLines();
}

QString CFan_70_PC::secLogReport(CLogging::EMaxTimeSpan span, bool first10, bool first100,
                                 bool last10, bool last100, const QString& caption)
{
    logtable::STable table;
    const ESecLogRead read =
        readSecLogTable(span, secLogPick(first10, first100, last10, last100), table);
    return secLogReportText(read, table, caption, kSecHeader70a, kSecHeader70b,
                            unitLine(kSecUnits70, secLogUnits(span)), " Didn't get any Logs...");
}
