#pragma once

#include "cli/clicommandline.h"
#include "cli/stationrouting.h"
#include "device/hlprecords.h"
#include "service/unitidentity.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class CPortEnumerator;
class CRecordBacklog;
class CStationOutput;
class CStationPage;
class CStationWorker;
struct SStationSummary;
struct SStationUnit;
class QEventLoop;
class QTextStream;

// `ventaro-cli update --all` and `ventaro-cli station`: many units at once. Each unit is updated
// by a worker process of its own (`update --worker` on the unit's port), so one unit's fault
// (a hang, a crash, a port gone bad) never reaches another's update, and nothing the process
// holds once (the image cache, the message handler, the device objects) is shared between units.
// A new port is asked for its unit by a probe process (`identify --worker`), so a silent port
// never holds up the others' events or a signal. This coordinator holds the single-instance
// lock, watches the ports, routes each identified port (stationrouting), draws one line per
// unit and sums up.
class CCliStation : public QObject
{
    Q_OBJECT

public:
    enum EMode {
        EAll,     // the units present at the start, then done
        EStation, // every unit plugged in, until SIGINT, SIGTERM or SIGHUP
    };
    // A new port is asked for its unit this often before it is left alone; each try is one
    // probe (an identification, which repeats its request for up to 10 s).
    static constexpr int kIdentifyTries = 3;
    // A probe that runs longer than this is stopped; its try failed.
    static constexpr int kProbeLimitMs = 20000;
    // Between tries; also how often the ports are looked at and terminal lines are redrawn.
    static constexpr int kRetryMs = 500;
    // At the end, the page's last frames have this long to reach its browsers.
    static constexpr int kPageCloseMs = 1000;

    CCliStation(EMode mode, const SCliOptions& options, QTextStream& out, QTextStream& err,
                std::unique_ptr<CPortEnumerator> enumerator = nullptr);
    ~CCliStation() override;

    // Runs until done (or, for the station, until stopped); the exit code (cliexit).
    int run();
    // A signal (SIGINT, SIGTERM, SIGHUP). SIGINT/SIGTERM: the first lets running updates finish
    // and takes no new unit, the second asks the workers to stop after their current packet.
    // SIGHUP (the terminal closed) only ends after the running updates: nobody is there to ask.
    void signalReceived(int number);

private:
    using SUnit = SStationUnit;
    struct SProbe
    {
        int tries = 0;
        CStationWorker* probe = nullptr;
    };

    void lookAtPorts();
    void tryPending();
    void startProbe(const QString& port, SProbe& probe);
    void probeEnded(const QString& port, CStationWorker* probe, int exitCode,
                    const SHLP_IdentData* ident);
    void routed(const stationrouting::SSighting& seen, const SHLP_IdentData* ident);
    std::vector<stationrouting::SUnitRow> table() const;
    stationrouting::SContext context(const QString& port) const;
    SUnit& addUnit(const QString& port, const SHLP_IdentData* ident);
    void handOver(SUnit& unit, const QString& port);
    void duplicate(SUnit& seen, SUnit& twin);
    // A unit that ends without a worker (up to date, duplicate): its record line and its end.
    void endWithoutWorker(SUnit& unit, int exitCode, const QString& outcome, const QString& text);
    // The unit's record line as the coordinator knows it (for a unit whose worker left none).
    void appendRecord(const SUnit& unit);
    void startWorkers();
    void startWorker(SUnit& unit);
    void workerEvent(SUnit& unit, const QJsonObject& event);
    void workerEnded(SUnit& unit, int exitCode, const QString& failure);
    void quitWhenFinished();
    bool finished() const;
    // The figures of the run so far (`final`: at its end).
    SStationSummary tally(bool final) const;
    int summary();
    // Lines waiting for the record's database: how many, as they come and go.
    void recordBacklogChanged();

    EMode m_Mode;
    const SCliOptions& m_Options;
    QTextStream& m_Err;
    QElapsedTimer m_Clock; // since the start of the run
    std::unique_ptr<CStationOutput> m_Output;
    CStationPage* m_Page = nullptr; // in m_Output, with --http
    QString m_Program;              // the worker's program, fixed at the start
    std::unique_ptr<CPortEnumerator> m_Enumerator;
    std::unique_ptr<CRecordBacklog> m_Record;
    std::vector<std::unique_ptr<SUnit>> m_Units;
    QSet<QString> m_Present;          // ventaro ports at the last look
    QHash<QString, SProbe> m_Pending; // new ports not identified yet
    QSet<QString> m_StartPorts;       // --all: ports present at the start without a unit yet
    QTimer m_Tick;
    QEventLoop* m_Loop = nullptr;
    int m_StopRequests = 0; // SIGINT and SIGTERM received
    bool m_Ending = false;  // no new unit is taken
    bool m_Dirty = false;   // the output is to be refreshed
};
