#include "flashout.h"
#include "locklefts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The real korvath-update in automatic mode against the real ventaro-devsim on a pty.
namespace {

// A plus update waits 750 ms after each of its 20 blocks; the rest is link time.
constexpr int kUpdateTimeoutMs = 120000;
constexpr int kStartTimeoutMs = 15000;

QString binary(const char* relative)
{
    return QDir(qEnvironmentVariable("VENTARO_BUILD_DIR")).filePath(QLatin1String(relative));
}

// Lines of a log file that contain `text`.
int countLines(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return int(QString::fromUtf8(file.readAll()).count(text));
}

} // namespace

// A private port folder with simulated units and tools started in it.
class PtyBench
{
public:
    PtyBench()
    {
        QDir().mkpath(ports());
        m_Env = QProcessEnvironment::systemEnvironment();
        m_Env.insert(QStringLiteral("VENTARO_PORT_DIR"), ports());
        m_Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_Env.insert(QStringLiteral("VENTARO_INSTANCE_KEY"), instanceKey());
    }
    // A tool killed on a time-out held the lock.
    ~PtyBench() { locklefts::remove(instanceKey()); }
    static QString instanceKey()
    {
        return QStringLiteral("tst_updatepty-") +
               QString::number(QCoreApplication::applicationPid());
    }
    QString ports() const { return m_Dir.filePath(QStringLiteral("ports")); }
    void setEnv(const QString& name, const QString& value) { m_Env.insert(name, value); }
    QString path(const QString& name) const { return m_Dir.filePath(name); }

    // A plus unit in its bootloader with older versions; its flash recorded in `flashOut`.
    bool startPlusUnit(QProcess& sim, const QString& flashOut, const QString& log)
    {
        return startUnit(sim, flashOut, log,
                         {"--model", "plus", "--boot-version", "2.20", "--appl-version", "2.20"});
    }
    // A unit in its bootloader copy 1 as `identity` (devsim options) describes it.
    bool startUnit(QProcess& sim, const QString& flashOut, const QString& log,
                   const QStringList& identity)
    {
        QDir().mkpath(path(flashOut));
        sim.setProcessEnvironment(m_Env);
        sim.setStandardOutputFile(QProcess::nullDevice());
        sim.setStandardErrorFile(path(log));
        sim.start(binary("tools/devsim/ventaro-devsim"),
                  QStringList{"--port-dir", ports(), "--name", "unit", "--partner", "1",
                              "--flash-out", path(flashOut)} +
                      identity);
        return sim.waitForStarted(kStartTimeoutMs);
    }
    // True once the unit's port file is there (again); `after` is a file time it must be newer
    // than.
    bool announced(const QDateTime& after = {}) const
    {
        const QFileInfo file(QDir(ports()).filePath(QStringLiteral("unit.port")));
        return file.exists() && (!after.isValid() || file.lastModified() > after);
    }
    void startTool(QProcess& tool, const QString& log)
    {
        tool.setProcessEnvironment(m_Env);
        tool.setWorkingDirectory(m_Dir.path());
        tool.setStandardOutputFile(QProcess::nullDevice());
        tool.setStandardErrorFile(path(log));
        tool.start(binary("src/korvath-update"), {"-ap"});
    }
    QByteArray tail(const QString& log) const
    {
        QFile file(path(log));
        return file.open(QIODevice::ReadOnly) ? file.readAll().right(3000) : QByteArray();
    }

private:
    QTemporaryDir m_Dir;
    QProcessEnvironment m_Env;
};

// korvath-update -ap against the unit `sim`: exit code 100, and the unit holds the plus images.
// Stops the unit.
void automaticUpdateSucceeds(PtyBench& bench, QProcess& sim, const QString& log,
                             const QString& flashOut)
{
    QProcess tool;
    bench.startTool(tool, log);
    QVERIFY(tool.waitForStarted(kStartTimeoutMs));
    const bool finished = tool.waitForFinished(kUpdateTimeoutMs);
    if (!finished)
        tool.kill();
    sim.terminate();
    sim.waitForFinished(kStartTimeoutMs);
    QVERIFY2(finished, bench.tail(log).constData());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 100);
    flashout::verifyPlusUpdate(bench.path(flashOut));
}

class tst_UpdatePty : public QObject
{
    Q_OBJECT

private slots:
    void automaticUpdateOfPlusUnit();
    void unitKilledMidUpdate();
    void anotherUnitDuringRebootPause();
    void automaticUpdateNotConfirmed();
    void recordThatCannotBeWritten();
};

// The update is recorded as ventaro-cli records one, with the station and operator named.
void tst_UpdatePty::automaticUpdateOfPlusUnit()
{
    PtyBench bench;
    bench.setEnv(QStringLiteral("VENTARO_RECORD"), bench.path("record.csv"));
    bench.setEnv(QStringLiteral("VENTARO_STATION"), QStringLiteral("desk 2"));
    bench.setEnv(QStringLiteral("VENTARO_OPERATOR"), QStringLiteral("eva"));
    QProcess sim;
    QVERIFY(bench.startPlusUnit(sim, "flash", "sim.log"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.announced(), kStartTimeoutMs);

    automaticUpdateSucceeds(bench, sim, "tool.log", "flash");
    QFile record(bench.path("record.csv"));
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList fields = lines[1].split(',');
    QCOMPARE(fields.value(14), QStringLiteral("updated"));
    QCOMPARE(fields.value(15) + '/' + fields.value(16), QStringLiteral("desk 2/eva"));
    QVERIFY2(fields.value(10).contains(QLatin1String("application 2.24 sha256:")),
             qPrintable(lines[1]));
    QCOMPARE(fields.value(17), QStringLiteral("yes"));
}

// A record that cannot take the update's line is said before the update, which does not start.
void tst_UpdatePty::recordThatCannotBeWritten()
{
    PtyBench bench;
    bench.setEnv(QStringLiteral("VENTARO_RECORD"), bench.path("no-such-folder/record.csv"));
    QProcess sim;
    QVERIFY(bench.startPlusUnit(sim, "flash", "sim.log"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.announced(), kStartTimeoutMs);
    QProcess tool;
    bench.startTool(tool, "tool.log");
    QVERIFY(tool.waitForStarted(kStartTimeoutMs));
    QTRY_VERIFY2_WITH_TIMEOUT(
        countLines(bench.path("tool.log"), QStringLiteral("The update does not start")) == 1,
        bench.tail("tool.log").constData(), kStartTimeoutMs);
    tool.kill();
    tool.waitForFinished(kStartTimeoutMs);
    sim.terminate();
    sim.waitForFinished(kStartTimeoutMs);
    QCOMPARE(countLines(bench.path("sim.log"), QStringLiteral("request code 3 ")), 0);
    QCOMPARE(countLines(bench.path("sim.log"), QStringLiteral("request code 8 ")), 0);
}

// The unit's process is killed in the middle of the application upload, as a power cut would
// stop it: its port file stays behind, its pseudo-terminal is gone. The tool shows the failure
// (no exit code 100), notices the unit gone, and identifies the fresh process that announces
// itself under the same name; an update of that one writes everything correctly.
void tst_UpdatePty::unitKilledMidUpdate()
{
    PtyBench bench;
    QProcess first;
    QVERIFY(bench.startPlusUnit(first, "flash1", "sim1.log"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.announced(), kStartTimeoutMs);

    QProcess tool;
    bench.startTool(tool, "tool.log");
    QVERIFY(tool.waitForStarted(kStartTimeoutMs));
    const QString chunk = QStringLiteral("request code 8 ");
    QTRY_VERIFY_WITH_TIMEOUT(countLines(bench.path("sim1.log"), chunk) >= 40, kStartTimeoutMs);
    first.kill();
    QVERIFY(first.waitForFinished(kStartTimeoutMs));
    QVERIFY(bench.announced()); // nobody removed the file

    QTRY_VERIFY2_WITH_TIMEOUT(
        countLines(bench.path("tool.log"), QStringLiteral("CUpdateWorkflow: update stopped")) == 1,
        bench.tail("tool.log").constData(), kStartTimeoutMs);
    QCOMPARE(tool.state(), QProcess::Running); // no exit code 100
    const QString identified = QStringLiteral("on_DeviceListChanged():com partner  1");
    const int identifications = countLines(bench.path("tool.log"), identified);

    QProcess second;
    const QDateTime before = QFileInfo(QDir(bench.ports()).filePath("unit.port")).lastModified();
    QVERIFY(bench.startPlusUnit(second, "flash2", "sim2.log"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.announced(before), kStartTimeoutMs);
    QTRY_VERIFY2_WITH_TIMEOUT(countLines(bench.path("tool.log"), identified) > identifications,
                              bench.tail("tool.log").constData(), kStartTimeoutMs);
    QCOMPARE(tool.state(), QProcess::Running);
    tool.terminate();
    QVERIFY(tool.waitForFinished(kStartTimeoutMs));
    QCOMPARE(tool.exitCode(), 0);

    // The automatic update of the fresh unit.
    automaticUpdateSucceeds(bench, second, "tool2.log", "flash2");
}

// A 100-series unit on the bridge path is ended while the tool waits for its restart, and a
// unit with another serial number appears under the same name: nothing reaches it, and the
// tool stops the update without exit code 100.
void tst_UpdatePty::anotherUnitDuringRebootPause()
{
    PtyBench bench;
    QProcess first;
    QVERIFY(bench.startUnit(first, "flash1", "sim1.log",
                            {"--boot-version", "2.20", "--appl-version", "2.01"}));
    QTRY_VERIFY_WITH_TIMEOUT(bench.announced(), kStartTimeoutMs);

    QProcess tool;
    bench.startTool(tool, "tool.log");
    QVERIFY(tool.waitForStarted(kStartTimeoutMs));
    // Offscreen, the reboot box is answered at once and the tool waits for the restart.
    QTRY_VERIFY2_WITH_TIMEOUT(countLines(bench.path("tool.log"), QStringLiteral("Message box:")) ==
                                  1,
                              bench.tail("tool.log").constData(), kUpdateTimeoutMs);
    first.terminate();
    QVERIFY(first.waitForFinished(kStartTimeoutMs));

    QProcess second;
    QVERIFY(
        bench.startUnit(second, "flash2", "sim2.log",
                        {"--serial", "50456", "--boot-version", "2.20", "--appl-version", "2.20"}));
    QTRY_VERIFY2_WITH_TIMEOUT(
        countLines(bench.path("tool.log"), QStringLiteral("CUpdateWorkflow: update stopped")) == 1,
        bench.tail("tool.log").constData(), kStartTimeoutMs);
    QTest::qWait(500); // anything still queued for the unit would reach it now
    QCOMPARE(tool.state(), QProcess::Running); // no exit code 100
    tool.terminate();
    QVERIFY(tool.waitForFinished(kStartTimeoutMs));
    QCOMPARE(tool.exitCode(), 0);
    second.terminate();
    QVERIFY(second.waitForFinished(kStartTimeoutMs));

    QCOMPARE(countLines(bench.path("flash2/flashed.txt"), QStringLiteral("image")), 0);
    QCOMPARE(countLines(bench.path("sim2.log"), QStringLiteral("request code 8 ")), 0);
    QCOMPARE(countLines(bench.path("sim2.log"), QStringLiteral("request code 3 ")), 0);
    QCOMPARE(countLines(bench.path("sim2.log"), QStringLiteral("request code 6 ")), 0);
    QCOMPARE(countLines(bench.path("tool.log"), QStringLiteral("another unit was identified")), 1);
}

// A unit that acknowledges its application but keeps the old one: -ap never exits with 100.
void tst_UpdatePty::automaticUpdateNotConfirmed()
{
    PtyBench bench;
    QProcess sim;
    QVERIFY(bench.startUnit(sim, "flash", "sim.log",
                            {"--model", "plus", "--boot-version", "2.24", "--appl-version", "2.20",
                             "--keep-image", "3"}));
    QTRY_VERIFY_WITH_TIMEOUT(bench.announced(), kStartTimeoutMs);
    QProcess tool;
    bench.startTool(tool, "tool.log");
    QVERIFY(tool.waitForStarted(kStartTimeoutMs));
    const QString refused = QStringLiteral(
        "the unit does not confirm the update: \"application: 2.20, 2.24 was written\"");
    QTRY_VERIFY2_WITH_TIMEOUT(tool.state() != QProcess::Running ||
                                  countLines(bench.path("tool.log"), refused) == 1,
                              bench.tail("tool.log").constData(), kUpdateTimeoutMs);
    QTest::qWait(500);
    QCOMPARE(tool.state(), QProcess::Running); // no exit code 100
}

QTEST_GUILESS_MAIN(tst_UpdatePty)
#include "tst_updatepty.moc"
