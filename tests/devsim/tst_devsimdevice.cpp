// The tool's device objects (CFan, CFan_70_PC) against the simulated unit in-process: every
// request the objects make is answered in the form they check (ids, sizes, trains).

#include "engine/devsimloopback.h"

#include "device/fan.h"
#include "device/fan_70_pc.h"

#include <QtTest>

#include <memory>

namespace {

// A device object of type T connected to a simulated unit on a loopback wire.
template <typename T>
struct DeviceOnSim
{
    CDevSimLoopback sim;
    CLoopbackWire* wire = nullptr; // owned by the device object
    T fan;

    explicit DeviceOnSim(const SDevSimIdentity& id = {}) : sim(id)
    {
        auto owned = std::make_unique<CLoopbackWire>();
        wire = owned.get();
        sim.attach(*wire);
        fan.connectWire(std::move(owned));
    }
};

SDevSimIdentity plusIdentity()
{
    SDevSimIdentity id;
    id.model = SDevSimIdentity::EModelPlus;
    id.partner = 3;
    return id;
}

} // namespace

class TestDevSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void identityAndServiceRequests();
    void stateVentsAndSimulation100();
    void plusModel();
};

void TestDevSimDevice::identityAndServiceRequests()
{
    SDevSimIdentity id;
    id.serial = 0;
    id.partnerX = 1;
    DeviceOnSim<CFan> d(id);

    SHLP_IdentData ident;
    QVERIFY(d.fan.getIdentData(ident));
    QCOMPARE(ident.m_SerialNo, UINT32(0));
    QCOMPARE(int(ident.m_ComPartner), 1);
    QCOMPARE(int(ident.m_ComPartnerX), 1);
    QCOMPARE(ident.wifiMainVer(), 3);
    QCOMPARE(ident.wifiSubVer(), 5);
    QVERIFY(!ident.isModel70());

    QVERIFY(d.fan.setSerialNumber(50777));
    QCOMPARE(d.sim.unit().identity().serial, UINT32(50777));

    QVERIFY(d.fan.getCounters());
    QCOMPARE(d.fan.counters().size(), 74);
    QCOMPARE(d.fan.getCounter(3), UINT32(87));

    UINT32 value = 1;
    QVERIFY(d.fan.readWriteCounterValue(CPersCounter_ReadOnly::ECntID(39), &value, true));
    value = 0;
    QVERIFY(d.fan.readWriteCounterValue(CPersCounter_ReadOnly::ECntID(39), &value, false));
    QCOMPARE(value, UINT32(1));

    UINT16 ms = 0;
    UINT8 s = 0, m = 0, h = 0;
    UINT16 days = 0;
    QVERIFY(d.fan.getTimer(&ms, &s, &m, &h, &days));
    QCOMPARE(int(days), 3);
    QCOMPARE(int(h), 4);

    QVector<UINT8> dump;
    QVERIFY(d.fan.reportMemory(0x100, 32, dump));
    QCOMPARE(dump.size(), 32);

    UINT16 size[3] = {}, used[3] = {}, oldest[3] = {};
    QVERIFY(d.fan.getSecLogCnt(size, used, oldest));
    QCOMPARE(size[0], UINT16(96));
    QCOMPARE(oldest[0], UINT16(37));
    QCOMPARE(used[1], UINT16(40));
    quint8 result = 0xFF;
    QVERIFY(d.fan.checkSecLog(CLogging::EDay, result));
    QCOMPARE(int(result), 0);
    QVERIFY(d.fan.eraseSecLog(CLogging::EDay));
    QVERIFY(d.fan.getSecLogCnt(size, used, oldest));
    QCOMPARE(used[1], UINT16(0));
    QVERIFY(d.fan.calcAveSenVal());
}

void TestDevSimDevice::stateVentsAndSimulation100()
{
    DeviceOnSim<CFan> d;
    SPrimLogEntry state;
    QVERIFY(d.fan.getCurrentState(state));
    QCOMPARE(state.co2(), 640);

    SHLP_SetSimulationValues sim;
    sim.m_ComfortLevel = 3;
    sim.m_SupplyTemp = -3 * 8;
    sim.m_OutdoorTemp = -10 * 8;
    sim.m_ExtractTemp = 21 * 8;
    sim.m_ExtractHum = 50;
    sim.m_CO2 = 800;
    QVERIFY(d.fan.setSimulationValues(sim));
    QVERIFY(d.fan.getCurrentState(state));
    QCOMPARE(state.supplyTemp(), -3.0);
    QCOMPARE(state.co2(), 800);
    QCOMPARE(state.comfortLevel(), 4);

    CVents::SVentInfo vents[4];
    QVERIFY(d.fan.moveVent(SHLP_MoveVent{28, 1, 26}));
    QVERIFY(d.fan.getVentInfo(vents));
    QCOMPARE(vents[1].noStops(), 1);
    QCOMPARE(vents[3].maxIMean(), UINT16(183));
    qint8 rssi = 0;
    QVERIFY(d.fan.getWifiData(rssi));
    QCOMPARE(int(rssi), -58);
    quint8 cred[4] = {1, 2, 3, 4};
    QVERIFY(d.fan.setNetworkCredentials("net", "secret", "host", "a", "b", "c", 7, cred));
    QCOMPARE(d.sim.unit().networkCredentials().size(), 200);
}

void TestDevSimDevice::plusModel()
{
    DeviceOnSim<CFan_70_PC> d(plusIdentity());
    SHLP_IdentData ident;
    QVERIFY(d.fan.getIdentData(ident));
    QVERIFY(ident.isModel70());
    QCOMPARE(int(ident.m_ComPartner), 3);

    SHLP_SetSimulationValues_70 sim;
    sim.m_Bytes[0] = 2;                 // comfort code
    sim.m_Words[0] = UINT16(20 * 8);    // supply 20 degC
    sim.m_Words[1] = UINT16(INT16(-8)); // extract -1 degC
    sim.m_Words[3] = 61;                // extract humidity
    sim.m_Words[5] = 960;               // CO2 extract
    QVERIFY(d.fan.setSimulationValues(sim));
    SPrimLogEntry_70 state;
    QVERIFY(d.fan.getCurrentState(state));
    QCOMPARE(state.tExt(), -1.0);
    QCOMPARE(state.hExt(), 61);
    QCOMPARE(state.co2Ex(), 60);
    QCOMPARE(state.comLev(), 3);
}

QTEST_MAIN(TestDevSimDevice)
#include "tst_devsimdevice.moc"
