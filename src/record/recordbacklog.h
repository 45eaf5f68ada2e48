#pragma once

#include "record/productionrecord.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <memory>

class CRecordSink;

// The production record as a station's coordinator keeps it: the lines it writes itself, the
// arguments that send its workers to the same record and spool, and the lines waiting in the
// spool while the database is away, sent again from time to time.
class CRecordBacklog
{
public:
    // Between tries to send waiting lines; longer after a try that failed, so a server that
    // does not answer at all holds up the station's output only now and then.
    static constexpr int kSendEveryMs = 2000;
    static constexpr int kRetryAfterFailureMs = 10000;

    // `record` is a --record value (empty: none), `spool` a --spool path (empty: the default).
    CRecordBacklog(const QString& record, const QString& spool);
    ~CRecordBacklog();

    bool enabled() const { return bool(m_Sink); }
    // --record and --spool for a worker.
    QStringList workerArguments() const;
    [[nodiscard]] bool write(const SProductionRecord& record, QString& error);
    // Sends what waits when it is time; true when the number of waiting lines changed.
    bool poll();
    // One more try, at the end of a run.
    void flush();
    int waiting() const { return m_Waiting; }
    // "record: 3 lines wait for the database", with why when asked (a long text, not for a
    // terminal's redrawn lines); empty when none waits.
    enum EReason { EWithoutReason, EWithReason };
    QString text(EReason reason = EWithoutReason) const;

private:
    void update(int waiting);

    QString m_Record, m_Spool;
    std::unique_ptr<CRecordSink> m_Sink;
    QElapsedTimer m_LastTry;
    int m_NextTryMs = 0;
    int m_Waiting = 0;
    bool m_Changed = false;
};
