// Stations writing one PostgreSQL record at once, with simulated units (ventaro-devsim) and a
// throw-away server: every attempt lands once, and a server that goes away in the middle of a
// run neither stops nor fails it.

#include "cliprocess.h"
#include "pgcluster.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>
#include <vector>

using namespace clitest;

namespace {

constexpr int kRunTimeoutMs = 180000;
// A plus unit with older software: application and bootloader are written.
const QStringList kPlusOlder = {"--model",        "plus", "--partner",      "1",
                                "--boot-version", "2.20", "--appl-version", "2.20"};

// One station: its own port folder and units, its own lock and spool, one `update --all`.
class Station
{
public:
    Station(const QString& name, const QString& record) : m_Name(name), m_Record(record) {}
    ~Station()
    {
        for (auto& sim : m_Sims) {
            sim->terminate();
            if (!sim->waitForFinished(3000))
                sim->kill();
            sim->waitForFinished(3000);
        }
    }

    QString spool() const { return m_Bench.path(QStringLiteral("spool.jsonl")); }
    const Bench& bench() const { return m_Bench; }

    bool startUnits(int firstSerial, int count)
    {
        for (auto& sim : m_Sims)
            sim->terminate();
        for (auto& sim : m_Sims)
            sim->waitForFinished(3000);
        m_Sims.clear();
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("u%1").arg(firstSerial + i);
            auto sim = std::make_unique<QProcess>();
            sim->setStandardOutputFile(QProcess::nullDevice());
            sim->setStandardErrorFile(QProcess::nullDevice());
            sim->start(simPath(), QStringList{"--port-dir", m_Bench.portDir(), "--name", name,
                                              "--serial", QString::number(firstSerial + i)} +
                                      kPlusOlder);
            if (!sim->waitForStarted(kTimeoutMs))
                return false;
            m_Sims.push_back(std::move(sim));
            const QString file = QDir(m_Bench.portDir()).filePath(name + QStringLiteral(".port"));
            if (!QTest::qWaitFor([&] { return QFile::exists(file); }, kTimeoutMs))
                return false;
        }
        return true;
    }

    void start()
    {
        m_Out.clear();
        m_Cli.setProcessEnvironment(m_Bench.environment());
        m_Cli.start(cliPath(), {"update", "--all", "--json", "--record", m_Record, "--spool",
                                spool(), "--station", m_Name});
    }
    // The events named `name` so far.
    QVector<QJsonObject> events(const QString& name)
    {
        m_Out += QString::fromUtf8(m_Cli.readAllStandardOutput());
        return clitest::events(m_Out, name);
    }
    CliResult finish()
    {
        CliResult r;
        if (m_Cli.waitForFinished(kRunTimeoutMs) && m_Cli.exitStatus() == QProcess::NormalExit)
            r.exitCode = m_Cli.exitCode();
        events(QString());
        r.out = m_Out;
        r.err = QString::fromUtf8(m_Cli.readAllStandardError());
        return r;
    }

private:
    QString m_Name, m_Record;
    Bench m_Bench;
    std::vector<std::unique_ptr<QProcess>> m_Sims;
    QProcess m_Cli;
    QString m_Out;
};

} // namespace

class tst_RecordStation : public QObject
{
    Q_OBJECT

private slots:
    void twoStationsThenAnOutage();

private:
    QString value(const QString& sql) { return m_Server.value(sql); }

    pgtest::Cluster m_Server;
};

// Two stations update three units each at the same time: six rows, each attempt once. Then the
// server stops while one station's next three units are being updated: the run still ends 0,
// says how many lines wait, and `record sync` (twice) brings each of them in once.
void tst_RecordStation::twoStationsThenAnOutage()
{
    QVERIFY2(m_Server.create(), qPrintable(m_Server.error()));
    qputenv("PGPASSWORD", pgtest::kPassword);
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    const CliResult init = Bench().run({"record", "init", "--record", m_Server.uri()});
    QVERIFY2(init.exitCode == 0, describe(init));

    Station a(QStringLiteral("A"), m_Server.uri());
    Station b(QStringLiteral("B"), m_Server.uri());
    QVERIFY(a.startUnits(70001, 3));
    QVERIFY(b.startUnits(70101, 3));
    a.start();
    b.start();
    for (Station* station : {&a, &b}) {
        const CliResult r = station->finish();
        QVERIFY2(r.exitCode == 0, describe(r));
        QCOMPARE(station->events(QStringLiteral("summary")).value(0).value("recordWaiting").toInt(),
                 0);
    }
    QCOMPARE(value("SELECT count(*) || ' ' || count(DISTINCT attempt_id) || ' ' || "
                   "string_agg(DISTINCT station, ',') FROM unit_update WHERE outcome = 'updated'"),
             QStringLiteral("6 6 A,B"));

    QVERIFY(a.startUnits(70011, 3));
    a.start();
    QVERIFY(QTest::qWaitFor([&] { return a.events(QStringLiteral("started")).size() == 3; },
                            kTimeoutMs));
    QVERIFY2(m_Server.stop(), qPrintable(m_Server.error()));
    const CliResult r = a.finish();
    QVERIFY2(r.exitCode == 0, describe(r));
    const QJsonObject summary = a.events(QStringLiteral("summary")).value(0);
    QCOMPARE(summary.value(QStringLiteral("updated")).toInt(), 3);
    QCOMPARE(summary.value(QStringLiteral("recordWaiting")).toInt(), 3);
    QVERIFY2(!a.events(QStringLiteral("record")).isEmpty(), qPrintable(r.out)); // said live too

    QVERIFY2(m_Server.start(), qPrintable(m_Server.error()));
    const QStringList sync = {"record", "sync", "--record", m_Server.uri(), "--spool", a.spool()};
    const CliResult first = Bench().run(sync);
    QVERIFY2(first.exitCode == 0 && first.out.contains("3 waiting lines sent"), describe(first));
    const CliResult second = Bench().run(sync);
    QVERIFY2(second.exitCode == 0 && second.out.contains("0 waiting lines sent"), describe(second));
    QCOMPARE(value("SELECT count(*) || ' ' || count(DISTINCT attempt_id) || ' ' || "
                   "count(DISTINCT serial) FROM unit_update"),
             QStringLiteral("9 9 9"));
}

QTEST_GUILESS_MAIN(tst_RecordStation)
#include "tst_recordstation.moc"
