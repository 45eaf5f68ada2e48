// The parts of the database record that need no server: the URI, the spool and the figures.

#include "record/recordspool.h"
#include "record/recordstats.h"
#include "record/recorduri.h"

#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <clocale>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

SSpoolEntry entry(int n)
{
    SSpoolEntry e;
    e.attemptId = QUuid::createUuid();
    e.host = QStringLiteral("station-%1").arg(n);
    e.values = {{QStringLiteral("serial"), QString::number(60000 + n)},
                {QStringLiteral("images"), QStringLiteral("a, \"b\"\nc")}};
    return e;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

SAttempt at(const char* time, quint32 serial, const char* outcome, double seconds = 10,
            const char* station = "A", const char* model = "ventaro plus")
{
    SAttempt a;
    a.timeMs = QDateTime::fromString(QLatin1String(time), Qt::ISODate).toMSecsSinceEpoch();
    a.serial = serial;
    a.outcome = QLatin1String(outcome);
    a.durationS = seconds;
    a.station = QLatin1String(station);
    a.model = QLatin1String(model);
    return a;
}

} // namespace

Q_DECLARE_METATYPE(SAttempt)

class tst_RecordStore : public QObject
{
    Q_OBJECT

private slots:
    void uriForms_data();
    void uriForms();
    void spoolKeepsWhatIsNotSent();
    void spoolWritersAndSenderAtOnce();
    void spoolReadWhileReplaced();
    void figures_data();
    void figures();
    void csvRecordIsRead();
    void textTable();
    void figuresPerBundle();
};

void tst_RecordStore::uriForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // SRecordUri::text(), empty when refused
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("error"); // part of the refusal

    QTest::addRow("full") << "postgresql://ann@db.plant:5433/factory"
                          << "postgresql://ann@db.plant:5433/factory"
                          << "connect_timeout=3"
                          << "";
    QTest::addRow("short scheme, defaults") << "postgres://db/factory"
                                            << "postgresql://db/factory"
                                            << ""
                                            << "";
    QTest::addRow("socket folder") << "postgresql://ann@%2Frun%2Fpostgresql/factory"
                                   << "postgresql://ann@%2Frun%2Fpostgresql/factory"
                                   << ""
                                   << "";
    QTest::addRow("ipv6") << "postgresql://ann@[::1]:5432/f"
                          << "postgresql://ann@[::1]:5432/f"
                          << ""
                          << "";
    QTest::addRow("parameters") << "postgresql://ann@h/f?sslmode=require&connect_timeout=9"
                                << "postgresql://ann@h/f"
                                << "sslmode=require"
                                << "";
    // A password is never taken from the URI, and never repeated in the refusal.
    QTest::addRow("password") << "postgresql://ann:pw-secret@h/f"
                              << ""
                              << ""
                              << "postgresql://ann:***@h/f holds a password";
    QTest::addRow("password with a slash") << "postgresql://ann:pw/secret@h/f"
                                           << ""
                                           << ""
                                           << "postgresql://ann:***@h/f";
    QTest::addRow("password parameter") << "postgresql://ann@h/f?password=pw-secret"
                                        << ""
                                        << ""
                                        << "holds a password";
    QTest::addRow("port too big") << "postgresql://h:99999/f"
                                  << ""
                                  << ""
                                  << "bad port";
    QTest::addRow("port not a number") << "postgresql://h:x/f"
                                       << ""
                                       << ""
                                       << "bad port";
    QTest::addRow("unknown parameter") << "postgresql://h/f?host=evil"
                                       << ""
                                       << ""
                                       << "unknown parameter \"host\"";
    // A value goes into libpq's conninfo as it is: a blank would start another keyword there.
    QTest::addRow("blank in a value") << "postgresql://h/f?application_name=a%20host=evil"
                                      << ""
                                      << ""
                                      << "bad value";
    QTest::addRow("broken escape") << "postgresql://h/f%2"
                                   << ""
                                   << ""
                                   << "bad database";
    QTest::addRow("not a URI") << "record.csv"
                               << ""
                               << ""
                               << "not a postgresql:// URI";
}

void tst_RecordStore::uriForms()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QString, option);
    QFETCH(QString, error);
    SRecordUri uri;
    QString refusal;
    const bool ok = recorduri::parse(text, uri, refusal);
    QCOMPARE(ok, !shown.isEmpty());
    QCOMPARE(recorduri::isDatabase(text), text.startsWith(QLatin1String("postgres")));
    if (ok) {
        QCOMPARE(uri.text(), shown);
        if (!option.isEmpty())
            QVERIFY2(uri.connectOptions.contains(option), qPrintable(uri.connectOptions.join(';')));
        return;
    }
    QVERIFY2(refusal.contains(error), qPrintable(refusal));
    QVERIFY2(!refusal.contains(QLatin1String("secret")), qPrintable(refusal));
    QVERIFY(!recorduri::masked(text).contains(QLatin1String("secret")));
}

// Entries marked sent are left out, a line torn by a crash costs only itself (the next writer
// starts a line of its own), and the file is emptied once nothing waits.
void tst_RecordStore::spoolKeepsWhatIsNotSent()
{
    QTemporaryDir dir;
    const CRecordSpool spool(dir.filePath(QStringLiteral("state/ventaro/spool.jsonl")));
    QString error;
    QVERIFY2(spool.check(error), qPrintable(error));
    const SSpoolEntry one = entry(1), two = entry(2), three = entry(3);
    QVERIFY(spool.append(one, error));
    QVERIFY(spool.append(two, error));
    {
        QFile file(spool.path());
        QVERIFY(file.open(QIODevice::Append));
        file.write(recordspool::entryLine(entry(9)).left(30)); // a writer died half-way
    }
    QVERIFY(spool.append(three, error));
    QVERIFY(spool.append(two, error)); // written twice: still one attempt

    int skipped = 0;
    QVector<SSpoolEntry> waiting = recordspool::pending(readAll(spool.path()), &skipped);
    QCOMPARE(skipped, 1);
    QCOMPARE(waiting.size(), 3);
    QCOMPARE(waiting.at(2).attemptId, three.attemptId);
    QCOMPARE(waiting.at(0).values, one.values);
    QCOMPARE(waiting.at(0).host, one.host);

    QVERIFY(spool.markSent({one.attemptId, three.attemptId}, error));
    QVERIFY(spool.pending(waiting, error));
    QCOMPARE(waiting.size(), 1);
    QCOMPARE(waiting.at(0).attemptId, two.attemptId);
    QVERIFY(spool.markSent({two.attemptId}, error));
    QCOMPARE(QFileInfo(spool.path()).size(), 0);
}

// Station workers append while another process sends and marks: no entry is lost to the
// emptying of the file, none is left unmarked once sent.
void tst_RecordStore::spoolWritersAndSenderAtOnce()
{
    QTemporaryDir dir;
    const CRecordSpool spool(dir.filePath(QStringLiteral("spool.jsonl")));
    const QString marked = dir.filePath(QStringLiteral("marked"));
    constexpr int kWriters = 3;
    constexpr int kEntries = 60;
    QVector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            QString error;
            for (int i = 0; i < kEntries; ++i)
                if (!spool.append(entry(w * 1000 + i), error))
                    ::_exit(1);
            ::_exit(0);
        }
        children << child;
    }
    const pid_t sender = ::fork();
    QVERIFY(sender >= 0);
    if (sender == 0) {
        QFile out(marked);
        if (!out.open(QIODevice::WriteOnly))
            ::_exit(1);
        for (int round = 0; round < 400; ++round) {
            QVector<SSpoolEntry> waiting;
            QString error;
            if (!spool.pending(waiting, error))
                ::_exit(1);
            QVector<QUuid> ids;
            for (const SSpoolEntry& e : waiting)
                ids << e.attemptId;
            if (!spool.markSent(ids, error))
                ::_exit(1);
            for (const QUuid& id : ids)
                out.write(id.toByteArray() + '\n');
            out.flush();
            ::usleep(500);
        }
        ::_exit(0);
    }
    children << sender;
    for (pid_t child : children) {
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QSet<QUuid> seen;
    for (const QByteArray& line : readAll(marked).split('\n'))
        if (!line.isEmpty())
            seen.insert(QUuid::fromString(QString::fromLatin1(line)));
    QVector<SSpoolEntry> waiting;
    QString error;
    QVERIFY(spool.pending(waiting, error));
    for (const SSpoolEntry& e : waiting) {
        QVERIFY(!seen.contains(e.attemptId)); // marked and still waiting: would be sent twice
        seen.insert(e.attemptId);
    }
    QCOMPARE(seen.size(), kWriters * kEntries);
}

// A reader that waited for the lock while the spool was replaced by its compacted copy reads
// the copy, whatever errno an earlier call left behind.
void tst_RecordStore::spoolReadWhileReplaced()
{
    QTemporaryDir dir;
    const CRecordSpool spool(dir.filePath(QStringLiteral("spool.jsonl")));
    QString error;
    QVERIFY(spool.append(entry(1), error));
    const int held = ::open(QFile::encodeName(spool.path()).constData(), O_RDONLY);
    QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
    QVector<SSpoolEntry> read;
    bool readOk = false;
    std::thread reader([&] {
        QString readError;
        errno = ENOENT;
        readOk = spool.pending(read, readError);
    });
    QThread::msleep(100); // the reader waits for the lock on the file it opened
    const QString copy = spool.path() + QStringLiteral(".new");
    QFile next(copy);
    QVERIFY(next.open(QIODevice::WriteOnly));
    next.write(recordspool::entryLine(entry(2)));
    next.close();
    QVERIFY(::rename(QFile::encodeName(copy).constData(),
                     QFile::encodeName(spool.path()).constData()) == 0);
    ::close(held);
    reader.join();
    QVERIFY(readOk);
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.at(0).host, entry(2).host);
}

void tst_RecordStore::figures_data()
{
    QTest::addColumn<QVector<SAttempt>>("attempts");
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("updated");
    QTest::addColumn<int>("upToDate");
    QTest::addColumn<QString>("failed"); // "outcome=count,..."
    QTest::addColumn<double>("firstPass");
    QTest::addColumn<double>("lastPass");
    QTest::addColumn<double>("median");

    QTest::addRow("failed, then updated")
        << QVector<SAttempt>{at("2026-12-07T08:00:10Z", 1, "updated", 5),
                             at("2026-12-07T08:00:00Z", 2, "transfer-failed", 3),
                             at("2026-12-07T08:05:00Z", 2, "updated", 9)}
        << 2 << 2 << 0 << "" << 0.5 << 1.0 << 7.0;
    // The record may list a later attempt first (two stations' lines in one file): time decides.
    QTest::addRow("order by time, not by line")
        << QVector<SAttempt>{at("2026-12-07T09:00:00Z", 3, "no-come-back"),
                             at("2026-12-07T08:00:00Z", 3, "updated", 4)}
        << 1 << 0 << 0 << "no-come-back=1" << 1.0 << 0.0 << 4.0;
    QTest::addRow("up to date after its update counts as updated")
        << QVector<SAttempt>{at("2026-12-07T08:00:00Z", 4, "updated", 6),
                             at("2026-12-07T08:10:00Z", 4, "up-to-date", 0),
                             at("2026-12-07T08:20:00Z", 5, "up-to-date", 0)}
        << 2 << 1 << 1 << "" << 1.0 << 1.0 << 6.0;
    QTest::addRow("units without a serial number are each their own")
        << QVector<SAttempt>{at("2026-12-07T08:00:00Z", 0, "not-updatable"),
                             at("2026-12-07T08:01:00Z", 0, "updated", 8)}
        << 2 << 1 << 0 << "not-updatable=1" << 0.5 << 0.5 << 8.0;
    QTest::addRow("same number, other model: another unit")
        << QVector<SAttempt>{at("2026-12-07T08:00:00Z", 7, "swap-failed", 1, "A", "ventaro100"),
                             at("2026-12-07T08:01:00Z", 7, "updated", 2, "A", "ventaro plus")}
        << 2 << 1 << 0 << "swap-failed=1" << 0.5 << 0.5 << 2.0;
    QTest::addRow("nothing") << QVector<SAttempt>{} << 0 << 0 << 0 << "" << 0.0 << 0.0 << 0.0;
}

void tst_RecordStore::figures()
{
    QFETCH(QVector<SAttempt>, attempts);
    QFETCH(int, units);
    QFETCH(int, updated);
    QFETCH(int, upToDate);
    QFETCH(QString, failed);
    QFETCH(double, firstPass);
    QFETCH(double, lastPass);
    QFETCH(double, median);
    const SFigures f = recordstats::compute(attempts, SStatsFilter()).all;
    QCOMPARE(f.units, units);
    QCOMPARE(f.updated, updated);
    QCOMPARE(f.upToDate, upToDate);
    QStringList byOutcome;
    for (auto it = f.byOutcome.cbegin(); it != f.byOutcome.cend(); ++it)
        byOutcome << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
    QCOMPARE(byOutcome.join(','), failed);
    QCOMPARE(f.failed, units - updated - upToDate);
    QCOMPARE(f.firstPassYield, firstPass);
    QCOMPARE(f.lastPassYield, lastPass);
    QCOMPARE(f.medianSeconds, median);
}

// The header names the columns: a file from before `station` and `operator` existed is read
// too; quoted fields may hold commas, quotes and line breaks. Numbers keep their decimal point
// under a locale that writes a comma.
void tst_RecordStore::csvRecordIsRead()
{
    QVERIFY2(std::setlocale(LC_ALL, "de_DE.UTF-8"), "no de_DE.UTF-8 locale: run scripts/deps.sh");
    const auto restore = qScopeGuard([] { std::setlocale(LC_ALL, "C"); });
    const QByteArray older =
        "time,port,model,serial,boot_before,appl_before,wifi_before,boot_after,appl_after,"
        "wifi_after,images,duration_s,retries,exit_code,outcome\n"
        "2026-12-07T22:05:09Z,\"/dev/a,\"\"b\"\"\nc\",ventaro100,50123,,,,,,,,12.3,0,0,updated\n"
        "2026-12-07T22:06:09Z,/dev/x,ventaro100,50124,,,,,,,,1.0,0,4,transfer-failed\n"
        "2026-12-07T22:07:0"; // torn
    QVector<SAttempt> attempts;
    QString error;
    QVERIFY2(recordstats::readCsv(older, attempts, error), qPrintable(error));
    QCOMPARE(attempts.size(), 2);
    QCOMPARE(attempts[0].serial, 50123u);
    QCOMPARE(attempts[0].durationS, 12.3);
    QCOMPARE(attempts[0].timeMs,
             QDateTime(QDate(2026, 12, 7), QTime(22, 5, 9), Qt::UTC).toMSecsSinceEpoch());
    QCOMPARE(attempts[1].outcome, QStringLiteral("transfer-failed"));
    QVERIFY(attempts[1].station.isEmpty());

    QVERIFY(!recordstats::readCsv("a,b,c\n1,2,3\n", attempts, error));
    QVERIFY2(error.contains(QLatin1String("not a production record")), qPrintable(error));

    qint64 since = 0;
    QVERIFY(recordstats::parseSince(QStringLiteral("2026-12-07"), since));
    QCOMPARE(since, QDateTime(QDate(2026, 12, 7), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch());
    QVERIFY(recordstats::parseSince(QStringLiteral("2026-12-07T10:00:00"), since));
    QCOMPARE(since, QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch());
    QVERIFY(!recordstats::parseSince(QStringLiteral("yesterday"), since));
}

void tst_RecordStore::textTable()
{
    const QVector<SAttempt> attempts = {
        at("2026-12-07T08:00:00Z", 1, "updated", 10, "line 3"),
        at("2026-12-07T09:00:00Z", 2, "transfer-failed", 3, "line 3"),
        at("2026-12-08T08:00:00Z", 2, "updated", 12, "line 3"),
        at("2026-12-08T08:00:00Z", 3, "updated", 11, ""),
    };
    SStatsFilter filter;
    const QStringList lines =
        recordstats::text(recordstats::compute(attempts, filter)).split(QLatin1Char('\n'));
    const QStringList expected = {
        "units 3, updated 3, up to date 0, failed 0; first-pass yield 66.7 %, last-pass yield "
        "100.0 %; median time 11.0 s",
        "",
        "station          day         units  updated  failed  first-pass  last-pass  median s",
        "-                2026-12-08      1        1       0     100.0 %    100.0 %      11.0",
        "line 3           2026-12-07      2        1       1      50.0 %     50.0 %      10.0",
        "line 3           2026-12-08      1        1       0     100.0 %    100.0 %      12.0",
        "line 3           all days        2        2       0      50.0 %    100.0 %      11.0",
        "",
    };
    for (int i = 0; i < std::max(lines.size(), expected.size()); ++i)
        QCOMPARE(lines.value(i), expected.value(i));
    filter.stationGiven = true;
    filter.station = QStringLiteral("line 3");
    QVERIFY(recordstats::parseSince(QStringLiteral("2026-12-08"), filter.sinceMs));
    const SStats later = recordstats::compute(attempts, filter);
    QCOMPARE(later.all.units, 1);
    QCOMPARE(later.stations.size(), 1);
}

// A release's figures count the attempts made with it: a unit that failed with the built-in
// images and was updated with the bundle counts for each; the bundle column is read from a file.
void tst_RecordStore::figuresPerBundle()
{
    const QByteArray file =
        "time,port,model,serial,boot_before,appl_before,wifi_before,boot_after,appl_after,"
        "wifi_after,images,duration_s,retries,exit_code,outcome,station,operator,verified,"
        "verify_detail,bundle,bundle_sha256,bundle_key,bundle_counter\n"
        "2026-12-07T08:00:00Z,/dev/a,ventaro plus,60001,,,,,,,,5.0,0,4,transfer-failed,A,,no,,,,,\n"
        "2026-12-07T09:00:00Z,/dev/a,ventaro "
        "plus,60001,,,,,,,,9.0,0,0,updated,A,,yes,,2.30,ab,K,3\n"
        "2026-12-07T09:10:00Z,/dev/a,ventaro "
        "plus,60002,,,,,,,,11.0,0,0,updated,A,,yes,,2.30,ab,K,3\n";
    QVector<SAttempt> attempts;
    QString error;
    QVERIFY2(recordstats::readCsv(file, attempts, error), qPrintable(error));
    QCOMPARE(attempts.size(), 3);
    QCOMPARE(attempts[1].bundle, QStringLiteral("2.30"));
    const SStats stats = recordstats::compute(attempts, SStatsFilter());
    QCOMPARE(stats.bundles.size(), 2);
    QCOMPARE(stats.bundles[0].release, QString());
    QCOMPARE(stats.bundles[0].figures.failed, 1);
    QCOMPARE(stats.bundles[1].release, QStringLiteral("2.30"));
    QCOMPARE(stats.bundles[1].figures.units, 2);
    QCOMPARE(stats.bundles[1].figures.updated, 2);
    QCOMPARE(stats.bundles[1].figures.medianSeconds, 10.0);
    const QStringList lines = recordstats::text(stats).split(QLatin1Char('\n'));
    const QStringList expected = {
        "bundle                       units  updated  failed  first-pass  last-pass  median s",
        "(built in)                       1        0       1       0.0 %      0.0 %       0.0",
        "2.30                             2        2       0     100.0 %    100.0 %      10.0"};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(lines.value(2 + i), expected.at(i));
}

QTEST_GUILESS_MAIN(tst_RecordStore)
#include "tst_recordstore.moc"
