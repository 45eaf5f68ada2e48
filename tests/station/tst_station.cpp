// `ventaro-cli update --all` and `ventaro-cli station` against several simulated units, each
// its own ventaro-devsim process on a pty: every unit updated by its own worker, followed by
// identity, with one production-record line each.

#include "cliprocess.h"
#include "flashout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <map>
#include <memory>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace clitest;

namespace {

constexpr int kRunTimeoutMs = 180000;
// The same unit as its update left it: the built-in versions, running the other bootloader copy.
// The update rules would write its application again; the station knows it updated the unit.
const QStringList kPlusAsUpdated = {"--model",        "plus", "--partner",      "2",
                                    "--boot-version", "2.24", "--appl-version", "2.24"};

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

const QString kCoordinator = QStringLiteral("coordinator");
const QString kGroup = QStringLiteral("group");
const QString kEveryProcess = QStringLiteral("every process");

// `pid` and all its descendants, as a service manager's control group holds them.
QList<pid_t> processTree(pid_t pid)
{
    QList<pid_t> tree = {pid};
    for (int i = 0; i < tree.size(); ++i) {
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString& entry : entries) {
            bool ok = false;
            const pid_t child = pid_t(entry.toInt(&ok));
            if (!ok || tree.contains(child))
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces, the last ')' ends it.
            const QByteArray text = stat.readAll();
            const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1 && pid_t(rest[1].toInt()) == tree[i])
                tree << child;
        }
    }
    return tree;
}

QString recordOf(const QStringList& lines, int serial)
{
    for (const QString& line : lines)
        if (line.section(QLatin1Char(','), 3, 3) == QString::number(serial))
            return line;
    return {};
}

// A terminal for the tool's stdout: the master side of a pty, read without blocking.
class Terminal
{
public:
    explicit Terminal(int columns = 0) : m_Master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        m_Ok = m_Master >= 0 && ::grantpt(m_Master) == 0 && ::unlockpt(m_Master) == 0;
        if (m_Ok && columns > 0) {
            winsize size = {};
            size.ws_col = ushort(columns);
            size.ws_row = 24;
            m_Ok = ::ioctl(m_Master, TIOCSWINSZ, &size) == 0;
        }
    }
    ~Terminal()
    {
        if (m_Master >= 0)
            ::close(m_Master);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool ok() const { return m_Ok; }
    QString path() const { return QString::fromLocal8Bit(::ptsname(m_Master)); }
    // All written so far.
    const QByteArray& read()
    {
        char chunk[4096];
        ssize_t got = 0;
        while ((got = ::read(m_Master, chunk, sizeof chunk)) > 0)
            m_Screen.append(chunk, int(got));
        return m_Screen;
    }

private:
    int m_Master = -1;
    bool m_Ok = false;
    QByteArray m_Screen;
};

} // namespace

class tst_CliStation : public QObject
{
    Q_OBJECT

private slots:
    void updateAllWithOneFaultyUnit();
    void stationFollowsUnitsByIdentity();
    void queuedUnitsPortTakenByAnother();
    void twinsAreRecordedAsDuplicates_data();
    void twinsAreRecordedAsDuplicates();
    void unitsRestartingAtOnceUnderReusedNames();
    void terminalLinesOfDoneUnitsScrollAway();
    void terminalLinesFitTheWidth();
    void endings_data();
    void endings();
    void workerThatCannotStart();
    void unwritableRecordIsRefusedUpFront();
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
        {60001, kOlderPlus + QStringList{"--serial", "60001"}},
        {60002, kOlderPlus + QStringList{"--serial", "60002", "--crc-ko", "3"}},
        {60003, kOlderPlus + QStringList{"--serial", "60003", "--reboot-after-swap", "0",
                                         "--reboot-pause", "500"}},
        {60004, kOlderPlus + QStringList{"--serial", "60004", "--unplug-after", "60"}},
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
    QVERIFY2(restarted.endsWith(",0,updated,line 3,ann,yes,,,,,"), qPrintable(restarted));
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
        {kOlderPlus + serial11 + QStringList{"--unplug-after", "60"}, 60011, 4},
        {kOlderPlus + serial11, 60011, 0},     // the same unit, plugged in again
        {kPlusAsUpdated + serial11, 60011, 7}, // once more, as its update left it
        {kOlderPlus + QStringList{"--serial", "60012"}, 60012, 0}, // another unit
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
    QVERIFY2(lines[3].endsWith(",2.24.B,2.24,3.05,,0.0,0,7,up-to-date,,,no,,,,,"),
             qPrintable(lines[3]));
}

void tst_CliStation::twinsAreRecordedAsDuplicates_data()
{
    QTest::addColumn<bool>("recordBreaks");
    QTest::addRow("recorded") << false;
    // The record file is gone (a folder in its place) when the twin turns up: the twin's line,
    // which the station writes itself, is not written, and the run says so.
    QTest::addRow("record breaks") << true;
}

// A unit's twin (the same identity) turns up while the unit is being updated: its worker stops
// after its packet, and both end as duplicates, in the record as on the screen.
void tst_CliStation::twinsAreRecordedAsDuplicates()
{
    QFETCH(bool, recordBreaks);
    Bench bench;
    Units units(bench);
    QProcess station;
    station.setProcessEnvironment(bench.environment());
    station.start(cliPath(), {"station", "--json", "--record", bench.path("record.csv")});
    QVERIFY(station.waitForStarted(kTimeoutMs));
    QString out;
    auto seen = [&](const QString& name) {
        out += QString::fromUtf8(station.readAllStandardOutput());
        return events(out, name).size();
    };
    const QStringList twin = kOlderPlus + QStringList{"--serial", "60031"};
    QVERIFY(units.start("a", twin));
    QVERIFY2(QTest::qWaitFor([&] { return seen(QStringLiteral("progress")) > 0; }, kRunTimeoutMs),
             qPrintable(out));
    if (recordBreaks) {
        QVERIFY(QFile::remove(bench.path("record.csv")));
        QVERIFY(QDir().mkdir(bench.path("record.csv")));
    }
    QVERIFY(units.start("b", twin));
    QVERIFY2(QTest::qWaitFor([&] { return seen(QStringLiteral("done")) == 2; }, kRunTimeoutMs),
             qPrintable(out));
    ::kill(pid_t(station.processId()), SIGINT);
    QVERIFY(station.waitForFinished(kTimeoutMs));
    out += QString::fromUtf8(station.readAllStandardOutput());
    QCOMPARE(station.exitCode(), recordBreaks ? 10 : 13);
    QStringList outcomes;
    for (const QJsonObject& done : events(out, QStringLiteral("done")))
        outcomes << done.value(QStringLiteral("outcome")).toString();
    outcomes.sort();
    QCOMPARE(outcomes.join(','), recordBreaks ? QStringLiteral("duplicate,record-failed")
                                              : QStringLiteral("duplicate,duplicate"));
    if (recordBreaks)
        return;
    const QStringList lines = recordLines(bench);
    QCOMPARE(lines.size(), 3);
    for (const QString& line : lines.mid(1))
        QVERIFY2(line.section(QLatin1Char(','), 14, 14) == QLatin1String("duplicate"),
                 qPrintable(line));
}

// A unit waits for its turn; it is unplugged and another unit gets its pty's name. Its row ends
// gone (nothing written, no record line, not a failure), and the other unit is updated once,
// by a worker of its own.
void tst_CliStation::queuedUnitsPortTakenByAnother()
{
    Bench bench;
    Units units(bench);
    QVERIFY(units.start("a", kOlderPlus + QStringList{"--serial", "60031"}));
    QVERIFY(units.start("c", kOlderPlus + QStringList{"--serial", "60033"}));
    QProcess station;
    station.setProcessEnvironment(bench.environment());
    station.start(cliPath(),
                  {"station", "--jobs", "1", "--json", "--record", bench.path("record.csv")});
    QVERIFY(station.waitForStarted(kTimeoutMs));
    QString out;
    auto count = [&](const char* name) {
        out += QString::fromUtf8(station.readAllStandardOutput());
        return events(out, QLatin1String(name)).size();
    };
    QVERIFY2(
        QTest::qWaitFor([&] { return count("unit") == 2 && count("started") == 1; }, kTimeoutMs),
        qPrintable(out));
    const QJsonObject first = events(out, QStringLiteral("started")).value(0);
    const int running = first.value(QStringLiteral("serial")).toInt();
    const QString queued = running == 60031 ? QStringLiteral("c") : QStringLiteral("a");
    const int queuedSerial = running == 60031 ? 60033 : 60031;
    QString queuedPort;
    for (const QJsonObject& e : events(out, QStringLiteral("unit")))
        if (e.value(QStringLiteral("serial")).toInt() == queuedSerial)
            queuedPort = e.value(QStringLiteral("port")).toString();
    QVERIFY(!queuedPort.isEmpty());

    // The kernel hands out the lowest free number: every free one up to above the queued
    // unit's is held first, so that its number is the next one handed out once it is unplugged.
    const int number = queuedPort.section(QLatin1Char('/'), -1).toInt();
    std::vector<int> held;
    const auto release = qScopeGuard([&] {
        for (int fd : held)
            ::close(fd);
    });
    for (;;) {
        const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0 && ::grantpt(fd) == 0 && ::unlockpt(fd) == 0);
        held.push_back(fd);
        if (QString::fromLocal8Bit(::ptsname(fd)).section(QLatin1Char('/'), -1).toInt() > number)
            break;
        QVERIFY(held.size() < 256);
    }
    units.stop(queued);
    QVERIFY(units.start("d", kOlderPlus + QStringList{"--serial", "60034"}));
    QFile announced(QDir(bench.portDir()).filePath(QStringLiteral("d.port")));
    QVERIFY(announced.open(QIODevice::ReadOnly));
    if (!announced.readAll().contains("port=" + queuedPort.toUtf8() + '\n'))
        QSKIP("another process took the freed pty's name first");
    QVERIFY2(QTest::qWaitFor([&] { return count("done") == 3; }, kRunTimeoutMs), qPrintable(out));
    ::kill(pid_t(station.processId()), SIGINT);
    QVERIFY(station.waitForFinished(kTimeoutMs));
    out += QString::fromUtf8(station.readAllStandardOutput());
    QVERIFY2(station.exitCode() == 0, qPrintable(out));

    QCOMPARE(doneOf(out, queuedSerial).value(QStringLiteral("outcome")).toString(),
             QStringLiteral("gone"));
    QCOMPARE(doneOf(out, running).value(QStringLiteral("exitCode")).toInt(), 0);
    QCOMPARE(doneOf(out, 60034).value(QStringLiteral("exitCode")).toInt(), 0);
    flashout::verifyPlusUpdate(bench.path("d")); // once: the application and one bootloader
    const QStringList lines = recordLines(bench);
    QVERIFY2(lines.size() == 1 + 2, qPrintable(lines.join('\n')));
    QVERIFY(recordOf(lines, queuedSerial).isEmpty());
    QVERIFY(recordOf(lines, 60034).contains(",0,updated,"));
    const QJsonObject summary = events(out, QStringLiteral("summary")).value(0);
    QCOMPARE(summary.value(QStringLiteral("updated")).toInt(), 2);
    QCOMPARE(summary.value(QStringLiteral("failed")).toInt(), 0);
}

// Six units restart after their swap at once; the kernel hands their pty names on among them as
// they come back (the last started, on the highest number, comes back first and takes the
// lowest free one). Each is its own unit: all six are updated and recorded with their versions
// after, none is taken for a twin of another.
void tst_CliStation::unitsRestartingAtOnceUnderReusedNames()
{
    Bench bench;
    Units units(bench);
    for (int i = 1; i <= 6; ++i)
        QVERIFY(units.start(QStringLiteral("r%1").arg(i),
                            kOlderPlus + QStringList{"--serial", QString::number(60100 + i),
                                                     "--reboot-after-swap", "0", "--reboot-pause",
                                                     QString::number(2000 + 400 * (7 - i))}));
    const CliResult r = bench.run({"update", "--all", "--json", "--record",
                                   bench.path("record.csv"), "--reboot-timeout", "30"},
                                  kRunTimeoutMs);
    QVERIFY2(r.exitCode == 0, describe(r));
    QStringList ports;
    for (const QJsonObject& e : events(r.out, QStringLiteral("handed-over")))
        ports << e.value(QStringLiteral("port")).toString();
    const QStringList lines = recordLines(bench);
    QVERIFY2(lines.size() == 1 + 6, qPrintable(lines.join('\n')));
    for (int i = 1; i <= 6; ++i) {
        QCOMPARE(doneOf(r.out, 60100 + i).value(QStringLiteral("exitCode")).toInt(), 0);
        QVERIFY2(recordOf(lines, 60100 + i).contains(",2.24.B,2.24,3.05,"),
                 qPrintable(lines.join('\n')));
        flashout::verifyPlusUpdate(bench.path(QStringLiteral("r%1").arg(i)));
    }
    QVERIFY2(ports.size() == 6, describe(r));
}

// On a terminal, a unit that is done gets its final line once; only the units still at work
// are redrawn, so a long session does not redraw (and scroll) every unit it has seen.
void tst_CliStation::terminalLinesOfDoneUnitsScrollAway()
{
    Bench bench;
    Units units(bench);
    QVERIFY(units.start("unit", {"--model", "plus", "--partner", "1", "--boot-version", "2.24",
                                 "--appl-version", "2.25", "--serial", "60021"}));
    Terminal terminal;
    QVERIFY(terminal.ok());
    QProcess station;
    station.setProcessEnvironment(bench.environment());
    station.setStandardOutputFile(terminal.path());
    station.start(cliPath(), {"station"});
    QVERIFY(station.waitForStarted(kTimeoutMs));
    QVERIFY2(QTest::qWaitFor([&] { return terminal.read().contains("up to date - unplug"); },
                             kTimeoutMs),
             terminal.read().constData());
    QTest::qWait(1500); // a few redraw ticks of the live lines
    ::kill(pid_t(station.processId()), SIGINT);
    QVERIFY(station.waitForFinished(kTimeoutMs));
    const QByteArray screen = terminal.read();
    QCOMPARE(station.exitCode(), 0);
    QCOMPARE(screen.count("up to date - unplug"), 1);
    QVERIFY2(screen.contains("units seen 1, updated 0, up to date 1"), screen.constData());
}

// On a terminal narrower than a line would be, every line fits: a live line that wrapped would
// shift the block redrawn in place, and a long failure text is broken into lines of its own.
void tst_CliStation::terminalLinesFitTheWidth()
{
    constexpr int kColumns = 72;
    Bench bench;
    Units units(bench);
    QVERIFY(
        units.start("unit", kOlderPlus + QStringList{"--serial", "60022", "--unplug-after", "60"}));
    Terminal terminal(kColumns);
    QVERIFY(terminal.ok());
    QProcess cli;
    cli.setProcessEnvironment(bench.environment());
    cli.setStandardOutputFile(terminal.path());
    cli.start(cliPath(), {"update", "--all"});
    QVERIFY(cli.waitForStarted(kTimeoutMs));
    QVERIFY(QTest::qWaitFor(
        [&] {
            terminal.read();
            return cli.state() == QProcess::NotRunning;
        },
        kRunTimeoutMs));
    const QByteArray screen = terminal.read();
    QCOMPARE(cli.exitCode(), 13);
    QVERIFY2(screen.contains("transfer-failed"), screen.constData());
    QVERIFY2(screen.contains("#]"), screen.constData()); // live lines with their bar were drawn
    QString text = QString::fromUtf8(screen);
    text.remove(QRegularExpression(QStringLiteral("\\x1b\\[[0-9;]*[A-Za-z]")));
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("[\\r\\n]"))))
        QVERIFY2(line.size() < kColumns, qPrintable(line));
}

// How a run ends. Two SIGTERMs stop the running update after its current packet (here, in the
// pause after a block) and the unit is recorded as stopped; signals that come at once count
// one each; Ctrl+C with units still waiting for their turn does not pass as every unit done;
// SIGHUP to the whole group (the terminal closed) lets the running updates finish and record.
void tst_CliStation::endings_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<QString>("trigger"); // the event after which the signals are sent
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<int>("jobs");   // 0: all at once
    QTest::addColumn<int>("gapMs");  // between the signals
    QTest::addColumn<QString>("to"); // the coordinator, its group, or every process of it
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("outcomes"); // "done" outcomes in unit order
    QTest::addColumn<int>("records");

    QTest::addRow("second SIGTERM in the pause after a block")
        << 1 << "block-end" << QList<int>{SIGTERM, SIGTERM} << 1 << 200 << kCoordinator << 13
        << QStringList{"stopped"} << 1;
    // A port that never answers keeps the coordinator asking meanwhile.
    QTest::addRow("two signals 0.2 s apart, a silent port present")
        << 1 << "progress" << QList<int>{SIGINT, SIGINT} << 1 << 200 << kCoordinator << 13
        << QStringList{"stopped"} << 1;
    QTest::addRow("SIGINT with a unit waiting for its turn")
        << 2 << "started" << QList<int>{SIGINT} << 1 << 0 << kCoordinator << 13
        << QStringList{"updated"} << 1;
    QTest::addRow("SIGHUP to the group") << 2 << "progress" << QList<int>{SIGHUP} << 0 << 0
                                         << kGroup << 0 << QStringList{"updated", "updated"} << 2;
    // `kill -TERM -PGID`, and a service manager stopping the station (every process of it gets
    // SIGTERM): the running update is finished, both images and the swap.
    QTest::addRow("SIGTERM to the group mid-update")
        << 1 << "progress" << QList<int>{SIGTERM} << 0 << 0 << kGroup << 0 << QStringList{"updated"}
        << 1;
    QTest::addRow("SIGTERM to every process mid-update")
        << 1 << "progress" << QList<int>{SIGTERM} << 0 << 0 << kEveryProcess << 0
        << QStringList{"updated"} << 1;
}

void tst_CliStation::endings()
{
    QFETCH(int, units);
    QFETCH(QString, trigger);
    QFETCH(QList<int>, sent);
    QFETCH(int, jobs);
    QFETCH(int, gapMs);
    QFETCH(QString, to);
    QFETCH(int, exitCode);
    QFETCH(QStringList, outcomes);
    QFETCH(int, records);

    Bench bench;
    Units sims(bench);
    for (int i = 1; i <= units; ++i)
        QVERIFY(sims.start(QStringLiteral("u%1").arg(i),
                           kOlderPlus + QStringList{"--serial", QString::number(60040 + i)}));
    const int silent = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(silent >= 0 && ::grantpt(silent) == 0 && ::unlockpt(silent) == 0);
    const auto closeSilent = qScopeGuard([silent] { ::close(silent); });
    if (QByteArray(QTest::currentDataTag()).contains("silent")) {
        QFile file(QDir(bench.portDir()).filePath(QStringLiteral("silent.port")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("port=" + QByteArray(::ptsname(silent)) + "\nvid=0x0409\npid=0x01D9\n");
    }
    QProcess cli;
    cli.setProcessEnvironment(bench.environment());
    QStringList args = {cliPath(), "update",   "--all",
                        "--json",  "--record", bench.path("record.csv")};
    if (jobs > 0)
        args << "--jobs" << QString::number(jobs);
    // In a session of its own, so that a signal to its group reaches its workers too, as the
    // terminal's does.
    cli.start(QStringLiteral("setsid"), args);
    QVERIFY(cli.waitForStarted(kTimeoutMs));
    QString out;
    // Once every unit that is to run has its worker.
    const int running = jobs > 0 ? qMin(jobs, units) : units;
    auto seen = [&] {
        out += QString::fromUtf8(cli.readAllStandardOutput());
        if (events(out, QStringLiteral("started")).size() < running)
            return false;
        const QString name = trigger == "block-end" ? QStringLiteral("progress") : trigger;
        for (const QJsonObject& e : events(out, name))
            if (trigger != "block-end" || e.value(QStringLiteral("percent")).toInt() == 100)
                return true;
        return false;
    };
    QVERIFY2(QTest::qWaitFor(seen, kRunTimeoutMs), qPrintable(out));
    const pid_t pid = pid_t(cli.processId());
    for (int i = 0; i < sent.size(); ++i) {
        if (i > 0 && gapMs > 0)
            QThread::msleep(ulong(gapMs));
        if (to == kGroup) {
            ::kill(-pid, sent[i]);
        } else {
            const QList<pid_t> all = to == kEveryProcess ? processTree(pid) : QList<pid_t>{pid};
            for (pid_t p : all)
                ::kill(p, sent[i]);
        }
    }
    const bool ended = cli.waitForFinished(kRunTimeoutMs);
    out += QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(ended, qPrintable(out + err));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(out + err));

    // Nothing but JSON lines on stdout.
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        QVERIFY2(QJsonDocument::fromJson(line.toUtf8()).isObject(), qPrintable(line));
    QStringList done;
    for (const QJsonObject& e : events(out, QStringLiteral("done")))
        done << e.value(QStringLiteral("outcome")).toString();
    QCOMPARE(done, outcomes);
    const QStringList lines = recordLines(bench);
    QVERIFY2(lines.size() == 1 + records, qPrintable(lines.join('\n')));
    for (int i = 0; i < records; ++i)
        QVERIFY2(lines[1 + i].contains(QStringLiteral(",%1,").arg(outcomes[i])),
                 qPrintable(lines[1 + i]));
    const QJsonObject summary = events(out, QStringLiteral("summary")).value(0);
    if (units > outcomes.size()) {
        const QJsonArray notStarted = summary.value(QStringLiteral("failedByReason"))
                                          .toObject()
                                          .value(QStringLiteral("not-started"))
                                          .toArray();
        QCOMPARE(notStarted.size(), units - outcomes.size());
    }
    QVERIFY2(err.count("station:") == sent.size(), qPrintable(err)); // each signal was heard
    if (units == 1 && outcomes == QStringList{"updated"})
        flashout::verifyPlusUpdate(bench.path("u1")); // both images and the swap
}

// A worker whose program cannot be started (the program file replaced while the station runs,
// as a package upgrade does) fails its unit, and the run ends.
void tst_CliStation::workerThatCannotStart()
{
    Bench bench;
    Units sims(bench);
    for (int i = 1; i <= 2; ++i)
        QVERIFY(sims.start(QStringLiteral("u%1").arg(i),
                           kOlderPlus + QStringList{"--serial", QString::number(60050 + i)}));
    const QString program = bench.path("ventaro-cli");
    QVERIFY(QFile::copy(cliPath(), program));
    QProcess cli;
    cli.setProcessEnvironment(bench.environment());
    cli.start(program, {"update", "--all", "--jobs", "1", "--json"});
    QVERIFY(cli.waitForStarted(kTimeoutMs));
    QString out;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     out += QString::fromUtf8(cli.readAllStandardOutput());
                     return events(out, "unit").size() == 2 && events(out, "started").size() == 1;
                 },
                 kRunTimeoutMs),
             qPrintable(out));
    QVERIFY(QFile::remove(program));
    const bool ended = cli.waitForFinished(kRunTimeoutMs);
    out += QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(ended, qPrintable(out));
    QCOMPARE(cli.exitCode(), 13);
    const QVector<QJsonObject> done = events(out, QStringLiteral("done"));
    QCOMPARE(done.size(), 2);
    QCOMPARE(done[0].value(QStringLiteral("outcome")).toString(), QStringLiteral("updated"));
    QCOMPARE(done[1].value(QStringLiteral("outcome")).toString(), QStringLiteral("worker-failed"));
    QVERIFY2(done[1].value(QStringLiteral("text")).toString().contains("could not be started"),
             qPrintable(out));
}

// A record that cannot be written is refused before any unit is touched, with the reason on
// stderr, as a single update does.
void tst_CliStation::unwritableRecordIsRefusedUpFront()
{
    Bench bench;
    Units sims(bench);
    QVERIFY(sims.start("u1", kOlderPlus + QStringList{"--serial", "60061"}));
    const CliResult r = bench.run(
        {"update", "--all", "--json", "--record", bench.path("no-such-folder/record.csv")});
    QVERIFY2(r.exitCode == 10, describe(r));
    QVERIFY2(r.err.startsWith("ventaro-cli: "), describe(r));
    QVERIFY2(events(r.out, QStringLiteral("started")).isEmpty(), describe(r));
}

QTEST_GUILESS_MAIN(tst_CliStation)
#include "tst_station.moc"
