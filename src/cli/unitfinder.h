#pragma once

#include "service/unitidentity.h"

#include <QSet>
#include <QString>

class CCliUnit;
class CWorkerEnd;
class QTextStream;

// Finds the unit under update again while it restarts, by looking at the ports every poll: on
// the port given with --port, on the port a station's coordinator hands over for this wait (a
// worker), or, without either, wherever a unit with its identity answers; another unit's port
// is passed over and never written.
class CUnitFinder
{
public:
    // `port` is --port (empty: none); `workerEnd` is a worker's end of the protocol (or null).
    CUnitFinder(CCliUnit& unit, const QString& port, CWorkerEnd* workerEnd, QTextStream& err);

    // A wait begins, with the unit on the port it was last on.
    void waitBegins();
    // One look at the ports. True when the unit was connected and identified anew, on `port`;
    // `bound` is the unit under update.
    [[nodiscard]] bool poll(const SUnitIdentity& bound, QString& port);
    // Ports that would not open or whose unit did not answer, asked again.
    int retries() const { return m_Retries; }

private:
    bool pollPort(QString& port);
    bool findUnit(const SUnitIdentity& bound, QString& port);
    // The port to look at: as given, or the one the coordinator handed over for this wait.
    QString watchedPort();

    CCliUnit& m_Unit;
    QString m_Port;
    CWorkerEnd* m_WorkerEnd = nullptr;
    QTextStream& m_Err;
    QString m_Polled; // the unit's port as last seen while waiting
    quint64 m_PolledGeneration = 0;
    QSet<QString> m_OtherUnits; // ports (name and generation) where another unit answered
    int m_Retries = 0;
};
