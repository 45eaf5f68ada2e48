// ventaro-cli as a process against the simulated unit on a pseudo-terminal.

#include "cliprocess.h"

#include "cli/descriptoroutput.h"
#include "service/singleinstance.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace clitest;

namespace {

const QStringList kPlus = {QStringLiteral("--model"), QStringLiteral("plus")};

int entryLines(const QString& report)
{
    return report.count(QRegularExpression(QStringLiteral("(^|\\n)[ *]*\\d+,?:")));
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void help();
    void badCommandLines_data();
    void badCommandLines();
    void noUnitAndLock();
    void list();
    void identify_data();
    void identify();
    void reports_data();
    void reports();
    void plot();
    void planExitCodes_data();
    void planExitCodes();
    void outputLosesNothing_data();
    void outputLosesNothing();
};

void tst_Cli::initTestCase()
{
    QVERIFY2(QFile::exists(cliPath()), qPrintable(cliPath()));
    QVERIFY2(QFile::exists(simPath()), qPrintable(simPath()));
}

void tst_Cli::help()
{
    Bench bench;
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"help"}}) {
        const CliResult r = bench.run(args);
        QCOMPARE(r.exitCode, 0);
        for (const char* command : {"list", "identify", "plan", "update", "counters", "timer",
                                    "primlog", "seclog", "parttable"})
            QVERIFY2(r.out.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(command))),
                     command);
        for (int code = 0; code <= 11; ++code)
            QVERIFY2(r.out.contains(QStringLiteral("\n  %1 ").arg(code)), qPrintable(r.out));
    }
    // Every command has its own help naming its options and the exit codes.
    const QVector<QPair<QString, QStringList>> commands = {
        {"list", {}},
        {"identify", {"--json", "--port"}},
        {"plan", {"--json", "--force-boot", "--force-appl", "--serial"}},
        {"update", {"--serial", "--startup-mode", "--json", "--record", "--reboot-timeout"}},
        {"counters", {"--port"}},
        {"timer", {"--port"}},
        {"primlog", {"--port", "--format"}},
        {"seclog", {"--span", "--youngest", "--oldest", "--format", "--plot", "--size"}},
        {"parttable", {"--port"}},
    };
    for (const auto& [command, options] : commands) {
        for (const QStringList& args :
             {QStringList{command, "--help"}, QStringList{"help", command}}) {
            const CliResult r = bench.run(args);
            QCOMPARE(r.exitCode, 0);
            QVERIFY2(r.out.startsWith(QStringLiteral("Usage: ventaro-cli %1").arg(command)),
                     qPrintable(r.out));
            QVERIFY(r.out.contains(QLatin1String("Exit codes:")));
            for (const QString& option : options)
                QVERIFY2(r.out.contains(option), qPrintable(command + QLatin1Char(' ') + option));
        }
    }
}

void tst_Cli::badCommandLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::addRow("no command") << QStringList{} << "no command given";
    QTest::addRow("unknown command") << QStringList{"flash"} << "unknown command \"flash\"";
    QTest::addRow("unknown option") << QStringList{"identify", "--fast"} << "Unknown option";
    QTest::addRow("option of another command")
        << QStringList{"identify", "--span", "1"} << "Unknown option";
    QTest::addRow("second command")
        << QStringList{"timer", "counters"} << "unexpected argument \"counters\"";
    QTest::addRow("seclog without span") << QStringList{"seclog"} << "--span 0, 1 or 2";
    QTest::addRow("span out of range") << QStringList{"seclog", "--span", "3"} << "--span 0, 1";
    QTest::addRow("span not a number") << QStringList{"seclog", "--span", "x"} << "--span 0, 1";
    QTest::addRow("youngest and oldest")
        << QStringList{"seclog", "--span", "0", "--youngest", "10", "--oldest", "10"} << "not both";
    QTest::addRow("youngest 50") << QStringList{"seclog", "--span", "0", "--youngest", "50"}
                                 << "want 10 or 100";
    QTest::addRow("format xml") << QStringList{"primlog", "--format", "xml"}
                                << "--format wants text, csv or json";
    QTest::addRow("plot and format")
        << QStringList{"seclog", "--span", "0", "--plot", "a.png", "--format", "csv"}
        << "--plot or --format";
    QTest::addRow("size without plot")
        << QStringList{"seclog", "--span", "0", "--size", "800x600"} << "--size goes with --plot";
    for (const char* size : {"800", "800x", "x600", "99x600", "800x10001", "8e2x600", "800x600x1"})
        QTest::addRow("size %s", size)
            << QStringList{"seclog", "--span", "0", "--plot", "a.png", "--size", size}
            << "--size wants WIDTHxHEIGHT";
    QTest::addRow("plot for primlog")
        << QStringList{"primlog", "--plot", "a.png"} << "Unknown option";
    QTest::addRow("serial not a number")
        << QStringList{"plan", "--serial", "12a"} << "--serial wants";
    QTest::addRow("serial 0") << QStringList{"update", "--serial", "0"} << "--serial wants";
    QTest::addRow("startup mode 256")
        << QStringList{"update", "--startup-mode", "256"} << "--startup-mode";
    QTest::addRow("empty port") << QStringList{"identify", "--port", ""} << "--port wants";
    QTest::addRow("page for one unit")
        << QStringList{"update", "--http", "8080"} << "--http goes with --all";
    for (const char* given :
         {"", "x", "70000", "-1", "host:", ":8080", "::1:8080", "example.org:80"})
        QTest::addRow("page on \"%s\"", given)
            << QStringList{"station", "--http", given} << "--http wants [ADDR:]PORT";
    QTest::addRow("page name without a page")
        << QStringList{"station", "--http-name", "station"} << "go with --http";
    for (const char* given : {"", "a b", "station:8080", "-station", "http://station"})
        QTest::addRow("page name \"%s\"", given)
            << QStringList{"station", "--http", "0", "--http-name", given}
            << "--http-name wants a host name";
    for (const char* given : {"station.plant", "https://station.plant/page", "ftp://station"})
        QTest::addRow("page origin \"%s\"", given)
            << QStringList{"station", "--http", "0", "--http-origin", given}
            << "--http-origin wants";
    QTest::addRow("option value missing") << QStringList{"identify", "--port"} << "Missing value";
    QTest::addRow("record without action")
        << QStringList{"record", "--record", "x.csv"} << "record wants init, sync or stats";
    QTest::addRow("record without --record") << QStringList{"record", "stats"} << "wants --record";
    QTest::addRow("record bad date")
        << QStringList{"record", "stats", "--record", "x.csv", "--since", "monday"} << "--since";
    QTest::addRow("record since for sync")
        << QStringList{"record", "sync", "--record", "postgresql://h/d", "--since", "2026-12-01"}
        << "go with record stats";
    // A spool beside a CSV file would wait forever for a database that is not there.
    QTest::addRow("spool with a file")
        << QStringList{"update", "--record", "x.csv", "--spool", "s"} << "--spool goes with";
    QTest::addRow("bundle verify without file") << QStringList{"bundle", "verify"} << "wants FILE";
    // A release without its counter would pass every station's rollback check.
    QTest::addRow("bundle make without counter")
        << QStringList{"bundle", "make", "dir", "--release", "2.30"} << "--counter N";
    QTest::addRow("bundle make, two-line release")
        << QStringList{"bundle", "make", "dir", "--release", "2.30\nx", "--counter", "1"}
        << "(one line)";
    QTest::addRow("bundle signed but not packed")
        << QStringList{"bundle", "make", "d", "--release", "r", "--counter", "1", "--sign", "k"}
        << "--sign goes with --out";
    // Only a station's worker is told which file its coordinator checked.
    QTest::addRow("bundle hash by hand")
        << QStringList{"update", "--bundle", "b.vfw", "--bundle-sha256", "00"}
        << "--bundle-sha256 goes with --worker";
}

void tst_Cli::badCommandLines()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    Bench bench;
    const CliResult r = bench.run(args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(message), describe(r));
    QVERIFY(r.out.isEmpty());
}

void tst_Cli::noUnitAndLock()
{
    Bench bench;
    CliResult r = bench.run({"identify"});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("no ventaro unit found"), describe(r));

    // A port that is announced but does not open.
    r = bench.run({"timer", "--port", bench.path("no-such-port")});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("cannot open port"), describe(r));

    // The service tool (or another ventaro-cli) holds the lock: nothing is opened.
    QVERIFY(bench.startSim({}));
    CSingleInstanceGuard tool(bench.instanceKey());
    QVERIFY(tool.acquire());
    r = bench.run({"identify"});
    QCOMPARE(r.exitCode, 8);
    QVERIFY2(r.err.contains("another ventaro-cli is running"), describe(r));
    // Listing ports opens none and needs no lock.
    QCOMPARE(bench.run({"list"}).exitCode, 0);
    QVERIFY(!bench.simLog().contains(QLatin1String("code")));
}

void tst_Cli::list()
{
    Bench bench;
    CliResult r = bench.run({"list"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(!r.out.contains(QLatin1String("ventaro")), qPrintable(r.out));

    QVERIFY(bench.startSim({}));
    r = bench.run({"list"});
    QCOMPARE(r.exitCode, 0);
    const QRegularExpression unit(
        QStringLiteral("\\n\\* /dev/pts/\\d+ +0x0409  0x01D9  ventaro\\n"));
    QVERIFY2(r.out.contains(unit), qPrintable(r.out));
    QVERIFY(r.out.startsWith(QLatin1String("  port")));
}

void tst_Cli::identify_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("json");
    QTest::addRow("100 series, bootloader A")
        << QStringList{"--serial",       "50777", "--board",        "4",   "--boot-version", "2.24",
                       "--appl-version", "2.01",  "--wifi-version", "3.07"}
        << "model:       ventaro100\n"
           "serial:      50777\n"
           "board:       4\n"
           "application: 2.01\n"
           "wifi:        3.07\n"
           "bootloader:  2.24.A\n"
        << R"({"application":"2.01","board":4,"bootloader":"2.24.A","model":"ventaro100","partner":1,"partnerX":false,"plus":false,"serial":50777,"wifi":"3.07"})";
    QTest::addRow("plus, application running, X, no serial")
        << (kPlus + QStringList{"--serial", "0", "--partner", "3", "--x-marker"})
        << "model:       ventaro plus\n"
           "serial:      none\n"
           "board:       3\n"
           "application: 2.20\n"
           "wifi:        3.05\n"
           "bootloader:  2.20.CX\n"
        << R"({"application":"2.20","board":3,"bootloader":"2.20.CX","model":"ventaro plus","partner":3,"partnerX":true,"plus":true,"serial":0,"wifi":"3.05"})";
}

void tst_Cli::identify()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, text);
    QFETCH(QString, json);
    Bench bench;
    QVERIFY(bench.startSim(simArgs));

    CliResult r = bench.run({"identify"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.startsWith(QLatin1String("port:        /dev/pts/")), describe(r));
    QCOMPARE(r.out.mid(r.out.indexOf(QLatin1Char('\n')) + 1), text);
    QVERIFY2(r.err.isEmpty(), describe(r)); // diagnostics only with --verbose

    r = bench.run({"identify", "--json"});
    QCOMPARE(r.exitCode, 0);
    QJsonObject object = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QVERIFY(object.take(QStringLiteral("port")).toString().startsWith(QLatin1String("/dev/pts/")));
    QCOMPARE(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)), json);
    QVERIFY(r.out.endsWith(QLatin1String("}\n")));

    r = bench.run({"--verbose", "identify"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains(QLatin1String("appllication has answered")) ||
                 r.err.contains(QLatin1String("getIdentData")),
             describe(r));
}

void tst_Cli::reports_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("contains");
    QTest::addColumn<int>("entries"); // log entry lines, -1 to skip

    for (const bool plus : {false, true}) {
        const QStringList model = plus ? kPlus : QStringList{};
        const char* name = plus ? "plus" : "100";
        QTest::addRow("%s counters", name)
            << (model + QStringList{"--counter", "5=4711"}) << QStringList{"counters"} << 0
            << QStringList{"Counter   5: 4711, ", "Counter  73: "} << -1;
        QTest::addRow("%s timer", name)
            << model << QStringList{"timer"} << 0 << QStringList{"Millisecond:", "Day:"} << -1;
        QTest::addRow("%s primlog", name)
            << (model + QStringList{"--prim-log", "4"}) << QStringList{"primlog"} << 0
            << QStringList{"\nPrimary Log:\n"} << 4;
        QTest::addRow("%s seclog all", name) << (model + QStringList{"--sec-log", "1:62:40:0"})
                                             << QStringList{"seclog", "--span", "1"} << 0
                                             << QStringList{"Secondary Log:1 day\n"} << 40;
        QTest::addRow("%s seclog 10 youngest", name)
            << (model + QStringList{"--sec-log", "0:96:96:37"})
            << QStringList{"seclog", "--span", "0", "--youngest", "10"} << 0
            << QStringList{"Secondary Log:15 min\n"} << 10;
        QTest::addRow("%s seclog 100 oldest of 24", name)
            << (model + QStringList{"--sec-log", "2:24:24:5"})
            << QStringList{"seclog", "--span", "2", "--oldest", "100"} << 0
            << QStringList{"Secondary Log:30 days\n"} << 24;
        QTest::addRow("%s parttable", name)
            << model << QStringList{"parttable"} << 0
            << QStringList{"Partition Table:\n", "\n   3,       2,     20,"} << -1;
    }
    QTest::addRow("plus seclog csv")
        << (kPlus + QStringList{"--sec-log", "1:62:40:0"})
        << QStringList{"seclog", "--span", "1", "--format", "csv"} << 0
        << QStringList{"Restart,Log,TExt [°C],TSup [°C],HExt [%],", ",Air [32m³],"} << -1;
    QTest::addRow("100 primlog json")
        << QStringList{"--prim-log", "4"} << QStringList{"primlog", "--format", "JSON"} << 0
        << QStringList{"[\n    {\n", "\"TExt [°C]\": "} << -1;
    QTest::addRow("100 timer, unit unplugged after identification")
        << QStringList{"--unplug-after", "1"} << QStringList{"timer"} << 9 << QStringList{} << -1;
}

void tst_Cli::reports()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, contains);
    QFETCH(int, entries);
    Bench bench;
    QVERIFY(bench.startSim(simArgs));
    const CliResult r = bench.run(args);
    QVERIFY2(r.exitCode == exitCode, describe(r));
    for (const QString& text : contains)
        QVERIFY2(r.out.contains(text), qPrintable(text + QLatin1Char('\n') + r.out));
    if (entries >= 0)
        QCOMPARE(entryLines(r.out), entries);
    if (exitCode != 0)
        QVERIFY2(r.err.startsWith(QLatin1String("ventaro-cli: ")), describe(r));
}

void tst_Cli::plot()
{
    Bench bench;
    QVERIFY(bench.startSim({"--sec-log", "0:96:96:37"}));
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.png");
    CliResult r = bench.run({"seclog", "--span", "0", "--plot", path, "--size", "800X400"});
    QVERIFY2(r.exitCode == 0, describe(r));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(QImage(path).size(), QSize(800, 400));
    r = bench.run({"seclog", "--span", "0", "--plot", dir.filePath("none/chart.png")});
    QVERIFY2(r.exitCode == 11, describe(r));
    QVERIFY2(r.err.startsWith("ventaro-cli: could not write the chart"), describe(r));
}

void tst_Cli::planExitCodes_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("verdict");
    const QStringList current = {"--boot-version", "2.24", "--appl-version", "2.25"};
    QTest::addRow("ready") << QStringList{} << QStringList{} << 0 << "(ready)";
    QTest::addRow("up to date") << current << QStringList{} << 7 << "is up-to-date. (up-to-date)";
    QTest::addRow("forced") << current << QStringList{"--force-boot"} << 0 << "(ready)";
    QTest::addRow("serial too low") << QStringList{"--serial", "123"} << QStringList{} << 3
                                    << "The serial number is too low. (not-updatable)";
    QTest::addRow("serial given is too low")
        << QStringList{"--serial", "0"} << QStringList{"--serial", "49999"} << 3
        << "(not-updatable)";
    QTest::addRow("the unit's own serial counts, not the one given")
        << QStringList{} << QStringList{"--serial", "49999"} << 0 << "(ready)";
    QTest::addRow("no serial") << QStringList{"--serial", "0"} << QStringList{} << 3
                               << "give --serial N (serial-needed)";
    QTest::addRow("no serial, given")
        << QStringList{"--serial", "0"} << QStringList{"--serial", "50001"} << 0 << "(ready)";
    QTest::addRow("application running")
        << QStringList{"--partner", "3"} << QStringList{} << 3
        << "switch it off and wait until all LEDs are off. Then switch it on again. "
           "(application-running)";
}

void tst_Cli::planExitCodes()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, verdict);
    Bench bench;
    QVERIFY(bench.startSim(simArgs));
    const CliResult r = bench.run(QStringList{"plan"} + args);
    QVERIFY2(r.exitCode == exitCode, describe(r));
    QVERIFY2(r.out.contains(QStringLiteral("verdict: ")) && r.out.endsWith(verdict + "\n"),
             describe(r));
    // Nothing was written: the unit saw no upload, serial number or swap request.
    QVERIFY(!bench.simLog().contains(QLatin1String("violation")));
}

void tst_Cli::outputLosesNothing_data()
{
    QTest::addColumn<bool>("nonBlocking");
    QTest::newRow("writes interrupted by signals") << false;
    QTest::newRow("a pipe made non-blocking") << true;
}

// The output to a pipe whose reader lags (a line controller busy elsewhere): its writes wait,
// are interrupted by signals (as a worker's end interrupts them) and cut short, and every byte
// arrives in order.
void tst_Cli::outputLosesNothing()
{
    QFETCH(bool, nonBlocking);
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    if (nonBlocking)
        ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    struct sigaction interrupting = {}, old = {};
    interrupting.sa_handler = [](int) {}; // no SA_RESTART, as Qt's own for SIGCHLD
    ::sigaction(SIGUSR1, &interrupting, &old);
    QByteArray expected;
    for (int i = 0; i < 40000; ++i)
        expected += QByteArray::number(i) + '\n';
    std::thread writer([&] {
        CDescriptorOutput device(fds[1]);
        device.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        QTextStream out(&device);
        for (const QByteArray& line : expected.split('\n'))
            if (!line.isEmpty())
                out << line << '\n';
        out.flush();
        ::close(fds[1]);
    });
    for (int i = 0; i < 20; ++i) {
        QThread::msleep(10);
        ::pthread_kill(writer.native_handle(), SIGUSR1);
    }
    QByteArray got;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) != 0;) {
        if (n > 0)
            got.append(chunk, int(n));
        if (got.size() % 8 == 0)
            ::pthread_kill(writer.native_handle(), SIGUSR1);
    }
    writer.join();
    ::close(fds[0]);
    ::sigaction(SIGUSR1, &old, nullptr);
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
