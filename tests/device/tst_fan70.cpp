// The 70-series device object: identity, current state and simulation values.
#include "device/fan_70_pc.h"
#include "logcapture.h"
#include "modelfixture.h"

#include <QtTest>

using Fan70 = ModelOnLoopback<CFan_70_PC>;

class TestFan70 : public QObject
{
    Q_OBJECT

private slots:
    void identity();
    void currentState();
    void currentStateSizes_data();
    void currentStateSizes();
    void simulationValues();
};

void TestFan70::identity()
{
    CFan_70_PC fan;
    QCOMPARE(fan.modelName(), QString("ventaro plus"));
    QCOMPARE(fan.modelType(), 1);
    CFanBase& base = fan;
    QCOMPARE(QString(base.ventReasonName(4)), QString("VenCO2"));
    QCOMPARE(QString(base.ventReasonName(6)), QString("CO2Inp"));
    QCOMPARE(QString(base.ventReasonName(7)), QString("HCO2In"));
    QCOMPARE(QString(base.ventReasonName(8)), QString("- ?? -"));
    QCOMPARE(QString(base.ventReasonName(-1)), QString("- ?? -"));
    SPrimLogEntry_70 state;
    QVERIFY(!fan.getCurrentState(state)); // not connected
}

void TestFan70::currentState()
{
    Fan70 f;
    SPrimLogEntry_70 state;
    state.setTExtRaw(-12);
    state.setRpm(4095);
    state.m_Bytes[12] = 0xA5; // not read, carried unchanged
    f.answer(HLP_GET_CURRENT_STATE,
             {hlpReply(HLP_GET_CURRENT_STATE, QByteArray(1, 0) + recordBytes(state))});
    SPrimLogEntry_70 entry;
    QVERIFY(f.fan.getCurrentState(entry));
    QCOMPARE(entry.tExt(), -1.5);
    QCOMPARE(entry.rpm(), 4095);
    QCOMPARE(entry.m_Bytes[12], UINT8(0xA5));
    QCOMPARE(f.requests().size(), 1);
    QCOMPARE(f.requests()[0].data, QByteArray(1, char(19)));
}

// The 100-series size (28) and one too many are both refused; the entry stays as it was.
void TestFan70::currentStateSizes_data()
{
    QTest::addColumn<int>("size");
    QTest::addRow("100-series 28") << 28;
    QTest::addRow("31") << 31;
}

void TestFan70::currentStateSizes()
{
    QFETCH(int, size);
    Fan70 f;
    f.answer(HLP_GET_CURRENT_STATE,
             {hlpReply(HLP_GET_CURRENT_STATE, QByteArray(size - 1, char(0x77)))});
    SPrimLogEntry_70 entry;
    entry.setRpm(12);
    LogCapture log;
    QVERIFY(!f.fan.getCurrentState(entry));
    QCOMPARE(entry.rpm(), 12);
    QCOMPARE(log.countExact("CFan::getCurrentState:: Packet size mismatch"), 1);
    QCOMPARE(log.countExact(QString("Expected:  30 , got:  %1").arg(size)), 1);
}

void TestFan70::simulationValues()
{
    Fan70 f;
    SHLP_SetSimulationValues_70 values;
    QCOMPARE(values.m_Words[11], UINT16(0));
    values.m_Bytes[0] = 3;
    values.m_Bytes[3] = 0xFE;
    values.m_Words[0] = 0x1234;
    values.m_Words[5] = 0xFFF8;
    LogCapture log;
    QVERIFY(f.fan.setSimulationValues(values));
    QCOMPARE(log.countExact("sizeof(SHLP_SetSimulationValues_70) 30"), 1);
    QByteArray expected(30, 0);
    expected[0] = 16;
    expected[1] = 3;
    expected[4] = char(0xFE);
    expected[6] = 0x34;
    expected[7] = 0x12;
    expected[16] = char(0xF8);
    expected[17] = char(0xFF);
    QCOMPARE(f.requests().size(), 1);
    QCOMPARE(f.requests()[0].data, expected);
    QVERIFY(!(f.requests()[0].flags & LLF_REPEAT));
}

QTEST_GUILESS_MAIN(TestFan70)
#include "tst_fan70.moc"
