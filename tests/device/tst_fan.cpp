// The 100-series requests: current state, vents, WiFi, network credentials, simulation values.
#include "fanfixture.h"
#include "logcapture.h"

#include <QtTest>

class TestFan : public QObject
{
    Q_OBJECT

private slots:
    void currentState();
    void replyLengthMismatch_data();
    void replyLengthMismatch();
    void ventInfo();
    void wifiData();
    void networkCredentials();
    void networkCredentialLimits_data();
    void networkCredentialLimits();
    void fireAndForget();
};

void TestFan::currentState()
{
    FanOnLoopback f;
    SPrimLogEntry state;
    state.setSupplyTempRaw(-8);
    state.setPressure(1013);
    state.setFanSupplyRPM(1500);
    QByteArray payload(1, 0); // alignment byte
    payload += QByteArray(reinterpret_cast<const char*>(state.bytes()), SPrimLogEntry::kSize);
    f.answer(HLP_GET_CURRENT_STATE, hlpReply(HLP_GET_CURRENT_STATE, payload));
    SPrimLogEntry entry;
    QVERIFY(f.fan.getCurrentState(entry));
    QCOMPARE(entry.supplyTemp(), -1.0);
    QCOMPARE(entry.pressure(), 1013);
    QCOMPARE(entry.fanSupplyRPM(), 1500);
    QCOMPARE(f.requests()[0].data, bytesOf({19}));
}

// Every fixed-size reply is checked before a byte is used: a wrong length leaves the outputs
// as they were and names the expected size.
using Request = std::function<bool(CFan&)>;
Q_DECLARE_METATYPE(Request)

void TestFan::replyLengthMismatch_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("payloadSize");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<Request>("request");

    const Request state = [](CFan& f) {
        SPrimLogEntry e;
        e.setErrorCode(-5);
        const bool ok = f.getCurrentState(e);
        return ok || e.errorCode() != -5;
    };
    const Request vents = [](CFan& f) {
        CVents::SVentInfo info[4];
        info[3].m_Bytes[27] = 9;
        const bool ok = f.getVentInfo(info);
        return ok || info[3].runTimeOpen() != 9;
    };
    const Request wifi = [](CFan& f) {
        qint8 rssi = 1;
        quint8 a = 7, b = 7;
        const bool ok = f.getWifiDataDebug(rssi, a, b);
        return ok || rssi != 1 || a != 7 || b != 7;
    };
    const QString stateMsg = "CFan::getCurrentState:: Packet size mismatch";
    QTest::addRow("state 26") << 19 << 25 << stateMsg << "Expected:  28 , got:  26" << state;
    QTest::addRow("state 30") << 19 << 29 << stateMsg << "Expected:  28 , got:  30" << state;
    QTest::addRow("vents 144") << 25 << 143 << "CFan::getVentInfo: Packet size mismatch"
                               << "Expected:  146 , got:  144" << vents;
    QTest::addRow("wifi 169") << 26 << 168 << "CFan::getWifiData: Packet size mismatch"
                              << "Expected:  170 , got:  169" << wifi;
    QTest::addRow("state wrong packet")
        << 14 << 27 << "CFan::getCurrentState: Received wrong packet" << QString() << state;
    QTest::addRow("wifi no reply")
        << 0 << 0 << "CFan::getWifiData: Error getting the wifi data" << QString() << wifi;
}

void TestFan::replyLengthMismatch()
{
    QFETCH(int, code);
    QFETCH(int, payloadSize);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QFETCH(Request, request);
    FanOnLoopback f;
    // Answer whatever is asked with the given reply code and size.
    f.peer.onPacket = [&](CLoopbackWire& w, const HostPacket& p) {
        if (!p.isAck() && code != 0)
            w.deliver(hlpReply(UINT8(code), QByteArray(payloadSize, char(0x55))));
    };
    LogCapture log;
    QVERIFY(!request(f.fan));
    QCOMPARE(log.countExact(message), 1);
    if (!expected.isEmpty())
        QCOMPARE(log.countExact(expected), 1);
}

void TestFan::ventInfo()
{
    FanOnLoopback f;
    QByteArray payload(1 + 4 * CVents::SVentInfo::kSize, 0);
    auto* vent = reinterpret_cast<UINT8*>(payload.data()) + 1;
    for (int i = 0; i < 4; ++i, vent += CVents::SVentInfo::kSize) {
        le::put32(vent + 12, 100000u + UINT32(i));
        le::put32(vent + 16, 0xFFFFFFF0u + UINT32(i));
        vent[25] = UINT8((i + 1) << 4 | (15 - i));
        vent[27] = UINT8(40 + i);
        vent[28] = UINT8(200 + i);
        le::put16(vent + 32, UINT16(65535 - i));
        vent[35] = UINT8(i); // not interpreted, passed through
    }
    f.answer(HLP_GET_VENT_INFO, hlpReply(HLP_GET_VENT_INFO, payload));
    CVents::SVentInfo info[4];
    QVERIFY(f.fan.getVentInfo(info));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(info[i].speedSumOpen(), 100000u + UINT32(i));
        QCOMPARE(info[i].speedSumClose(), 0xFFFFFFF0u + UINT32(i));
        QCOMPARE(info[i].noStops(), i + 1);
        QCOMPARE(info[i].shakeLooseCycles(), 15 - i);
        QCOMPARE(info[i].runTimeOpen(), 40 + i);
        QCOMPARE(info[i].runTimeClose(), 200 + i);
        QCOMPARE(info[i].maxIMean(), UINT16(65535 - i));
        QCOMPARE(info[i].m_Bytes[35], UINT8(i));
    }
}

void TestFan::wifiData()
{
    FanOnLoopback f;
    QByteArray payload(169, char(0x11));
    payload[1] = char(0xC4);
    f.answer(HLP_GET_WIFI_DATA, hlpReply(HLP_GET_WIFI_DATA, payload));
    qint8 rssi = 0;
    QVERIFY(f.fan.getWifiData(rssi));
    QCOMPARE(rssi, qint8(-60));
    quint8 debug1 = 9, debug2 = 9;
    rssi = 0;
    QVERIFY(f.fan.getWifiDataDebug(rssi, debug1, debug2));
    QCOMPARE(rssi, qint8(-60));
    QCOMPARE(debug1, quint8(0));
    QCOMPARE(debug2, quint8(0));
}

void TestFan::networkCredentials()
{
    FanOnLoopback f;
    quint8 four[4] = {192, 168, 1, 20};
    const QString t3 = "abcdefghijklmnopqrst"; // exactly 20: fills the field, no terminator
    QVERIFY(f.fan.setNetworkCredentials(QString(25, 'A'), QString::fromLatin1("Gr\xfc\xdf"), t3,
                                        "four", QString(49, 'E'), "six", 0x7E, four));
    const QByteArray r = f.requests()[0].data;
    QCOMPARE(r.size(), 200);
    QCOMPARE(r.left(2), bytesOf({29, 0}));
    QCOMPARE(r.mid(2, 25), QByteArray(25, 'A'));
    QCOMPARE(r.mid(27, 25), QByteArray("Gr\xfc\xdf") + QByteArray(21, 0));
    QCOMPARE(r.mid(52, 20), t3.toLatin1());
    QCOMPARE(quint8(r[72]), quint8(0x7E));
    QCOMPARE(r.mid(73, 4), bytesOf({192, 168, 1, 20}));
    QCOMPARE(r.mid(77, 25), QByteArray("six") + QByteArray(22, 0));
    QCOMPARE(r.mid(102, 49), QByteArray("four") + QByteArray(45, 0));
    QCOMPARE(r.mid(151, 49), QByteArray(49, 'E'));
    QVERIFY(!(f.requests()[0].flags & LLF_REPEAT));
}

void TestFan::networkCredentialLimits_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("length");
    QTest::addRow("text 1 of 26") << 0 << 26;
    QTest::addRow("text 3 of 21") << 2 << 21;
    QTest::addRow("text 4 of 50") << 3 << 50;
    QTest::addRow("text 6 of 26") << 5 << 26;
}

void TestFan::networkCredentialLimits()
{
    QFETCH(int, which);
    QFETCH(int, length);
    FanOnLoopback f;
    QString texts[6];
    texts[which] = QString(length, 'x');
    LogCapture log;
    QVERIFY(!f.fan.setNetworkCredentials(texts[0], texts[1], texts[2], texts[3], texts[4], texts[5],
                                         0, nullptr));
    QVERIFY(f.wire->sent().isEmpty());
    QVERIFY(log.lines().isEmpty());
}

void TestFan::fireAndForget()
{
    FanOnLoopback f;
    SHLP_MoveVent move;
    move.m_Vent = 3;
    move.m_Position = 31;
    QVERIFY(f.fan.moveVent(move));
    QCOMPARE(f.requests().last().data, bytesOf({28, 3, 31}));

    SHLP_SetSimulationValues sim;
    sim.m_ComfortLevel = 4;
    sim.m_DIPSwitch = 0x53;
    sim.m_HumReduction = 1;
    sim.m_AveExtractHum = 45;
    sim.m_AveOutdoorTempC = -12;
    sim.m_SupplyTemp = -8;
    sim.m_OutdoorTemp = 160;
    sim.m_OutdoorHum = 80;
    sim.m_ExhaustTemp = 40;
    sim.m_ExtractTemp = 176;
    sim.m_ExtractHum = 55;
    sim.m_CO2 = 1200;
    LogCapture log;
    QVERIFY(f.fan.setSimulationValues(sim));
    QCOMPARE(log.lines().first(), QString("sizeof(SHLP_SetSimulationValues) 22"));
    QCOMPARE(f.requests().last().data, bytesOf({16, 4, 0x53, 1, 45, 0xF4, 0xF8, 0xFF, 160, 0, 80, 0,
                                                40, 0, 176,  0, 55, 0,    0xB0, 0x04, 0,   0}));

    f.peer.autoAck = false;
    log.clear();
    QVERIFY(!f.fan.moveVent(move));
    QCOMPARE(log.countExact("CFan::moveVent: Error sending request for simulation values"), 1);
    QVERIFY(!f.fan.setNetworkCredentials("", "", "", "", "", "", 0, nullptr));
    QCOMPARE(log.countExact("CFan::setNetworkCredentials: Error sending network credentials"), 1);
}

QTEST_GUILESS_MAIN(TestFan)
#include "tst_fan.moc"
