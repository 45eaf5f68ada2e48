#pragma once

#include "device/hlprecords.h"
#include "record/productionrecord.h"

#include <QString>

class CFlashImage;
struct SVerifyOutcome;

// Builds the record line of one update attempt as the attempt goes: what is known at its start,
// each image written, what the unit confirmed, how it ended. The single-unit update, a station's
// worker and its coordinator (for a unit that ends without a worker's line) all make their lines
// here.
class CAttemptRecord
{
public:
    // Where the line is made and by whom: the record's station and operator columns.
    struct SPlace
    {
        QString station;
        QString operatorName;
    };

    // The attempt starts now: a new key, the time, where the unit is and what it runs.
    CAttemptRecord(const QString& port, const QString& model, const SHLP_IdentData& before,
                   const SPlace& place);

    // The attempt was begun by a station's coordinator: its key and its start, so the line its
    // worker writes and one the coordinator writes for it are one row.
    void begunAt(const QUuid& attemptId, const QDateTime& start);
    // An image was written completely (`name` as the partition is called: "application").
    void imageWritten(const QString& name, const CFlashImage& image);
    // What the verification found; `after` is the identity it read (when the unit was back).
    void verified(const SVerifyOutcome& outcome, const SHLP_IdentData& after);
    // Nothing to write: the unit runs afterwards what it ran before.
    void unchanged();
    // The end of the attempt. `serialSent` is the number sent to a unit that had none (0 when
    // none was): it is the unit's number from then on, whatever failed after it, so the line
    // holds it and it is never given to another unit.
    const SProductionRecord& finish(int exitCode, const QString& outcome, qint64 durationMs,
                                    int retries, quint32 serialSent);

    const SProductionRecord& line() const { return m_Line; }

private:
    SProductionRecord m_Line;
};
