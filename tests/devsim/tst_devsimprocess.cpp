// ventaro-devsim as a process on a real pseudo-terminal, reached through the tool's serial
// wire (CLLProtocolWireWin over QSerialPort).

#include "devsimclient.h"
#include "logcapture.h"

#include "link/llprotocolwirewin.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kStartTimeoutMs = 10000;

QString simulatorPath()
{
    return QDir(qEnvironmentVariable("VENTARO_BUILD_DIR"))
        .filePath(QStringLiteral("tools/devsim/ventaro-devsim"));
}

// One simulator process with its own port folder.
class Simulator
{
public:
    Simulator()
    {
        m_Process.setStandardErrorFile(m_Dir.filePath(QStringLiteral("stderr.log")));
        m_Process.setStandardOutputFile(QProcess::nullDevice());
    }
    ~Simulator()
    {
        if (m_Process.state() != QProcess::NotRunning) {
            m_Process.kill();
            m_Process.waitForFinished(3000);
        }
    }

    bool start(QStringList args)
    {
        args << QStringLiteral("--port-dir") << portDir() << QStringLiteral("--name")
             << QStringLiteral("unit");
        m_Process.start(simulatorPath(), args);
        return m_Process.waitForStarted(kStartTimeoutMs);
    }
    QString portDir() const { return m_Dir.filePath(QStringLiteral("ports")); }
    QString portFile() const { return QDir(portDir()).filePath(QStringLiteral("unit.port")); }
    QString path(const QString& name) const { return m_Dir.filePath(name); }
    QProcess& process() { return m_Process; }
    QString log() const
    {
        QFile f(m_Dir.filePath(QStringLiteral("stderr.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // The announced lines of the port file, or empty once `timeoutMs` passed without one.
    QStringList waitForPortFile(int timeoutMs = kStartTimeoutMs) const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            QFile f(portFile());
            if (f.open(QIODevice::ReadOnly))
                return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QThread::msleep(5);
        }
        return {};
    }
    bool waitForPortFileGone(int timeoutMs = kStartTimeoutMs) const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            if (!QFile::exists(portFile()))
                return true;
            QThread::msleep(5);
        }
        return false;
    }
    QString portPath(int timeoutMs = kStartTimeoutMs) const
    {
        for (const QString& line : waitForPortFile(timeoutMs))
            if (line.startsWith(QLatin1String("port=")))
                return line.mid(5);
        return {};
    }

private:
    QTemporaryDir m_Dir;
    QProcess m_Process;
};

// The tool's end of the line: the serial port and its wire.
struct SerialClient
{
    QSerialPort port;
    std::unique_ptr<CLLProtocolWireWin> wire;
    std::unique_ptr<DevSimClient> client;

    bool open(const QString& path)
    {
        port.setPortName(path);
        if (!port.open(QIODevice::ReadWrite))
            return false;
        wire = std::make_unique<CLLProtocolWireWin>(&port);
        UINT16 len = 0;
        while (wire->Read(len)) {
        }
        client = std::make_unique<DevSimClient>(*wire);
        return true;
    }
    // Identification as the device object performs it; the reply's data or empty.
    QByteArray identify()
    {
        const QVector<QByteArray> r = client->exchange(bytesOf({1}));
        return r.size() == 1 ? r[0] : QByteArray();
    }
};

} // namespace

class TestDevSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void help();
    void badOptionsRefused_data();
    void badOptionsRefused();
    void announceIdentifyTerminate();
    void optionsShapeTheUnit();
    void powerCycleReannounces_data();
    void powerCycleReannounces();
    void strayBytesStillComplete();
    void unplugAfterRequests();
    void flashOutRecordsUploadAndViolations();
};

void TestDevSimProcess::initTestCase()
{
    QVERIFY2(QFile::exists(simulatorPath()), qPrintable(simulatorPath()));
}

void TestDevSimProcess::help()
{
    QProcess p;
    p.start(simulatorPath(), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(kStartTimeoutMs));
    QCOMPARE(p.exitCode(), 0);
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* option : {"--port-dir",
                               "--model",
                               "--serial",
                               "--partner",
                               "--x-marker",
                               "--boot-version",
                               "--appl-version",
                               "--wifi-version",
                               "--counters",
                               "--prim-log",
                               "--sec-log",
                               "--restart",
                               "--reboot-after-swap",
                               "--reboot-after-upload",
                               "--reboot-pause",
                               "--flash-out",
                               "--seed",
                               "--stray-bytes",
                               "--corrupt-crc",
                               "--lost-ack",
                               "--slow-reply",
                               "--debug-messages",
                               "--wrong-id",
                               "--wrong-length",
                               "--unplug-after",
                               "SIGUSR1"})
        QVERIFY2(text.contains(QLatin1String(option)), option);
}

void TestDevSimProcess::badOptionsRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addRow("unknown option") << QStringList{"--no-such-thing"};
    QTest::addRow("bad model") << QStringList{"--model", "90"};
    QTest::addRow("bad version") << QStringList{"--appl-version", "2"};
    QTest::addRow("probability above 1") << QStringList{"--stray-bytes", "1.5"};
    QTest::addRow("ring used above size") << QStringList{"--sec-log", "0:10:11:0"};
    QTest::addRow("stray argument") << QStringList{"extra"};
}

void TestDevSimProcess::badOptionsRefused()
{
    QFETCH(QStringList, args);
    QProcess p;
    p.start(simulatorPath(), args << QStringLiteral("--port-dir") << QDir::tempPath());
    QVERIFY(p.waitForFinished(kStartTimeoutMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().contains("ventaro-devsim:"));
}

void TestDevSimProcess::announceIdentifyTerminate()
{
    Simulator sim;
    QVERIFY(sim.start({"--model", "plus", "--serial", "777", "--partner", "3"}));
    const QStringList lines = sim.waitForPortFile();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith("port=/dev/pts/"));
    QCOMPARE(lines[1], QStringLiteral("vid=0x0409"));
    QCOMPARE(lines[2], QStringLiteral("pid=0x01D9"));

    SerialClient client;
    QVERIFY(client.open(lines[0].mid(5)));
    const QByteArray ident = client.identify();
    QCOMPARE(ident.size(), 39);
    QCOMPARE(int(ident[0]), 2);
    QCOMPARE(u32At(ident, 1), UINT32(777));
    QCOMPARE(int(ident[7]), 3);
    QCOMPARE(u16At(ident, 13) & 1, 1); // plus model
    // A reply train over the pty: the plus primary log in 200-byte packets.
    const QVector<QByteArray> log = client.client->train(bytesOf({15}), 2, 2, 7);
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0].size(), 200);
    client.port.close();

    sim.process().terminate(); // SIGTERM
    QVERIFY(sim.process().waitForFinished(kStartTimeoutMs));
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFile::exists(sim.portFile()));
    QVERIFY(sim.log().contains("request code 1 length 1"));
    QVERIFY(sim.log().contains("request code 15 length 1"));
}

void TestDevSimProcess::optionsShapeTheUnit()
{
    Simulator sim;
    QVERIFY(sim.start({"--counters", "20", "--counter", "5=77", "--deicing", "on", "--sec-log",
                       "2:10:10:7", "--rssi", "-70", "--wifi-version", "3.11"}));
    SerialClient client;
    QVERIFY(client.open(sim.portPath()));
    const QVector<QByteArray> counters = client.client->train(bytesOf({13}), 1, 4, 8);
    QCOMPARE(counters.size(), 3);
    QCOMPARE(u32At(counters[0], 1), UINT32(20));
    QCOMPARE(u32At(counters[0], 5 + 4 * 5), UINT32(77));
    const QVector<QByteArray> deice = client.client->exchange(bytesOf({27, 40, 0, 0, 0, 0, 0}));
    QCOMPARE(deice.size(), 1);
    QCOMPARE(u32At(deice[0], 3), UINT32(0xFFFFFFFF)); // only 20 counters: id 40 refused
    const QVector<QByteArray> cnt = client.client->exchange(bytesOf({24}) + QByteArray(19, 0));
    QCOMPARE(cnt.size(), 1);
    QCOMPARE(u16At(cnt[0], 6), UINT16(10));
    QCOMPARE(u16At(cnt[0], 12), UINT16(10));
    QCOMPARE(u16At(cnt[0], 18), UINT16(7));
    const QVector<QByteArray> wifi = client.client->exchange(bytesOf({26}));
    QCOMPARE(wifi.size(), 1);
    QCOMPARE(int(qint8(wifi[0][2])), -70);
    QCOMPARE(u16At(client.identify(), 13), UINT16((3 << 1) | (11 << 6)));
}

void TestDevSimProcess::powerCycleReannounces_data()
{
    QTest::addColumn<bool>("bySignal");
    QTest::addColumn<int>("partnerAfter");
    QTest::addRow("SIGUSR1") << true << 1;
    QTest::addRow("after a swap") << false << 2;
}

void TestDevSimProcess::powerCycleReannounces()
{
    QFETCH(bool, bySignal);
    QFETCH(int, partnerAfter);
    Simulator sim;
    QVERIFY(sim.start({"--partner", "3", "--reboot-pause", "300", "--reboot-after-swap", "50"}));
    const QString first = sim.portPath();
    QVERIFY(!first.isEmpty());
    {
        SerialClient client;
        QVERIFY(client.open(first));
        QCOMPARE(int(client.identify()[7]), 3);
        if (bySignal) {
            ::kill(pid_t(sim.process().processId()), SIGUSR1);
        } else {
            const QVector<QByteArray> swap = client.client->exchange(bytesOf({6}));
            QCOMPARE(swap.size(), 1);
            QCOMPARE(int(swap[0][0]), 10);
        }
        QVERIFY(sim.waitForPortFileGone(3000));
    }
    const QString second = sim.portPath(3000);
    QVERIFY(!second.isEmpty());
    SerialClient client;
    QVERIFY(client.open(second));
    const QByteArray ident = client.identify();
    QCOMPARE(ident.size(), 39);
    QCOMPARE(int(ident[7]), partnerAfter); // a bootloader answers after the restart
    QVERIFY(sim.log().contains("power cycle"));
}

void TestDevSimProcess::strayBytesStillComplete()
{
    Simulator sim;
    QVERIFY(sim.start({"--stray-bytes", "1.0", "--debug-messages", "0.5", "--seed", "3"}));
    SerialClient client;
    QVERIFY(client.open(sim.portPath()));
    LogCapture log;
    for (int i = 0; i < 5; ++i)
        QCOMPARE(client.identify().size(), 39);
    QVERIFY(log.count("-------------------- Byte lost") >= 10); // before each ACK and reply
    QVERIFY(sim.log().contains("fault: "));
}

void TestDevSimProcess::unplugAfterRequests()
{
    Simulator sim;
    QVERIFY(sim.start({"--unplug-after", "1"}));
    SerialClient client;
    QVERIFY(client.open(sim.portPath()));
    QCOMPARE(client.identify().size(), 39);
    QVERIFY(!client.client->send(bytesOf({14}))); // one attempt: the cable is pulled
    QVERIFY(sim.waitForPortFileGone(2000));
    QVERIFY(sim.process().state() == QProcess::Running); // unplugged, not crashed
}

void TestDevSimProcess::flashOutRecordsUploadAndViolations()
{
    Simulator sim;
    const QString out = sim.path(QStringLiteral("flash"));
    QVERIFY(sim.start({"--partner", "2", "--flash-out", out}));
    SerialClient client;
    QVERIFY(client.open(sim.portPath()));
    DevSimClient& tool = *client.client;

    const Block block = makeBlock(0x200, 450, 9);
    QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));
    QVERIFY(!tool.send(dataChunk(block, 0, 192), LLF_REPEAT)); // before its header: refused
    QVERIFY(uploadBlock(tool, block, 1, 2, 24));
    QVERIFY(tool.send(bytesOf({5}), LLF_REPEAT));
    sim.process().terminate();
    QVERIFY(sim.process().waitForFinished(kStartTimeoutMs));

    QFile summary(QDir(out).filePath("flashed.txt"));
    QVERIFY(summary.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(summary.readAll());
    QVERIFY2(text.contains("image=1 type=1 main=2 sub=24 start=1124 blocks=1 complete=1"),
             qPrintable(text));
    QVERIFY2(text.contains("block=1.1 adr=512 plain=450 typebyte=0x01"), qPrintable(text));
    QFile bin(QDir(out).filePath("image1_block1.bin"));
    QVERIFY(bin.open(QIODevice::ReadOnly));
    QCOMPARE(bin.readAll(), block.data);
    QFile violations(QDir(out).filePath("violations.txt"));
    QVERIFY(violations.open(QIODevice::ReadOnly));
    QVERIFY(violations.readAll().contains("data: chunk before a partition header"));
}

QTEST_GUILESS_MAIN(TestDevSimProcess)
#include "tst_devsimprocess.moc"
