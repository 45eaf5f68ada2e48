#include "recordbacklog.h"

#include "record/recordstore.h"

#include <QRegularExpression>

#include <algorithm>

CRecordBacklog::CRecordBacklog(const QString& record, const QString& spool, const QString& program)
    : m_Record(record), m_Spool(recordstore::spoolPath(record, spool)), m_Program(program)
{
    QString error;
    if (!m_Record.isEmpty())
        m_Sink = recordstore::open(m_Record, m_Spool, error); // checked before the run
    m_Send.setProcessChannelMode(QProcess::SeparateChannels);
    m_Send.setStandardOutputFile(QProcess::nullDevice());
    m_LastTry.start();
    if (database())
        m_Waiting = std::max(0, m_Sink->waiting());
}

CRecordBacklog::~CRecordBacklog()
{
    if (m_Send.state() != QProcess::NotRunning) {
        // Nothing is lost: what it had not marked sent waits in the spool for the next send.
        m_Send.kill();
        m_Send.waitForFinished(1000);
    }
}

QStringList CRecordBacklog::workerArguments() const
{
    if (!m_Sink)
        return {};
    QStringList args = {QStringLiteral("--record"), m_Record};
    if (!m_Spool.isEmpty())
        args << QStringLiteral("--spool") << m_Spool;
    return args;
}

bool CRecordBacklog::write(const SProductionRecord& record, QString& error)
{
    if (!m_Sink)
        return true;
    if (!m_Sink->write(record, error))
        return false;
    m_Notice = m_Sink->takeNotice();
    sendSoon();
    return true;
}

void CRecordBacklog::startSend()
{
    m_LastTry.restart();
    m_SendClock.start();
    m_Send.start(m_Program,
                 {QStringLiteral("record"), QStringLiteral("sync"), QStringLiteral("--record"),
                  m_Record, QStringLiteral("--spool"), m_Spool});
}

void CRecordBacklog::sendEnded()
{
    const bool sent = m_Send.error() != QProcess::FailedToStart &&
                      m_Send.exitStatus() == QProcess::NormalExit && m_Send.exitCode() == 0;
    const QStringList lines = QString::fromUtf8(m_Send.readAllStandardError())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    m_SendError.clear();
    if (!sent) {
        // "ventaro-cli: 3 record lines still wait in PATH: why": the why is what is shown.
        m_SendError = lines.isEmpty() ? m_Send.errorString() : lines.last();
        const QString wait = QStringLiteral(" still wait in %1: ").arg(m_Spool);
        const int at = m_SendError.indexOf(wait);
        m_SendError =
            at >= 0 ? m_SendError.mid(at + wait.size())
                    : m_SendError.remove(QRegularExpression(QStringLiteral("^ventaro-cli: ")));
    }
    update(m_Sink->waiting());
    m_NextTryMs = sent ? kSendEveryMs : kRetryAfterFailureMs;
}

bool CRecordBacklog::poll()
{
    if (!database())
        return false;
    if (m_Send.state() != QProcess::NotRunning) {
        if (m_SendClock.elapsed() >= kSendLimitMs) {
            m_Send.kill();
            m_Send.waitForFinished(1000);
            m_Send.readAllStandardError();
            m_SendClock.invalidate();
            m_SendError =
                QStringLiteral("the database did not answer within %1 s").arg(kSendLimitMs / 1000);
            update(m_Sink->waiting());
            m_LastTry.restart();
            m_NextTryMs = kRetryAfterFailureMs;
        }
    } else if (m_SendClock.isValid()) {
        m_SendClock.invalidate();
        sendEnded();
    } else if (m_LastTry.elapsed() >= m_NextTryMs) {
        m_LastTry.restart();
        update(m_Sink->waiting());
        if (m_Waiting > 0)
            startSend();
        else
            m_NextTryMs = kSendEveryMs;
    }
    return takeChanged();
}

bool CRecordBacklog::takeChanged()
{
    const bool changed = m_Changed;
    m_Changed = false;
    return changed;
}

bool CRecordBacklog::flush()
{
    if (!database())
        return false;
    if (m_Send.state() == QProcess::NotRunning) {
        m_SendClock.invalidate();
        update(m_Sink->waiting());
        if (m_Waiting == 0)
            return takeChanged();
        startSend();
    }
    if (!m_Send.waitForFinished(std::max<qint64>(0, kFlushLimitMs - m_SendClock.elapsed()))) {
        m_Send.kill();
        m_Send.waitForFinished(1000);
        m_SendError =
            QStringLiteral("the database did not answer within %1 s").arg(kFlushLimitMs / 1000);
        update(m_Sink->waiting());
        return takeChanged();
    }
    m_SendClock.invalidate();
    sendEnded();
    return takeChanged();
}

void CRecordBacklog::update(int waiting)
{
    if (waiting < 0)
        return; // the spool could not be read: the count stays as it was
    m_Changed = m_Changed || waiting != m_Waiting;
    m_Waiting = waiting;
}

QString CRecordBacklog::text(EReason reason) const
{
    if (m_Waiting == 0)
        return {};
    const QString why = reason == EWithReason ? m_SendError : QString();
    return QStringLiteral("record: %1 lines wait for the database%2")
        .arg(m_Waiting)
        .arg(why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
}
