#include "recordbacklog.h"

#include "record/recordstore.h"

CRecordBacklog::CRecordBacklog(const QString& record, const QString& spool)
    : m_Record(record), m_Spool(recordstore::spoolPath(record, spool))
{
    QString error;
    if (!m_Record.isEmpty())
        m_Sink = recordstore::open(m_Record, m_Spool, error); // checked before the run
    m_LastTry.start();
}

CRecordBacklog::~CRecordBacklog() = default;

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
    update(m_Sink->send());
    return true;
}

bool CRecordBacklog::poll()
{
    if (!m_Sink || m_Spool.isEmpty())
        return false;
    if (m_LastTry.elapsed() >= m_NextTryMs) {
        m_LastTry.restart();
        const int waiting = m_Sink->waiting();
        update(waiting > 0 ? m_Sink->send() : waiting);
        m_NextTryMs = m_Waiting == 0 ? kSendEveryMs : kRetryAfterFailureMs;
    }
    const bool changed = m_Changed;
    m_Changed = false;
    return changed;
}

void CRecordBacklog::flush()
{
    if (m_Sink && !m_Spool.isEmpty())
        update(m_Sink->send());
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
    const QString why = m_Sink && reason == EWithReason ? m_Sink->sendError() : QString();
    return QStringLiteral("record: %1 lines wait for the database%2")
        .arg(m_Waiting)
        .arg(why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
}
