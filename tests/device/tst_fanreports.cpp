// 100-series log reports: golden texts and the secondary-log ring selection.
#include "device/fan.h"
#include "device/seclogentry.h"
#include "logreplies.h"
#include "modelfixture.h"

#include <QtTest>

using Fan = ModelOnLoopback<CFan>;

class TestFanReports : public QObject
{
    Q_OBJECT

private slots:
    void primaryReport();
    void primaryReportFails();
    void secondaryReport();
    void secondaryUnits_data();
    void secondaryUnits();
    void ringSelection_data();
    void ringSelection();
    void emptySelection();
    void secondaryReportFails();
};

namespace {
const char kPrimHeader[] =
    "\nPrimary Log:\n"
    "Log,   TExt  , TSup  , TOut  , TExh  , HExt, HOut, Pres,  CO2, TVirt , Com, Hum, Sum, Fan, "
    "AveFlow, Fan, 2nd, RPM , RPM , Vent, Vent, Vent, Vent, TPE, TBA, TPS, TBY, TState , Ventil, "
    "Defrost, Fil, Fil, Room, 2nd Room, IntEr, IntEr, IntEr, Error  \n"
    "   ,    °C   ,  °C   ,  °C   ,  °C   ,  %  ,   % ,  hPa,  ppm,  °C   , Lev, Red, Coo,m³/h,  "
    "m³/h  , Lim, o20,Suppl, Extr, Extr,  2nd, Supp, Bypa,                            , Reason, "
    "Exhaust, Sup, Ext, Area, Flow    , File , Line , Code ,   \n";

const char kSecHeader[] =
    " Log,   TExt, TSup, TOut, TExh, HExt, HOut, Pres,  CO2, Comfort Level, --- Operation Mode "
    "---, -- Reduced Ventilation--  ,  Ventilation Reason --------  ,  -------- Flow Values "
    "--------   , Filter  , Acc, --SW Warnings-- , Error\n"
    "                                                        1, 2, 3, 4, 5, Std, Alt, Slp, Trb "
    "Hum, Def Exh, Sup cond, Hum Inp, Min, AbsHum, RelHum, Cool, CO2, Air  , Water, EnExt, "
    "EnRec, EnCol, Sup, Ext, Cnt, File, Line, Code,      \n";

const char kSecUnitsQuarterHour[] =
    "    ,    °C ,  °C ,  °C ,  °C ,  %  ,   % , hPa ,  ppm, Minutes    ,        Minutes      ,  "
    "  Minutes              ,    Minutes                  ,1/36m³,g,    0.333Km³     \n";

QVector<SPrimLogEntry> primaryLog()
{
    SPrimLogEntry a;
    a.setExtractTempRaw(-8);
    a.setSupplyTempRaw(172);
    a.setOutdoorTempRaw(-99);
    a.setExhaustTempRaw(41);
    a.setExtractHum(45);
    a.setOutdoorHum(80);
    a.setPressure(1013);
    a.setCO2Raw(50);
    a.setSupplyTempVirtRaw(160);
    a.setComfortLevelStored(2);
    a.setHumReductionMode(true);
    a.setFanLimitCode(6);
    a.setAirFlowCode(20);
    a.setFanLimitActive(true);
    a.setFanExtractRPM(1234);
    a.setFanSupplyRPM(987);
    a.setVentPosExtract(0);
    a.setVentPosBath(5);
    a.setVentPosSupply(31);
    a.setVentPosBypass(27);
    a.setVentCtrlSetExtract(1);
    a.setVentCtrlSetBath(2);
    a.setVentCtrlSetSupply(3);
    a.setOperationMode(1);
    a.setProgram(6);
    a.setDefrostState(1);
    a.setFilterSupplyFull(true);
    a.setDipSwitch(0x23);
    a.setErrorFileNr(12);
    a.setErrorLineNr(345);
    a.setErrorCode(-3);
    a.setErrorState(2);

    SPrimLogEntry b;
    b.setSupplyTempRaw(1023);
    b.setOutdoorTempRaw(-1024);
    b.setExhaustTempRaw(1);
    b.setOutdoorHum(127);
    b.setPressure(700);
    b.setCO2Raw(255);
    b.setSupplyTempVirtRaw(-4);
    b.setComfortLevelStored(7);
    b.setSumCoolBypassOpen(true);
    b.setFanLimitCode(15);
    b.setAirFlowCode(1);
    b.setSecondRoomOver20(true);
    b.setFanExtractRPM(4095);
    b.setVentPosExtract(25);
    b.setVentPosBath(1);
    b.setVentPosSupply(24);
    b.setVentPosBypass(26);
    b.setVentCtrlSetExtract(3);
    b.setVentCtrlSetBath(3);
    b.setVentCtrlSetSupply(3);
    b.setVentCtrlSetBypass(3);
    b.setOperationMode(7);
    b.setProgram(2);
    b.setDefrostState(3);
    b.setFilterExtractFull(true);
    b.setDipSwitch(0xF0);
    b.setErrorFileNr(63);
    b.setErrorLineNr(1023);
    b.setErrorCode(127);
    b.setErrorState(23);

    SPrimLogEntry c;
    c.setAirFlowCode(7);
    c.setOperationMode(4);
    c.setDefrostState(2);
    return {a, b, c};
}
} // namespace

void TestFanReports::primaryReport()
{
    Fan f;
    f.answer(HLP_GET_PRIM_LOG, {primLogPacket(3, primaryLog())});
    const QString expected =
        QString::fromUtf8(kPrimHeader) +
        QString::fromUtf8(
            "  0,:  -1.000, 21.500,-12.375,  5.125,   45,   80, 1013,  800, 20.000,   3,   1,   "
            "0,  60,     60 ,   1,   0, 1234,  987, UNKN, T 04, OPEN,  30°,   1,   2,   3,   0, "
            "AutoAlt, MinTOu,   Bypa , FUL,  OK,   35,       90,    12,   345,    -3, Filter "
            "dirty,\n"
            "  1,:   0.000,127.875,-128.000,  0.125,    0,  127,  700, 4080, -0.500,   8,   0,   "
            "1, 150,  20/60 ,   0,   1, 4095,    0, CLOS, T 00, T 23,  15°,   3,   3,   3,   3,  "
            "    ??, AbsDry,    ??  ,  OK, FUL,    0,        0,    63,  1023,   127, ??,\n"
            "  2,:   0.000,  0.000,  0.000,  0.000,    0,    0,  700,    0,  0.000,   1,   0,   "
            "0,   0,      7 ,   0,   0,    0,    0, UNKN, UNKN, UNKN, UNKN,   0,   0,   0,   0,"
            "TurboCool, MinAir,   Supp ,  OK,  OK,   20,        0,     0,     0,     0, OK,\n");
    const QString report = f.fan.getPrimaryLog();
    QCOMPARE(report.split('\n'), expected.split('\n')); // names the first differing line
    QCOMPARE(report, expected);
}

void TestFanReports::primaryReportFails()
{
    Fan f;
    f.answer(HLP_GET_PRIM_LOG, {hlpReply(HLP_GET_PRIM_LOG, QByteArray(150, 0))});
    QCOMPARE(f.fan.getPrimaryLog(), QString("Didn't get any logs..."));
    CFan unconnected;
    QCOMPARE(unconnected.getPrimaryLog(), QString("Didn't get any logs..."));
}

void TestFanReports::secondaryReport()
{
    SSecLogEntry a;
    a.setExtractTemp(-5);
    a.setSupplyTemp(18);
    a.setOutdoorTemp(-20);
    a.setExhaustTemp(2);
    a.setExtractHum(55);
    a.setOutdoorHum(90);
    a.setPressureCode(1);
    a.setCo2Raw(0x90);
    a.setTimeComLev0(3);
    a.setTimeComLev1(4);
    a.setTimeComLev2(5);
    a.setTimeComLev3(3);
    a.setTimeAutoAlt(2);
    a.setTimeSleepMode(3);
    a.setTimeTurboMode(1);
    a.setHumRedModeSet(true);
    a.setHumRedModeClr(true);
    a.setTimeDefExh(7);
    a.setTimeSupCond(31);
    a.setTimeHumInp(1);
    a.setTimeMinAir(2);
    a.setTimeAbsDrying(10);
    a.setTimeRelDrying(11);
    a.setTimeCooling(12);
    a.setTimeCO2Ventilation(13);
    a.setAirExchanged(1023);
    a.setWaterRemoved(-1024);
    a.setEnergyExtracted(-32768);
    a.setEnergyRecovered(32767);
    a.setEnergyCooled(-1);
    a.setFilterSupplyFull(true);
    a.setAccCount(127);
    a.setWarnFileNr(63);
    a.setWarnLineNr(1023);
    a.setWarnCode(-128);
    a.setErrorState(22);
    a.setRestarted(true);

    SSecLogEntry b;
    b.setHumRedModeSet(true);
    b.setTimeComLev0(10);
    b.setTimeComLev1(10);
    b.setPressureCode(254);
    b.setCo2Raw(25);
    b.setErrorState(23);

    SSecLogEntry c;
    c.setHumRedModeClr(true);
    SSecLogEntry d;
    d.setErrorState(19);

    Fan f;
    f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(96, 4, 0)});
    f.answer(HLP_GET_SEC_LOG,
             {secLogPacket<SSecLogEntry>(CLogging::EQuarterHour, 4, {a, b, c, d})});
    const QString expected =
        QString::fromUtf8("\nSecondary Log: 15 min\n") + QString::fromUtf8(kSecHeader) +
        QString::fromUtf8(kSecUnitsQuarterHour) +
        QString::fromUtf8(
            "   3,:     0,    0,    0,    0,    0,    0,  700,    0, 0, 0, 0, 0,15,  15,   0,   "
            "0,   0,???,       0,        0,       0,   0,      0,      0,    0,   0,     0,     "
            "0,     0,     0,     0,  Ok,  Ok,   0,    0,    0,    0, ?Detail on press??,\n"
            "   2,:     0,    0,    0,    0,    0,    0,  700,    0, 0, 0, 0, 0,15,  15,   0,   "
            "0,   0,0 ,       0,        0,       0,   0,      0,      0,    0,   0,     0,     "
            "0,     0,     0,     0,  Ok,  Ok,   0,    0,    0,    0, OK,\n"
            "   1,:     0,    0,    0,    0,    0,    0, 1208,  400,10,10, 0, 0,-5,  15,   0,   "
            "0,   0,1 ,       0,        0,       0,   0,      0,      0,    0,   0,     0,     "
            "0,     0,     0,     0,  Ok,  Ok,   0,    0,    0,    0, ??,\n"
            "*  0,:    -5,   18,  -20,    2,   55,   90,  702,-1792, 3, 4, 5, 3, 0,   9,   2,   "
            "3,   1,X ,       7,       31,       1,   2,     10,     11,   12,  13,  1023, "
            "-1024,-32768, 32767,    -1, Ful,  Ok, 127,   63, 1023, -128, Wlan Error,\n");
    const QString report = f.fan.secLogReport(CLogging::EQuarterHour, false, false, false, false,
                                              QStringLiteral(" 15 min"));
    QCOMPARE(report, expected);
}

void TestFanReports::secondaryUnits_data()
{
    QTest::addColumn<int>("span");
    QTest::addColumn<QString>("unitLine");
    QTest::addColumn<QString>("implicit"); // comfort levels 1-5 and the four mode times
    QTest::addRow("day") << 1
                         << QString::fromUtf8(
                                "    ,    °C ,  °C ,  °C ,  °C ,  %  ,   % , hPa ,  ppm, Hours    "
                                ",        Hours      ,    Hours              ,    Hours          "
                                "        ,3.55m³,128g,    42.7Km³     \n")
                         << "0,20, 0, 0, 0, 4,  20,   0,   0,   4,";
    QTest::addRow("month") << 2
                           << QString::fromUtf8(
                                  "    ,    °C ,  °C ,  °C ,  °C ,  %  ,   % , hPa ,  ppm, Days    "
                                  ",        Days      ,    Days              ,    Days            "
                                  "      , 114m³,4096g,    1365Km³     \n")
                           << "0,20, 0, 0, 0,10,  26,   0,   0,   4,";
}

// The span sets the unit texts and the length the implicit durations are taken from.
void TestFanReports::secondaryUnits()
{
    QFETCH(int, span);
    QFETCH(QString, unitLine);
    QFETCH(QString, implicit);
    SSecLogEntry e;
    e.setTimeComLev0(20);
    e.setTimeTurboMode(4);
    Fan f;
    f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(10, 1, 3)});
    f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry>(span, 1, {e})});
    const QString report =
        f.fan.secLogReport(CLogging::EMaxTimeSpan(span), false, false, false, false, "x");
    const QStringList lines = report.split('\n');
    QCOMPARE(lines.size(), 7); // blank, title, two headers, units, one entry, trailing empty
    QCOMPARE(lines[4] + '\n', unitLine);
    QVERIFY2(lines[5].contains(implicit), qPrintable(lines[5]));
}

// Which entries the report asks for: log size a, used b, oldest c.
void TestFanReports::ringSelection_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<QString>("flags"); // which of first10, first100, last10, last100 are set
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addRow("first10") << 96 << 96 << 90 << "1000" << 90 << 10;
    QTest::addRow("first100") << 96 << 96 << 90 << "0100" << 90 << 100;
    QTest::addRow("first10 wins over last10") << 96 << 96 << 90 << "1010" << 90 << 10;
    QTest::addRow("last10, full ring") << 96 << 96 << 90 << "0010" << 81 << 10;
    QTest::addRow("last10, next 5") << 96 << 10 << 91 << "0010" << 92 << 10;
    QTest::addRow("last10, next 8") << 96 << 8 << 0 << "0010" << 95 << 10;
    QTest::addRow("last10, next 9") << 96 << 9 << 0 << "0010" << 0 << 10;
    QTest::addRow("last10 wins over last100") << 96 << 9 << 0 << "0011" << 0 << 10;
    QTest::addRow("last100") << 200 << 150 << 0 << "0001" << 51 << 100;
    QTest::addRow("last100, next 98") << 200 << 98 << 0 << "0001" << 199 << 100;
    QTest::addRow("last100, wrapped") << 200 << 200 << 150 << "0001" << 51 << 100;
    QTest::addRow("all") << 96 << 37 << 12 << "0000" << 12 << 37;
    // A ring smaller than ten: the 16-bit index wraps below zero.
    QTest::addRow("last10, tiny ring") << 5 << 2 << 1 << "0010" << 65535 << 10;
}

void TestFanReports::ringSelection()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(QString, flags);
    QFETCH(int, first);
    QFETCH(int, count);
    Fan f;
    f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(a, b, c)});
    f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry>(CLogging::EDay, 0, {})});
    f.fan.secLogReport(CLogging::EDay, flags[0] == '1', flags[1] == '1', flags[2] == '1',
                       flags[3] == '1', "day");
    const auto requests = f.requests();
    QCOMPARE(requests.size(), 2);
    const QByteArray counters = requests[0].data;
    QCOMPARE(counters, QByteArray(1, char(24)) + QByteArray(19, 0));
    const auto* r = reinterpret_cast<const UINT8*>(requests[1].data.constData());
    QCOMPARE(int(r[0]), 20);
    QCOMPARE(int(r[1]), 1);
    QCOMPARE(int(le::u16(r + 2)), first);
    QCOMPARE(int(le::u16(r + 4)), count);
}

// No entries used: title, caption and the three header lines only.
void TestFanReports::emptySelection()
{
    Fan f;
    f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(96, 0, 17)});
    f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry>(CLogging::EQuarterHour, 0, {})});
    const QString report =
        f.fan.secLogReport(CLogging::EQuarterHour, false, false, false, false, " 15 min");
    QCOMPARE(report, QString::fromUtf8("\nSecondary Log: 15 min\n") +
                         QString::fromUtf8(kSecHeader) + QString::fromUtf8(kSecUnitsQuarterHour));
    const auto* r = reinterpret_cast<const UINT8*>(f.requests()[1].data.constData());
    QCOMPARE(int(le::u16(r + 2)), 17);
    QCOMPARE(int(le::u16(r + 4)), 0);
}

void TestFanReports::secondaryReportFails()
{
    {
        Fan f; // no counters reply
        QCOMPARE(f.fan.secLogReport(CLogging::EDay, false, false, true, false, "day"),
                 QString("\nSecondary Log:getSecLogCnt failed!\n"));
    }
    {
        Fan f;
        f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(96, 4, 0)});
        f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry>(CLogging::EMonth, 4, {})});
        QCOMPARE(f.fan.secLogReport(CLogging::EDay, false, false, false, false, "day"),
                 QString("Didn't get any Logs..."));
    }
    {
        Fan f; // a span the counters have no slot for is refused before anything is sent
        QCOMPARE(f.fan.secLogReport(CLogging::EMaxTimeSpan(3), false, false, false, false, "?"),
                 QString("\nSecondary Log:Unknown time span!\n"));
        QVERIFY(f.requests().isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestFanReports)
#include "tst_fanreports.moc"
