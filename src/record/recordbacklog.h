#pragma once

#include "record/productionrecord.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

class CRecordSink;

// The production record as a station's coordinator keeps it: the lines it writes itself, the
// arguments that send its workers to the same record and spool, and the lines waiting in the
// spool for the database. Writing a line only touches the local file or spool; the database is
// written by a child (`record sync`) now and then, so a server that is slow, locked or stopped
// never holds up the coordinator's events: the child is left to wait, and stopped when it
// waits too long.
class CRecordBacklog
{
public:
    // Between sends while lines wait; longer after one that failed.
    static constexpr int kSendEveryMs = 2000;
    static constexpr int kRetryAfterFailureMs = 10000;
    // A send that has not ended by then is stopped (its lines stay in the spool).
    static constexpr int kSendLimitMs = 30000;
    // How long the end of a run waits for a last send.
    static constexpr int kFlushLimitMs = 5000;

    // `record` is a --record value (empty: none), `spool` a --spool path (empty: the default),
    // `program` the ventaro-cli that sends.
    CRecordBacklog(const QString& record, const QString& spool, const QString& program);
    ~CRecordBacklog();

    bool enabled() const { return bool(m_Sink); }
    // --record and --spool for a worker.
    QStringList workerArguments() const;
    // The line is in the file or the spool once this returns true; a send follows soon.
    [[nodiscard]] bool write(const SProductionRecord& record, QString& error);
    // What the last write mended, to be shown (see CRecordSink::takeNotice).
    QString takeNotice() { return std::exchange(m_Notice, QString()); }
    // Starts a send when lines wait and it is time, takes in a send that ended; true when the
    // number of waiting lines changed.
    bool poll();
    // A send is due as soon as possible (a worker wrote a line).
    void sendSoon() { m_NextTryMs = 0; }
    // One more send at the end of a run, waited for up to kFlushLimitMs; true when the number
    // of waiting lines changed since the last poll.
    bool flush();
    int waiting() const { return m_Waiting; }
    // "record: 3 lines wait for the database", with why when asked (a long text, not for a
    // terminal's redrawn lines); empty when none waits.
    enum EReason { EWithoutReason, EWithReason };
    QString text(EReason reason = EWithoutReason) const;

private:
    bool database() const { return m_Sink && !m_Spool.isEmpty(); }
    void startSend();
    void sendEnded();
    void update(int waiting);
    bool takeChanged();

    QString m_Record, m_Spool, m_Program;
    std::unique_ptr<CRecordSink> m_Sink;
    QProcess m_Send;
    QElapsedTimer m_SendClock; // since the running send started
    QElapsedTimer m_LastTry;
    int m_NextTryMs = 0;
    int m_Waiting = 0;
    bool m_Changed = false;
    QString m_SendError;
    QString m_Notice;
};
