// Connection, the one-byte request form and identification of the device object.
#include "fanfixture.h"
#include "logcapture.h"

#include "link/llprotocolpacket.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
QByteArray identPayload(UINT32 serial, UINT16 features)
{
    SHLP_IdentData ident;
    ident.m_SerialNo = serial;
    ident.m_BoardVersion = 4;
    ident.m_ComPartner = 3;
    ident.m_ApplMainVer = 2;
    ident.m_ApplSubVer = 7;
    ident.m_Features = features;
    ident.m_Tail[23] = 0x5A;
    QByteArray bytes(SHLP_IdentData::kSize, 0);
    ident.toBytes(reinterpret_cast<UINT8*>(bytes.data()));
    return bytes;
}

QStringList userInfos(const QSignalSpy& spy)
{
    QStringList out;
    for (const auto& args : spy)
        out << args.at(0).toString();
    return out;
}

// The master side of a pseudo-terminal, in raw mode; the slave path is what the device object
// opens.
struct Pty
{
    int master = -1;
    int slave = -1;
    QString path;
    Pty()
    {
        termios raw{};
        cfmakeraw(&raw);
        char name[128] = {};
        if (openpty(&master, &slave, name, &raw, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
    }
    ~Pty()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
    void write(const QByteArray& bytes) const
    {
        QCOMPARE(::write(master, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
};
} // namespace

class TestFanBase : public QObject
{
    Q_OBJECT

private slots:
    void identificationAfterSilence();
    void identificationGivesUp();
    void identificationFaults_data();
    void identificationFaults();
    void sendCommandForms();
    void notConnectedIsSilent_data();
    void notConnectedIsSilent();
    void ventReasonNames();
    void connectPortOnPty();
    void connectPortFailures();
};

void TestFanBase::identificationAfterSilence()
{
    FanOnLoopback f;
    f.peer.autoAck = false;
    f.peer.onPacket = [](CLoopbackWire& w, const HostPacket& p) {
        if (p.isAck() || p.code() != HLP_IDENT_REQUEST || w.now() < 4000)
            return;
        w.deliver(ackPacket());
        w.deliver(wirePacket(LLC_HLP, 0, identPayload(123456, 0x0001 | (3 << 1) | (12 << 6))));
    };
    QSignalSpy spy(&f.fan, &CFanBase::signalUserInfo);
    LogCapture log;
    SHLP_IdentData ident;
    QVERIFY(f.fan.getIdentData(ident));

    QVERIFY(f.wire->now() >= 4000 && f.wire->now() < 6000);
    QVERIFY(log.countExact("Sending report ident request...") >= 4);
    QCOMPARE(log.countExact("...Debug: appllication has answered!"), 1);
    QCOMPARE(userInfos(spy), QStringList{"ventaro100 detected!"});
    QCOMPARE(ident.m_SerialNo, 123456u);
    QCOMPARE(ident.m_BoardVersion, UINT8(4));
    QCOMPARE(ident.m_ComPartner, UINT8(3));
    QCOMPARE(ident.m_ApplSubVer, UINT8(7));
    QVERIFY(ident.isModel70());
    QCOMPARE(ident.wifiMainVer(), 3);
    QCOMPARE(ident.wifiSubVer(), 12);
    QCOMPARE(ident.m_Tail[23], UINT8(0x5A));
    // Every request is the single code byte without the repeat flag.
    for (const auto& p : f.requests())
        QVERIFY(p.data == bytesOf({1}) && !(p.flags & LLF_REPEAT));
}

void TestFanBase::identificationGivesUp()
{
    FanOnLoopback f;
    f.peer.autoAck = false;
    QSignalSpy spy(&f.fan, &CFanBase::signalUserInfo);
    SHLP_IdentData ident;
    ident.m_SerialNo = 77;
    QVERIFY(!f.fan.getIdentData(ident));
    QVERIFY(f.wire->now() >= CFanBase::kIdentRetryWindowMs);
    QVERIFY(f.wire->now() < CFanBase::kIdentRetryWindowMs + 1500);
    QCOMPARE(userInfos(spy), QStringList{"ventaro100 did not respond! "});
    QCOMPARE(ident.m_SerialNo, 77u);
}

void TestFanBase::identificationFaults_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QString>("lastInfo");
    const QString notCorrect = " The ventaro100 did not (correctly) respond - ";
    QTest::addRow("no reply") << QList<QByteArray>{} << notCorrect;
    QTest::addRow("reply to another request")
        << QList<QByteArray>{hlpReply(HLP_GET_TIMER, QByteArray(7, 0))}
        << "- The ventaro100 responded with the wrong packet - ";
    // A short identity is refused instead of being filled up with stale bytes.
    QTest::addRow("short identity")
        << QList<QByteArray>{hlpReply(HLP_IDENT_REPLY, "abc")} << notCorrect;
}

void TestFanBase::identificationFaults()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QString, lastInfo);
    FanOnLoopback f;
    f.answer(HLP_IDENT_REQUEST, replies);
    QSignalSpy spy(&f.fan, &CFanBase::signalUserInfo);
    SHLP_IdentData ident;
    ident.m_SerialNo = 77;
    QVERIFY(!f.fan.getIdentData(ident));
    QCOMPARE(userInfos(spy), (QStringList{"ventaro100 detected!", lastInfo}));
    QCOMPARE(ident.m_SerialNo, 77u);
}

void TestFanBase::sendCommandForms()
{
    FanOnLoopback f;
    QVERIFY(f.fan.sendCommand(HLP_CALC_AVE_SEN_VAL));
    QCOMPARE(f.requests().last().flags & LLF_REPEAT, LLF_REPEAT);

    // The start command waits for no acknowledgement.
    f.peer.autoAck = false;
    const qint64 before = f.wire->now();
    QVERIFY(f.fan.sendCommand(HLP_START));
    QCOMPARE(f.wire->now(), before);
    QCOMPARE(f.requests().last().flags & LLF_NO_ACK, LLF_NO_ACK);

    // A silent device: three attempts, then the user is told.
    QSignalSpy spy(&f.fan, &CFanBase::signalUserInfo);
    QVERIFY(!f.fan.sendCommand(HLP_GET_TIMER));
    QCOMPARE(f.peer.countCode(HLP_GET_TIMER), 3);
    QCOMPARE(userInfos(spy), QStringList{"ventaro100 did not respond - "});
}

using Request = std::function<bool(CFan&)>;
Q_DECLARE_METATYPE(Request)

void TestFanBase::notConnectedIsSilent_data()
{
    QTest::addColumn<Request>("request");
    QTest::addColumn<int>("logLines");
    QTest::addRow("sendCommand") << Request([](CFan& f) { return f.sendCommand(13); }) << 0;
    QTest::addRow("getIdentData") << Request([](CFan& f) {
        SHLP_IdentData d;
        return f.getIdentData(d);
    }) << 0;
    QTest::addRow("getCounters") << Request([](CFan& f) { return f.getCounters(); }) << 1;
    QTest::addRow("readWriteCounterValue") << Request([](CFan& f) {
        UINT32 v = 5;
        return f.readWriteCounterValue(CPersCounter_ReadOnly::EBootCycles, &v, true);
    }) << 0;
    QTest::addRow("getTimer") << Request([](CFan& f) {
        return f.getTimer(nullptr, nullptr, nullptr, nullptr, nullptr);
    }) << 0;
    QTest::addRow("reportMemory") << Request([](CFan& f) {
        QVector<UINT8> out;
        return f.reportMemory(0, 16, out);
    }) << 0;
    QTest::addRow("getSecLogCnt") << Request([](CFan& f) {
        UINT16 a[3], b[3], c[3];
        return f.getSecLogCnt(a, b, c);
    }) << 0;
    QTest::addRow("checkSecLog") << Request([](CFan& f) {
        quint8 r = 0;
        return f.checkSecLog(CLogging::EDay, r);
    }) << 0;
    QTest::addRow("eraseSecLog") << Request([](CFan& f) { return f.eraseSecLog(CLogging::EDay); })
                                 << 0;
    QTest::addRow("calcAveSenVal") << Request([](CFan& f) { return f.calcAveSenVal(); }) << 0;
    QTest::addRow("setSerialNumber") << Request([](CFan& f) { return f.setSerialNumber(9); }) << 0;
    QTest::addRow("getCurrentState") << Request([](CFan& f) {
        SPrimLogEntry e;
        return f.getCurrentState(e);
    }) << 0;
    QTest::addRow("moveVent") << Request([](CFan& f) { return f.moveVent(SHLP_MoveVent()); }) << 0;
    QTest::addRow("setSimulationValues")
        << Request([](CFan& f) { return f.setSimulationValues(SHLP_SetSimulationValues()); }) << 1;
    QTest::addRow("setNetworkCredentials") << Request([](CFan& f) {
        return f.setNetworkCredentials("a", "b", "c", "d", "e", "f", 1, nullptr);
    }) << 0;
    QTest::addRow("getVentInfo") << Request([](CFan& f) {
        CVents::SVentInfo info[4];
        return f.getVentInfo(info);
    }) << 0;
    QTest::addRow("getWifiDataDebug") << Request([](CFan& f) {
        qint8 rssi = 0;
        quint8 a = 0, b = 0;
        return f.getWifiDataDebug(rssi, a, b);
    }) << 0;
}

void TestFanBase::notConnectedIsSilent()
{
    QFETCH(Request, request);
    QFETCH(int, logLines);
    CFan fan;
    QSignalSpy spy(&fan, &CFanBase::signalUserInfo);
    LogCapture log;
    QVERIFY(!fan.isConnected());
    QVERIFY(!request(fan));
    QCOMPARE(log.lines().size(), logLines);
    QCOMPARE(spy.count(), 0);
}

void TestFanBase::ventReasonNames()
{
    CFan fan;
    QCOMPARE(fan.ventReasonName(0), "MinAir");
    QCOMPARE(fan.ventReasonName(7), "HumInp");
    QCOMPARE(fan.ventReasonName(8), "- ?? -");
    QCOMPARE(fan.ventReasonName(-1), "- ?? -");
    QCOMPARE(fan.modelName(), QString("ventaro100"));
    QCOMPARE(fan.modelType(), 0);
}

// The whole road over a real serial port: open by full path, stale bytes thrown away, an
// identification answered by a peer on the master side.
void TestFanBase::connectPortOnPty()
{
    Pty pty;
    QVERIFY(!pty.path.isEmpty());
    // A stale acknowledgement from an earlier connection must not satisfy the next request.
    pty.write(ackPacket());

    CFan fan;
    QSignalSpy spy(&fan, &CFanBase::signalUserInfo);
    QVERIFY(fan.connectPort(pty.path));
    QVERIFY(fan.isConnected());
    QCOMPARE(fan.portName(), pty.path);
    QCOMPARE(userInfos(spy), QStringList{"Checking for new devices..."});
    QVERIFY(fan.connectPort(pty.path)); // already open: nothing happens
    QCOMPARE(spy.count(), 1);

    QVERIFY(!fan.setSerialNumber(42)); // nobody answers; the stale ACK is gone

    // A device on the master side that answers identification.
    std::atomic<bool> stop{false};
    std::thread device([&] {
        CLLProtocolPacket packet;
        while (!stop) {
            pollfd pfd{pty.master, POLLIN, 0};
            if (::poll(&pfd, 1, 10) <= 0)
                continue;
            char buf[256];
            const ssize_t got = ::read(pty.master, buf, sizeof buf);
            if (got <= 0)
                continue;
            UINT16 left = UINT16(got);
            while (left > 0) {
                packet.PacketFromBuffer(buf + (got - left), left);
                if (!packet.IsComplete())
                    break;
                // The unanswered serial-number request is still waiting: only identification
                // gets an answer.
                if (!packet.IsAck() && packet.DataLen() == 1 &&
                    packet.Data()[0] == HLP_IDENT_REQUEST) {
                    const QByteArray reply =
                        ackPacket() + wirePacket(LLC_HLP, 0, identPayload(98765, 0));
                    (void)!::write(pty.master, reply.constData(), size_t(reply.size()));
                }
                packet.Reset();
            }
        }
    });
    SHLP_IdentData ident;
    const bool ok = fan.getIdentData(ident);
    stop = true;
    device.join();
    QVERIFY(ok);
    QCOMPARE(ident.m_SerialNo, 98765u);

    QVERIFY(!fan.connectPort(QString()));
    QVERIFY(!fan.isConnected());
    QVERIFY(fan.portName().isEmpty());
    QCOMPARE(userInfos(spy).last(), QString("Please connect your application via the USB cable."));
}

void TestFanBase::connectPortFailures()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("ttyMissing");
    CFan fan;
    QSignalSpy spy(&fan, &CFanBase::signalUserInfo);
    LogCapture log;
    QVERIFY(!fan.connectPort(missing));
    QVERIFY(!fan.isConnected());
    QVERIFY(log.contains("Unable to open"));
    QVERIFY(log.contains(missing));
    QVERIFY(log.contains("No such file or directory"));
    QCOMPARE(userInfos(spy).last(), QString("Unable to open COM port for ventaro100.\nPlease "
                                            "switch your ventaro100 off and then on again."));

    // A port held by someone else is refused with a hint on permissions.
    Pty pty;
    CFan holder;
    QVERIFY(holder.connectPort(pty.path));
    log.clear();
    QVERIFY(!fan.connectPort(pty.path));
    QVERIFY(log.contains("dialout"));
}

QTEST_GUILESS_MAIN(TestFanBase)
#include "tst_fanbase.moc"
