#include "stationworker.h"

#include "station/stationprotocol.h"

#include <csignal>

#include <unistd.h>

CStationWorker::CStationWorker(QObject* parent) : QObject(parent)
{
    m_Limit.setSingleShot(true);
    connect(&m_Limit, &QTimer::timeout, this, [this] {
        m_TimedOut = true;
        m_Process.kill();
    });
    connect(&m_Process, &QProcess::readyReadStandardOutput, this, &CStationWorker::readOutput);
    connect(&m_Process, &QProcess::readyReadStandardError, this, &CStationWorker::readErrors);
    connect(&m_Process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this](int code, QProcess::ExitStatus status) {
                readOutput();
                readErrors();
                if (m_TimedOut)
                    end(-1, QStringLiteral("it did not end in time and was stopped"));
                else if (status != QProcess::NormalExit)
                    end(-1, QStringLiteral("the worker crashed"));
                else
                    end(code, QString());
            });
    // A program that cannot be started reports only this, never finished(), and may report it
    // from inside start(): its end is told from the event loop, after the caller is done.
    connect(
        &m_Process, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                end(-1, QStringLiteral("the worker could not be started (%1)")
                            .arg(m_Process.errorString()));
        },
        Qt::QueuedConnection);
}

CStationWorker::~CStationWorker()
{
    m_Ended = true; // no signal from a half-destroyed owner
    if (m_Process.state() != QProcess::NotRunning) {
        m_Process.kill();
        m_Process.waitForFinished(kKillWaitMs);
    }
}

void CStationWorker::start(const QString& program, const QStringList& args, int limitMs)
{
    m_Started = true;
    if (limitMs > 0)
        m_Limit.start(limitMs);
    m_Process.start(program, args);
}

void CStationWorker::send(const QByteArray& line)
{
    if (running() && m_Process.state() == QProcess::Running)
        m_Process.write(line);
}

void CStationWorker::stop(const QString& duplicate)
{
    send(stationprotocol::stopLine(duplicate));
}

void CStationWorker::discard()
{
    m_Ended = true;
    m_Limit.stop();
    if (m_Process.state() == QProcess::NotRunning) {
        deleteLater();
        return;
    }
    connect(&m_Process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            &QObject::deleteLater);
    m_Process.kill();
}

void CStationWorker::CChild::setupChildProcess()
{
    // Between fork and exec: only async-signal-safe calls. Ignored signals stay ignored
    // across exec.
    ::setpgid(0, 0);
    ::signal(SIGTERM, SIG_IGN);
    ::signal(SIGINT, SIG_IGN);
    ::signal(SIGHUP, SIG_IGN);
}

void CStationWorker::readOutput()
{
    m_Pending += m_Process.readAllStandardOutput();
    for (const QByteArray& line : stationprotocol::takeLines(m_Pending))
        if (!m_Ended)
            Q_EMIT lineReceived(line);
}

void CStationWorker::readErrors()
{
    const QStringList lines =
        QString::fromUtf8(m_Process.readAllStandardError()).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        m_LastError = line;
        Q_EMIT errorLine(line);
    }
}

void CStationWorker::end(int exitCode, const QString& failure)
{
    if (m_Ended)
        return;
    m_Ended = true;
    m_Limit.stop();
    Q_EMIT ended(exitCode, failure);
}
