// The production record in PostgreSQL, against a throw-away server of its own (durable, as a
// plant's would be):
// - 16 writers at once (the workers of a station, or several stations), each line as a worker
//   writes it: appended and flushed to the shared spool, then sent and marked; prints lines per
//   second and the time one line costs a writer (median, 95th percentile, worst);
// - `record stats` over one million rows: read from the database and computed, and the same
//   from a CSV record file of one million lines;
// - one station of 16 workers (`update --all` against 16 simulated units) while the server
//   stalls for 5 s (its processes stopped) from the first unit's end: the units' update times
//   against a run without the stall, and the lines left waiting, sent afterwards.
//
//     build/bench/bench_record [WRITERS [LINES_PER_WRITER [ROWS [UNITS]]]]
//                                                          default: 16 100 1000000 16

#include "record/pgrecord.h"
#include "record/recordstats.h"
#include "record/recordstore.h"

#include "benchunits.h"
#include "pgcluster.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

SProductionRecord sampleRecord(int writer, int line)
{
    SProductionRecord r;
    r.attemptId = QUuid::createUuid();
    r.time = QDateTime::currentDateTimeUtc();
    r.port = QStringLiteral("/dev/ttyACM%1").arg(writer);
    r.model = QStringLiteral("ventaro plus");
    r.serial = quint32(100000 + writer * 10000 + line);
    r.bootBefore = QStringLiteral("2.20.A");
    r.applBefore = QStringLiteral("2.20");
    r.bootAfter = QStringLiteral("2.24.B");
    r.applAfter = QStringLiteral("2.24");
    r.images = {{QStringLiteral("application"), QStringLiteral("2.24"), QByteArray(64, 'a')}};
    r.durationMs = 15000;
    r.outcome = QStringLiteral("updated");
    r.station = QStringLiteral("line %1").arg(writer % 4);
    return r;
}

// One writer process: its per-line microseconds into `out`.
int writer(const QString& uri, const QString& spool, int number, int lines, const QString& out)
{
    QString error;
    auto sink = recordstore::open(uri, spool, error);
    if (!sink || !sink->check(CRecordSink::EFull, error)) {
        std::fprintf(stderr, "writer %d: %s\n", number, qPrintable(error));
        return 1;
    }
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    for (int i = 0; i < lines; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (!sink->write(sampleRecord(number, i), error) || sink->send(CRecordSink::EOwn) != 0) {
            std::fprintf(stderr, "writer %d: %s\n", number, qPrintable(error + sink->sendError()));
            return 1;
        }
        file.write(QByteArray::number(clock.nsecsElapsed() / 1000) + '\n');
    }
    return 0;
}

bool concurrentWriters(pgtest::Cluster& server, const QString& dir, int writers, int lines)
{
    const QString spool = dir + QStringLiteral("/spool.jsonl");
    QElapsedTimer clock;
    clock.start();
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(writer(server.uri(), spool, w, lines, dir + QStringLiteral("/w%1").arg(w)));
        children.push_back(child);
    }
    bool ok = true;
    for (pid_t child : children) {
        int status = 0;
        ok = ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
             WEXITSTATUS(status) == 0 && ok;
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    rusage usage = {};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const double cpuMs = (double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                          double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
    std::vector<qint64> us;
    for (int w = 0; w < writers; ++w) {
        QFile f(dir + QStringLiteral("/w%1").arg(w));
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& line : f.readAll().split('\n'))
                if (!line.isEmpty())
                    us.push_back(line.toLongLong());
    }
    std::sort(us.begin(), us.end());
    const QString rows =
        server.value(QStringLiteral("SELECT count(DISTINCT attempt_id) FROM unit_update"));
    if (us.empty() || !ok) {
        std::printf("writers failed\n");
        return false;
    }
    std::printf("%d writers x %d lines: %.0f lines/s (%.2f s), %s rows; one line costs a writer "
                "median %.2f ms, p95 %.2f ms, worst %.2f ms (spool append + fsync, insert, mark); "
                "processor time per line %.2f ms\n",
                writers, lines, double(us.size()) / seconds, seconds, qPrintable(rows),
                double(us[us.size() / 2]) / 1000, double(us[us.size() * 95 / 100]) / 1000,
                double(us.back()) / 1000, cpuMs / double(us.size()));
    return true;
}

bool statsOverRows(pgtest::Cluster& server, const QString& dir, int rows)
{
    // Units of 1 to 3 attempts over 60 days and 8 stations, a tenth failed at first.
    QElapsedTimer clock;
    clock.start();
    if (!server.psql(QStringLiteral("DELETE FROM unit_update")) ||
        !server.psql(
            QStringLiteral(
                "INSERT INTO unit_update (attempt_id, host, \"time\", port, model, serial, "
                "duration_s, retries, exit_code, outcome, station) SELECT "
                "gen_random_uuid(), 'bench', timestamptz '2026-10-01' + i * interval "
                "'5 seconds', '/dev/ttyACM0', 'ventaro plus', 200000 + i / 2, 15 + i % "
                "7, 0, CASE WHEN i % 20 = 0 THEN 4 ELSE 0 END, CASE WHEN i % 20 = 0 "
                "THEN 'transfer-failed' ELSE 'updated' END, 'line ' || i % 8 FROM "
                "generate_series(1, %1) AS i")
                .arg(rows)) ||
        !server.psql(QStringLiteral("VACUUM ANALYZE unit_update"))) {
        std::printf("%s\n", qPrintable(server.error()));
        return false;
    }
    std::printf("%d rows made in %.1f s\n", rows, double(clock.elapsed()) / 1000);

    SRecordUri uri;
    QString error;
    if (!recorduri::parse(server.uri(), uri, error))
        return false;
    CPgRecordDb db(uri);
    QVector<SAttempt> attempts;
    clock.restart();
    if (!db.open(error) || !db.attempts(SStatsFilter(), attempts, error)) {
        std::printf("%s\n", qPrintable(error));
        return false;
    }
    const qint64 readMs = clock.elapsed();
    clock.restart();
    SStats stats = recordstats::compute(attempts, SStatsFilter());
    const qint64 computeMs = clock.elapsed();
    std::printf("record stats from the database over %d rows: %.2f s (read %.2f s, figures %.2f "
                "s); %d units, first-pass yield %.3f\n",
                int(attempts.size()), double(readMs + computeMs) / 1000, double(readMs) / 1000,
                double(computeMs) / 1000, stats.all.units, stats.all.firstPassYield);

    // The command itself, as a technician runs it.
    QProcess cli;
    clock.restart();
    cli.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/ventaro-cli"),
              {QStringLiteral("record"), QStringLiteral("stats"), QStringLiteral("--json"),
               QStringLiteral("--record"), server.uri()});
    if (cli.waitForFinished(60000) && cli.exitCode() == 0)
        std::printf("ventaro-cli record stats --json from the database: %.2f s\n",
                    double(clock.elapsed()) / 1000);
    else
        std::printf("ventaro-cli record stats failed: %s\n",
                    cli.readAllStandardError().constData());

    // The same rows as a CSV record file.
    const QString csv = dir + QStringLiteral("/record.csv");
    {
        QFile f(csv);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        QByteArray bytes = productionrecord::header();
        for (const SAttempt& a : attempts) {
            SProductionRecord r;
            r.time = QDateTime::fromMSecsSinceEpoch(a.timeMs, Qt::UTC);
            r.port = QStringLiteral("/dev/ttyACM0");
            r.model = a.model;
            r.serial = a.serial;
            r.durationMs = qint64(a.durationS * 1000);
            r.outcome = a.outcome;
            r.station = a.station;
            bytes += productionrecord::line(r);
            if (bytes.size() > (1 << 24)) {
                f.write(bytes);
                bytes.clear();
            }
        }
        f.write(bytes);
    }
    clock.restart();
    QFile f(csv);
    if (!f.open(QIODevice::ReadOnly) || !recordstats::readCsv(f.readAll(), attempts, error))
        return false;
    const qint64 csvReadMs = clock.elapsed();
    clock.restart();
    const SStats fromFile = recordstats::compute(attempts, SStatsFilter());
    const qint64 csvComputeMs = clock.elapsed();
    std::printf("record stats from a CSV file of %d lines (%.0f MB): %.2f s (read %.2f s, figures "
                "%.2f s); same figures as the database: %s\n",
                int(attempts.size()), double(QFileInfo(csv).size()) / 1e6,
                double(csvReadMs + csvComputeMs) / 1000, double(csvReadMs) / 1000,
                double(csvComputeMs) / 1000,
                recordstats::json(fromFile) == recordstats::json(stats) ? "yes" : "NO");
    return true;
}

// The server's processes: its postmaster and every process it started.
QList<pid_t> serverProcesses(const pgtest::Cluster& server)
{
    QFile pidFile(server.socketDir() + QStringLiteral("/data/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return {};
    const pid_t postmaster = pid_t(pidFile.readLine().trimmed().toInt());
    QList<pid_t> out = {postmaster};
    QDirIterator it(QStringLiteral("/proc"));
    while (it.hasNext()) {
        const QString entry = QFileInfo(it.next()).fileName();
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && pid_t(rest[1].toInt()) == postmaster)
            out << pid_t(entry.toInt());
    }
    return out;
}

struct SStationRun
{
    int exitCode = -1;
    double meanS = 0, longestS = 0;
    int waitingAtEnd = -1;
};

// `update --all` against `units` simulated units writing to the database; with `stallMs`, the
// server's processes are stopped that long from the first unit's end.
SStationRun stationRun(pgtest::Cluster& server, const QString& dir, int units, int firstSerial,
                       int stallMs)
{
    SStationRun run;
    const QString ports = dir + QStringLiteral("/ports%1").arg(firstSerial);
    QDir().mkpath(ports);
    benchunits::SUnits sims = benchunits::start(ports, units, firstSerial);
    QProcess cli;
    cli.setProcessEnvironment(benchunits::cliEnvironment(ports, QStringLiteral("bench_record")));
    cli.setStandardErrorFile(QProcess::nullDevice());
    cli.start(benchunits::binary("../src/ventaro-cli"),
              {"update", "--all", "--json", "--record", server.uri(), "--spool",
               dir + QStringLiteral("/station-spool.jsonl")});
    QByteArray out;
    QList<pid_t> stopped;
    QElapsedTimer stall;
    while (cli.state() != QProcess::NotRunning || cli.bytesAvailable() > 0) {
        cli.waitForReadyRead(50);
        out += cli.readAllStandardOutput();
        if (stallMs > 0 && stopped.isEmpty() && !stall.isValid() && out.contains("\"done\"")) {
            stopped = serverProcesses(server);
            for (pid_t pid : stopped)
                ::kill(pid, SIGSTOP);
            stall.start();
        }
        if (stall.isValid() && !stopped.isEmpty() && stall.elapsed() >= stallMs) {
            for (pid_t pid : stopped)
                ::kill(pid, SIGCONT);
            stopped.clear();
        }
    }
    for (pid_t pid : stopped)
        ::kill(pid, SIGCONT);
    run.exitCode = cli.exitCode();
    int done = 0;
    for (const QByteArray& line : out.split('\n')) {
        const QJsonObject event = QJsonDocument::fromJson(line).object();
        const QString name = event.value(QStringLiteral("event")).toString();
        if (name == QLatin1String("done")) {
            const double s = event.value(QStringLiteral("durationMs")).toDouble() / 1000;
            run.meanS += s;
            run.longestS = std::max(run.longestS, s);
            ++done;
        } else if (name == QLatin1String("summary")) {
            run.waitingAtEnd = event.value(QStringLiteral("recordWaiting")).toInt();
        }
    }
    run.meanS = done > 0 ? run.meanS / done : 0;
    benchunits::stop(sims);
    return run;
}

bool stationAgainstStall(pgtest::Cluster& server, const QString& dir, int units)
{
    const SStationRun calm = stationRun(server, dir, units, 71000, 0);
    const SStationRun stalled = stationRun(server, dir, units, 72000, 5000);
    QProcess sync;
    sync.start(benchunits::binary("../src/ventaro-cli"),
               {"record", "sync", "--record", server.uri(), "--spool",
                dir + QStringLiteral("/station-spool.jsonl")});
    sync.waitForFinished(60000);
    const QString rows = server.value(QStringLiteral(
        "SELECT count(DISTINCT attempt_id) FROM unit_update WHERE coalesce(station, '') = '' "
        "AND serial BETWEEN 71000 AND 72999"));
    std::printf("station of %d workers, the server stalled 5 s from the first unit's end: update "
                "time mean %.2f s against %.2f s without (%.3f x), longest %.2f s against %.2f s "
                "(%.3f x); exit %d and %d; lines waiting at the end %d, after record sync %s of "
                "%d rows\n",
                units, stalled.meanS, calm.meanS, stalled.meanS / std::max(calm.meanS, 1e-9),
                stalled.longestS, calm.longestS, stalled.longestS / std::max(calm.longestS, 1e-9),
                calm.exitCode, stalled.exitCode, stalled.waitingAtEnd, qPrintable(rows), 2 * units);
    return calm.exitCode == 0 && stalled.exitCode == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int writers = args.size() > 1 ? args[1].toInt() : 16;
    const int lines = args.size() > 2 ? args[2].toInt() : 100;
    const int rows = args.size() > 3 ? args[3].toInt() : 1000000;
    const int units = args.size() > 4 ? args[4].toInt() : 16;

    pgtest::Cluster server;
    server.setDurable(true);
    if (!server.create()) {
        std::printf("cannot start a server: %s\n", qPrintable(server.error()));
        return 1;
    }
    qputenv("PGPASSWORD", pgtest::kPassword);
    SRecordUri uri;
    QString error;
    QStringList applied;
    if (!recorduri::parse(server.uri(), uri, error))
        return 1;
    {
        CPgRecordDb db(uri);
        if (!db.open(error) || !db.init(applied, error)) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
    }
    QTemporaryDir dir;
    const bool ok = concurrentWriters(server, dir.path(), writers, lines) &&
                    statsOverRows(server, dir.path(), rows) &&
                    stationAgainstStall(server, dir.path(), units);
    return ok ? 0 : 1;
}
