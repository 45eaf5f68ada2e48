// `ventaro-cli update --all` and `ventaro-cli station` against several simulated units, each
// its own ventaro-devsim process on a pty: every unit updated by its own worker, followed by
// identity, with one production-record line each.

#include "cliprocess.h"
#include "flashout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <memory>
#include <stdlib.h>
#include <unistd.h>

using namespace clitest;

namespace {

constexpr int kRunTimeoutMs = 180000;
// A plus unit with older software: application and bootloader are written.
const QStringList kPlusOlder = {"--model",        "plus", "--partner",      "1",
                                "--boot-version", "2.20", "--appl-version", "2.20"};
// The same unit as its update left it: the built-in versions, running the other bootloader copy.
// The update rules would write its application again; the station knows it updated the unit.
const QStringList kPlusAsUpdated = {"--model",        "plus", "--partner",      "2",
                                    "--boot-version", "2.24", "--appl-version", "2.24"};

// Several simulated units in one port folder, each under its own name.
class Units
{
public:
    explicit Units(Bench& bench) : m_Bench(bench) {}
    ~Units()
    {
        for (auto& [name, sim] : m_Sims)
            stop(name);
    }

    bool start(const QString& name, const QStringList& args)
    {
        stop(name);
        auto& sim = m_Sims[name];
        sim = std::make_unique<QProcess>();
        sim->setStandardOutputFile(QProcess::nullDevice());
        sim->setStandardErrorFile(m_Bench.path(name + QStringLiteral(".log")), QIODevice::Append);
        sim->start(simPath(), QStringList{"--port-dir", m_Bench.portDir(), "--name", name,
                                          "--flash-out", m_Bench.path(name)} +
                                  args);
        if (!sim->waitForStarted(kTimeoutMs))
            return false;
        const QString file = QDir(m_Bench.portDir()).filePath(name + QStringLiteral(".port"));
        return QTest::qWaitFor([&] { return QFile::exists(file); }, kTimeoutMs);
    }
    void stop(const QString& name)
    {
        auto it = m_Sims.find(name);
        if (it == m_Sims.end() || !it->second)
            return;
        it->second->terminate();
        if (!it->second->waitForFinished(3000))
            it->second->kill();
        it->second->waitForFinished(3000);
        it->second.reset();
    }

private:
    Bench& m_Bench;
    std::map<QString, std::unique_ptr<QProcess>> m_Sims;
};

QVector<QJsonObject> events(const QString& out, const QString& name)
{
    QVector<QJsonObject> found;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (object.value(QStringLiteral("event")).toString() == name)
            found << object;
    }
    return found;
}

// The "done" event of the unit with `serial`.
QJsonObject doneOf(const QString& out, int serial)
{
    for (const QJsonObject& done : events(out, QStringLiteral("done")))
        if (done.value(QStringLiteral("serial")).toInt() == serial)
            return done;
    return {};
}

QStringList recordLines(const Bench& bench)
{
    QFile file(bench.path(QStringLiteral("record.csv")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString recordOf(const QStringList& lines, int serial)
{
    for (const QString& line : lines)
        if (line.section(QLatin1Char(','), 3, 3) == QString::number(serial))
            return line;
    return {};
}

} // namespace

class tst_CliStation : public QObject
{
    Q_OBJECT

private slots:
    void updateAllWithOneFaultyUnit();
    void stationFollowsUnitsByIdentity();
    void terminalLinesOfDoneUnitsScrollAway();
};

// Four units, three at a time; one loses its cable half-way and never comes back, one restarts
// after its swap, one reports a checksum error for its new application, the one left waiting
// for its turn is plugged in again meanwhile (and so comes back under another port name); a
// fifth port never answers. The good ones are updated and hold the built-in images; the faulty
// ones report their codes and texts; the summary and the exit code say three failed.
void tst_CliStation::updateAllWithOneFaultyUnit()
{
    Bench bench;
    Units units(bench);
    const std::map<int, QStringList> unitArgs = {
        {60001, kPlusOlder + QStringList{"--serial", "60001"}},
        {60002, kPlusOlder + QStringList{"--serial", "60002", "--crc-ko", "3"}},
        {60003, kPlusOlder + QStringList{"--serial", "60003", "--reboot-after-swap", "0",
                                         "--reboot-pause", "500"}},
        {60004, kPlusOlder + QStringList{"--serial", "60004", "--unplug-after", "60"}},
    };
    for (const auto& [serial, args] : unitArgs)
        QVERIFY(units.start(QStringLiteral("u%1").arg(serial - 60000), args));
    // A ventaro port where nothing answers: a unit that was not updated.
    QFile dead(QDir(bench.portDir()).filePath(QStringLiteral("dead.port")));
    QVERIFY(dead.open(QIODevice::WriteOnly));
    dead.write("port=/dev/null\nvid=0x0409\npid=0x01D9\n");
    dead.close();

    QProcess cli;
    cli.setProcessEnvironment(bench.environment());
    cli.start(cliPath(),
              {"update", "--all", "--jobs", "3", "--json", "--record", bench.path("record.csv"),
               "--station", "line 3", "--operator", "ann", "--reboot-timeout", "20"});
    QVERIFY(cli.waitForStarted(kTimeoutMs));
    CliResult r;
    auto count = [&](const char* name) {
        r.out += QString::fromUtf8(cli.readAllStandardOutput());
        return events(r.out, QLatin1String(name)).size();
    };
    QVERIFY2(
        QTest::qWaitFor([&] { return count("unit") == 4 && count("started") == 3; }, kTimeoutMs),
        qPrintable(r.out));
    QSet<int> started;
    for (const QJsonObject& e : events(r.out, QStringLiteral("started")))
        started << e.value(QStringLiteral("serial")).toInt();
    // The pty it had is taken meanwhile, so it comes back under another name.
    int taken = -1;
    for (const auto& [serial, args] : unitArgs) {
        if (started.contains(serial))
            continue;
        units.stop(QStringLiteral("u%1").arg(serial - 60000));
        taken = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(units.start(QStringLiteral("u%1").arg(serial - 60000), args));
    }
    QVERIFY(taken >= 0);
    const bool finished = cli.waitForFinished(kRunTimeoutMs);
    ::close(taken);
    QVERIFY(finished);
    r.out += QString::fromUtf8(cli.readAllStandardOutput());
    r.err = QString::fromUtf8(cli.readAllStandardError());
    r.exitCode = cli.exitCode();
    QVERIFY2(r.exitCode == 13, describe(r));

    for (int serial : {60001, 60002, 60003}) {
        flashout::verifyPlusUpdate(bench.path(QStringLiteral("u%1").arg(serial - 60000)));
        if (serial == 60002)
            continue; // written, but not confirmed
        const QJsonObject done = doneOf(r.out, serial);
        QVERIFY2(done.value(QStringLiteral("exitCode")).toInt() == 0, describe(r));
        QCOMPARE(done.value(QStringLiteral("text")).toString(), QStringLiteral("updated - unplug"));
    }
    const QJsonObject unconfirmed = doneOf(r.out, 60002);
    QCOMPARE(unconfirmed.value(QStringLiteral("exitCode")).toInt(), 14);
    QCOMPARE(unconfirmed.value(QStringLiteral("outcome")).toString(),
             QStringLiteral("verify-failed"));
    const QJsonObject failed = doneOf(r.out, 60004);
    QCOMPARE(failed.value(QStringLiteral("exitCode")).toInt(), 4);
    QCOMPARE(failed.value(QStringLiteral("outcome")).toString(), QStringLiteral("transfer-failed"));
    QVERIFY2(failed.value(QStringLiteral("text")).toString().contains("switch the unit off"),
             describe(r));

    const QVector<QJsonObject> summary = events(r.out, QStringLiteral("summary"));
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary[0].value(QStringLiteral("updated")).toInt(), 2);
    QCOMPARE(summary[0].value(QStringLiteral("failed")).toInt(), 3);
    const QJsonObject byReason = summary[0].value(QStringLiteral("failedByReason")).toObject();
    for (const char* reason : {"transfer-failed", "no-answer", "verify-failed"})
        QCOMPARE(byReason.value(QLatin1String(reason)).toArray().size(), 1);
    // Every event of a unit names its port, its serial number and its time.
    for (const QJsonObject& e : events(r.out, QStringLiteral("step"))) {
        QVERIFY(!e.value(QStringLiteral("port")).toString().isEmpty());
        QVERIFY(e.value(QStringLiteral("serial")).toInt() >= 60001);
        QVERIFY(e.contains(QStringLiteral("ms")));
    }

    // One record line per unit; the unit that restarted after its swap was asked again.
    const QStringList lines = recordLines(bench);
    QCOMPARE(lines.size(), 1 + 4);
    const QString restarted = recordOf(lines, 60003);
    QVERIFY2(restarted.contains(",2.20.A,2.20,3.05,2.24.B,2.24,3.05,"), qPrintable(restarted));
    QVERIFY2(restarted.endsWith(",0,updated,line 3,ann,yes,"), qPrintable(restarted));
    QVERIFY2(recordOf(lines, 60002).contains(",14,verify-failed,line 3,ann,no,application: "),
             qPrintable(lines.join('\n')));
    QVERIFY2(recordOf(lines, 60004).contains(",4,transfer-failed,"), qPrintable(lines.join('\n')));
}

// Units come and go at a station: one loses its cable half-way; plugged in again it is updated,
// and plugged in once more it is up to date; a different unit plugged into the port just used
// gets its own update. The summary counts units, not attempts: both units ended updated.
void tst_CliStation::stationFollowsUnitsByIdentity()
{
    Bench bench;
    Units units(bench);
    QProcess station;
    station.setProcessEnvironment(bench.environment());
    station.start(cliPath(), {"station", "--json", "--record", bench.path("record.csv")});
    QVERIFY(station.waitForStarted(kTimeoutMs));
    QString out;
    auto doneCount = [&] {
        out += QString::fromUtf8(station.readAllStandardOutput());
        return events(out, QStringLiteral("done")).size();
    };
    const QStringList serial11 = {"--serial", "60011"};
    const struct
    {
        QStringList args;
        int serial;
        int exitCode;
    } attempts[] = {
        {kPlusOlder + serial11 + QStringList{"--unplug-after", "60"}, 60011, 4},
        {kPlusOlder + serial11, 60011, 0},     // the same unit, plugged in again
        {kPlusAsUpdated + serial11, 60011, 7}, // once more, as its update left it
        {kPlusOlder + QStringList{"--serial", "60012"}, 60012, 0}, // another unit
    };
    int count = 0;
    for (const auto& attempt : attempts) {
        QVERIFY(units.start("unit", attempt.args)); // the previous one is unplugged first
        ++count;
        QVERIFY2(QTest::qWaitFor([&] { return doneCount() == count; }, kRunTimeoutMs),
                 qPrintable(out));
    }

    ::kill(pid_t(station.processId()), SIGINT);
    QVERIFY(station.waitForFinished(kTimeoutMs));
    out += QString::fromUtf8(station.readAllStandardOutput());
    QCOMPARE(station.exitCode(), 0);

    const QVector<QJsonObject> done = events(out, QStringLiteral("done"));
    for (int i = 0; i < count; ++i) {
        QCOMPARE(done[i].value(QStringLiteral("serial")).toInt(), attempts[i].serial);
        QCOMPARE(done[i].value(QStringLiteral("exitCode")).toInt(), attempts[i].exitCode);
    }
    QCOMPARE(done[2].value(QStringLiteral("text")).toString(),
             QStringLiteral("up to date - unplug"));
    flashout::verifyPlusUpdate(bench.path("unit"));
    const QVector<QJsonObject> summary = events(out, QStringLiteral("summary"));
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary[0].value(QStringLiteral("seen")).toInt(), 2);
    QCOMPARE(summary[0].value(QStringLiteral("updated")).toInt(), 2);
    QCOMPARE(summary[0].value(QStringLiteral("upToDate")).toInt(), 0);
    QCOMPARE(summary[0].value(QStringLiteral("failed")).toInt(), 0);
    const QStringList lines = recordLines(bench);
    QCOMPARE(lines.size(), 1 + count);
    QVERIFY2(lines[3].endsWith(",2.24.B,2.24,3.05,,0.0,0,7,up-to-date,,,no,"), qPrintable(lines[3]));
}

// On a terminal, a unit that is done gets its final line once; only the units still at work
// are redrawn, so a long session does not redraw (and scroll) every unit it has seen.
void tst_CliStation::terminalLinesOfDoneUnitsScrollAway()
{
    Bench bench;
    Units units(bench);
    QVERIFY(units.start("unit", {"--model", "plus", "--partner", "1", "--boot-version", "2.24",
                                 "--appl-version", "2.25", "--serial", "60021"}));
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    QByteArray screen;
    auto read = [&] {
        char chunk[4096];
        ssize_t got = 0;
        while ((got = ::read(master, chunk, sizeof chunk)) > 0)
            screen.append(chunk, int(got));
        return screen;
    };
    QProcess station;
    station.setProcessEnvironment(bench.environment());
    station.setStandardOutputFile(QString::fromLocal8Bit(::ptsname(master)));
    station.start(cliPath(), {"station"});
    QVERIFY(station.waitForStarted(kTimeoutMs));
    QVERIFY2(QTest::qWaitFor([&] { return read().contains("up to date - unplug"); }, kTimeoutMs),
             screen.constData());
    QTest::qWait(1500); // a few redraw ticks of the live lines
    ::kill(pid_t(station.processId()), SIGINT);
    QVERIFY(station.waitForFinished(kTimeoutMs));
    read();
    ::close(master);
    QCOMPARE(station.exitCode(), 0);
    QCOMPARE(screen.count("up to date - unplug"), 1);
    QVERIFY2(screen.contains("units seen 1, updated 0, up to date 1"), screen.constData());
}

QTEST_GUILESS_MAIN(tst_CliStation)
#include "tst_clistation.moc"
