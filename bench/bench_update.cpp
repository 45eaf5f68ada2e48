// Wall time of a full firmware update by korvath-update -ap against ventaro-devsim on a
// pseudo-terminal, next to the pauses the protocol mandates: 750 ms after every block, and in
// slow mode (the WiFi module) 15 s after the begin request and after each partition header plus
// 100 ms after each chunk. The 100-series unit restarts once (after its application); that
// restart (set below) is the unit's time, listed on its own.
//
//   bench_update [runs]     (default 1 run per unit)
#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qint64 kBlockPauseMs = 750;
constexpr qint64 kSlowPauseMs = 15000;
constexpr qint64 kSlowChunkPauseMs = 100;
constexpr int kChunkLen = 192;
constexpr int kRebootAfterMs = 200; // after the acknowledgement of the end request
constexpr int kRebootPauseMs = 300;
constexpr int kUpdateTimeoutMs = 300000;

QString sibling(const char* relative)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(relative));
}

// The pauses one image upload must take.
qint64 mandatedMs(int type, int system, bool slow)
{
    const CFlashImageList images;
    const CFlashImage* image = images.find(type, system);
    if (!image)
        return 0;
    qint64 ms = slow ? kSlowPauseMs : 0;
    for (const SMemBlock& block : image->m_MemBlocks) {
        ms += kBlockPauseMs;
        if (slow) {
            const qint64 chunks = (block.m_BlockData.size() + kChunkLen - 1) / kChunkLen;
            ms += kSlowPauseMs + chunks * kSlowChunkPauseMs;
        }
    }
    return ms;
}

struct SRun
{
    bool ok = false;
    qint64 totalMs = 0;  // tool start to exit
    qint64 updateMs = 0; // update start (first begin request) to exit
};

SRun runOnce(bool plus)
{
    SRun run;
    QTemporaryDir dir;
    const QString ports = dir.filePath("ports");
    QDir().mkpath(ports);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VENTARO_PORT_DIR", ports);
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess sim;
    sim.setProcessEnvironment(env);
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.setStandardErrorFile(QProcess::nullDevice());
    QStringList simArgs{"--port-dir",     ports,  "--name",         "unit", "--partner", "1",
                        "--boot-version", "2.20", "--appl-version", "2.01"};
    if (plus)
        simArgs << "--model"
                << "plus";
    else
        simArgs << "--reboot-after-upload" << QString::number(kRebootAfterMs) << "--reboot-pause"
                << QString::number(kRebootPauseMs);
    sim.start(sibling("../tools/devsim/ventaro-devsim"), simArgs);
    if (!sim.waitForStarted())
        return run;
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(QDir(ports).filePath("unit.port")) && wait.elapsed() < 10000)
        sim.waitForFinished(10);

    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(dir.path());
    tool.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    tool.start(sibling("../src/korvath-update"), {"-ap"});
    qint64 updateStart = -1;
    QByteArray pending;
    while (tool.state() != QProcess::NotRunning && clock.elapsed() < kUpdateTimeoutMs) {
        tool.waitForReadyRead(20);
        pending += tool.readAllStandardError();
        if (updateStart < 0 && pending.contains("Upload Partion"))
            updateStart = clock.elapsed();
        if (pending.size() > 4096)
            pending = pending.right(64);
    }
    tool.waitForFinished(1000);
    run.totalMs = clock.elapsed();
    run.updateMs = updateStart < 0 ? -1 : run.totalMs - updateStart;
    run.ok = tool.state() == QProcess::NotRunning && tool.exitCode() == 100;
    if (tool.state() != QProcess::NotRunning)
        tool.kill();
    sim.terminate();
    sim.waitForFinished();
    return run;
}

void report(bool plus, int runs)
{
    using P = CPartitionTable;
    const int system = plus ? CFlashImage::ESystemPlus : CFlashImage::ESystem100;
    qint64 mandated =
        mandatedMs(P::EApplication, system, false) + mandatedMs(P::EBootloader2, system, false);
    qint64 restart = 0;
    if (!plus) {
        mandated +=
            mandatedMs(P::ECC3200Bridge, system, false) + mandatedMs(P::ECC3200, system, true);
        restart = kRebootAfterMs + kRebootPauseMs;
    }
    for (int i = 0; i < runs; ++i) {
        const SRun r = runOnce(plus);
        std::printf("%-12s run %d: %s, tool %7.2f s, update %7.2f s, mandated pauses %7.2f s, "
                    "unit restart %4.2f s, ratio update/(pauses+restart) %.3f\n",
                    plus ? "plus" : "100 series", i + 1, r.ok ? "exit 100" : "FAILED",
                    r.totalMs / 1000.0, r.updateMs / 1000.0, mandated / 1000.0, restart / 1000.0,
                    double(r.updateMs) / double(mandated + restart));
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 1;
    report(true, runs);
    report(false, runs);
    return 0;
}
