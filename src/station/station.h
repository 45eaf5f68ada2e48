#pragma once

// The station: many units updated at once on a production line. This layer owns the
// coordinator (here), the routing of an identified port to a unit (pure), the supervision of
// the worker and probe processes, the protocol between the coordinator and its workers (one
// header for both ends), the summary of a run, and the outputs that show it: plain lines, a
// terminal's redrawn lines, JSON lines, and the model of the live page. It uses the record and
// the service layers and knows no front end: the command line hands it its options.

#include "station/stationprotocol.h"
#include "station/stationrouting.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class CPortEnumerator;
class CRecordBacklog;
class CStationHistory;
class CStationOutput;
class CStationPage;
class CStationPorts;
class CStationRouter;
struct SStationSummary;
struct SStationUnit;
class QEventLoop;
class QTextStream;

struct SStationOptions
{
    enum EMode {
        EAll,     // the units present at the start, then done
        EStation, // every unit plugged in, until SIGINT, SIGTERM or SIGHUP
    };
    EMode mode = EStation;
    bool json = false; // JSON lines on stdout
    bool verbose = false;
    int jobs = 0; // updates at a time (0: no limit)
    // The live page: port -1 for none, 0 for any free one.
    QString httpAddress = QStringLiteral("127.0.0.1");
    int httpPort = -1;
    // The page's names and origins besides its own (CPageNames).
    QStringList httpNames, httpOrigins;
    QString recordFile, spoolFile; // the record (empty: none) and its spool (empty: default)
    stationprotocol::SWorkerSettings worker; // its record arguments are set by the station
    QString bundleRelease; // the firmware bundle's release, empty for the built-in images
};

// `ventaro-cli update --all` and `ventaro-cli station`: many units at once. Each unit is updated
// by a worker process of its own (`update --worker` on the unit's port), so one unit's fault
// (a hang, a crash, a port gone bad) never reaches another's update, and nothing the process
// holds once (the image cache, the message handler, the device objects) is shared between units.
// A new port is asked for its unit by a probe process (CStationPorts). This coordinator holds no
// lock itself (its caller does), routes each identified port (stationrouting), tells every event
// to its output and sums up.
class CStation : public QObject
{
    Q_OBJECT

public:
    // Between tries; also how often the ports are looked at and terminal lines are redrawn.
    static constexpr int kRetryMs = 500;
    // At the end, the page's last frames have this long to reach its browsers.
    static constexpr int kPageCloseMs = 1000;

    CStation(const SStationOptions& options, QTextStream& out, QTextStream& err,
             std::unique_ptr<CPortEnumerator> enumerator = nullptr);
    ~CStation() override;

    // Runs until done (or, for the station, until stopped); the exit code (cliexit).
    int run();
    // A signal (SIGINT, SIGTERM, SIGHUP). SIGINT/SIGTERM: the first lets running updates finish
    // and takes no new unit, the second asks the workers to stop after their current packet.
    // SIGHUP (the terminal closed) only ends after the running updates: nobody is there to ask.
    void signalReceived(int number);

private:
    using SUnit = SStationUnit;

    [[nodiscard]] bool servePage();
    void tick();
    void portsLooked(const QHash<QString, quint64>& now);
    void sighted(const stationrouting::SSighting& seen, const SHLP_IdentData* ident);
    void startWorkers();
    void startWorker(SUnit& unit);
    void workerEvent(SUnit& unit, const QJsonObject& event);
    void workerEnded(SUnit& unit, int exitCode, const QString& failure);
    // The unit's attempt has ended: told to the output.
    void announceDone(SUnit& unit);
    void quitWhenFinished();
    bool finished() const;
    // The figures of the run so far (`final`: at its end).
    SStationSummary tally(bool final) const;
    int summary();
    // Lines waiting for the record's database: how many, as they come and go.
    void recordBacklogChanged();

    SStationOptions m_Options;
    QTextStream& m_Err;
    QElapsedTimer m_Clock; // since the start of the run
    std::unique_ptr<CStationOutput> m_Output;
    CStationPage* m_Page = nullptr; // in m_Output, with --http
    QString m_Program;              // the worker's program, fixed at the start
    int m_LinesLost = 0; // units whose record line could not be written
    std::unique_ptr<CRecordBacklog> m_Record;
    std::vector<std::unique_ptr<SUnit>> m_Units; // those going on and the latest finished
    std::unique_ptr<CStationHistory> m_History;  // what is kept of the others
    std::unique_ptr<CStationPorts> m_Ports;
    std::unique_ptr<CStationRouter> m_Router;
    QSet<QString> m_StartPorts; // --all: ports present at the start without a unit yet
    QTimer m_Tick;
    QEventLoop* m_Loop = nullptr;
    int m_StopRequests = 0; // SIGINT and SIGTERM received
    bool m_Ending = false;  // no new unit is taken
    bool m_Dirty = false;   // the output is to be refreshed
};
