// Stations writing one PostgreSQL record at once, with simulated units (ventaro-devsim) and a
// throw-away server: every attempt lands once, and a server that goes away in the middle of a
// run neither stops nor fails it.

#include "cliprocess.h"
#include "pgcluster.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QtTest>

#include <csignal>

#include <memory>
#include <utility>
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

    // `update --all`, or `station` (until it is stopped) when `station` is set.
    void start(bool station = false)
    {
        m_Out.clear();
        m_Cli.setProcessEnvironment(m_Bench.environment());
        m_Cli.start(cliPath(), (station ? QStringList{"station"} : QStringList{"update", "--all"}) +
                                   QStringList{"--json", "--record", m_Record, "--spool", spool(),
                                               "--station", m_Name});
    }
    void interrupt() { ::kill(pid_t(m_Cli.processId()), SIGINT); }
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

// The entry lines of a spool, sent or not.
int spooled(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count("{\"attemptId\"")) : 0;
}

} // namespace

class tst_RecordStation : public QObject
{
    Q_OBJECT

private slots:
    void twoStationsThenAnOutage();
    void lockedTableAndStoppedServerHoldNothingUp();

private:
    QString value(const QString& sql) { return m_Server.value(sql); }
    // The longest update of a run's units, from its done events.
    static qint64 longestMs(Station& station)
    {
        qint64 longest = 0;
        for (const QJsonObject& done : station.events(QStringLiteral("done")))
            longest = std::max<qint64>(longest, done.value(QStringLiteral("durationMs")).toInt());
        return longest;
    }

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
    // B's output is read only once its units are done: its coordinator waits to write all the
    // while (its pipe is full within seconds), and its workers end meanwhile. Nothing of what
    // it writes is lost for that, the summary included.
    const CliResult runA = a.finish();
    QElapsedTimer waited;
    waited.start();
    // (An update takes 15 s; a worker whose own output does not fit its pipe waits too.)
    while (spooled(b.spool()) < 3 && waited.elapsed() < 45000)
        QThread::msleep(100); // no event loop: nothing reads B's output meanwhile
    const CliResult runB = b.finish();
    for (const auto& [station, r] : {std::pair{&a, &runA}, std::pair{&b, &runB}}) {
        const QJsonObject summary = station->events(QStringLiteral("summary")).value(0);
        QVERIFY2(r->exitCode == 0 && summary.value(QStringLiteral("updated")).toInt() == 3 &&
                     summary.value(QStringLiteral("recordWaiting")) == 0,
                 describe(*r));
    }
    QCOMPARE(value("SELECT count(*) || ' ' || count(DISTINCT attempt_id) || ' ' || "
                   "string_agg(DISTINCT station, ',') FROM unit_update WHERE outcome = "
                   "'updated'"),
             QStringLiteral("6 6 A,B"));
    // Each row is the attempt its station began: the worker's line and any the station writes
    // for the same attempt are one row.
    QStringList begun;
    for (Station* station : {&a, &b})
        for (const QJsonObject& started : station->events(QStringLiteral("started")))
            begun << QStringLiteral("'%1'").arg(
                started.value(QStringLiteral("attempt")).toString());
    QCOMPARE(value(QStringLiteral("SELECT count(*) FROM unit_update WHERE attempt_id IN (%1)")
                       .arg(begun.join(','))),
             QStringLiteral("6"));

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

// Another session holds the record's table locked (a schema change, a long maintenance
// statement), and the server process that serves the station's send stops while it waits: the
// units are updated in their usual time all the same, the run ends, and the lines arrive once
// when the record is free again.
void tst_RecordStation::lockedTableAndStoppedServerHoldNothingUp()
{
    Station a(QStringLiteral("A"), m_Server.uri());
    QVERIFY(a.startUnits(70201, 2));
    a.start();
    CliResult r = a.finish();
    QVERIFY2(r.exitCode == 0, describe(r));
    const qint64 usual = longestMs(a);

    QProcess holder;
    holder.start(QStringLiteral("psql"),
                 {"-X", "-h", m_Server.socketDir(), "-p", QString::number(m_Server.port()), "-U",
                  "postgres", "-d", "factory", "-c",
                  "BEGIN; LOCK TABLE unit_update IN ACCESS EXCLUSIVE MODE; SELECT pg_sleep(600)"});
    QVERIFY(QTest::qWaitFor(
        [&] {
            return value("SELECT count(*) FROM pg_locks WHERE mode = 'AccessExclusiveLock' AND "
                         "relation = 'unit_update'::regclass AND granted") == QLatin1String("1");
        },
        kTimeoutMs));
    auto release = qScopeGuard([&] {
        (void)value("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query LIKE "
                    "'%pg_sleep(600)%' AND pid <> pg_backend_pid()");
        holder.waitForFinished(kTimeoutMs);
    });
    QVERIFY(a.startUnits(70211, 2));
    QElapsedTimer run;
    run.start();
    a.start(true);
    // The station's send waits for the lock: its server process stops there.
    QString stopped;
    QVERIFY(QTest::qWaitFor(
        [&] {
            stopped = value("SELECT pid FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND "
                            "usename = 'ventaro' LIMIT 1");
            return stopped.toInt() > 0;
        },
        kRunTimeoutMs));
    QVERIFY(::kill(pid_t(stopped.toInt()), SIGSTOP) == 0);
    auto resume = qScopeGuard([&] { ::kill(pid_t(stopped.toInt()), SIGCONT); });
    QVERIFY(QTest::qWaitFor([&] { return a.events(QStringLiteral("done")).size() == 2; },
                            usual * 3 / 2 + 5000));
    QVERIFY2(longestMs(a) < usual * 3 / 2 + 5000, qPrintable(QString::number(usual)));
    // Ctrl+C ends the run at once: nothing waits for the stopped server.
    QElapsedTimer end;
    end.start();
    a.interrupt();
    r = a.finish();
    QVERIFY2(r.exitCode == 0, describe(r));
    QVERIFY2(end.elapsed() < 10000, qPrintable(QString::number(end.elapsed())));
    QCOMPARE(a.events(QStringLiteral("summary")).value(0).value("recordWaiting").toInt(), 2);

    resume.dismiss();
    ::kill(pid_t(stopped.toInt()), SIGCONT);
    release.dismiss();
    (void)value("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE query LIKE "
                "'%pg_sleep(600)%' AND pid <> pg_backend_pid()");
    QVERIFY(holder.waitForFinished(kTimeoutMs));
    const CliResult sync =
        Bench().run({"record", "sync", "--record", m_Server.uri(), "--spool", a.spool()});
    QVERIFY2(sync.exitCode == 0, describe(sync));
    QCOMPARE(value("SELECT count(*) || ' ' || count(DISTINCT attempt_id) FROM unit_update WHERE "
                   "serial BETWEEN 70211 AND 70212"),
             QStringLiteral("2 2"));
}

QTEST_GUILESS_MAIN(tst_RecordStation)
#include "tst_recordstation.moc"
