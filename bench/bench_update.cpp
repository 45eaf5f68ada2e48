// Wall time of a full firmware update by korvath-update -ap against ventaro-devsim on a
// pseudo-terminal, next to the pauses the protocol mandates: 750 ms after every block, and in
// slow mode (the WiFi module) 15 s after the begin request and after each partition header plus
// 100 ms after each chunk. The 100-series unit restarts once (after its application); that
// restart (set below) is the unit's time, listed on its own.
//
// Then ventaro-cli update on a plus unit that restarts after its swap, against one that does
// not: the restart should cost the unit's own time and nothing more (goal: (time - restart
// delay) / time without restart at most 1.08).
//
// First, loading and checking a signed firmware bundle of all six images, as `update --bundle`
// does before it touches a unit (goal: at most 50 ms).
//
//   bench_update [runs]           (default 1 run per unit)
//   bench_update [runs] restart   only the restart comparison
//   bench_update [runs] bundle    only the bundle figure
#include "firmware/bundlemanifest.h"
#include "firmware/firmwarebundle.h"
#include "firmware/flashimagelist.h"
#include "firmware/minisign.h"
#include "firmware/partitiontable.h"
#include "firmware/ustarreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
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

// ventaro-cli update of a plus unit (application and bootloader); `rebootAfterSwapMs` < 0: the
// unit does not restart. The wall time of the command, or -1 when it did not end with exit 0.
qint64 cliUpdateMs(int rebootAfterSwapMs, int rebootPauseMs)
{
    QTemporaryDir dir;
    const QString ports = dir.filePath("ports");
    QDir().mkpath(ports);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VENTARO_PORT_DIR", ports);
    env.insert("VENTARO_INSTANCE_KEY", "bench_update-" + QString::number(qApp->applicationPid()));
    QProcess sim;
    sim.setProcessEnvironment(env);
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.setStandardErrorFile(QProcess::nullDevice());
    QStringList simArgs{
        "--port-dir", ports,      "--name", "unit",           "--model",
        "plus",       "--serial", "60001",  "--reboot-pause", QString::number(rebootPauseMs)};
    if (rebootAfterSwapMs >= 0)
        simArgs << "--reboot-after-swap" << QString::number(rebootAfterSwapMs);
    sim.start(sibling("../tools/devsim/ventaro-devsim"), simArgs);
    if (!sim.waitForStarted())
        return -1;
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(QDir(ports).filePath("unit.port")) && wait.elapsed() < 10000)
        sim.waitForFinished(10);
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(sibling("../src/ventaro-cli"), {"update"});
    const bool done = cli.waitForFinished(kUpdateTimeoutMs);
    const qint64 ms = clock.elapsed();
    const bool ok = done && cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
    if (!done)
        cli.kill();
    sim.terminate();
    sim.waitForFinished();
    return ok ? ms : -1;
}

void reportRestart(int runs)
{
    constexpr int kRestartAfterSwapMs = 1000;
    constexpr int kAwayMs = 1500; // the port is gone this long while the unit restarts
    for (int i = 0; i < runs; ++i) {
        const qint64 plain = cliUpdateMs(-1, kAwayMs);
        const qint64 late = cliUpdateMs(kRestartAfterSwapMs, kAwayMs);
        const qint64 early = cliUpdateMs(0, kAwayMs);
        std::printf("plus restart run %d: no restart %6.2f s; restart %d ms after the swap "
                    "%6.2f s, (time - %d ms) / no restart %.3f; restart at once, away %d ms "
                    "%6.2f s, (time - %d ms) / no restart %.3f\n",
                    i + 1, plain / 1000.0, kRestartAfterSwapMs, late / 1000.0, kRestartAfterSwapMs,
                    double(late - kRestartAfterSwapMs) / double(plain), kAwayMs, early / 1000.0,
                    kAwayMs, double(early - kAwayMs) / double(plain));
        std::fflush(stdout);
    }
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

// A bundle of the six built-in images signed with a key made for the run; the median time of
// CFirmwareBundle::load over `runs` loads (at least 20).
void reportBundle(int runs)
{
    QTemporaryDir dir;
    const QString key = dir.filePath("k.key");
    const QString pub = dir.filePath("k.pub");
    QProcess keygen;
    keygen.start("minisign", {"-G", "-W", "-s", key, "-p", pub});
    QFile keyFile(key);
    QFile pubFile(pub);
    minisign::SSecretKey secret;
    SBundlePolicy policy;
    QString error;
    if (!keygen.waitForFinished(20000) || keygen.exitCode() != 0 ||
        !keyFile.open(QIODevice::ReadOnly) || !pubFile.open(QIODevice::ReadOnly) ||
        !minisign::parseSecretKey(keyFile.readAll(), secret, error) ||
        !minisign::parsePublicKeys(pubFile.readAll(), pub, policy.trustedKeys, error)) {
        std::printf("bundle: no key (minisign -G failed) %s\n", qPrintable(error));
        return;
    }
    const CFlashImageList builtIn; // registers the resources
    SBundleManifest manifest;
    manifest.release = "bench";
    manifest.created = "2026-12-10T00:00:00Z";
    manifest.notesEn = manifest.notesDe = "bench";
    QVector<QByteArray> files;
    for (const char* name : bundlemanifest::kImageNames) {
        QFile image(QStringLiteral(":/Images/%1.ini").arg(QLatin1String(name)));
        if (!image.open(QIODevice::ReadOnly))
            return;
        files << image.readAll();
        manifest.images << SBundleManifest::SImage{name, QLatin1String(name) + ".ini",
                                                   files.last().size(),
                                                   minisign::sha256Hex(files.last())};
    }
    const QByteArray manifestBytes = bundlemanifest::write(manifest);
    QByteArray archive;
    auto add = [&](const QString& name, const QByteArray& data) {
        archive +=
            ustar::header(name.toUtf8(), data.size(), 0) + data + ustar::padding(data.size());
    };
    add("manifest.json", manifestBytes);
    add("manifest.json.minisig", minisign::sign(manifestBytes, secret, "bench"));
    for (int i = 0; i < files.size(); ++i)
        add(manifest.images.at(i).file, files.at(i));
    archive += ustar::endOfArchive();
    QFile out(dir.filePath("bench.vfw"));
    if (!out.open(QIODevice::WriteOnly) || out.write(archive) != archive.size())
        return;
    out.close();
    QVector<double> ms;
    for (int i = 0; i < qMax(20, runs); ++i) {
        QElapsedTimer clock;
        clock.start();
        CFirmwareBundle bundle;
        const SBundleVerdict verdict = bundle.load(out.fileName(), policy);
        ms << clock.nsecsElapsed() / 1e6;
        if (!verdict.accepted()) {
            std::printf("bundle: refused: %s\n", qPrintable(verdict.message()));
            return;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("bundle of six images (%.0f KB): load and verify median %.1f ms, max %.1f ms "
                "over %d loads (goal <= 50 ms)\n",
                archive.size() / 1024.0, ms.at(ms.size() / 2), ms.last(), int(ms.size()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 1;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (only != QLatin1String("restart"))
        reportBundle(runs);
    if (only == QLatin1String("bundle"))
        return 0;
    if (only.isEmpty()) {
        report(true, runs);
        report(false, runs);
    }
    reportRestart(runs);
    return 0;
}
