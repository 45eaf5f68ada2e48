// The service requests of the device base: counters, clock, memory, secondary-log
// administration, sensor averaging and serial number.
#include "fanfixture.h"
#include "logcapture.h"

#include "device/uitext.h"

#include <QtTest>

namespace {
// A counters reply: remaining count and eight slots, the first `values` of them numbered from
// `firstValue`.
QByteArray countersReply(UINT32 remaining, UINT32 firstValue, int values = 8)
{
    QByteArray payload(36, 0);
    auto* p = reinterpret_cast<UINT8*>(payload.data());
    le::put32(p, remaining);
    for (int i = 0; i < values; ++i)
        le::put32(p + 4 + 4 * i, firstValue + UINT32(i));
    return hlpReply(HLP_GET_COUNTERS, payload);
}

QByteArray counterReply(UINT8 id, UINT8 action, UINT32 value)
{
    SHLP_ReadWriteSinglePersCounter r;
    r.m_CntID = id;
    r.m_Action = action;
    r.m_Value = value;
    QByteArray bytes(SHLP_ReadWriteSinglePersCounter::kSize, 0);
    r.toBytes(reinterpret_cast<UINT8*>(bytes.data()));
    return wirePacket(LLC_HLP, 0, bytes);
}
} // namespace

class TestFanService : public QObject
{
    Q_OBJECT

private slots:
    void countersTrain();
    void countersFaults_data();
    void countersFaults();
    void counterNames();
    void counterWrite_data();
    void counterWrite();
    void counterRead();
    void timer();
    void memoryDump();
    void secLogAdministration();
    void fireAndForgetRequests();
};

void TestFanService::countersTrain()
{
    FanOnLoopback f;
    f.answer(HLP_GET_COUNTERS,
             {countersReply(20, 100), countersReply(12, 108), countersReply(4, 116, 4)});
    QVERIFY(f.fan.getCounters());
    QCOMPARE(f.fan.counters().size(), 20);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(f.fan.getCounter(i), UINT32(100 + i));
    QCOMPARE(f.fan.getCounter(-1), 0xFFFFFFFFu);
    QCOMPARE(f.fan.getCounter(20), 0xFFFFFFFFu);
    // One request, whatever the length of the train; it uses the repeating one-byte form.
    QCOMPARE(f.requests().size(), 1);
    QVERIFY(f.requests()[0].flags & LLF_REPEAT);

    // A count of 0 empties the vector.
    f.answer(HLP_GET_COUNTERS, countersReply(0, 0, 0));
    QVERIFY(f.fan.getCounters());
    QVERIFY(f.fan.counters().isEmpty());
}

void TestFanService::countersFaults_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<int>("kept");
    QTest::addColumn<QString>("message");
    QTest::addRow("short packet") << QList<QByteArray>{hlpReply(HLP_GET_COUNTERS, "12345")} << 0
                                  << "CFan::getCounters: Packet size mismatch";
    QTest::addRow("wrong packet") << QList<QByteArray>{hlpReply(HLP_GET_TIMER, QByteArray(36, 0))}
                                  << 0 << "CFan::getCounters: Received wrong packet";
    // A failure part-way keeps what came before.
    QTest::addRow("train breaks off") << QList<QByteArray>{countersReply(12, 1)} << 8
                                      << "CFan::getCounters: Error getting the persistant counters";
}

void TestFanService::countersFaults()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, kept);
    QFETCH(QString, message);
    FanOnLoopback f;
    f.answer(HLP_GET_COUNTERS, replies);
    LogCapture log;
    QVERIFY(!f.fan.getCounters());
    QCOMPARE(f.fan.counters().size(), kept);
    QCOMPARE(log.countExact(message), 1);
    QVERIFY(log.lines().first().startsWith("CFan::getCounters at"));
}

void TestFanService::counterNames()
{
    FanOnLoopback f;
    f.answer(HLP_GET_COUNTERS,
             {countersReply(46, 0), countersReply(38, 0), countersReply(30, 0),
              countersReply(22, 0), countersReply(14, 0), countersReply(6, 0, 6)});
    QVERIFY(f.fan.getCounters());
    QCOMPARE(f.fan.counters().size(), 46);
    QCOMPARE(f.fan.counterName(0), QString("Number of Flash write cycles"));
    QCOMPARE(f.fan.counterName(36),
             QString("The secondary log with  1 day  per log has been erased"));
    QCOMPARE(f.fan.counterName(44), QString("Fan communication FCF"));
    QVERIFY(f.fan.counterName(45).isEmpty());
    QVERIFY(f.fan.counterName(46).isEmpty()); // not read
    QVERIFY(f.fan.counterName(-1).isEmpty());
    QCOMPARE(f.fan.counterName(12), uiText(75));

    // Language-table entries: system values and the flap diagnostics 50 + 6 * flap + property.
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(12), 75);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(21), 87);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(24), 84);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(29), 93);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(38), 89);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(50), 95);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(50 + 6 * 1 + 4), 112);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(73), 118);
    QCOMPARE(CPersCounter_ReadOnly::uiTextIndex(30), -1);
    QVERIFY(CPersCounter_ReadOnly::name(74).isEmpty());
}

void TestFanService::counterWrite_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("messages");
    QTest::addRow("echo") << counterReply(39, 1, 5) << true << QStringList{};
    QTest::addRow("other value") << counterReply(39, 1, 6) << false
                                 << QStringList{"CFan::counterValue (writing) received packet "
                                                "has wrong value"};
    QTest::addRow("refused") << counterReply(39, 2, 5) << false
                             << QStringList{"CFan::counterValue:: received packet has m_Action "
                                            "set to 'EError'"};
    QTest::addRow("6 bytes") << hlpReply(HLP_RW_PERS_COUNTER, "abcde") << false
                             << QStringList{"CFan::counterValue:: Packet size mismatch",
                                            "Expected: 7 , got: 6"};
    QTest::addRow("wrong packet") << hlpReply(HLP_GET_TIMER, "abcdef") << false
                                  << QStringList{"CFan::counterValue: Received wrong packet"};
}

void TestFanService::counterWrite()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, ok);
    QFETCH(QStringList, messages);
    FanOnLoopback f;
    f.answer(HLP_RW_PERS_COUNTER, reply);
    LogCapture log;
    UINT32 value = 5;
    QCOMPARE(
        f.fan.readWriteCounterValue(CPersCounter_ReadOnly::EMinSwitchOffTempDeicing, &value, true),
        ok);
    QCOMPARE(f.requests()[0].data, bytesOf({27, 39, 1, 5, 0, 0, 0}));
    QCOMPARE(log.lines().first(), QString("sizeof(SHLP_ReadWriteSinglePersCounter) 7"));
    for (const QString& m : messages)
        QCOMPARE(log.countExact(m), 1);
    QCOMPARE(value, 5u);
}

void TestFanService::counterRead()
{
    FanOnLoopback f;
    f.answer(HLP_RW_PERS_COUNTER, counterReply(40, 0, 0xDEADBEEF));
    UINT32 value = 0;
    QVERIFY(
        f.fan.readWriteCounterValue(CPersCounter_ReadOnly::EMinExhaustTempDeicing, &value, false));
    QCOMPARE(value, 0xDEADBEEFu);
    QCOMPARE(f.requests()[0].data, bytesOf({27, 40, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    // Writing needs a value; nothing is sent without one.
    QVERIFY(
        !f.fan.readWriteCounterValue(CPersCounter_ReadOnly::EMinExhaustTempDeicing, nullptr, true));
    QCOMPARE(f.requests().size(), 1);
}

void TestFanService::timer()
{
    FanOnLoopback f;
    f.answer(HLP_GET_TIMER, hlpReply(HLP_GET_TIMER, bytesOf({0xE7, 0x03, 59, 58, 23, 0x2C, 0x01})));
    QVERIFY(f.fan.getTimer(nullptr, nullptr, nullptr, nullptr, nullptr));
    QCOMPARE(f.peer.countCode(HLP_GET_TIMER), 1);

    UINT16 ms = 0, days = 0;
    UINT8 s = 0, m = 0, h = 0;
    QVERIFY(f.fan.getTimer(&ms, &s, &m, &h, &days));
    QCOMPARE(ms, UINT16(999));
    QCOMPARE(s, UINT8(59));
    QCOMPARE(m, UINT8(58));
    QCOMPARE(h, UINT8(23));
    QCOMPARE(days, UINT16(300));

    f.answer(HLP_GET_TIMER, hlpReply(HLP_GET_TIMER, bytesOf({1, 2, 3, 4, 5, 6})));
    LogCapture log;
    QVERIFY(!f.fan.getTimer(&ms, &s, &m, &h, &days));
    QCOMPARE(log.countExact("CFan::getTimer: Packet size mismatch"), 1);
    QCOMPARE(ms, UINT16(999));
}

void TestFanService::memoryDump()
{
    FanOnLoopback f;
    f.answer(HLP_REPORT_MEMORY, hlpReply(HLP_REPORT_MEMORY, "hello"));
    QVector<UINT8> out;
    QVERIFY(f.fan.reportMemory(0x20001000, 64, out));
    QCOMPARE(out, (QVector<UINT8>{'h', 'e', 'l', 'l', 'o'}));
    QCOMPARE(f.requests()[0].data, bytesOf({12, 0x00, 0x10, 0x00, 0x20, 64, 0, 0, 0}));

    f.answer(HLP_REPORT_MEMORY, hlpReply(HLP_GET_TIMER, "x"));
    LogCapture log;
    QVERIFY(!f.fan.reportMemory(0, 1, out));
    QCOMPARE(log.countExact("CFan::reportMemory: Received wrong packet"), 1);
    QCOMPARE(out.size(), 5);
}

void TestFanService::secLogAdministration()
{
    FanOnLoopback f;
    SHLP_GetSecLogCnt counts;
    for (int i = 0; i < 3; ++i) {
        counts.m_Size[i] = UINT16(1000 + i);
        counts.m_Used[i] = UINT16(500 + i);
        counts.m_Oldest[i] = UINT16(7 + i);
    }
    QByteArray bytes(SHLP_GetSecLogCnt::kSize, 0);
    counts.toBytes(reinterpret_cast<UINT8*>(bytes.data()));
    f.answer(HLP_GET_SEC_LOG_CNT, wirePacket(LLC_HLP, 0, bytes));
    UINT16 size[3] = {}, used[3] = {}, oldest[3] = {};
    QVERIFY(f.fan.getSecLogCnt(size, used, oldest));
    QCOMPARE(f.requests()[0].data, QByteArray(1, char(24)) + QByteArray(19, 0));
    QCOMPARE(size[2], UINT16(1002));
    QCOMPARE(used[1], UINT16(501));
    QCOMPARE(oldest[0], UINT16(7));
    QVERIFY(f.fan.getSecLogCnt(nullptr, used, nullptr));

    f.answer(HLP_GET_SEC_LOG_CNT, hlpReply(HLP_GET_SEC_LOG_CNT, QByteArray(18, 0)));
    LogCapture log;
    QVERIFY(!f.fan.getSecLogCnt(size, used, oldest));
    QCOMPARE(log.countExact("Expected: 20 , got: 19"), 1);
    QCOMPARE(size[2], UINT16(1002));

    f.answer(HLP_CHECK_SEC_LOG, hlpReply(HLP_CHECK_SEC_LOG, bytesOf({2, 9})));
    quint8 result = 0;
    QVERIFY(f.fan.checkSecLog(CLogging::EMonth, result));
    QCOMPARE(result, quint8(9));
    QCOMPARE(f.requests().last().data, bytesOf({23, 2, 0}));

    f.answer(HLP_CHECK_SEC_LOG, hlpReply(HLP_CHECK_SEC_LOG, bytesOf({2, 1, 0})));
    log.clear();
    QVERIFY(!f.fan.checkSecLog(CLogging::EMonth, result));
    QCOMPARE(log.countExact("CFan::checkSecLog:: Packet size mismatch"), 1);
    QCOMPARE(result, quint8(9));

    QVERIFY(f.fan.eraseSecLog(CLogging::EDay));
    QCOMPARE(f.requests().last().data, bytesOf({21, 1}));
    QVERIFY(!(f.requests().last().flags & LLF_REPEAT));
}

void TestFanService::fireAndForgetRequests()
{
    FanOnLoopback f;
    QVERIFY(f.fan.calcAveSenVal());
    QCOMPARE(f.requests().last().data, bytesOf({22}));

    QVERIFY(!f.fan.setSerialNumber(0));
    QCOMPARE(f.requests().size(), 1);
    QVERIFY(f.fan.setSerialNumber(0x01020304));
    QCOMPARE(f.requests().last().data,
             bytesOf({3, 4, 3, 2, 1}) + QByteArray(SHLP_IdentData::kSize - 5, 0));

    // Without acknowledgement the record request fails after its single attempt.
    f.peer.autoAck = false;
    LogCapture log;
    QVERIFY(!f.fan.eraseSecLog(CLogging::EQuarterHour));
    QCOMPARE(f.peer.countCode(HLP_ERASE_SEC_LOG), 1);
    QCOMPARE(log.countExact("CFan::eraseSecLog: Error sending request for secondary log"), 1);
    QVERIFY(!f.fan.calcAveSenVal());
    QCOMPARE(log.countExact("CFan::calcAveSenVal: Error sending request for calculate sensor "
                            "values"),
             1);
}

QTEST_GUILESS_MAIN(TestFanService)
#include "tst_fanservice.moc"
