// The station's live page under load: `ventaro-cli station --http` updating 16 simulated plus
// units (ventaro-devsim processes on ptys) with none and with 10 pages open in one headless
// Chromium. Prints, per run, the median and slowest update time, and with pages the time from
// an event in the station to the page's change (the frame's send time to the moment the page
// has redrawn for it, both on this machine's clock), median, 95th percentile and largest.
//
//     build/bench/bench_stationpage [UNITS [PAGES [ROUNDS [chromium|readers [NICE]]]]]
//
// Defaults: 16 units, 10 pages, 2 rounds, pages in Chromium at the normal priority. "readers"
// puts plain WebSocket readers in the place of the pages (the station's own cost, without a
// browser on the same two cores); NICE runs the browser at that lower priority.

#include "benchunits.h"
#include "chromium.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

template <typename T>
T quantile(QVector<T> values, double q)
{
    if (values.isEmpty())
        return T();
    std::sort(values.begin(), values.end());
    return values.at(qMin(values.size() - 1, int(q * values.size())));
}

struct SRun
{
    int exitCode = -1;
    QVector<qint64> durationsMs; // of the updates
    QVector<double> latenciesMs; // event to page, every frame of every page
    QVector<double> socketMs;    // event to a WebSocket reader of this process
    double stationCpuS = 0;      // of the coordinator alone, for the whole run
    double browserCpuS = 0;      // of every Chromium process, while the units were updated
    double browserIdle = 0;      // its processor share with the pages open before any unit
};

double cpuSeconds(qint64 pid);

// Processor time of every Chromium process alive now.
double browserSeconds()
{
    double sum = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (pid.toLongLong() > 0 && comm.open(QIODevice::ReadOnly) &&
            comm.readAll().startsWith("chromium"))
            sum += cpuSeconds(pid.toLongLong());
    }
    return sum;
}

// Processor time of a process so far (from /proc), in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // The fields after the command's closing parenthesis; utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) /
           double(::sysconf(_SC_CLK_TCK));
}

// With `browser`, `pages` pages in it and one plain WebSocket reader beside them; without,
// `pages` plain readers (the station's own share of the cost).
SRun run(int units, int pages, CChromium* browser)
{
    SRun result;
    QTemporaryDir dir;
    const QString ports = dir.filePath(QStringLiteral("ports"));
    QDir().mkpath(ports);
    QProcess station;
    station.setProcessEnvironment(
        benchunits::cliEnvironment(ports, QStringLiteral("bench_stationpage")));
    station.start(benchunits::binary("../src/ventaro-cli"), {"station", "--json", "--http", "0"});
    const QRegularExpression at(QStringLiteral("the page is at (http://[^ ]+/)"));
    QString err;
    QElapsedTimer clock;
    clock.start();
    while (!at.match(err).hasMatch() && clock.elapsed() < 20000) {
        station.waitForReadyRead(100);
        err += QString::fromUtf8(station.readAllStandardError());
    }
    const QString url = at.match(err).captured(1);
    QStringList sessions;
    for (int i = 0; i < pages && browser; ++i) {
        sessions << browser->open(url);
        browser->waitFor(sessions.back(), QStringLiteral("stationPage.connects == 1"), 20000);
    }

    if (browser) {
        const double before = browserSeconds();
        CChromium::pause(5000);
        result.browserIdle = (browserSeconds() - before) / 5.0;
    }

    // Plain readers: beside the pages, how much of the time is the way to the browser.
    std::vector<std::unique_ptr<QWebSocket>> readers;
    for (int i = 0; i < (browser ? qMin(pages, 1) : pages); ++i) {
        readers.push_back(std::make_unique<QWebSocket>());
        QObject::connect(
            readers.back().get(), &QWebSocket::textMessageReceived, [&](const QString& text) {
                const qint64 now = QDateTime::currentMSecsSinceEpoch();
                for (const QJsonValue& value : QJsonDocument::fromJson(text.toUtf8()).array()) {
                    const QJsonObject frame = value.toObject();
                    if (frame.value(QStringLiteral("event")).toString() !=
                        QLatin1String("snapshot"))
                        result.socketMs << double(now - qint64(frame.value("at").toDouble()));
                }
            });
        readers.back()->open(
            QUrl(QString(url).replace(QStringLiteral("http:"), QStringLiteral("ws:")) +
                 QStringLiteral("api/events")));
    }

    // Plugged in with the pages open, so they see every unit arrive.
    benchunits::SUnits sims = benchunits::start(ports, units, 60100, false);
    QByteArray out;
    int done = 0;
    const double browserBefore = browser ? browserSeconds() : 0;
    clock.restart();
    while (done < units && clock.elapsed() < 600000) {
        if (pages > 0)
            CChromium::pause(50); // the DevTools replies and the readers' frames
        else
            station.waitForReadyRead(50);
        out += station.readAllStandardOutput();
        int end = 0;
        while ((end = out.indexOf('\n')) >= 0) {
            const QJsonObject event = QJsonDocument::fromJson(out.left(end)).object();
            out.remove(0, end + 1);
            if (event.value(QStringLiteral("event")).toString() == QLatin1String("done")) {
                ++done;
                result.durationsMs << qint64(event.value(QStringLiteral("durationMs")).toDouble());
            }
        }
    }
    if (browser)
        result.browserCpuS = browserSeconds() - browserBefore;
    for (const QString& session : sessions) {
        const QJsonArray latencies =
            browser->evaluate(session, QStringLiteral("stationPage.latencies")).toArray();
        for (const QJsonValue& v : latencies)
            result.latenciesMs << v.toDouble();
        browser->close(session);
    }
    result.stationCpuS = cpuSeconds(station.processId());
    ::kill(pid_t(station.processId()), SIGINT);
    station.waitForFinished(30000);
    result.exitCode = station.exitCode();
    benchunits::stop(sims);
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int units = args.value(1, QStringLiteral("16")).toInt();
    const int pages = args.value(2, QStringLiteral("10")).toInt();
    const int rounds = args.value(3, QStringLiteral("2")).toInt();
    const bool readersOnly = args.value(4) == QLatin1String("readers");
    const int niceness = args.value(5, QStringLiteral("0")).toInt();
    CChromium browser;
    QString error;
    if (!readersOnly && !browser.start(error, {}, niceness)) {
        std::fprintf(stderr, "bench_stationpage: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("ventaro-cli station --http, %d plus units at once\n", units);
    std::printf("%6s %5s %12s %12s %9s %12s %12s %12s\n", "pages", "exit", "median s", "slowest s",
                "frames", "event ms p50", "p95", "max");
    QVector<qint64> none, open;
    for (int round = 0; round < rounds; ++round) {
        for (int withPages : {0, pages}) {
            const SRun r =
                run(units, withPages, withPages > 0 && !readersOnly ? &browser : nullptr);
            (withPages > 0 ? open : none) << r.durationsMs;
            std::printf("%6d %5d %12.2f %12.2f %9d %12.1f %12.1f %12.1f   socket p50 %.1f p95 %.1f "
                        " station cpu s %.2f  browser cpu s %.2f (idle %.2f cores)\n",
                        withPages, r.exitCode, double(quantile(r.durationsMs, 0.5)) / 1000.0,
                        double(quantile(r.durationsMs, 1.0)) / 1000.0, int(r.latenciesMs.size()),
                        quantile(r.latenciesMs, 0.5), quantile(r.latenciesMs, 0.95),
                        quantile(r.latenciesMs, 1.0), quantile(r.socketMs, 0.5),
                        quantile(r.socketMs, 0.95), r.stationCpuS, r.browserCpuS, r.browserIdle);
            std::fflush(stdout);
        }
    }
    const double ratio = double(quantile(open, 0.5)) / double(qMax<qint64>(1, quantile(none, 0.5)));
    std::printf("median update with %d pages / with none: %.3f\n", pages, ratio);
    std::printf("goals: event to page under 100 ms median; updates within 2 %% of none\n");
    return 0;
}
