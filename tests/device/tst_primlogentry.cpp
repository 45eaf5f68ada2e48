// Decoding of the 100-series state record from hand-made bytes.
#include "device/primlogentry.h"

#include <QtTest>

class TestPrimLogEntry : public QObject
{
    Q_OBJECT

private slots:
    void temperaturesAndErrorState();
    void pressure();
    void bytes10To15();
    void fansAndFlags();
    void dipErrorAndVentControl();
    void settersRoundTrip();
};

namespace {
SPrimLogEntry entryWith(std::initializer_list<std::pair<int, int>> bytes)
{
    SPrimLogEntry e;
    for (const auto& b : bytes)
        e.m_Bytes[b.first] = UINT8(b.second);
    return e;
}
} // namespace

void TestPrimLogEntry::temperaturesAndErrorState()
{
    // -1.000 degC in the supply word; the error state above it is 0.
    auto e = entryWith({{0, 0xF8}, {1, 0x07}});
    QCOMPARE(e.supplyTempRaw(), -8);
    QCOMPARE(e.supplyTemp(), -1.0);
    QCOMPARE(e.errorState(), 0);

    // The same temperature with error state 22 above it, and the extremes in the other words.
    e = entryWith({{0, 0xF8},
                   {1, 0x07 | (22 << 3)},
                   {2, 0x00},
                   {3, 0x04},
                   {4, 0xFF},
                   {5, 0x03},
                   {6, 0x01},
                   {7, 0xF8},
                   {8, 0xA4},
                   {9, 0x00}});
    QCOMPARE(e.supplyTemp(), -1.0);
    QCOMPARE(e.errorState(), 22);
    QCOMPARE(e.outdoorTemp(), -128.0);  // 0x400
    QCOMPARE(e.exhaustTemp(), 127.875); // 0x3FF
    QCOMPARE(e.extractTempRaw(), 1);    // upper bits are not part of it
    QCOMPARE(e.ventPosBypass(), 31);    // ... but the bypass vent position
    QCOMPARE(e.supplyTempVirt(), 20.5); // 0xA4 = 164 eighths
    QCOMPARE(e.pressureHigh(), 0);
}

void TestPrimLogEntry::pressure()
{
    QCOMPARE(entryWith({{3, 0xF8}, {9, 0x78}}).pressure(), 1211);
    QCOMPARE(entryWith({}).pressure(), 700);
    const auto e = entryWith({{3, 0x10}, {9, 0x88}}); // high 2, low 1, de-icing on
    QCOMPARE(e.pressure(), 700 + 32 + 1);
    QVERIFY(e.deicing());
}

void TestPrimLogEntry::bytes10To15()
{
    const auto e = entryWith({{5, 25 << 3},
                              {10, 0x80 | 55},
                              {11, 127},
                              {12, 255},
                              {13, (7 << 5) | 26},
                              {14, (5 << 5) | 1},
                              {15, (20 << 3) | 6}});
    QCOMPARE(e.ventPosExtract(), 25);
    QCOMPARE(e.outdoorHum(), 55);
    QVERIFY(e.filterSupplyFull());
    QCOMPARE(e.extractHum(), 127);
    QVERIFY(!e.filterExtractFull());
    QCOMPARE(e.co2(), 4080);
    QCOMPARE(e.ventPosBath(), 26);
    QCOMPARE(e.comfortLevel(), 8);
    QCOMPARE(entryWith({}).comfortLevel(), 1);
    QCOMPARE(e.ventPosSupply(), 1);
    QCOMPARE(e.operationMode(), 5);
    QCOMPARE(e.program(), 6);
    QCOMPARE(e.airFlowCode(), 20);
}

void TestPrimLogEntry::fansAndFlags()
{
    // Extract fan 4095 with limit code 15 above it; supply fan 1234 with all four flags.
    const auto e = entryWith({{16, 0xFF}, {17, 0xFF}, {18, 0xD2}, {19, 0xF4}});
    QCOMPARE(e.fanExtractRPM(), 4095);
    QCOMPARE(e.fanLimit(), 150);
    QCOMPARE(e.fanSupplyRPM(), 1234);
    QVERIFY(e.humReductionMode() && e.fanLimitActive() && e.secondRoomOver20() &&
            e.sumCoolBypassOpen());
    const auto f = entryWith({{19, 0x20}});
    QVERIFY(!f.humReductionMode() && f.fanLimitActive() && !f.secondRoomOver20() &&
            !f.sumCoolBypassOpen());
}

void TestPrimLogEntry::dipErrorAndVentControl()
{
    const auto e = entryWith(
        {{20, 0x53}, {21, (63 << 2) | 2}, {22, 0xFF}, {23, 0xF3}, {24, 0x80}, {25, 0xE4}});
    QCOMPARE(e.dipSwitch(), 0x53);
    QCOMPARE(e.secondRoomExtractCode(), 3);
    QCOMPARE(e.roomAreaCode(), 5);
    QCOMPARE(e.defrostState(), 2);
    QCOMPARE(e.errorFileNr(), 63);
    QCOMPARE(e.errorLineNr(), 1023);
    QVERIFY(e.noCO2Sensor());
    QCOMPARE(e.dipSwitch2(), 7);
    QCOMPARE(e.errorCode(), -128);
    QCOMPARE(e.ventCtrlSetExtract(), 0);
    QCOMPARE(e.ventCtrlSetBath(), 1);
    QCOMPARE(e.ventCtrlSetSupply(), 2);
    QCOMPARE(e.ventCtrlSetBypass(), 3);
}

// The setters write only their own bits: building an entry field by field gives the values
// back and leaves neighbouring fields intact.
void TestPrimLogEntry::settersRoundTrip()
{
    SPrimLogEntry e;
    e.setErrorState(21);
    e.setSupplyTempRaw(-8);
    e.setPressure(1211);
    e.setDeicing(true);
    e.setSupplyTempVirtRaw(-1024);
    e.setFanExtractRPM(3000);
    e.setFanLimitCode(9);
    e.setErrorLineNr(517);
    e.setNoCO2Sensor(true);
    e.setDipSwitch2(5);
    QCOMPARE(e.supplyTempRaw(), -8);
    QCOMPARE(e.errorState(), 21);
    QCOMPARE(e.pressure(), 1211);
    QVERIFY(e.deicing());
    QCOMPARE(e.supplyTempVirtRaw(), -1024);
    QCOMPARE(e.fanExtractRPM(), 3000);
    QCOMPARE(e.fanLimitCode(), 9);
    QCOMPARE(e.errorLineNr(), 517);
    QVERIFY(e.noCO2Sensor());
    QCOMPARE(e.dipSwitch2(), 5);
    e.setPressure(600);
    QCOMPARE(e.pressure(), 700);
    QVERIFY(e.deicing());
}

QTEST_GUILESS_MAIN(TestPrimLogEntry)
#include "tst_primlogentry.moc"
