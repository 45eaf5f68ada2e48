#pragma once

// Simulated plus units for the benchmarks: ventaro-devsim processes with older software (the
// application and the bootloader are written), one pty each, announced in one port folder.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <memory>
#include <vector>

namespace benchunits {

using SUnits = std::vector<std::unique_ptr<QProcess>>;

// A program of the build tree, relative to the benchmark's folder.
inline QString binary(const char* relative)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(relative));
}

// ventaro-cli's environment for the units in `ports`, under a lock of its own (`name` and the
// benchmark's process id), so a tool running meanwhile is not disturbed.
inline QProcessEnvironment cliEnvironment(const QString& ports, const QString& name)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VENTARO_PORT_DIR"), ports);
    env.insert(QStringLiteral("VENTARO_INSTANCE_KEY"),
               QStringLiteral("%1-%2").arg(name).arg(QCoreApplication::applicationPid()));
    return env;
}

// `count` units "u0", "u1", ... with serial numbers from `firstSerial`; waits (up to 20 s) until
// all are announced when `wait` is set.
inline SUnits start(const QString& ports, int count, int firstSerial, bool wait = true)
{
    SUnits sims;
    const QString program = binary("../tools/devsim/ventaro-devsim");
    for (int i = 0; i < count; ++i) {
        auto sim = std::make_unique<QProcess>();
        sim->setStandardOutputFile(QProcess::nullDevice());
        sim->setStandardErrorFile(QProcess::nullDevice());
        sim->start(program, {"--port-dir", ports, "--name", QStringLiteral("u%1").arg(i), "--model",
                             "plus", "--partner", "1", "--boot-version", "2.20", "--appl-version",
                             "2.20", "--serial", QString::number(firstSerial + i)});
        sims.push_back(std::move(sim));
    }
    QElapsedTimer clock;
    clock.start();
    while (wait && QDir(ports).entryList({QStringLiteral("*.port")}).size() < count &&
           clock.elapsed() < 20000)
        QThread::msleep(20);
    return sims;
}

inline void stop(SUnits& sims)
{
    for (auto& sim : sims) {
        sim->terminate();
        sim->waitForFinished(3000);
    }
    sims.clear();
}

} // namespace benchunits
