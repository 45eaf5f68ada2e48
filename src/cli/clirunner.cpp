#include "clirunner.h"

#include "app/portdoctor.h"
#include "app/singleinstance.h"
#include "cli/clidoctor.h"
#include "cli/cliexitcodes.h"
#include "cli/cliplan.h"
#include "cli/clitext.h"
#include "cli/cliunit.h"
#include "cli/cliupdate.h"
#include "console/consoletexts.h"
#include "device/fanbase.h"
#include "device/seclogreport.h"

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
    const int serial = o.serial.isEmpty() ? int(unit.ident().m_SerialNo) : o.serial.toInt();
    const SUpdatePlan plan =
        makeUpdatePlan(flagInput(unit.ident(), serial, o.forceBoot, o.forceAppl));
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

int runSecLog(const SCliOptions& o, CCliUnit& unit, QTextStream& out, QTextStream& err)
{
    const QString report = unit.fan().secLogReport(
        CLogging::EMaxTimeSpan(o.span), o.youngest == 10, o.youngest == 100, o.oldest == 10,
        o.oldest == 100, QString::fromLatin1(kSpanCaptions[o.span]));
    return printReport(report, out, err);
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

    // Held until the command is done, so the service tool never opens the port meanwhile.
    CSingleInstanceGuard guard(instanceKey());
    if (!guard.acquire())
        return fail(err, cliexit::kLocked,
                    QStringLiteral("the service tool or another ventaro-cli is running"));

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
        return printReport(unit.fan().getPrimaryLog(), out, err);
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
