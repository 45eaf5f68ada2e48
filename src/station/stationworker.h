#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

// One child process of the station (an update worker or a probe), with one owner for all the
// ways it can end: a normal exit, a crash, a program that cannot be started (which never
// reports `finished`), or a time limit. ended() comes exactly once, after the last output line,
// and always from the event loop (never from inside start()).
//
// The child runs in a process group of its own and ignores SIGTERM, SIGINT and SIGHUP from
// before its program starts: a service manager's SIGTERM to all the station's processes, or a
// signal to its group, reaches the coordinator alone, which lets running updates finish. Only
// the coordinator stops a worker, by a line of the protocol.
class CStationWorker : public QObject
{
    Q_OBJECT

public:
    // The bound of a process's end once it is told to go (destructor).
    static constexpr int kKillWaitMs = 1000;

    explicit CStationWorker(QObject* parent = nullptr);
    ~CStationWorker() override;

    // `limitMs` > 0: killed when it runs longer (and ended() says so).
    void start(const QString& program, const QStringList& args, int limitMs = 0);
    bool running() const { return m_Started && !m_Ended; }
    qint64 processId() const { return m_Process.processId(); }
    // A line for its stdin (ignored once it ended).
    void send(const QByteArray& line);
    // Asks an update worker to stop after its current packet; `duplicate` names the twin of
    // its unit that made it stop, if one did.
    void stop(const QString& duplicate = QString());
    // Not wanted any more (its port went away): it is killed and deleted once it has ended,
    // without waiting for it; ended() does not come.
    void discard();
    // Its last non-empty line on stderr.
    const QString& lastError() const { return m_LastError; }

Q_SIGNALS:
    void lineReceived(const QByteArray& line); // one stdout line, without its line break
    void errorLine(const QString& line);       // one stderr line
    // `failure` is empty for a process that exited on its own, else why it did not.
    void ended(int exitCode, const QString& failure);

private:
    void readOutput();
    void readErrors();
    void end(int exitCode, const QString& failure);

    // Sets up the child between fork and exec.
    class CChild final : public QProcess
    {
    protected:
        void setupChildProcess() override;
    };

    CChild m_Process;
    QTimer m_Limit;
    QByteArray m_Pending;
    QString m_LastError;
    bool m_Started = false;
    bool m_Ended = false;
    bool m_TimedOut = false;
};
