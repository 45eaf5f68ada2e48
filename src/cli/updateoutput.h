#pragma once

#include <QString>

#include <memory>

class CCliUnit;
class QElapsedTimer;
class QTextStream;
struct SHLP_IdentData;
struct SUnitIdentity;
struct SUpdateMessage;
struct SVerifyOutcome;

// How `ventaro-cli update` shows its update: one plain line per step (with a progress bar
// redrawn in place on a terminal), or one JSON object per line, each with the event's name, the
// milliseconds since the start, the unit's port and serial number. A station's worker speaks
// the JSON form to its coordinator (stationprotocol).
class CUpdateOutput
{
public:
    virtual ~CUpdateOutput() = default;

    // The dialog's state the update is in (EDialogState).
    virtual void state(int state) = 0;
    virtual void status(const QString& text) = 0;
    virtual void message(const SUpdateMessage& message) = 0;
    // A step begins; `image` names the partition it writes, if it writes one.
    virtual void step(const QString& step, const QString& image) = 0;
    // Of the running upload: its block (from 1) and how far that block is.
    virtual void progress(const QString& step, int block, int percent) = 0;
    virtual void identified(const QString& port, const SHLP_IdentData& ident) = 0;
    // The wait numbered `wait` (from 1) for the unit `unit` to come back, at most `timeoutS`.
    virtual void waiting(int wait, int timeoutS, const SUnitIdentity& unit) = 0;
    virtual void verified(const SVerifyOutcome& outcome) = 0;
    virtual void stopping(const QString& text) = 0;

    struct SResult
    {
        int exitCode = 0;
        QString outcome, text;
        qint64 durationMs = 0;
        // As the unit reported them after its update; empty when it was not seen again.
        QString bootAfter, applAfter, wifiAfter;
    };
    virtual void result(const SResult& result) = 0;
    // Record lines wait in the spool for the database, and why.
    virtual void recordWaiting(int waiting, const QString& why) = 0;

    enum EKind { EJson, EPlain, ETerminal };
    static std::unique_ptr<CUpdateOutput> make(EKind kind, QTextStream& out,
                                               const QElapsedTimer& clock, const CCliUnit& unit);
};
