// Figures of the tool itself, against the ventaro-devsim process on a pseudo-terminal:
//  (a) time from a unit's port file appearing to the dialog's identity fields being filled
//      (the real port enumerator, serial port and dialog, in this process);
//  (b) time from starting the korvath-update process to its dialog being shown;
//  (c) the korvath-update process's peak resident memory after identifying a unit.
#include "app/maindialognew.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {
constexpr int kPlugRuns = 20;
constexpr int kStartRuns = 10;
constexpr int kRebootPauseMs = 300;
constexpr int kTimeoutMs = 10000;

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[size_t(p * double(v.size() - 1))];
}

QString sibling(const char* relative)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(relative));
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs = kTimeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}

void report(const char* what, const std::vector<double>& ms, double target)
{
    std::printf(
        "%-44s median %7.1f ms  p90 %7.1f ms  min %7.1f  max %7.1f  (n=%zu, target < %.0f ms)\n",
        what, percentile(ms, 0.5), percentile(ms, 0.9), percentile(ms, 0.0), percentile(ms, 1.0),
        ms.size(), target);
}

// (a) The dialog in this process; the unit power-cycles, so its port file goes and comes back.
bool benchPlugIn(const QString& dir)
{
    const QString ports = QDir(dir).filePath(QStringLiteral("ports-a"));
    QDir().mkpath(ports);
    QProcess sim;
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(
        sibling("../tools/devsim/ventaro-devsim"),
        {"--port-dir", ports, "--name", "unit", "--reboot-pause", QString::number(kRebootPauseMs)});
    if (!sim.waitForStarted(kTimeoutMs))
        return false;
    const QString portFile = QDir(ports).filePath(QStringLiteral("unit.port"));
    if (!waitUntil([&] { return QFile::exists(portFile); }))
        return false;

    qputenv("VENTARO_PORT_DIR", ports.toLocal8Bit());
    auto* dialog = new CMainDialogNew(false, false, false, false, false, false, QString(),
                                      QString(), false, QString());
    auto* boot = dialog->findChild<QLineEdit*>(QStringLiteral("BootloaderVersion"));
    qint64 filledAt = 0;
    QObject::connect(boot, &QLineEdit::textChanged, [&](const QString& text) {
        if (!text.isEmpty())
            filledAt = QDateTime::currentMSecsSinceEpoch();
    });
    std::vector<double> ms;
    bool ok = !boot->text().isEmpty();
    for (int run = 0; ok && run < kPlugRuns; ++run) {
        filledAt = 0;
        ::kill(pid_t(sim.processId()), SIGUSR1); // the user switches the unit off and on
        ok = waitUntil([&] { return boot->text().isEmpty(); }) &&
             waitUntil([&] { return filledAt != 0; });
        // The file is written under another name and renamed: its time is when it appeared.
        const qint64 appearedAt = QFileInfo(portFile).lastModified().toMSecsSinceEpoch();
        if (ok)
            ms.push_back(double(filledAt - appearedAt));
    }
    delete dialog;
    qunsetenv("VENTARO_PORT_DIR");
    sim.terminate();
    sim.waitForFinished(kTimeoutMs);
    if (!ok)
        return false;
    report("(a) port file appears -> identity shown", ms, 150);
    return true;
}

qint64 peakRssKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// (b) and (c): the korvath-update process, offscreen, with a unit plugged in.
bool benchProcess(const QString& dir)
{
    const QString ports = QDir(dir).filePath(QStringLiteral("ports-b"));
    QDir().mkpath(ports);
    QProcess sim;
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(sibling("../tools/devsim/ventaro-devsim"), {"--port-dir", ports, "--name", "unit"});
    if (!sim.waitForStarted(kTimeoutMs) ||
        !waitUntil([&] { return QFile::exists(QDir(ports).filePath("unit.port")); }))
        return false;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VENTARO_PORT_DIR"), ports);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VENTARO_INSTANCE_KEY"),
               QStringLiteral("ventaro-bench-dialog-%1").arg(QCoreApplication::applicationPid()));
    std::vector<double> shown;
    std::vector<double> peak;
    for (int run = 0; run < kStartRuns; ++run) {
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.setWorkingDirectory(dir);
        QString console;
        QElapsedTimer clock;
        clock.start();
        tool.start(sibling("../src/korvath-update"), QStringList{});
        double shownMs = -1;
        const bool identified = waitUntil([&] {
            tool.waitForReadyRead(1);
            console += QString::fromUtf8(tool.readAllStandardError());
            if (shownMs < 0 && console.contains(QLatin1String("CMainDialogNew: shown")))
                shownMs = double(clock.nsecsElapsed()) / 1e6;
            return shownMs >= 0 && console.contains(QLatin1String("all good"));
        });
        if (!identified) {
            std::fprintf(stderr, "korvath-update did not come up:\n%s\n", qPrintable(console));
            tool.kill();
            tool.waitForFinished();
            return false;
        }
        shown.push_back(shownMs);
        peak.push_back(double(peakRssKiB(tool.processId())) / 1024.0);
        tool.terminate();
        tool.waitForFinished(kTimeoutMs);
    }
    sim.terminate();
    sim.waitForFinished(kTimeoutMs);
    report("(b) process start -> dialog shown", shown, 400);
    std::printf("%-44s median %7.1f MiB  max %7.1f MiB  (VmHWM after identifying a unit)\n",
                "(c) korvath-update peak memory", percentile(peak, 0.5), percentile(peak, 1.0));
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler(silent);
    QTemporaryDir dir;
    const bool ok = benchPlugIn(dir.path()) && benchProcess(dir.path());
    if (!ok)
        std::fprintf(stderr, "bench_dialog: a run did not complete\n");
    return ok ? 0 : 1;
}
