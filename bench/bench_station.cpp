// Many units at once: `ventaro-cli update --all` against 1, 4, 8 and 16 simulated plus units,
// each a ventaro-devsim process on its own pty, side by side in one run. Prints the wall time
// against one unit alone, the processor time per unit (the tool's coordinator and workers) and
// the largest resident size of any of its processes.
//
//     build/bench/bench_station [UNITS...]      default: 1 4 8 16

#include "benchunits.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>

namespace {

double cpuSeconds(const rusage& r)
{
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

struct SRun
{
    int units = 0;
    int exitCode = -1;
    double wallS = 0;
    double cpuS = 0;    // of ventaro-cli and its workers
    long peakRssKb = 0; // the largest of those processes
};

SRun runUnits(int units)
{
    SRun run;
    run.units = units;
    QTemporaryDir dir;
    const QString ports = dir.filePath(QStringLiteral("ports"));
    QDir().mkpath(ports);
    benchunits::SUnits sims = benchunits::start(ports, units, 60000);

    rusage before{};
    ::getrusage(RUSAGE_CHILDREN, &before);
    QProcess cli;
    cli.setProcessEnvironment(benchunits::cliEnvironment(ports, QStringLiteral("bench_station")));
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(benchunits::binary("../src/ventaro-cli"), {"update", "--all"});
    cli.waitForFinished(600000);
    run.wallS = double(clock.elapsed()) / 1000.0;
    run.exitCode = cli.exitCode();
    rusage after{};
    ::getrusage(RUSAGE_CHILDREN, &after);
    // The simulated units are still running: what the children used so far is the tool's.
    run.cpuS = cpuSeconds(after) - cpuSeconds(before);
    run.peakRssKb = after.ru_maxrss;
    benchunits::stop(sims);
    return run;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QList<int> counts;
    for (const QString& arg : app.arguments().mid(1))
        counts << arg.toInt();
    if (counts.isEmpty())
        counts = {1, 4, 8, 16};

    std::printf("ventaro-cli update --all, plus units (application and bootloader each)\n");
    std::printf("%6s %6s %9s %9s %12s %13s\n", "units", "exit", "wall s", "x alone", "cpu s/unit",
                "peak RSS MB");
    double alone = 0;
    for (int units : counts) {
        const SRun r = runUnits(units);
        if (units == 1 || alone == 0)
            alone = r.wallS;
        std::printf("%6d %6d %9.2f %9.3f %12.3f %13.1f\n", r.units, r.exitCode, r.wallS,
                    r.wallS / alone, r.cpuS / r.units, double(r.peakRssKb) / 1024.0);
        std::fflush(stdout);
    }
    std::printf("goal: 16 units in at most 1.2 x the time of one, cpu per unit no more than "
                "alone\n");
    return 0;
}
