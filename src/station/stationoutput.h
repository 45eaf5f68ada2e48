#pragma once

#include <QJsonObject>
#include <QString>

#include <memory>
#include <vector>

class QElapsedTimer;
class QTextStream;
struct SStationSummary;
struct SStationUnit;

// How the station shows what happens: one JSON object per line, one plain line per step and
// per finished unit, or on a terminal one line per unit at work, redrawn in place. The
// coordinator tells every event to the output; each output shows what it is made for.
class CStationOutput
{
public:
    virtual ~CStationOutput() = default;

    // Every event of a unit: the coordinator's own ("unit", "started", "done", ...) and the
    // ones its worker sent (with their "workerMs"); `unit` is null for none.
    virtual void event(const SStationUnit* unit, const QJsonObject& event) = 0;
    // The units changed meanwhile; called on the coordinator's tick and at the end.
    virtual void refresh(const std::vector<std::unique_ptr<SStationUnit>>& units) { (void)units; }
    virtual void summary(const SStationSummary& summary) = 0;
    // The unit's row is dropped (it ended long ago): nothing of it is to be kept.
    virtual void forget(const SStationUnit& unit) { (void)unit; }
    // The number of record lines waiting for the database changed: `text` is short (empty when
    // none waits), `withReason` says why.
    virtual void recordBacklog(int waiting, const QString& text, const QString& withReason) = 0;

    enum EKind { EJson, EPlain, ETerminal };
    static std::unique_ptr<CStationOutput> make(EKind kind, QTextStream& out,
                                                const QElapsedTimer& clock);

    // Several outputs at once: each is told every event.
    static std::unique_ptr<CStationOutput> both(std::unique_ptr<CStationOutput> first,
                                                std::unique_ptr<CStationOutput> second);

    // An event as --json prints it: with the run's clock and, for a unit's, who and where.
    static QJsonObject eventLine(const SStationUnit* unit, const QJsonObject& event, qint64 ms);
    static QJsonObject summaryEvent(const SStationSummary& summary);
    // "0:01:23" from milliseconds.
    static QString clockText(qint64 ms);
    // A progress bar `width` characters wide between brackets: "[#####     ]".
    static QString bar(int percent, int width);
    // `text` cut to `width` characters (the last one "~" when cut).
    static QString fitted(const QString& text, int width);
};
