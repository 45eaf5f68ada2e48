// Text reports of the 100-series logs: one fixed-width, comma-separated line per entry.
#include "fan.h"

#include "device/reportcolumns.h"
#include "device/reportheaders.h"
#include "device/reporttexts.h"
#include "device/seclogentry.h"
#include "device/seclogreport.h"

using namespace report;
using logtable::EAxis;

namespace {

constexpr int kAirFlowIsFanLimit = 20;
constexpr int kAirFlow2060 = 1;
constexpr int kSecondRoomFlowStepM3h = 30;

// Average air flow: code 20 stands for the fan limit, code 1 for the 20/60 pattern.
void aveFlowColumn(logtable::CRowBuilder& row, const SPrimLogEntry& e)
{
    if (e.airFlowCode() == kAirFlow2060) {
        row.text("AveFlow", "m³/h", QStringLiteral("20/60"), QStringLiteral("  20/60 ,"));
        return;
    }
    const int flow = e.airFlowCode() == kAirFlowIsFanLimit ? e.fanLimit() : e.airFlowCode();
    row.number("AveFlow", "m³/h", flow, col(flow, 7, "%1 ,"), EAxis::Flow);
}

void primFilterColumn(logtable::CRowBuilder& row, const char* caption, bool full)
{
    row.flag(caption, full,
             colText(full ? QStringLiteral("FUL") : QStringLiteral("OK"), 3, "%1, "));
}

void flagColumn(logtable::CRowBuilder& row, const char* caption, bool on)
{
    row.flag(caption, on, col(on, 4));
}

void primLogRow(logtable::CRowBuilder& row, int index, const SPrimLogEntry& e,
                const char* ventReason)
{
    row.beginRow(index);
    row.number("Log", "", index, col(index, 3, "%1,: "));
    row.number("TExt", "°C", e.extractTemp(), colFixed(e.extractTemp(), 7), EAxis::Temperature, 3);
    row.number("TSup", "°C", e.supplyTemp(), colFixed(e.supplyTemp(), 7), EAxis::Temperature, 3);
    row.number("TOut", "°C", e.outdoorTemp(), colFixed(e.outdoorTemp(), 7), EAxis::Temperature, 3);
    row.number("TExh", "°C", e.exhaustTemp(), colFixed(e.exhaustTemp(), 7), EAxis::Temperature, 3);
    row.number("HExt", "%", e.extractHum(), col(e.extractHum(), 5), EAxis::Humidity);
    row.number("HOut", "%", e.outdoorHum(), col(e.outdoorHum(), 5), EAxis::Humidity);
    row.number("Pres", "hPa", e.pressure(), col(e.pressure(), 5));
    row.number("CO2", "ppm", e.co2(), col(e.co2(), 5), EAxis::CO2);
    row.number("TVirt", "°C", e.supplyTempVirt(), colFixed(e.supplyTempVirt(), 7),
               EAxis::Temperature, 3);
    row.number("Com Lev", "", e.comfortLevel(), col(e.comfortLevel(), 4));
    flagColumn(row, "Hum Red", e.humReductionMode());
    flagColumn(row, "Sum Coo", e.sumCoolBypassOpen());
    row.number("Fan", "m³/h", e.fanLimit(), col(e.fanLimit(), 4), EAxis::Flow);
    aveFlowColumn(row, e);
    flagColumn(row, "Fan Lim", e.fanLimitActive());
    flagColumn(row, "2nd o20", e.secondRoomOver20());
    row.number("RPM Suppl", "", e.fanExtractRPM(), col(e.fanExtractRPM(), 5));
    row.number("RPM Extr", "", e.fanSupplyRPM(), col(e.fanSupplyRPM(), 5));
    const std::pair<const char*, int> vents[] = {{"Vent Extr", e.ventPosExtract()},
                                                 {"Vent 2nd", e.ventPosBath()},
                                                 {"Vent Supp", e.ventPosSupply()},
                                                 {"Vent Bypa", e.ventPosBypass()}};
    for (const auto& [caption, code] : vents) {
        const QString position = ventPositionText(code);
        row.text(caption, "", position, colText(position, 0, " %1,"));
    }
    const std::pair<const char*, int> controls[] = {{"TPE", e.ventCtrlSetExtract()},
                                                    {"TBA", e.ventCtrlSetBath()},
                                                    {"TPS", e.ventCtrlSetSupply()},
                                                    {"TBY", e.ventCtrlSetBypass()}};
    for (const auto& [caption, value] : controls)
        row.number(caption, "", value, col(value, 3, " %1,"));
    const QString mode = operationModeText(e.operationMode());
    row.text("TState", "", mode, colText(mode, 8, "%1, "));
    const QString reason = QString::fromUtf8(ventReason);
    row.text("Ventil Reason", "", reason, reason + QStringLiteral(", "));
    const QString defrost = defrostText(e.defrostState());
    row.text("Defrost Exhaust", "", defrost, colText(defrost, 6, "%1 , "));
    primFilterColumn(row, "Fil Sup", e.filterSupplyFull());
    primFilterColumn(row, "Fil Ext", e.filterExtractFull());
    // The report reads the area from all four upper DIP bits: codes 6-15 print 0.
    const int area = roomArea(e.dipSwitch() >> 4);
    row.number("Room Area", "", area, col(area, 4, "%1, "));
    const int secondRoom = e.secondRoomExtractCode() * kSecondRoomFlowStepM3h;
    row.number("2nd Room Flow", "", secondRoom, col(secondRoom, 8, "%1, "));
    row.number("IntEr File", "", e.errorFileNr(), col(e.errorFileNr(), 5, "%1, "));
    row.number("IntEr Line", "", e.errorLineNr(), col(e.errorLineNr(), 5, "%1, "));
    row.number("IntEr Code", "", e.errorCode(), col(e.errorCode(), 5, "%1, "));
    const QString error = errorStateText(e.errorState());
    row.text("Error", "", error, colText(error, 0, "%1,"));
}

// Humidity-reduction mode over the entry: used and not used both seen, only one, or neither.
void humModeColumn(logtable::CRowBuilder& row, const SSecLogEntry& e)
{
    if (e.humRedModeSet()) {
        if (e.humRedModeClr())
            row.text("Hum", "", QStringLiteral("both"), QStringLiteral("X ,"));
        else
            row.text("Hum", "", QStringLiteral("on"), QStringLiteral("1 ,"));
        return;
    }
    if (e.humRedModeClr())
        row.text("Hum", "", QStringLiteral("off"), QStringLiteral("0 ,"));
    else
        row.text("Hum", "", QStringLiteral("none"), QStringLiteral("???,"));
}

void secFilterColumn(logtable::CRowBuilder& row, const char* caption, bool full)
{
    row.flag(caption, full, full ? QStringLiteral(" Ful,") : QStringLiteral("  Ok,"));
}

// `n` is the span's length in its time unit; the last comfort level and the standard mode
// are what the other durations leave of it (negative when the device's sum exceeds it).
void secLogRow(logtable::CRowBuilder& row, int index, int age, const SSecLogEntry& e, int n,
               const SSecLogUnits& units)
{
    row.beginRow(age);
    row.flag("Restart", e.restarted(), e.restarted() ? QStringLiteral("*") : QStringLiteral(" "));
    row.number("Log", "", index, col(index, 3, "%1,: "));
    row.number("TExt", "°C", e.extractTemp(), col(e.extractTemp(), 5), EAxis::Temperature);
    row.number("TSup", "°C", e.supplyTemp(), col(e.supplyTemp(), 5), EAxis::Temperature);
    row.number("TOut", "°C", e.outdoorTemp(), col(e.outdoorTemp(), 5), EAxis::Temperature);
    row.number("TExh", "°C", e.exhaustTemp(), col(e.exhaustTemp(), 5), EAxis::Temperature);
    row.number("HExt", "%", e.extractHum(), col(e.extractHum(), 5), EAxis::Humidity);
    row.number("HOut", "%", e.outdoorHum(), col(e.outdoorHum(), 5), EAxis::Humidity);
    row.number("Pres", "hPa", e.pressure(), col(e.pressure(), 5));
    row.number("CO2", "ppm", e.co2(), col(e.co2(), 5), EAxis::CO2);
    comfortLevelColumns(row, {e.timeComLev0(), e.timeComLev1(), e.timeComLev2(), e.timeComLev3()},
                        n, units.time);
    const std::pair<const char*, int> modes[] = {
        {"Std", n - (e.timeAutoAlt() + e.timeSleepMode() + e.timeTurboMode())},
        {"Alt", e.timeAutoAlt()},
        {"Slp", e.timeSleepMode()},
        {"Trb", e.timeTurboMode()}};
    for (const auto& [caption, t] : modes)
        row.number(caption, units.time, t, col(t, 4));
    humModeColumn(row, e);
    const struct
    {
        const char* caption;
        int value;
        int width;
    } durations[] = {{"Def Exh", e.timeDefExh(), 8},   {"Sup cond", e.timeSupCond(), 9},
                     {"Hum Inp", e.timeHumInp(), 8},   {"Min", e.timeMinAir(), 4},
                     {"AbsHum", e.timeAbsDrying(), 7}, {"RelHum", e.timeRelDrying(), 7},
                     {"Cool", e.timeCooling(), 5},     {"CO2", e.timeCO2Ventilation(), 4}};
    for (const auto& d : durations)
        row.number(d.caption, units.time, d.value, col(d.value, d.width));
    row.number("Air", units.air, e.airExchanged(), col(e.airExchanged(), 6), EAxis::Flow);
    row.number("Water", units.water, e.waterRemoved(), col(e.waterRemoved(), 6));
    row.number("EnExt", units.energy, e.energyExtracted(), col(e.energyExtracted(), 6));
    row.number("EnRec", units.energy, e.energyRecovered(), col(e.energyRecovered(), 6));
    row.number("EnCol", units.energy, e.energyCooled(), col(e.energyCooled(), 6));
    secFilterColumn(row, "Filter Sup", e.filterSupplyFull());
    secFilterColumn(row, "Filter Ext", e.filterExtractFull());
    row.number("Acc Cnt", "", e.accCount(), col(e.accCount(), 4));
    row.number("SW File", "", e.warnFileNr(), col(e.warnFileNr(), 5));
    row.number("SW Line", "", e.warnLineNr(), col(e.warnLineNr(), 5));
    row.number("SW Code", "", e.warnCode(), col(e.warnCode(), 5, "%1, "));
    const QString error = errorStateText(e.errorState());
    row.text("Error", "", error, colText(error, 0, "%1,"));
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

bool CFan::primLogTable(logtable::STable& table)
{
    QVector<SPrimLogEntry> entries;
    if (!getPrimLog(entries))
        return false;
    logtable::decodeEntries(table, entries, logtable::EOrder::Forward,
                            [this](logtable::CRowBuilder& row, int i, const SPrimLogEntry& e) {
                                primLogRow(row, i, e, ventReasonName(e.program()));
                            });
    return true;
}

bool CFan::secLogTable(CLogging::EMaxTimeSpan span, ESecLogPick pick, logtable::STable& table)
{
    return readSecLogTable(span, pick, table) == ESecLogRead::Ok;
}

ESecLogRead CFan::readSecLogTable(CLogging::EMaxTimeSpan span, ESecLogPick pick,
                                  logtable::STable& table)
{
    const SSecLogUnits units = secLogUnits(span);
    const auto fetch = [&](QVector<SSecLogEntry>& entries, const SSecLogSelection& selection) {
        return getSecLog(entries, span, selection.count, selection.first);
    };
    const auto decode = [&](logtable::CRowBuilder& row, int index, int age, const SSecLogEntry& e,
                            int n) { secLogRow(row, index, age, e, n, units); };
    return readSecLog<SSecLogEntry>(*this, span, pick, fetch, decode, table);
}

QString CFan::getPrimaryLog()
{
    logtable::STable table;
    if (!primLogTable(table))
        return QStringLiteral("Didn't get any logs...");
    return QStringLiteral("\nPrimary Log:\n") + QString::fromUtf8(kPrimHeader100) +
           QString::fromUtf8(kPrimUnits100) + table.reportLines();
}

QString CFan::secLogReport(CLogging::EMaxTimeSpan span, bool first10, bool first100, bool last10,
                           bool last100, const QString& caption)
{
    logtable::STable table;
    const ESecLogRead read =
        readSecLogTable(span, secLogPick(first10, first100, last10, last100), table);
    return secLogReportText(read, table, caption, kSecHeader100a, kSecHeader100b,
                            unitLine(kSecUnits100, secLogUnits(span)), "Didn't get any Logs...");
}
