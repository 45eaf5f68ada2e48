#pragma once

#include "cli/clicommandline.h"
#include "service/unitidentity.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class CPortEnumerator;
class CRecordBacklog;
struct SHLP_IdentData;
class QEventLoop;
class QProcess;
class QSocketNotifier;
class QTextStream;

// `ventaro-cli update --all` and `ventaro-cli station`: many units at once. Each unit is updated
// by a worker process of its own (`update --worker` on the unit's port), so one unit's fault
// (a hang, a crash, a port gone bad) never reaches another's update, and nothing the process
// holds once (the image cache, the message handler, the device objects) is shared between units.
// This coordinator holds the single-instance lock, watches the ports, follows units by their
// identity when they restart under another port name, draws one line per unit and sums up.
class CCliStation : public QObject
{
    Q_OBJECT

public:
    enum EMode {
        EAll,     // the units present at the start, then done
        EStation, // every unit plugged in, until SIGINT or SIGTERM
    };
    // A new port is asked for its unit this often before it is left alone. Each try is one
    // identification (which itself repeats its request for up to 10 s); the workers go on
    // meanwhile, only the coordinator's lines wait.
    static constexpr int kIdentifyTries = 3;
    // Between tries; also how often the ports are looked at and terminal lines are redrawn.
    static constexpr int kRetryMs = 500;

    CCliStation(EMode mode, const SCliOptions& options, QTextStream& out, QTextStream& err,
                std::unique_ptr<CPortEnumerator> enumerator = nullptr);
    ~CCliStation() override;

    // Runs until done (or, for the station, until stopped); the exit code (cliexit).
    int run();
    // SIGINT/SIGTERM: the first lets running updates finish and takes no new unit, the second
    // asks the workers to stop after their current packet.
    void requestEnd();

    // "0:01:23" from milliseconds.
    static QString clockText(qint64 ms);

private:
    struct SUnit;

    void lookAtPorts();
    void tryPending();
    // Asks the unit on `port` who it is; false when it did not answer (yet).
    bool identifyPort(const QString& port, SHLP_IdentData& ident);
    SUnit* unitUnderUpdate(const SUnitIdentity& unit);
    // The unit was updated here and still runs what its update left on it.
    bool asUpdatedHere(const SUnitIdentity& unit, const SHLP_IdentData& ident) const;
    void upToDateWithoutWorker(SUnit& unit, const SHLP_IdentData& ident);
    void startWorkers();
    void startWorker(SUnit& unit);
    void readWorker(SUnit& unit);
    void workerEvent(SUnit& unit, const QJsonObject& event);
    void workerFinished(SUnit& unit, int exitCode, bool crashed);
    bool finished() const;
    int summary();
    QString doneText(const SUnit& unit) const;

    // Output: JSON lines, plain lines, or one redrawn line per unit on a terminal.
    void emitEvent(const SUnit* unit, QJsonObject event);
    void plainLine(const SUnit& unit, const QString& text);
    void redraw();
    // Lines waiting for the record's database: how many, as they come and go.
    void recordBacklogChanged();
    QString unitLine(const SUnit& unit) const;

    EMode m_Mode;
    const SCliOptions& m_Options;
    QTextStream& m_Out;
    QTextStream& m_Err;
    bool m_Terminal = false;
    std::unique_ptr<CPortEnumerator> m_Enumerator;
    std::unique_ptr<CRecordBacklog> m_Record;
    std::vector<std::unique_ptr<SUnit>> m_Units;
    QSet<QString> m_Present;       // ventaro ports at the last look
    QHash<QString, int> m_Pending; // new ports not identified yet, with the tries so far
    QSet<QString> m_StartPorts;    // --all: ports present at the start without a unit yet
    QStringList m_Unanswered;      // ventaro ports whose unit never answered: failed units
    QElapsedTimer m_Clock;
    QTimer m_Tick;
    QEventLoop* m_Loop = nullptr;
    int m_EndRequests = 0;
    int m_DrawnLines = 0;
    bool m_Dirty = false;
};
