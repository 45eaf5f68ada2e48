#include "device/primlogentry.h"
#include "logcapture.h"
#include "values/datadict.h"
#include "values/fanvalues.h"

#include <QLocale>
#include <QtTest>

namespace {

// A running device: 21 degC room, 1 degC outside, 90 m3/h, no internal error (version 3.5).
SPrimLogEntry runningRecord()
{
    SPrimLogEntry e;
    e.setExtractTempRaw(21 * 8);
    e.setOutdoorTempRaw(1 * 8);
    e.setSupplyTempVirtRaw(17 * 8);
    e.setSupplyTempRaw(16 * 8);
    e.setExhaustTempRaw(5 * 8);
    e.setExtractHum(45);
    e.setOutdoorHum(80);
    e.setFanSupplyRPM(1200);
    e.setFanExtractRPM(1100);
    e.setAirFlowCode(20);
    e.setFanLimitCode(9);
    return e;
}

} // namespace

class TestFanValues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodesEveryField();
    void operationMode_data();
    void operationMode();
    void program_data();
    void program();
    void reductionReason_data();
    void reductionReason();
    void errorState_data();
    void errorState();
    void airFlow_data();
    void airFlow();
    void roomArea();
    void softwareVersion();
    void entriesWithoutValue();
    void defaultState();
    void recovery_data();
    void recovery();
};

void TestFanValues::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestFanValues::decodesEveryField()
{
    // Bytes chosen so that neighbouring fields hold different, non-zero values.
    // clang-format off
    const UINT8 bytes[SPrimLogEntry::kSize] = {
        0xF8, 0x27,     // SupplyTemp -1.0 degC, ErrorState 4
        0xEC, 0xFF,     // OutdoorTemp -2.5 degC, PressureHigh 31
        0x28, 0xC8,     // ExhaustTemp 5.0 degC, VentPosExtract 25
        0xA8, 0xF8,     // ExtractTemp 21.0 degC, VentPosBypass 31
        0x84, 0xB8,     // SupplyTempVirt 16.5 degC, PressureLow 7, Deicing
        0x80 | 33,      // OutdoorHum 33, FilterSupplyFull
        55,             // ExtractHum 55, FilterExtractFull clear
        50,             // CO2 800 ppm
        0x60 | 26,      // VentPosBath 26, ComfortLevel stored 3
        0x40 | 1,       // VentPosSupply 1, OperationMode 2
        (17 << 3) | 3,  // AirFlowCode 17, Program 3
        0x34, 0x52,     // FanExtractRPM 0x234, FanLimit 5
        0xC8, 0xFA,     // FanSupplyRPM 0xAC8, all four flags
        0x53,           // DIPSwitch: room area code 5, second room code 3
        (12 << 2) | 2,  // ErrorFileNr 12, DefrostState 2
        0xFF, 0xB2,     // ErrorLineNr 0x2FF, NoCO2Sensor, DIPSwitch2 5
        0xF6,           // ErrorCode -10
        0x1B,           // VentCtrlSet: extract 3, bath 2, supply 1, bypass 0
    };
    // clang-format on
    LogCapture log;
    const CFanValues v(SPrimLogEntry::fromBytes(bytes));

    QCOMPARE(v.value(DictIndex::SupplyTemp).toDouble(), -1.0);
    QCOMPARE(v.value(DictIndex::OutdoorTemp).toDouble(), -2.5);
    QCOMPARE(v.value(DictIndex::ExhaustTemp).toDouble(), 5.0);
    QCOMPARE(v.value(DictIndex::ExtractTemp).toDouble(), 21.0);
    QCOMPARE(v.value(DictIndex::SupplyTempVirt).toDouble(), 16.5);
    QCOMPARE(v.value(DictIndex::ExtractTemp).userType(), int(QMetaType::Double));
    QCOMPARE(v.errorState(), 4);
    QCOMPARE(v.value(DictIndex::Pressure), QVariant(700 + 16 * 31 + 7));
    QCOMPARE(v.value(DictIndex::Deicing), QVariant(1));
    QCOMPARE(v.value(DictIndex::VentPosExtract), QVariant(25));
    QCOMPARE(v.value(DictIndex::VentPosBypass), QVariant(31));
    QCOMPARE(v.value(DictIndex::VentPosBath), QVariant(26));
    QCOMPARE(v.value(DictIndex::VentPosSupply), QVariant(1));
    QCOMPARE(v.value(DictIndex::OutdoorHum), QVariant(33));
    QCOMPARE(v.value(DictIndex::FilterSupplyFull), QVariant(1));
    QCOMPARE(v.value(DictIndex::ExtractHum), QVariant(55));
    QCOMPARE(v.value(DictIndex::FilterExtractFull), QVariant(0));
    QCOMPARE(v.value(DictIndex::CO2), QVariant(800));
    QCOMPARE(v.value(DictIndex::ComfortLevel), QVariant(4));
    QCOMPARE(v.operationMode(), 2);
    QCOMPARE(v.program(), 3);
    QCOMPARE(v.value(DictIndex::ExtractAirFlow), QVariant(17));
    QCOMPARE(v.value(DictIndex::FanExtractRPM), QVariant(0x234));
    QCOMPARE(v.fanLimit(), 50);
    QCOMPARE(v.value(DictIndex::FanSupplyRPM), QVariant(0xAC8));
    QCOMPARE(v.value(DictIndex::HumReductionMode), QVariant(true));
    QVERIFY(v.fanLimitActive());
    QVERIFY(v.secondRoomOver20());
    QCOMPARE(v.value(DictIndex::SumCoolBypassOpen), QVariant(true));
    QCOMPARE(v.value(DictIndex::DIPSwitch), QVariant(0x53));
    QCOMPARE(v.value(DictIndex::RoomArea), QVariant(75));
    QCOMPARE(v.value(DictIndex::Max2ndRoomExtract), QVariant(90));
    QCOMPARE(v.defrostState(), 2);
    QCOMPARE(v.value(DictIndex::ErrorFileNr), QVariant(12u));
    QCOMPARE(v.value(DictIndex::ErrorLineNr), QVariant(0x2FFu));
    QCOMPARE(v.value(DictIndex::SW_Version), QVariant(QStringLiteral("0.0")));
    QCOMPARE(log.count(QStringLiteral("SW_Version")), 0);
    QCOMPARE(v.value(DictIndex::NoCO2Sensor), QVariant(true));
    QCOMPARE(v.value(DictIndex::DIPSwitch2), QVariant(5u));
    QCOMPARE(v.value(DictIndex::ErrorCode), QVariant(-10));
    QCOMPARE(v.value(DictIndex::VentCtrlSetExtract), QVariant(3));
    QCOMPARE(v.value(DictIndex::VentCtrlSetBath), QVariant(2));
    QCOMPARE(v.value(DictIndex::VentCtrlSetSupply), QVariant(1));
    QCOMPARE(v.value(DictIndex::VentCtrlSetBypass), QVariant(0));
}

void TestFanValues::operationMode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("label");
    const char* labels[] = {"cmf", "cm1", "slp", "trb", "trc", "svc", "tst", "mnu"};
    for (int code = 0; code < 8; ++code)
        QTest::addRow("%d", code) << code << QString::fromLatin1(labels[code]);
}

void TestFanValues::operationMode()
{
    QFETCH(int, code);
    QFETCH(QString, label);
    SPrimLogEntry e;
    e.setOperationMode(code);
    QCOMPARE(CFanValues(e).value(DictIndex::OperationMode).toString(), label);
}

void TestFanValues::program_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("label");
    const char* labels[] = {"mve", "hrr", "hra", "col", "co2", "", "", ""};
    for (int code = 0; code < 8; ++code)
        QTest::addRow("%d", code) << code << QString::fromLatin1(labels[code]);
}

void TestFanValues::program()
{
    QFETCH(int, code);
    QFETCH(QString, label);
    SPrimLogEntry e;
    e.setProgram(code);
    const QVariant value = CFanValues(e).value(DictIndex::Program);
    QVERIFY(value.isValid());
    QCOMPARE(value.toString(), label);
}

void TestFanValues::reductionReason_data()
{
    QTest::addColumn<int>("program");
    QTest::addColumn<int>("defrost");
    QTest::addColumn<QString>("label");

    QTest::addRow("water insertion") << 5 << 0 << "win";
    QTest::addRow("cold outside") << 6 << 0 << "otb";
    QTest::addRow("humidity input") << 7 << 0 << "hin";
    QTest::addRow("program wins over defrost") << 6 << 1 << "otb";
    QTest::addRow("defrost by bypass") << 2 << 1 << "dfr";
    QTest::addRow("defrost supply side") << 0 << 2 << "dfs";
    QTest::addRow("defrost code 3") << 4 << 3 << "";
    QTest::addRow("none") << 3 << 0 << "";
}

void TestFanValues::reductionReason()
{
    QFETCH(int, program);
    QFETCH(int, defrost);
    QFETCH(QString, label);
    SPrimLogEntry e;
    e.setProgram(program);
    e.setDefrostState(defrost);
    QCOMPARE(CFanValues(e).value(DictIndex::ReductionReason).toString(), label);
}

void TestFanValues::errorState_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("label");

    QTest::addRow("ok") << 0 << 92 << "ok";
    QTest::addRow("supply sensor") << 4 << 99 << "Err-TSU";
    QTest::addRow("outdoor sensor") << 5 << 96 << "Err-TOU";
    QTest::addRow("outdoor humidity") << 6 << 100 << "Err-HOU";
    QTest::addRow("fire") << 21 << 113 << "Fire";
    QTest::addRow("wlan") << 22 << 119 << "Err-WiFi";
    QTest::addRow("no entry") << 23 << -1 << "";
    QTest::addRow("highest") << 31 << -1 << "";
}

void TestFanValues::errorState()
{
    QFETCH(int, code);
    QFETCH(int, entry);
    QFETCH(QString, label);
    SPrimLogEntry e;
    e.setErrorState(code);
    QCOMPARE(CFanValues::errorStateIndex(code), entry);
    const QVariant value = CFanValues(e).value(DictIndex::ErrorState);
    QVERIFY(value.isValid());
    QCOMPARE(value.toString(), label);
}

void TestFanValues::airFlow_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("fanLimit");
    QTest::addColumn<int>("flow");

    QTest::addRow("flow is the fan limit") << 20 << 9 << 90;
    QTest::addRow("fan limit zero") << 20 << 0 << 0;
    QTest::addRow("20/60 pattern") << 1 << 9 << 0;
    QTest::addRow("plain") << 19 << 9 << 19;
    QTest::addRow("highest") << 31 << 15 << 31;
}

void TestFanValues::airFlow()
{
    QFETCH(int, code);
    QFETCH(int, fanLimit);
    QFETCH(int, flow);
    SPrimLogEntry e;
    e.setAirFlowCode(code);
    e.setFanLimitCode(fanLimit);
    QCOMPARE(CFanValues(e).value(DictIndex::ExtractAirFlow), QVariant(flow));
}

void TestFanValues::roomArea()
{
    const int areas[] = {20, 25, 35, 45, 60, 75, 1, 2};
    for (int code = 0; code < 8; ++code) {
        SPrimLogEntry e;
        e.setDipSwitch((code << 4) | 0x80 | 0x0C); // bit 7 and bits 2-3 belong to neither
        const CFanValues v(e);
        QCOMPARE(v.value(DictIndex::RoomArea), QVariant(areas[code]));
        QCOMPARE(v.value(DictIndex::Max2ndRoomExtract), QVariant(0));
    }
}

void TestFanValues::softwareVersion()
{
    SPrimLogEntry e;
    UINT8 bytes[SPrimLogEntry::kSize] = {};
    bytes[22] = 0x85;
    bytes[23] = 0x01 | 0xF0; // version bits, plus NoCO2Sensor and DIPSwitch2 7 above them
    e = SPrimLogEntry::fromBytes(bytes);
    {
        LogCapture log;
        const CFanValues v(e);
        QCOMPARE(v.value(DictIndex::SW_Version), QVariant(QStringLiteral("3.5")));
        QCOMPARE(v.swVersionMajor(), 3);
        QCOMPARE(v.swVersionMinor(), 5);
        QCOMPARE(v.value(DictIndex::ErrorLineNr), QVariant(0u));
        QCOMPARE(v.value(DictIndex::DIPSwitch2), QVariant(7u));
        QCOMPARE(v.value(DictIndex::NoCO2Sensor), QVariant(true));
        QCOMPARE(log.countExact(QStringLiteral("SW_Version Prim Log 389")), 1);
    }
    e.setErrorLineNr(0x3FF);
    QCOMPARE(CFanValues(e).value(DictIndex::SW_Version), QVariant(QStringLiteral("7.127")));
}

void TestFanValues::entriesWithoutValue()
{
    const CFanValues v(runningRecord());
    const QList<int> valued = {2,   12,  21,  28,  29,  30,  31,  32,  34,  35,  36,  37,  39,
                               41,  42,  43,  46,  47,  49,  50,  56,  90,  91,  122, 123, 124,
                               125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 136, 141};
    for (int index = -1; index <= DictIndex::Count; ++index)
        QVERIFY2(v.value(index).isValid() == valued.contains(index),
                 qPrintable(QString::number(index)));
    QVERIFY(!v.value(DictIndex::RecoveryPercent).isValid());
}

void TestFanValues::defaultState()
{
    SPrimLogEntry e;
    e.setExtractHum(50);
    e.setOutdoorHum(50);
    QVERIFY(CFanValues(e).isDefaultState());

    SPrimLogEntry running = e;
    running.setFanExtractRPM(1);
    QVERIFY(!CFanValues(running).isDefaultState());
    running = e;
    running.setFanSupplyRPM(1);
    QVERIFY(!CFanValues(running).isDefaultState());
    running = e;
    running.setOutdoorHum(51);
    QVERIFY(!CFanValues(running).isDefaultState());
    running = e;
    running.setExtractHum(49);
    QVERIFY(!CFanValues(running).isDefaultState());
}

void TestFanValues::recovery_data()
{
    QTest::addColumn<int>("extract"); // 1/8 degC
    QTest::addColumn<int>("outdoor");
    QTest::addColumn<int>("supplyVirt");
    QTest::addColumn<int>("airFlowCode");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("watt");
    QTest::addColumn<int>("lossWatt");

    // 90 m3/h, 20 K: 16 K recovered, 4 K lost.
    QTest::addRow("winter") << 168 << 8 << 136 << 20 << 80 << 480 << 120;
    QTest::addRow("under 2 K") << 168 << 160 << 100 << 20 << 100 << 0 << 255;
    QTest::addRow("just 2 K") << 168 << 152 << 160 << 20 << 50 << 30 << 30;
    QTest::addRow("no air flow") << 168 << 8 << 136 << 1 << 100 << 0 << 0;
    QTest::addRow("capped at 100") << 168 << 8 << 200 << 20 << 100 << 720 << -119;
    // Negative results: adding 0.5 and truncating toward zero takes -10 to -9, -60 W to -59.
    QTest::addRow("below zero") << 168 << 8 << -8 << 20 << -9 << -59 << 660;
    // Summer: outside warmer than the room.
    QTest::addRow("summer") << 160 << 240 << 176 << 20 << 80 << -239 << -59;
    // 10 m3/h x 0.125 K / 3 = 0.42 W rounds to 0, x 0.25 K = 0.83 W to 1.
    QTest::addRow("rounding") << 168 << 8 << 167 << 10 << 99 << 66 << 0;
    QTest::addRow("rounding up") << 168 << 8 << 166 << 10 << 99 << 66 << 1;
}

void TestFanValues::recovery()
{
    QFETCH(int, extract);
    QFETCH(int, outdoor);
    QFETCH(int, supplyVirt);
    QFETCH(int, airFlowCode);
    QFETCH(int, percent);
    QFETCH(int, watt);
    QFETCH(int, lossWatt);

    SPrimLogEntry e = runningRecord();
    e.setExtractTempRaw(extract);
    e.setOutdoorTempRaw(outdoor);
    e.setSupplyTempVirtRaw(supplyVirt);
    e.setAirFlowCode(airFlowCode);
    const CFanValues v(e);
    QCOMPARE(v.recoveryPercent(), percent);
    QCOMPARE(v.recoveryWatt(), watt);
    QCOMPARE(v.recoveryLossWatt(), lossWatt);
}

QTEST_GUILESS_MAIN(TestFanValues)
#include "tst_fanvalues.moc"
