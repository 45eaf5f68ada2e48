// 70-series records, log trains and reports.
#include "device/fan_70_pc.h"
#include "device/primlogentry.h"
#include "logcapture.h"
#include "logreplies.h"
#include "modelfixture.h"

#include <QtTest>

using Fan70 = ModelOnLoopback<CFan_70_PC>;

class TestFan70Logs : public QObject
{
    Q_OBJECT

private slots:
    void primLogEntryLayout();
    void secLogEntryLayout();
    void primLogTrain();
    void logFailures_data();
    void logFailures();
    void secLogTrain();
    void primaryReport();
    void comfortAndCoolingColumns_data();
    void comfortAndCoolingColumns();
    void secondaryReport();
    void secondaryUnits_data();
    void secondaryUnits();
    void reportsFail();
};

namespace {
template <typename Record>
Record fromHex(const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    Q_ASSERT(bytes.size() == Record::kSize);
    return Record::fromBytes(reinterpret_cast<const UINT8*>(bytes.constData()));
}

// Every field with a distinct value; bits the tool does not read are set where possible.
SPrimLogEntry_70 primA()
{
    //                             0 1 2 3 4 5 6 7 8 9 1011121314151617181920212223242526 27
    return fromHex<SPrimLogEntry_70>("f8ffb2c5f6b7ab2885ffa83cffb8537dbc9aeeeec8112ef6ffff0080");
}
SSecLogEntry_70 secA()
{
    return fromHex<SSecLogEntry_70>(
        "f6169c32ff80eeeeeeeeeeeeb7ce0000000000003f8285ff1df801fcffc834ae");
}
} // namespace

void TestFan70Logs::primLogEntryLayout()
{
    const SPrimLogEntry_70 e = primA();
    QCOMPARE(e.tOut(), -1.0);
    QCOMPARE(e.huEx(), 50);
    QCOMPARE(e.huSu(), 11);
    QCOMPARE(e.htExt(), -2.5);
    QCOMPARE(e.intErFile(), 45);
    QCOMPARE(e.tExt(), 21.375);
    QCOMPARE(e.fanState(), 5);
    QCOMPARE(e.sbFlow(), 5);
    QCOMPARE(e.fanSpeed(), -1);
    QCOMPARE(e.hSup(), 40);
    QCOMPARE(e.hExt(), 60);
    QCOMPARE(e.serviceLevel(), 8);
    QVERIFY(e.sumCoo());
    QCOMPARE(e.comLev(), 4);
    QCOMPARE(e.state(), 2);
    QCOMPARE(e.htSup(), 125.25);
    QCOMPARE(e.rpm(), 0xABC);
    QCOMPARE(e.ventilReason(), 9);
    QCOMPARE(e.co2Ex(), 200);
    QCOMPARE(e.co2Su(), 17);
    // Byte 22 = 0x2E: bits 1-3 and bits 3-7 overlap in bit 3.
    QCOMPARE(e.coolingSetting(), 7);
    QCOMPARE(e.roomAreaCode(), 5);
    QCOMPARE(e.flow(), -10);
    QCOMPARE(e.intErLine(), 65535);
    QCOMPARE(e.intErCode(), -32768);
}

void TestFan70Logs::secLogEntryLayout()
{
    const SSecLogEntry_70 e = secA();
    QCOMPARE(e.tSup(), -10);
    QCOMPARE(e.tExt(), 22);
    QCOMPARE(e.hOut(), -100);
    QCOMPARE(e.hExt(), 50);
    QCOMPARE(e.co2S(), 255);
    QCOMPARE(e.co2E(), 128);
    QCOMPARE(e.timeHumInp(), 23);
    QCOMPARE(e.timeHumCO2Inp(), 21);
    QCOMPARE(e.timeCO2Inp(), 19);
    QCOMPARE(e.timeComLev3(), 31);
    QCOMPARE(e.timeMinAir(), 17);
    QVERIFY(e.restarted());
    QCOMPARE(e.energyCooled(), -123);
    QCOMPARE(e.airExchanged(), 29);
    QCOMPARE(e.waterRemoved(), -1023);
    QCOMPARE(e.accCount(), 127);
    QCOMPARE(e.warnCode(), 200);
    QCOMPARE(e.warnLineNr(), 564);
    QCOMPARE(e.warnFileNr(), 43);

    SSecLogEntry_70 f; // the five-bit durations of bytes 14-19
    f.m_Bytes[14] = 0xE1;
    f.m_Bytes[15] = 0x7D;
    f.m_Bytes[16] = 0x02;
    f.m_Bytes[17] = 0x7C;
    f.m_Bytes[18] = 0x43;
    f.m_Bytes[19] = 0x09;
    QCOMPARE(f.timeComLev0(), 1);
    QCOMPARE(f.timeAbsDrying(), 15);
    QCOMPARE(f.timeRelDrying(), 31);
    QCOMPARE(f.timeComLev1(), 2);
    QCOMPARE(f.timeCooling(), 0);
    QCOMPARE(f.timeCO2Ventilation(), 31);
    QCOMPARE(f.timeComLev2(), 3);
    QCOMPARE(f.timeServiceMode(), 10);
    QCOMPARE(f.timeTurboMode(), 2);
}

void TestFan70Logs::primLogTrain()
{
    QVector<SPrimLogEntry_70> first, second;
    for (int i = 0; i < 7; ++i) {
        SPrimLogEntry_70 e;
        e.setRpm(i);
        first << e;
        e.setRpm(7 + i);
        second << e;
    }
    Fan70 f;
    f.answer(HLP_GET_PRIM_LOG, {primLogPacket(9, first), primLogPacket(2, second)});
    QVector<SPrimLogEntry_70> entries;
    QVERIFY(f.fan.getPrimLog(entries));
    QCOMPARE(entries.size(), 9);
    for (int i = 0; i < 9; ++i)
        QCOMPARE(entries[i].rpm(), i);
}

void TestFan70Logs::logFailures_data()
{
    QTest::addColumn<bool>("primary");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QStringList>("lines");
    QTest::addRow("100-series primary packet")
        << true << primLogPacket<SPrimLogEntry>(1, {})
        << QStringList{"CFan_70_PC::getPrimLog: Packet size mismatch",
                       "Expected:  200 , got:  186"};
    QTest::addRow("primary wrong packet")
        << true << hlpReply(HLP_GET_CURRENT_STATE, QByteArray(29, 0))
        << QStringList{"CFan_70_PC::getPrimLog: Received wrong packet"};
    QTest::addRow("primary no reply")
        << true << QByteArray()
        << QStringList{"CFan_70_PC::getPrimLog: Error getting the primary log"};
    QTest::addRow("secondary span") << false << secLogPacket<SSecLogEntry_70>(1, 1, {})
                                    << QStringList{"CFan_70_PC::getSecLog: time span mismatche!",
                                                   "Expected:  2 , received:  1"};
    QTest::addRow("secondary 165 bytes")
        << false << secLogPacket<SSecLogEntry_70>(2, 1, {}, 165)
        << QStringList{"CFan_70_PC::getSecLog: Packet size mismatch", "Expected:  166 , got:  165"};
    QTest::addRow("secondary wrong packet")
        << false << primLogPacket<SPrimLogEntry_70>(1, {})
        << QStringList{"CFan_70_PC::getSecLog: Received wrong packet"};
}

void TestFan70Logs::logFailures()
{
    QFETCH(bool, primary);
    QFETCH(QByteArray, packet);
    QFETCH(QStringList, lines);
    Fan70 f;
    const UINT8 code = primary ? HLP_GET_PRIM_LOG : HLP_GET_SEC_LOG;
    f.answer(code, packet.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{packet});
    LogCapture log;
    if (primary) {
        QVector<SPrimLogEntry_70> entries;
        QVERIFY(!f.fan.getPrimLog(entries));
    } else {
        QVector<SSecLogEntry_70> entries;
        QVERIFY(!f.fan.getSecLog(entries, CLogging_70::EMonth, 10, 0));
    }
    for (const QString& line : lines)
        QCOMPARE(log.countExact(line), 1);
}

void TestFan70Logs::secLogTrain()
{
    Fan70 f;
    f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry_70>(0, 5, {secA(), {}, {}, {}, secA()})});
    QVector<SSecLogEntry_70> entries;
    LogCapture log;
    QVERIFY(f.fan.getSecLog(entries, CLogging_70::EQuarterHour, 5, 3));
    QCOMPARE(entries.size(), 5);
    QCOMPARE(entries[4].warnLineNr(), 564);
    QCOMPARE(log.countExact("sizeof(SSecLogEntry_70):  32"), 1);
    const auto* r = reinterpret_cast<const UINT8*>(f.requests()[0].data.constData());
    QCOMPARE(f.requests()[0].data.size(), 166);
    QCOMPARE(int(r[0]), 20);
    QCOMPARE(int(le::u16(r + 2)), 3);
    QCOMPARE(int(le::u16(r + 4)), 5);
}

namespace {
const char kPrimHeader70[] =
    "\nPrimary Log:\n"
    "Log,  TExt,    TOut,HExt,HSup,CO2Ex,CO2Su,  HTExt,  HTSup,HUEx,HUSu,Com, Sum, Fan,  "
    "Flow,SBFlow,  RPM,   State,   Fan    Ventil, Room,   IntEr, IntEr, IntEr, Error  \n"
    ",    °C,      °C,   %,   %,  ppm,  ppm,     °C,     °C,   %,   %,Lev, Coo, Speed,m³/h,    "
    "                     State, Reason, Area,   File , Line , Code ,         \n";

const char kSecHeader70[] =
    " Log,  TExt,TSup,HExt,HOut, CO2E, CO2S, Comfort Level, Operation Mode, -- Reduced "
    "Ventilation , Ventilation Reason --------, Flow Values -------, Acc, --SW Warnings-- , "
    "Error\n"
    "                                        1, 2, 3, 4, 5, Auto, Ser, Trb, "
    "HumInp,HumCO2Inp,CO2Inp, Min,AbsHum,RelHum,Cool, CO2, Air  , Water, EnCol, Cnt, File, "
    "Line, Code,      \n";
} // namespace

void TestFan70Logs::primaryReport()
{
    SPrimLogEntry_70 b;
    b.setTExtRaw(-1);
    b.m_Bytes[14] = 0x03; // state 0 (auto), comfort level 4
    b.setCoolingSetting(3);
    b.setSumCoo(true);
    b.setVentilReason(6);
    SPrimLogEntry_70 c;
    c.setState(5);
    c.setFanState(6);
    Fan70 f;
    f.answer(HLP_GET_PRIM_LOG, {primLogPacket<SPrimLogEntry_70>(3, {primA(), b, c})});
    const QString expected =
        QString::fromUtf8(kPrimHeader70) +
        "  0: 21.375, -1.000,  60,  40,  200,   17, -2.500,125.250,  50,  11,   8,   1,  -1,   "
        "-10,     5, 2748, Service, BackNoM, - ?? -,   75,    45, 65535, -32768, \n"
        "  1: -0.125,  0.000,   0,   0,    0,    0,  0.000,  0.000,   0,   0,  4,  --,   0,     "
        "0,     0,    0,    Auto,  Normal, CO2Inp,   20,     0,     0,     0, \n"
        "  2:  0.000,  0.000,   0,   0,    0,    0,  0.000,  0.000,   0,   0,  1,   0,   0,     "
        "0,     0,    0,      ??,      ??, MinAir,   20,     0,     0,     0, \n";
    LogCapture log;
    const QString report = f.fan.getPrimaryLog();
    QCOMPARE(report.split('\n'), expected.split('\n'));
    QCOMPARE(report, expected);
    QCOMPARE(log.countExact("logEntries[ nLog ].ControlAuto =  9"), 1);
    QCOMPARE(log.countExact("logEntries[ nLog ].ControlAuto =  6"), 1);
}

// Columns 12 and 13 of a primary line: the comfort column widens to the service level in
// service mode; cooling setting 3 blanks summer cooling.
void TestFan70Logs::comfortAndCoolingColumns_data()
{
    QTest::addColumn<int>("byte13");
    QTest::addColumn<int>("byte14");
    QTest::addColumn<int>("byte22");
    QTest::addColumn<QString>("columns");
    QTest::addRow("service level 8") << 0x38 << 0x10 << 0x00 << "   8,   0,";
    QTest::addRow("service level 1, cooling 3") << 0x80 << 0x17 << 0x06 << "   1,  --,";
    QTest::addRow("auto, level 4") << 0x38 << 0x03 << 0x00 << "  4,   0,";
    QTest::addRow("turbo, level 8, sum cooling") << 0x80 << 0x0F << 0x04 << "  8,   1,";
    QTest::addRow("cooling 3 with area 2") << 0x80 << 0x00 << 0x16 << "  1,  --,";
}

void TestFan70Logs::comfortAndCoolingColumns()
{
    QFETCH(int, byte13);
    QFETCH(int, byte14);
    QFETCH(int, byte22);
    QFETCH(QString, columns);
    SPrimLogEntry_70 e;
    e.m_Bytes[13] = UINT8(byte13);
    e.m_Bytes[14] = UINT8(byte14);
    e.m_Bytes[22] = UINT8(byte22);
    Fan70 f;
    f.answer(HLP_GET_PRIM_LOG, {primLogPacket<SPrimLogEntry_70>(1, {e})});
    const QString line = f.fan.getPrimaryLog().split('\n').value(4);
    // Columns 1-11 of a zero entry, then the two under test, then the fan speed.
    const QString prefix = "  0:  0.000,  0.000,   0,   0,    0,    0,  0.000,  0.000,   0,   0,";
    QVERIFY2(line.startsWith(prefix + columns + "   0,"), qPrintable(line));
}

void TestFan70Logs::secondaryReport()
{
    SSecLogEntry_70 b;
    b.setTimeServiceMode(4);
    b.setTimeTurboMode(6);
    b.setTimeComLev0(5);
    b.setTimeComLev1(5);
    b.setTimeComLev2(5);
    b.setTimeAbsDrying(3);
    b.setTimeRelDrying(4);
    b.setTimeCooling(7);
    b.setTimeCO2Ventilation(8);
    b.setAirExchanged(2047);
    Fan70 f;
    f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(96, 96, 90)});
    f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry_70>(0, 2, {b, secA()})});
    const QString expected =
        QString::fromUtf8("\nSecondary Log:quarter\n") + QString::fromUtf8(kSecHeader70) +
        QString::fromUtf8("    ,   °C , °C , %  ,  % ,  log,  log,    ,         Minutes      ,"
                          "      Minutes        ,      Minutes     ,   1/4m³,       g  ,  "
                          "0.333Km³      \n") +
        "*  1,:   22, -10,  50,-100, 2048, 4080, 0, 0, 0,31,-16,  15,   0,   0,      23,      "
        "21,      19,  17,      0,      0,    0,   0,     1, -1023,  -123, 127,   43,  564,  "
        "200, \n"
        "   0,:    0,   0,   0,   0,    0,    0, 5, 5, 5, 0, 0,   5,   4,   6,       0,       "
        "0,       0,   0,      3,      4,    7,   8,   136,     0,     0,   0,    0,    0,    "
        "0, \n";
    const QString report =
        f.fan.secLogReport(CLogging::EQuarterHour, false, false, true, false, "quarter");
    QCOMPARE(report.split('\n'), expected.split('\n'));
    QCOMPARE(report, expected);
    // The ring selection is the 100 series': last ten of a full ring ending at 89.
    const auto* r = reinterpret_cast<const UINT8*>(f.requests()[1].data.constData());
    QCOMPARE(int(le::u16(r + 2)), 81);
    QCOMPARE(int(le::u16(r + 4)), 10);
}

void TestFan70Logs::secondaryUnits_data()
{
    QTest::addColumn<int>("span");
    QTest::addColumn<QString>("unitLine");
    QTest::addRow("day") << 1
                         << QString::fromUtf8(
                                "    ,   °C , °C , %  ,  % ,  log,  log,    ,        Hours         "
                                ",     Hours           ,     Hours        ,    32m³,    128g  ,   "
                                "42.7Km³      \n");
    QTest::addRow("month")
        << 2
        << QString::fromUtf8("    ,   °C , °C , %  ,  % ,  log,  log,    ,         Days         "
                             ",      Days           ,      Days        ,   1024m³,    4096g ,  "
                             "1365Km³       \n");
}

void TestFan70Logs::secondaryUnits()
{
    QFETCH(int, span);
    QFETCH(QString, unitLine);
    Fan70 f;
    f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(10, 0, 0)});
    f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry_70>(span, 0, {})});
    const QStringList lines =
        f.fan.secLogReport(CLogging::EMaxTimeSpan(span), false, false, false, false, "")
            .split('\n');
    QCOMPARE(lines.value(4) + '\n', unitLine);
}

void TestFan70Logs::reportsFail()
{
    Fan70 f;
    QCOMPARE(f.fan.getPrimaryLog(), QString(" Didn't get any logs"));
    QCOMPARE(f.fan.secLogReport(CLogging::EDay, true, false, false, false, "day"),
             QString("\nSecondary Log:getSecLogCnt failed!\n"));
    f.answer(HLP_GET_SEC_LOG_CNT, {secLogCntReply(10, 3, 0)});
    QCOMPARE(f.fan.secLogReport(CLogging::EDay, true, false, false, false, "day"),
             QString(" Didn't get any Logs..."));
}

QTEST_GUILESS_MAIN(TestFan70Logs)
#include "tst_fan70logs.moc"
