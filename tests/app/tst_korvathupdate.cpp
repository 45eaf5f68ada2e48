#include "locklefts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <csignal>

// The real korvath-update against the real ventaro-devsim on a pseudo-terminal.
namespace {

constexpr int kTimeoutMs = 15000;

QString binary(const char* relative)
{
    return QDir(qEnvironmentVariable("VENTARO_BUILD_DIR")).filePath(QLatin1String(relative));
}

// Collects a process's stderr while the test waits for lines in it.
class Console
{
public:
    explicit Console(QProcess& process) : m_Process(process) {}
    bool waitFor(const QString& text, int timeoutMs = kTimeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            m_Text += QString::fromUtf8(m_Process.readAllStandardError());
            if (m_Text.contains(text))
                return true;
            if (clock.elapsed() > timeoutMs || m_Process.state() == QProcess::NotRunning)
                return false;
            m_Process.waitForReadyRead(50);
        }
    }
    const QString& text()
    {
        m_Text += QString::fromUtf8(m_Process.readAllStandardError());
        return m_Text;
    }

private:
    QProcess& m_Process;
    QString m_Text;
};

QString instanceKey()
{
    static const QString key =
        QStringLiteral("ventaro-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    return key;
}

struct Processes
{
    QTemporaryDir dir;
    QProcess tool;
    QProcess sim;

    Processes()
    {
        QDir(dir.path()).mkpath(QStringLiteral("ports"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VENTARO_PORT_DIR"), portDir());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // A lock of this test process's own, so that test runs side by side do not meet.
        env.insert(QStringLiteral("VENTARO_INSTANCE_KEY"), instanceKey());
        tool.setProcessEnvironment(env);
        tool.setWorkingDirectory(dir.path());
        sim.setProcessEnvironment(env);
        sim.setStandardOutputFile(QProcess::nullDevice());
    }
    ~Processes()
    {
        for (QProcess* p : {&tool, &sim}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
        locklefts::remove(instanceKey());
    }
    QString portDir() const { return dir.filePath(QStringLiteral("ports")); }
    void startTool(const QStringList& args = {}) { tool.start(binary("src/korvath-update"), args); }
    void startSim(const QStringList& args = {})
    {
        sim.start(binary("tools/devsim/ventaro-devsim"),
                  QStringList{"--port-dir", portDir(), "--name", "unit"} + args);
    }
};

} // namespace

class tst_KorvathUpdate : public QObject
{
    Q_OBJECT

private slots:
    void findsAndIdentifiesThePluggedUnit();
    void secondInstanceIsRefused();
};

void tst_KorvathUpdate::findsAndIdentifiesThePluggedUnit()
{
    Processes p;
    p.startTool({"-x", "-l", "xx_YY"});
    QVERIFY(p.tool.waitForStarted(kTimeoutMs));
    Console console(p.tool);
    QVERIFY2(console.waitFor("*** on_DeviceListChanged(): com port not changed"),
             qPrintable(console.text()));
    QVERIFY(console.text().contains("strLocale: "));
    // Nobody can answer a box offscreen: it is logged and answered with its default.
    QVERIFY(console.text().contains("unrecognized parameters:\\n-x \\nThey are ignored."));
    QVERIFY(console.text().contains("Unable to load translations for locale 'xx_YY'."));

    // The unit is plugged in while the tool runs.
    p.startSim({"--serial", "50777", "--boot-version", "2.24", "--appl-version", "2.30"});
    QVERIFY(p.sim.waitForStarted(kTimeoutMs));
    QVERIFY2(console.waitFor("on_DeviceListChanged(): all good"), qPrintable(console.text()));
    QVERIFY(console.text().contains("*** on_DeviceListChanged():com partner  1"));
    QVERIFY(console.text().contains("...Debug: appllication has answered!"));
    // Every diagnostic line carries file, line and function.
    QVERIFY(console.text().contains("maindialognew_discovery.cpp:"));

    // Unplugged: the port closes and the chain runs once more.
    p.sim.terminate();
    QVERIFY(p.sim.waitForFinished(kTimeoutMs));
    QVERIFY2(console.waitFor("*** on_DeviceListChanged(): failed open com port"),
             qPrintable(console.text()));

    // A stop signal closes the window the ordinary way.
    ::kill(pid_t(p.tool.processId()), SIGTERM);
    QVERIFY(p.tool.waitForFinished(kTimeoutMs));
    QCOMPARE(p.tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.tool.exitCode(), 0);
}

void tst_KorvathUpdate::secondInstanceIsRefused()
{
    Processes first;
    first.startTool();
    QVERIFY(first.tool.waitForStarted(kTimeoutMs));
    Console firstConsole(first.tool);
    QVERIFY(firstConsole.waitFor("*** on_DeviceListChanged(): start"));

    Processes second;
    second.startTool();
    QVERIFY(second.tool.waitForFinished(kTimeoutMs));
    QCOMPARE(second.tool.exitCode(), 255); // -1
    QVERIFY(QString::fromUtf8(second.tool.readAllStandardError())
                .contains("An instance of Update-ventaro100 or ventaro-Connect is already "
                          "running."));
    QCOMPARE(first.tool.state(), QProcess::Running);

    ::kill(pid_t(first.tool.processId()), SIGTERM);
    QVERIFY(first.tool.waitForFinished(kTimeoutMs));
    QCOMPARE(first.tool.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_KorvathUpdate)
#include "tst_korvathupdate.moc"
