#include "clirunner.h"

#include "cli/clibundle.h"
#include "cli/clidoctor.h"
#include "cli/cliplan.h"
#include "cli/clirecord.h"
#include "cli/clitext.h"
#include "cli/cliunit.h"
#include "cli/cliupdate.h"
#include "console/consoletexts.h"
#include "console/logchart.h"
#include "device/fanbase.h"
#include "device/logtable.h"
#include "device/seclogreport.h"
#include "firmware/firmwarebundle.h"
#include "record/recordstore.h"
#include "service/exitcodes.h"
#include "service/portdoctor.h"
#include "service/singleinstance.h"
#include "station/station.h"
#include "station/stationprotocol.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

// The service console's names of the three secondary-log spans.
const char* const kSpanCaptions[] = {"15 min", "1 day", "30 days"};

// The log reports say in their text that a request failed.
bool reportFailed(const QString& report)
{
    return report.contains(QLatin1String("Didn't get any")) ||
           report.endsWith(QLatin1String(report::kSecLogCntFailed)) ||
           report.endsWith(QLatin1String(report::kUnknownSpan));
}

SStationOptions stationOptions(const SCliOptions& o, const CFirmwareBundle& bundle)
{
    SStationOptions s;
    s.mode = o.command == SCliOptions::EStation ? SStationOptions::EStation : SStationOptions::EAll;
    s.json = o.json;
    s.verbose = o.verbose;
    s.jobs = o.jobs;
    s.httpAddress = o.httpAddress;
    s.httpPort = o.httpPort;
    s.httpNames = o.httpNames;
    s.httpOrigins = o.httpOrigins;
    s.recordFile = o.recordFile;
    s.spoolFile = o.spoolFile;
    s.worker.verbose = o.verbose;
    s.worker.forceBoot = o.forceBoot;
    s.worker.forceAppl = o.forceAppl;
    s.worker.startupMode = o.startupMode;
    s.worker.rebootTimeoutS = o.rebootTimeoutS;
    s.worker.stationName = o.stationName;
    s.worker.operatorName = o.operatorName;
    if (bundle.isLoaded()) {
        // Each worker checks the bundle again and takes it only when it is the very file
        // checked here.
        s.worker.bundleArguments =
            QStringList{QStringLiteral("--bundle"), QFileInfo(o.bundleFile).absoluteFilePath(),
                        QStringLiteral("--bundle-sha256"), bundle.fileSha256()};
        s.bundleRelease = bundle.release();
    }
    return s;
}

int fail(QTextStream& err, int code, const QString& text)
{
    err << "ventaro-cli: " << text << '\n';
    err.flush();
    return code;
}

int runList(QTextStream& out)
{
    out << clitext::portList(CCliUnit::ports());
    return cliexit::kOk;
}

int runIdentify(const SCliOptions& o, CCliUnit& unit, QTextStream& out)
{
    const QString model = unit.fan().modelName();
    out << (o.json ? clitext::identityJson(unit.portName(), model, unit.ident())
                   : clitext::identity(unit.portName(), model, unit.ident()));
    return cliexit::kOk;
}

int runPlan(const SCliOptions& o, CCliUnit& unit, QTextStream& out)
{
    const SUpdatePlan plan = makeUpdatePlan(
        flagInput(unit.ident(), decidingSerial(unit.ident(), o.serial), o.forceBoot, o.forceAppl));
    out << (o.json ? planJson(plan) : planText(plan));
    return plan.exitCode;
}

int runCounters(CCliUnit& unit, QTextStream& out, QTextStream& err)
{
    CFanBase& fan = unit.fan();
    if (!fan.getCounters())
        return fail(err, cliexit::kRequestFailed, QStringLiteral("reading the counters failed"));
    for (int i = 0; i < CPersCounter_ReadOnly::kCount; ++i)
        out << consoletext::counterLine(i, fan.getCounter(i), fan.counterName(i));
    return cliexit::kOk;
}

int runTimer(CCliUnit& unit, QTextStream& out, QTextStream& err)
{
    UINT16 ms = 0;
    UINT16 days = 0;
    UINT8 seconds = 0;
    UINT8 minutes = 0;
    UINT8 hours = 0;
    if (!unit.fan().getTimer(&ms, &seconds, &minutes, &hours, &days))
        return fail(err, cliexit::kRequestFailed, QStringLiteral("reading the clock failed"));
    out << consoletext::timer(ms, seconds, minutes, hours, days) << '\n';
    return cliexit::kOk;
}

int printReport(const QString& report, QTextStream& out, QTextStream& err)
{
    out << report;
    if (!report.endsWith(QLatin1Char('\n')))
        out << '\n';
    if (reportFailed(report))
        return fail(err, cliexit::kRequestFailed, QStringLiteral("reading the log failed"));
    return cliexit::kOk;
}

int logReadFailed(QTextStream& err)
{
    return fail(err, cliexit::kRequestFailed, QStringLiteral("reading the log failed"));
}

// The decoded entries in the format asked for (CSV or JSON).
int printTable(const SCliOptions& o, const logtable::STable& table, QTextStream& out)
{
    out << (o.format == SCliOptions::ECsv ? logtable::toCsv(table) : logtable::toJson(table));
    return cliexit::kOk;
}

int runPrimLog(const SCliOptions& o, CCliUnit& unit, QTextStream& out, QTextStream& err)
{
    if (o.format == SCliOptions::EText)
        return printReport(unit.fan().getPrimaryLog(), out, err);
    logtable::STable table;
    if (!unit.fan().primLogTable(table))
        return logReadFailed(err);
    return printTable(o, table, out);
}

int runSecLog(const SCliOptions& o, CCliUnit& unit, QTextStream& out, QTextStream& err)
{
    const QString caption = QString::fromLatin1(kSpanCaptions[o.span]);
    // The flags in the order the service console offers them (first10 is "10 Youngest").
    const bool first10 = o.youngest == 10;
    const bool first100 = o.youngest == 100;
    const bool last10 = o.oldest == 10;
    const bool last100 = o.oldest == 100;
    if (o.format == SCliOptions::EText && o.plotFile.isEmpty()) {
        return printReport(unit.fan().secLogReport(CLogging::EMaxTimeSpan(o.span), first10,
                                                   first100, last10, last100, caption),
                           out, err);
    }
    logtable::STable table;
    if (!unit.fan().secLogTable(CLogging::EMaxTimeSpan(o.span),
                                report::secLogPick(first10, first100, last10, last100), table))
        return logReadFailed(err);
    if (o.plotFile.isEmpty())
        return printTable(o, table, out);
    const QString title =
        QStringLiteral("%1 %2: %3")
            .arg(unit.fan().modelName(), QStringLiteral("Secondary Log"), caption);
    if (!logchart::renderPng(table, title, QSize(o.plotWidth, o.plotHeight), o.plotFile))
        return fail(err, cliexit::kPlotFailed,
                    QStringLiteral("could not write the chart to %1").arg(o.plotFile));
    return cliexit::kOk;
}

int runPartTable(CCliUnit& unit, QTextStream& out, QTextStream& err)
{
    CPartitionTable::SPartition table[CPartitionTable::kEntries];
    if (!unit.fan().getPartitionTable(table)) {
        return fail(err, cliexit::kRequestFailed,
                    QStringLiteral("reading the partition table failed"));
    }
    out << consoletext::partitionTable(table) << '\n';
    return cliexit::kOk;
}

// One unit's update under `update --all` or `station`: the coordinator holds the lock and
// decides when to stop (a "stop" line on stdin: after the current packet). The stop signals
// are ignored (main, and the coordinator before the program started).
int runWorker(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    if (o.command == SCliOptions::EIdentify) {
        // The station's probe of a new port: who is there, for the coordinator only.
        CCliUnit unit;
        const CCliUnit::EResult connected = unit.connect(o.port);
        if (connected != CCliUnit::EOk)
            return fail(err, cliexit::kNoUnit, unit.errorText(connected));
        out << stationprotocol::identLine(unit.ident());
        return cliexit::kOk;
    }
    CFirmwareBundle bundle;
    if (const int refused = useBundle(o, bundle, out))
        return refused;
    CCliUnit unit;
    const CCliUnit::EResult connected = unit.connect(o.port);
    if (connected != CCliUnit::EOk)
        return fail(err, cliexit::kNoUnit, unit.errorText(connected));
    return CCliUpdate(unit, o, out, err).run();
}

} // namespace

QString instanceKey()
{
    const QString key = qEnvironmentVariable("VENTARO_INSTANCE_KEY");
    return key.isEmpty() ? QString::fromLatin1(CSingleInstanceGuard::kKey) : key;
}

int runCli(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    if (o.command == SCliOptions::EList)
        return runList(out);
    if (o.command == SCliOptions::EDoctor)
        return runDoctor(SDoctorInput::system(), o.json, out);

    if (o.command == SCliOptions::ERecord)
        return runRecord(o, out, err);
    if (o.command == SCliOptions::EBundle)
        return runBundle(o, out, err);
    if (o.worker)
        return runWorker(o, out, err);

    // Held until the command is done, so the service tool never opens the port meanwhile.
    CSingleInstanceGuard guard(instanceKey());
    if (!guard.acquire())
        return fail(err, cliexit::kLocked,
                    QStringLiteral("the service tool or another ventaro-cli is running"));
    // A record that cannot be written, a database that does not answer or lacks its schema:
    // found before any unit is touched. With a database, the plant's highest bundle counter.
    qint64 plantCounter = 0;
    if (!o.recordFile.isEmpty()) {
        QString error;
        const std::unique_ptr<CRecordSink> sink =
            recordstore::open(o.recordFile, o.spoolFile, error);
        if (!sink || !sink->check(CRecordSink::EFull, error) ||
            (!o.bundleFile.isEmpty() && !sink->highestBundleCounter(plantCounter, error)))
            return fail(err, cliexit::kRecordFailed, error);
    }
    // The bundle is checked and in use before any unit is touched (and under the lock, which
    // keeps the station's counter of accepted bundles to one writer).
    CFirmwareBundle bundle;
    if (const int refused = useBundle(o, bundle, out, plantCounter))
        return refused;
    if (o.command == SCliOptions::EStation || (o.command == SCliOptions::EUpdate && o.all))
        return CStation(stationOptions(o, bundle), out, err).run();

    CCliUnit unit;
    const CCliUnit::EResult connected = unit.connect(o.port);
    if (connected != CCliUnit::EOk)
        return fail(err, cliexit::kNoUnit, unit.errorText(connected));

    switch (o.command) {
    case SCliOptions::EIdentify:
        return runIdentify(o, unit, out);
    case SCliOptions::EPlan:
        return runPlan(o, unit, out);
    case SCliOptions::ECounters:
        return runCounters(unit, out, err);
    case SCliOptions::ETimer:
        return runTimer(unit, out, err);
    case SCliOptions::EPrimLog:
        return runPrimLog(o, unit, out, err);
    case SCliOptions::ESecLog:
        return runSecLog(o, unit, out, err);
    case SCliOptions::EPartTable:
        return runPartTable(unit, out, err);
    case SCliOptions::EUpdate:
        return CCliUpdate(unit, o, out, err).run();
    default:
        return fail(err, cliexit::kUsage, QStringLiteral("no command"));
    }
}
