#pragma once

#include "device/hlprecords.h"
#include "service/unitidentity.h"
#include "station/stationrouting.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <vector>

class CStationWorker;

// One unit the station knows (an attempt: a unit plugged in again is a new row), as the
// coordinator keeps it and its outputs show it.
struct SStationUnit
{
    // Outcomes the coordinator gives itself (the workers give the others).
    static constexpr char kDuplicate[] = "duplicate";
    static constexpr char kNoAnswer[] = "no-answer";
    static constexpr char kNotStarted[] = "not-started";
    static constexpr char kWorkerFailed[] = "worker-failed";
    static constexpr char kRecordFailed[] = "record-failed";
    // Not there when its turn came, or another unit answered its worker: nothing was written,
    // and it counts as no attempt.
    static constexpr char kGone[] = "gone";

    int number = 0;         // 1, 2, ... in the order the units were found
    QString port;           // where the unit is now
    quint64 generation = 0; // of `port` when the unit was last identified there
    SUnitIdentity identity;
    SHLP_IdentData ident; // as the coordinator identified it (none for a no-answer row)
    stationrouting::SUnitRow::EState state = stationrouting::SUnitRow::EQueued;
    bool superseded = false; // a no-answer port that answered later: it no longer counts
    CStationWorker* worker = nullptr;
    int wait = 0;         // the number of the worker's latest wait for its unit
    QString handOverPort; // found while its worker was still at work: handed at its next wait
    quint64 handOverGeneration = 0;
    QString duplicateText; // another unit with its identity turned up while it was updated
    QString step;
    int percent = 0;
    // The attempt's key and start: its worker's record line and one the coordinator writes for
    // it are the same row.
    QUuid attemptId = QUuid::createUuid();
    QDateTime startedAt = QDateTime::currentDateTimeUtc();
    QElapsedTimer clock;
    qint64 durationMs = 0;
    int exitCode = -1;
    QString outcome;
    QString text;
    QString bootAfter, applAfter, wifiAfter; // as identified after its update, if it was

    bool gone() const { return outcome == QLatin1String(kGone); }
    bool started() const { return state != stationrouting::SUnitRow::EQueued; }
    bool done() const { return state == stationrouting::SUnitRow::EDone; }
    qint64 elapsedMs() const { return done() ? durationMs : started() ? clock.elapsed() : 0; }
    // "updated - unplug", "up to date - unplug", or the failure and what to do about it.
    QString doneText() const;

    // Its worker's event: the step, the progress, a wait for the restart (with the identity the
    // worker is bound to from then on), the result. True for a wait.
    bool apply(const QJsonObject& event);
    // Its worker ended with `code`; `failure` says why when it did not end on its own,
    // `lastError` is its last line on stderr. An end without a result is a failure; a unit
    // whose twin turned up meanwhile and that was not updated ends as a duplicate.
    void workerEnded(int code, const QString& failure, const QString& lastError);
};

// What to do with a unit whose update failed.
QString stationRemedy(int exitCode, const QString& outcome);

// The end of a run: units, not attempts.
struct SStationSummary
{
    int seen = 0;
    int updated = 0;
    int upToDate = 0;
    int failures = 0;
    int working = 0; // at work or waiting for their turn (none at the end)
    // First-pass yield: of the units whose first attempt has ended, those it updated (or found
    // up to date).
    int firstTried = 0;
    int firstPassed = 0;
    QMap<QString, QStringList> failed; // outcome -> one text per unit
    qint64 medianMs = 0;               // per updated unit
    int recordWaiting = 0;             // record lines still waiting for the database
    QString recordText;                // what about them, with the reason
};

// The figures of a run from its units; `startPorts` are the ports of `update --all` not yet
// identified. At the `final` count a unit still waiting for its turn is one never started;
// before, it is at work.
SStationSummary stationSummary(const std::vector<std::unique_ptr<SStationUnit>>& units,
                               const QSet<QString>& startPorts, bool final);
