#pragma once

// ventaro-cli and ventaro-devsim as processes: a simulated unit on a pty announced in a
// private port folder, and the command-line tool run against it with its own instance key.

#include "locklefts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUuid>
#include <QVector>

#include <map>
#include <memory>

namespace clitest {

constexpr int kTimeoutMs = 20000;
// A plus unit with older software: application and bootloader are written.
const QStringList kOlderPlus = {"--model",        "plus", "--partner",      "1",
                                "--boot-version", "2.20", "--appl-version", "2.20"};

inline QString binary(const char* relative)
{
    return QDir(qEnvironmentVariable("VENTARO_BUILD_DIR")).filePath(QLatin1String(relative));
}
inline QString cliPath()
{
    return binary("src/ventaro-cli");
}
inline QString simPath()
{
    return binary("tools/devsim/ventaro-devsim");
}

struct CliResult
{
    int exitCode = -100; // -100: did not finish
    QString out;
    QString err;
};

class Bench
{
public:
    Bench() : m_Key(QStringLiteral("ventaro-cli-test-") + QUuid::createUuid().toString())
    {
        QDir(m_Dir.path()).mkpath(QStringLiteral("ports"));
        m_Sim.setStandardOutputFile(QProcess::nullDevice());
        m_Sim.setStandardErrorFile(m_Dir.filePath(QStringLiteral("sim.log")));
    }
    ~Bench()
    {
        stopSim();
        locklefts::remove(m_Key); // a tool killed on a time-out held it
    }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    QString portDir() const { return m_Dir.filePath(QStringLiteral("ports")); }
    QString path(const QString& name) const { return m_Dir.filePath(name); }
    const QString& instanceKey() const { return m_Key; }
    QProcess& sim() { return m_Sim; }

    // Starts the simulated unit and waits until its port is announced.
    bool startSim(const QStringList& args)
    {
        m_Sim.start(simPath(), QStringList{QStringLiteral("--port-dir"), portDir(),
                                           QStringLiteral("--name"), QStringLiteral("unit")} +
                                   args);
        if (!m_Sim.waitForStarted(kTimeoutMs))
            return false;
        return waitForPort(true);
    }
    void stopSim()
    {
        if (m_Sim.state() != QProcess::NotRunning) {
            m_Sim.terminate();
            if (!m_Sim.waitForFinished(3000)) {
                m_Sim.kill();
                m_Sim.waitForFinished(3000);
            }
        }
    }
    bool waitForPort(bool present) const
    {
        const QString file = QDir(portDir()).filePath(QStringLiteral("unit.port"));
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < kTimeoutMs) {
            if (QFile::exists(file) == present)
                return true;
            QThread::msleep(10);
        }
        return false;
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VENTARO_PORT_DIR"), portDir());
        env.insert(QStringLiteral("VENTARO_INSTANCE_KEY"), m_Key);
        // English texts whatever the machine's locale.
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        env.remove(QStringLiteral("LANGUAGE"));
        // ventaro-cli needs no display, not even for its charts.
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        return env;
    }

    CliResult run(const QStringList& args, int timeoutMs = kTimeoutMs) const
    {
        QProcess cli;
        cli.setProcessEnvironment(environment());
        cli.start(cliPath(), args);
        CliResult r;
        if (!cli.waitForFinished(timeoutMs)) {
            cli.kill();
            cli.waitForFinished(3000);
        } else if (cli.exitStatus() == QProcess::NormalExit) {
            r.exitCode = cli.exitCode();
        }
        r.out = QString::fromUtf8(cli.readAllStandardOutput());
        r.err = QString::fromUtf8(cli.readAllStandardError());
        return r;
    }

    QString simLog() const
    {
        QFile f(m_Dir.filePath(QStringLiteral("sim.log")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    QTemporaryDir m_Dir;
    QString m_Key;
    QProcess m_Sim;
};

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

// The JSON lines of `out` (--json) whose "event" is `name`.
inline QVector<QJsonObject> events(const QString& out, const QString& name)
{
    QVector<QJsonObject> found;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (object.value(QStringLiteral("event")).toString() == name)
            found << object;
    }
    return found;
}

inline QByteArray describe(const CliResult& r)
{
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3")
        .arg(r.exitCode)
        .arg(r.out, r.err)
        .toUtf8();
}

} // namespace clitest
