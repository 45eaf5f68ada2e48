// 100-series log retrieval: the secondary-log record layout and the packet trains.
#include "device/fan.h"
#include "device/seclogentry.h"
#include "logcapture.h"
#include "logreplies.h"
#include "modelfixture.h"

#include <QtTest>

using Fan = ModelOnLoopback<CFan>;

class TestFanLogs : public QObject
{
    Q_OBJECT

private slots:
    void secLogEntryLayout();
    void secLogEntrySignedFields();
    void primLogTrain_data();
    void primLogTrain();
    void primLogFailures_data();
    void primLogFailures();
    void secLogRequest();
    void secLogTrain_data();
    void secLogTrain();
    void secLogFailures_data();
    void secLogFailures();
    void endlessTrainIsCutOff();
    void notConnected();
};

namespace {
// Entries told apart by one field, so order and count can be checked.
QVector<SPrimLogEntry> primEntries(int from, int count)
{
    QVector<SPrimLogEntry> out;
    for (int i = 0; i < count; ++i) {
        SPrimLogEntry e;
        e.setFanSupplyRPM(from + i);
        out << e;
    }
    return out;
}
QVector<SSecLogEntry> secEntries(int from, int count)
{
    QVector<SSecLogEntry> out;
    for (int i = 0; i < count; ++i) {
        SSecLogEntry e;
        e.setWarnLineNr(from + i);
        out << e;
    }
    return out;
}
QVector<int> rpms(const QVector<SPrimLogEntry>& entries)
{
    QVector<int> out;
    for (const auto& e : entries)
        out << e.fanSupplyRPM();
    return out;
}
QVector<int> warnLines(const QVector<SSecLogEntry>& entries)
{
    QVector<int> out;
    for (const auto& e : entries)
        out << e.warnLineNr();
    return out;
}
QVector<int> range(int from, int count)
{
    QVector<int> out;
    for (int i = 0; i < count; ++i)
        out << from + i;
    return out;
}
} // namespace

// Fields that straddle a byte boundary, read from hand-made bytes.
void TestFanLogs::secLogEntryLayout()
{
    SSecLogEntry e;
    UINT8* b = e.m_Bytes;
    b[8] = 0xB7;  // TimeSupCond 23, TimeHumInp low 101
    b[9] = 0xCE;  // TimeHumInp high 10 -> 0b10101 = 21; TimeComLev0 0b10011 = 19; filter 1
    b[16] = 0x3F; // TimeAutoAlt 31, TimeDefExh low 001
    b[17] = 0x82; // TimeDefExh high 10 -> 0b10001 = 17; TimeMinAir 0; restarted
    b[24] = 0xFF;
    b[25] = 0xFE; // AirExchanged 0x2FF = 767; bits 2-7 not read
    b[26] = 0x35; // ErrorState 21, WaterRemoved low 001
    b[27] = 0x80; // WaterRemoved 0x401 -> -1023
    b[28] = 0x80; // AccCount 0, PressureCode low 1
    b[29] = 0x00;
    b[30] = 0x34;
    b[31] = 0xAE; // WarnLineNr 0x234 = 564, WarnFileNr 43
    QCOMPARE(e.timeSupCond(), 23);
    QCOMPARE(e.timeHumInp(), 21);
    QCOMPARE(e.timeComLev0(), 19);
    QVERIFY(e.filterSupplyFull());
    QCOMPARE(e.timeAutoAlt(), 31);
    QCOMPARE(e.timeDefExh(), 17);
    QCOMPARE(e.timeMinAir(), 0);
    QVERIFY(e.restarted());
    QCOMPARE(e.airExchanged(), 767);
    QCOMPARE(e.errorState(), 21);
    QCOMPARE(e.waterRemoved(), -1023);
    QCOMPARE(e.accCount(), 0);
    QCOMPARE(e.pressureCode(), 1);
    QCOMPARE(e.pressure(), 702);
    QCOMPARE(e.warnLineNr(), 564);
    QCOMPARE(e.warnFileNr(), 43);

    b[28] = 0x7F;
    b[29] = 0x7F; // code 254
    QCOMPARE(e.pressure(), 1208);
    QCOMPARE(e.accCount(), 127);

    // Bytes 10-15 mirror bytes 8-9's pattern for the other durations and flags.
    SSecLogEntry f;
    f.m_Bytes[10] = 0xE1; // AbsDrying 1, RelDrying low 111
    f.m_Bytes[11] = 0x7D; // RelDrying high 01 -> 15; ComLev1 31; FilterExtract 0
    f.m_Bytes[12] = 0x02; // Cooling 2
    f.m_Bytes[13] = 0x80; // HumRedModeSet
    f.m_Bytes[14] = 0x43; // Sleep 3, Turbo low 010
    f.m_Bytes[15] = 0x89; // Turbo high 01 -> 10; ComLev3 2; HumRedModeClr
    QCOMPARE(f.timeAbsDrying(), 1);
    QCOMPARE(f.timeRelDrying(), 15);
    QCOMPARE(f.timeComLev1(), 31);
    QVERIFY(!f.filterExtractFull());
    QCOMPARE(f.timeCooling(), 2);
    QCOMPARE(f.timeCO2Ventilation(), 0);
    QVERIFY(f.humRedModeSet());
    QCOMPARE(f.timeSleepMode(), 3);
    QCOMPARE(f.timeTurboMode(), 10);
    QCOMPARE(f.timeComLev3(), 2);
    QVERIFY(f.humRedModeClr());
}

void TestFanLogs::secLogEntrySignedFields()
{
    SSecLogEntry e;
    const UINT8 head[8] = {0xFF, 0x80, 0x7F, 0xEC, 0x05, 0x9C, 0x90, 0xFE};
    std::memcpy(e.m_Bytes, head, sizeof head);
    le::put16(e.m_Bytes + 18, 0x8000);
    le::put16(e.m_Bytes + 20, 0x7FFF);
    le::put16(e.m_Bytes + 22, 0xFFFF);
    QCOMPARE(e.supplyTemp(), -1);
    QCOMPARE(e.outdoorTemp(), -128);
    QCOMPARE(e.outdoorHum(), 127);
    QCOMPARE(e.exhaustTemp(), -20);
    QCOMPARE(e.extractTemp(), 5);
    QCOMPARE(e.extractHum(), -100);
    QCOMPARE(e.co2(), -1792);
    QCOMPARE(e.warnCode(), -2);
    QCOMPARE(e.energyExtracted(), -32768);
    QCOMPARE(e.energyRecovered(), 32767);
    QCOMPARE(e.energyCooled(), -1);
}

// Each packet says how many entries are still to come, its own included.
void TestFanLogs::primLogTrain_data()
{
    QTest::addColumn<QList<int>>("remaining");
    QTest::addColumn<int>("expected");
    QTest::addRow("empty log") << QList<int>{0} << 0;
    QTest::addRow("3 in one") << QList<int>{3} << 3;
    QTest::addRow("exactly 7") << QList<int>{7} << 7;
    QTest::addRow("9 then 2") << QList<int>{9, 2} << 9;
    QTest::addRow("15, 8, 1") << QList<int>{15, 8, 1} << 15;
}

void TestFanLogs::primLogTrain()
{
    QFETCH(QList<int>, remaining);
    QFETCH(int, expected);
    Fan f;
    QList<QByteArray> packets;
    int next = 0;
    for (int r : remaining) {
        packets << primLogPacket(r, primEntries(next, 7));
        next += 7;
    }
    // A packet after the announced end must stay unread.
    packets << primLogPacket(5, primEntries(900, 7));
    f.answer(HLP_GET_PRIM_LOG, packets);
    QVector<SPrimLogEntry> entries = primEntries(500, 2);
    LogCapture log;
    QVERIFY(f.fan.getPrimLog(entries));
    QCOMPARE(rpms(entries), range(0, expected));
    QCOMPARE(log.countExact("\n======================"), 1);
    QCOMPARE(f.requests().size(), 1);
    QCOMPARE(f.requests()[0].data, QByteArray(1, char(HLP_GET_PRIM_LOG)));
    QVERIFY(f.requests()[0].flags & LLF_REPEAT);
}

void TestFanLogs::primLogFailures_data()
{
    QTest::addColumn<QList<QByteArray>>("packets");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("kept");
    const QByteArray first = primLogPacket(9, primEntries(0, 7));
    QTest::addRow("184 bytes") << QList<QByteArray>{hlpReply(HLP_GET_PRIM_LOG, QByteArray(183, 0))}
                               << QStringList{"CFan::getPrimLog: Packet size mismatch",
                                              "Expected:  186 , got:  184"}
                               << 0;
    QTest::addRow("second packet short")
        << QList<QByteArray>{first, hlpReply(HLP_GET_PRIM_LOG, QByteArray(184, 0))}
        << QStringList{"CFan::getPrimLog: Packet size mismatch", "Expected:  186 , got:  185"} << 7;
    QTest::addRow("wrong packet") << QList<QByteArray>{first, hlpReply(HLP_GET_TIMER, {})}
                                  << QStringList{"CFan::getPrimLog: Received wrong packet"} << 7;
    QTest::addRow("no reply") << QList<QByteArray>{}
                              << QStringList{"CFan::getPrimLog: Error getting the primary log"}
                              << 0;
}

void TestFanLogs::primLogFailures()
{
    QFETCH(QList<QByteArray>, packets);
    QFETCH(QStringList, lines);
    QFETCH(int, kept);
    Fan f;
    f.answer(HLP_GET_PRIM_LOG, packets);
    QVector<SPrimLogEntry> entries;
    LogCapture log;
    QVERIFY(!f.fan.getPrimLog(entries));
    for (const QString& line : lines)
        QCOMPARE(log.countExact(line), 1);
    QCOMPARE(entries.size(), kept);
}

void TestFanLogs::secLogRequest()
{
    Fan f;
    f.answer(HLP_GET_SEC_LOG, {secLogPacket<SSecLogEntry>(CLogging::EDay, 0, {})});
    QVector<SSecLogEntry> entries = secEntries(0, 3);
    LogCapture log;
    QVERIFY(f.fan.getSecLog(entries, CLogging::EDay, 0x0102, 0x0A0B));
    QVERIFY(entries.isEmpty());
    QCOMPARE(log.countExact("sizeof(SSecLogEntry):  32"), 1);
    QCOMPARE(log.countExact("\n======================"), 1);
    QByteArray expected(166, 0);
    expected[0] = 20;
    expected[1] = 1;
    expected[2] = 0x0B;
    expected[3] = 0x0A;
    expected[4] = 0x02;
    expected[5] = 0x01;
    QCOMPARE(f.requests().size(), 1);
    QCOMPARE(f.requests()[0].data, expected);
    QVERIFY(!(f.requests()[0].flags & LLF_REPEAT));
}

void TestFanLogs::secLogTrain_data()
{
    QTest::addColumn<QList<int>>("remaining");
    QTest::addColumn<int>("expected");
    QTest::addRow("empty") << QList<int>{0} << 0;
    QTest::addRow("exactly 5") << QList<int>{5} << 5;
    QTest::addRow("7 then 2") << QList<int>{7, 2} << 7;
    QTest::addRow("12, 7, 2") << QList<int>{12, 7, 2} << 12;
}

void TestFanLogs::secLogTrain()
{
    QFETCH(QList<int>, remaining);
    QFETCH(int, expected);
    Fan f;
    QList<QByteArray> packets;
    int next = 0;
    for (int r : remaining) {
        packets << secLogPacket(CLogging::EMonth, r, secEntries(next, 5));
        next += 5;
    }
    packets << secLogPacket(CLogging::EMonth, 5, secEntries(900, 5));
    f.answer(HLP_GET_SEC_LOG, packets);
    QVector<SSecLogEntry> entries;
    QVERIFY(f.fan.getSecLog(entries, CLogging::EMonth, 100, 0));
    QCOMPARE(warnLines(entries), range(0, expected));
}

void TestFanLogs::secLogFailures_data()
{
    QTest::addColumn<QList<QByteArray>>("packets");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("kept");
    const QByteArray first = secLogPacket(CLogging::EQuarterHour, 7, secEntries(0, 5));
    QTest::addRow("day entries to a quarter-hour request")
        << QList<QByteArray>{secLogPacket(CLogging::EDay, 3, secEntries(0, 3))}
        << QStringList{"CFan::getSecLog: time span mismatche!", "Expected:  0 , received:  1"} << 0;
    QTest::addRow("span changes in the second packet")
        << QList<QByteArray>{first, secLogPacket(CLogging::EMonth, 2, secEntries(5, 2))}
        << QStringList{"CFan::getSecLog: time span mismatche!", "Expected:  0 , received:  2"} << 5;
    QTest::addRow("164 bytes") << QList<QByteArray>{secLogPacket<SSecLogEntry>(0, 1, {}, 164)}
                               << QStringList{"CFan::getSecLog: Packet size mismatch",
                                              "Expected:  166 , got:  164"}
                               << 0;
    QTest::addRow("wrong packet") << QList<QByteArray>{primLogPacket(1, primEntries(0, 1))}
                                  << QStringList{"CFan::getSecLog: Received wrong packet"} << 0;
    QTest::addRow("train breaks off")
        << QList<QByteArray>{first}
        << QStringList{"CFan::getSecLog: Error getting the secondary log"} << 5;
}

void TestFanLogs::secLogFailures()
{
    QFETCH(QList<QByteArray>, packets);
    QFETCH(QStringList, lines);
    QFETCH(int, kept);
    Fan f;
    f.answer(HLP_GET_SEC_LOG, packets);
    QVector<SSecLogEntry> entries;
    LogCapture log;
    QVERIFY(!f.fan.getSecLog(entries, CLogging::EQuarterHour, 10, 0));
    for (const QString& line : lines)
        QCOMPARE(log.countExact(line), 1);
    QCOMPARE(entries.size(), kept);
}

// A device that keeps announcing more entries than any count can hold does not hold the tool
// forever: the train ends with false once it exceeds what a 16-bit count can announce.
void TestFanLogs::endlessTrainIsCutOff()
{
    Fan f;
    const QByteArray packet = primLogPacket(9, primEntries(0, 7));
    // The request, then every acknowledgement of a reply, is answered by another packet.
    f.peer.onPacket = [&](CLoopbackWire& w, const HostPacket&) { w.deliver(packet); };
    QVector<SPrimLogEntry> entries;
    LogCapture log;
    QVERIFY(!f.fan.getPrimLog(entries));
    QCOMPARE(log.countExact("CFan::getPrimLog: Primary log longer than any count can announce"), 1);
    QVERIFY(entries.size() <= 0xFFFF);
    QVERIFY(entries.size() > 0xFFFF - 7);
}

void TestFanLogs::notConnected()
{
    CFan fan;
    QVector<SPrimLogEntry> prim = primEntries(0, 2);
    QVector<SSecLogEntry> sec = secEntries(0, 2);
    LogCapture log;
    QVERIFY(!fan.getPrimLog(prim));
    QVERIFY(!fan.getSecLog(sec, CLogging::EDay, 10, 0));
    QCOMPARE(prim.size(), 2);
    QCOMPARE(sec.size(), 2);
    QVERIFY(log.lines().isEmpty());
}

QTEST_GUILESS_MAIN(TestFanLogs)
#include "tst_fanlogs.moc"
