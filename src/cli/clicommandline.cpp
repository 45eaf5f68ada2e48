#include "clicommandline.h"

#include "record/recordstats.h"
#include "record/recorduri.h"
#include "station/stationprotocol.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QList>

namespace {

struct SCommandInfo
{
    SCliOptions::ECommand command;
    const char* name;
    const char* summary;
};

constexpr SCommandInfo kCommands[] = {
    {SCliOptions::EList, "list", "The serial ports, marking ventaro units."},
    {SCliOptions::EIdentify, "identify", "Serial number, board and software versions of the unit."},
    {SCliOptions::EPlan, "plan", "Which images an update would write and why; writes nothing."},
    {SCliOptions::EUpdate, "update", "Update the unit's firmware from the built-in images."},
    {SCliOptions::ECounters, "counters", "The unit's persistent counters."},
    {SCliOptions::ETimer, "timer", "The unit's clock."},
    {SCliOptions::EPrimLog, "primlog", "The primary log as a text report, CSV or JSON."},
    {SCliOptions::ESecLog, "seclog", "A secondary log as a text report, CSV, JSON or a chart."},
    {SCliOptions::EPartTable, "parttable", "The flash partition table."},
    {SCliOptions::EDoctor, "doctor", "Why a unit is not found or will not open, with fixes."},
    {SCliOptions::EStation, "station",
     "Update every unit plugged in, several at once, until stopped."},
    {SCliOptions::ERecord, "record",
     "The production record's database: init, sync (send what waits), stats."},
};

const char* const kExitCodes = R"(Exit codes:
  0   done (update: the unit was updated, and confirmed it when asked afterwards)
  1   the command line could not be understood
  2   no unit: no ventaro port found, the port would not open, or the unit did not answer
  3   not updatable: the update rules refuse the unit, the application is running (switch
      the unit off and on so that its bootloader answers), or a serial number is needed
      (give --serial)
  4   an image transfer or the serial number failed
  5   the bootloader swap failed
  6   the unit did not come back after the reboot pause, or another unit came instead
  7   already up to date: nothing to write
  8   the service tool or another ventaro-cli is running
  9   a request to the unit failed
  10  the production record could not be written, or its database did not answer or has
      no schema (record: init, sync or stats failed, or lines are still waiting)
  11  the chart could not be written (seclog --plot)
  12  doctor found a problem (each comes with its fix)
  13  update --all, station: at least one unit failed (the summary says which and why)
  14  update: everything was written, but the unit does not confirm it (outcome
      verify-failed: another version, a checksum error or the old bootloader copy; the text
      names each) or did not answer again afterwards (outcome not-back): update it again
  15  update --all, station: the page of --http could not be served (the address is in use
      or not this machine's))";

// Options every command that talks to a unit accepts.
const QCommandLineOption kPortOption(QStringLiteral("port"),
                                     QStringLiteral("Open PORT (a device name or full path) "
                                                    "instead of the last ventaro port found."),
                                     QStringLiteral("PORT"));
const QCommandLineOption kVerboseOption(QStringLiteral("verbose"),
                                        QStringLiteral("Diagnostic lines on stderr."));
const QCommandLineOption kHelpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                     QStringLiteral("Show this help."));
const QCommandLineOption kJsonOption(QStringLiteral("json"),
                                     QStringLiteral("Machine-readable output (JSON)."));
const QCommandLineOption kForceBootOption(QStringLiteral("force-boot"),
                                          QStringLiteral("Write the bootloader even when the "
                                                         "unit's is current."));
const QCommandLineOption kForceApplOption(QStringLiteral("force-appl"),
                                          QStringLiteral("Write the application and WiFi "
                                                         "firmware even when current."));
const QCommandLineOption kSerialOption(QStringLiteral("serial"),
                                       QStringLiteral("Write serial number N into a unit that has "
                                                      "none (50000 and up for a 100-series unit); "
                                                      "a unit's own number is kept."),
                                       QStringLiteral("N"));
const QCommandLineOption kStartupOption(QStringLiteral("startup-mode"),
                                        QStringLiteral("After a successful update set start-up "
                                                       "mode M (0-255; 0 only starts the "
                                                       "application)."),
                                        QStringLiteral("M"));
const QCommandLineOption kRecordOption(QStringLiteral("record"),
                                       QStringLiteral("Append one CSV line per unit to FILE, or "
                                                      "one row per unit to the PostgreSQL "
                                                      "database postgresql://user@host:port/db "
                                                      "(password from PGPASSWORD or "
                                                      "~/.pgpass)."),
                                       QStringLiteral("FILE|URI"));
const QCommandLineOption kSpoolOption(QStringLiteral("spool"),
                                      QStringLiteral("With a database record: the local file "
                                                     "where lines wait until the database has "
                                                     "them. Default: under "
                                                     "$XDG_STATE_HOME/ventaro/."),
                                      QStringLiteral("FILE"));
const QCommandLineOption kSinceOption(QStringLiteral("since"),
                                      QStringLiteral("record stats: only attempts from DATE "
                                                     "(YYYY-MM-DD, UTC) or an ISO date and time "
                                                     "on."),
                                      QStringLiteral("DATE"));
const QCommandLineOption kRebootTimeoutOption(QStringLiteral("reboot-timeout"),
                                              QStringLiteral("Seconds to wait for the unit to "
                                                             "come back after a reboot. "
                                                             "Default: 120."),
                                              QStringLiteral("S"));
const QCommandLineOption kAllOption(QStringLiteral("all"),
                                    QStringLiteral("Update every ventaro unit present, several at "
                                                   "once."));
const QCommandLineOption kJobsOption(QStringLiteral("jobs"),
                                     QStringLiteral("With --all and station: at most N updates at "
                                                    "a time. Default: all."),
                                     QStringLiteral("N"));
const QCommandLineOption kHttpOption(QStringLiteral("http"),
                                     QStringLiteral("With --all and station: a live page of the "
                                                    "units at http://ADDR:PORT/ (ADDR default "
                                                    "127.0.0.1; 0.0.0.0 for the whole network)."),
                                     QStringLiteral("[ADDR:]PORT"));
const QCommandLineOption kStationOption(QStringLiteral("station"),
                                        QStringLiteral("Name of this station, for the production "
                                                       "record."),
                                        QStringLiteral("NAME"));
const QCommandLineOption kOperatorOption(QStringLiteral("operator"),
                                         QStringLiteral("Name of the operator, for the "
                                                        "production record."),
                                         QStringLiteral("NAME"));
// One unit's update run by `update --all` or `station`; not for people.
QCommandLineOption workerOption()
{
    QCommandLineOption option(QStringLiteral("worker"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}
const QCommandLineOption kWorkerOption = workerOption();
// The identity of the unit a worker is for ("plus,60001,3"); not for people.
QCommandLineOption expectOption()
{
    QCommandLineOption option(QStringLiteral("expect"), QString(), QStringLiteral("UNIT"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}
const QCommandLineOption kExpectOption = expectOption();
const QCommandLineOption kSpanOption(QStringLiteral("span"),
                                     QStringLiteral("Secondary log: 0 quarter hour, 1 day, "
                                                    "2 month (required)."),
                                     QStringLiteral("0|1|2"));
const QCommandLineOption kYoungestOption(QStringLiteral("youngest"),
                                         QStringLiteral("Only the 10 or 100 youngest entries."),
                                         QStringLiteral("10|100"));
const QCommandLineOption kOldestOption(QStringLiteral("oldest"),
                                       QStringLiteral("Only the 10 or 100 oldest entries."),
                                       QStringLiteral("10|100"));

const QCommandLineOption kFormatOption(QStringLiteral("format"),
                                       QStringLiteral("text (the report, default), csv or json: "
                                                      "one row or object per entry."),
                                       QStringLiteral("text|csv|json"));
const QCommandLineOption kPlotOption(QStringLiteral("plot"),
                                     QStringLiteral("Write the chart of the entries to FILE as a "
                                                    "PNG picture instead of printing them."),
                                     QStringLiteral("FILE"));
const QCommandLineOption kSizeOption(QStringLiteral("size"),
                                     QStringLiteral("Size of the --plot picture in pixels. "
                                                    "Default: 1200x600."),
                                     QStringLiteral("WxH"));

QList<QCommandLineOption> commandOptions(SCliOptions::ECommand command)
{
    switch (command) {
    case SCliOptions::EIdentify:
        return {kJsonOption, kWorkerOption};
    case SCliOptions::EDoctor:
        return {kJsonOption};
    case SCliOptions::EPlan:
        return {kJsonOption, kForceBootOption, kForceApplOption, kSerialOption};
    case SCliOptions::EUpdate:
        return {kJsonOption,    kForceBootOption, kForceApplOption,     kSerialOption,
                kStartupOption, kRecordOption,    kRebootTimeoutOption, kAllOption,
                kJobsOption,    kStationOption,   kOperatorOption,      kWorkerOption,
                kSpoolOption,   kHttpOption,      kExpectOption};
    case SCliOptions::EStation:
        return {kJsonOption,     kForceBootOption,     kForceApplOption, kStartupOption,
                kRecordOption,   kRebootTimeoutOption, kJobsOption,      kStationOption,
                kOperatorOption, kSpoolOption,         kHttpOption};
    case SCliOptions::ERecord:
        return {kJsonOption, kRecordOption, kSpoolOption, kSinceOption, kStationOption};
    case SCliOptions::EPrimLog:
        return {kFormatOption};
    case SCliOptions::ESecLog:
        return {kSpanOption,   kYoungestOption, kOldestOption,
                kFormatOption, kPlotOption,     kSizeOption};
    default:
        return {};
    }
}

const char* commandDescription(SCliOptions::ECommand command)
{
    switch (command) {
    case SCliOptions::EList:
        return "List the serial ports with their USB vendor and product IDs; ventaro units are "
               "marked with *. Virtual ports announced in $VENTARO_PORT_DIR are included.";
    case SCliOptions::EIdentify:
        return "Identify the unit: serial number, board, application, WiFi and bootloader "
               "versions (with the letter of the answering software: A/B bootloader copy, C "
               "application; X when the unit asks for a full update).";
    case SCliOptions::EPlan:
        return "Show, without writing anything, which images an update would write and why, "
               "and whether the unit may be updated at all. Exits with 0 when an update would "
               "write something, 3 when the unit is not updatable (now), 7 when it is up to "
               "date.";
    case SCliOptions::EUpdate:
        return "Update the unit in the service tool's order: serial number (if needed), WiFi "
               "bridge, application, reboot pause, WiFi module, bootloader into the idle copy, "
               "swap, start-up mode. Shows progress per block (a bar on a terminal, JSON lines "
               "with --json). The unit's bootloader must be answering. With --all: every "
               "ventaro unit present, several at once (--jobs), each by a worker process of "
               "its own, one line per unit and a summary; exits with 13 when a unit failed.";
    case SCliOptions::ECounters:
        return "Print the unit's persistent counters.";
    case SCliOptions::ETimer:
        return "Print the unit's clock.";
    case SCliOptions::EPrimLog:
        return "Print the primary log as a text report, or its decoded entries as CSV or JSON "
               "(column names with their units, dot decimals, flags as yes/no).";
    case SCliOptions::ESecLog:
        return "Print a secondary log as a text report: all entries, or the 10/100 youngest "
               "or oldest; or their decoded values as CSV or JSON, or their chart as a PNG "
               "picture (--plot).";
    case SCliOptions::EPartTable:
        return "Print the flash partition table.";
    case SCliOptions::EStation:
        return "Production station: keeps running; every ventaro unit plugged in is identified "
               "and updated as it arrives, several at once (--jobs), each in its own process "
               "on its own port. A unit that restarts under another port name is followed by "
               "its serial number and model. One line per unit says when it is done (\"updated "
               "- unplug\", or the failure and what to do); a unit plugged in again after its "
               "update is reported up to date. SIGINT or SIGTERM waits for the running "
               "updates, a second one stops them; then a summary. Exits with 0 when every unit "
               "was updated or up to date, 13 when one failed.";
    case SCliOptions::ERecord:
        return "The production record in a PostgreSQL database (--record "
               "postgresql://user@host:port/db). 'record init' creates its schema or brings it "
               "forward, and may be run again. 'record sync' sends the lines waiting in the "
               "spool (--spool) and may be run any number of times: the database keeps each "
               "attempt once. 'record stats' prints units, updated, failed by outcome, first- "
               "and last-pass yield and the median time of an update, per station and day "
               "(--since DATE, --station NAME, --json); --record may also name a CSV record "
               "file there. Exits with 10 when the database did not answer, lacks its schema, "
               "or lines are still waiting after a sync.";
    case SCliOptions::EDoctor:
        return "Check this machine's set-up for ventaro units, each finding with its fix: the "
               "udev rule, read/write access to each ventaro port (dialout group, seat), "
               "ModemManager, other programs holding a port open, and whether discovery hears "
               "of new ports from udev or polls. Opens no port. Exits with 0 when all is well, "
               "12 when a check found a problem.";
    default:
        return "";
    }
}

QString generalHelp(const QString& program)
{
    QString text = QStringLiteral("Usage: %1 [--port PORT] [--verbose] COMMAND [options]\n\n"
                                  "Headless service for ventaro ventilation units: identify them, "
                                  "plan and run\nfirmware updates, read counters, clock, logs "
                                  "and the partition table. Takes the\nsame single-instance lock "
                                  "as the service tool.\n\nCommands:\n")
                       .arg(program);
    for (const SCommandInfo& c : kCommands)
        text += QStringLiteral("  %1%2\n")
                    .arg(QString::fromLatin1(c.name), -11)
                    .arg(QString::fromLatin1(c.summary));
    text += QStringLiteral("\n'%1 COMMAND --help' describes a command and its options.\n\n"
                           "Options for every command:\n"
                           "  --port PORT  Open PORT instead of the last ventaro port found.\n"
                           "  --verbose    Diagnostic lines on stderr.\n"
                           "  -h, --help   Show help.\n\n")
                .arg(program);
    text += QString::fromLatin1(kExitCodes) + QLatin1Char('\n');
    return text;
}

void addOptions(QCommandLineParser& parser, SCliOptions::ECommand command)
{
    parser.addOption(kPortOption);
    parser.addOption(kVerboseOption);
    parser.addOption(kHelpOption);
    parser.addOptions(commandOptions(command));
}

QString commandHelp(const QString& program, SCliOptions::ECommand command)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(commandDescription(command)));
    addOptions(parser, command);
    QString usage =
        QStringLiteral("Usage: %1 %2%3 [options]\n\n")
            .arg(program, commandName(command),
                 command == SCliOptions::ERecord ? QStringLiteral(" init|sync|stats") : QString());
    QString text = parser.helpText();
    // The parser's own usage line names the executable only; ours names the command.
    const int firstBreak = text.indexOf(QLatin1Char('\n'));
    text = usage + text.mid(firstBreak + 1).trimmed() + QStringLiteral("\n\n") +
           QString::fromLatin1(kExitCodes) + QLatin1Char('\n');
    return text;
}

bool toInt(const QString& text, int lo, int hi, int& out)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
}

SCliOptions::ECommand commandByName(const QString& name)
{
    for (const SCommandInfo& c : kCommands)
        if (name == QLatin1String(c.name))
            return c.command;
    return SCliOptions::ENone;
}

// Every option of every command, so that a value after an option is never taken for the
// command name.
QList<QCommandLineOption> allOptions()
{
    QList<QCommandLineOption> all = {kPortOption, kVerboseOption, kHelpOption};
    for (const QCommandLineOption& o : commandOptions(SCliOptions::EUpdate))
        all << o;
    for (const QCommandLineOption& o : commandOptions(SCliOptions::ESecLog))
        all << o;
    all << kSinceOption;
    return all;
}

// "1200x600": width and height from 100 to 10000 pixels.
bool toSize(const QString& text, int& width, int& height)
{
    const QStringList parts = text.trimmed().toLower().split(QLatin1Char('x'));
    constexpr int kMinPx = 100;
    constexpr int kMaxPx = 10000;
    return parts.size() == 2 && toInt(parts[0], kMinPx, kMaxPx, width) &&
           toInt(parts[1], kMinPx, kMaxPx, height);
}

bool parseLogOutput(const QCommandLineParser& parser, SCliOptions& o, QString& error)
{
    if (parser.isSet(kFormatOption)) {
        const QString format = parser.value(kFormatOption).trimmed().toLower();
        if (format == QLatin1String("csv"))
            o.format = SCliOptions::ECsv;
        else if (format == QLatin1String("json"))
            o.format = SCliOptions::EJson;
        else if (format != QLatin1String("text")) {
            error = QStringLiteral("--format wants text, csv or json");
            return false;
        }
    }
    if (o.command != SCliOptions::ESecLog)
        return true;
    if (parser.isSet(kPlotOption)) {
        o.plotFile = parser.value(kPlotOption);
        if (o.plotFile.isEmpty()) {
            error = QStringLiteral("--plot wants a file name");
            return false;
        }
        if (parser.isSet(kFormatOption)) {
            error = QStringLiteral("seclog takes --plot or --format, not both");
            return false;
        }
    }
    if (parser.isSet(kSizeOption)) {
        if (o.plotFile.isEmpty()) {
            error = QStringLiteral("--size goes with --plot");
            return false;
        }
        if (!toSize(parser.value(kSizeOption), o.plotWidth, o.plotHeight)) {
            error = QStringLiteral("--size wants WIDTHxHEIGHT, each from 100 to 10000 pixels");
            return false;
        }
    }
    return true;
}

// `record init|sync|stats`: the action, and what each one needs.
bool parseRecordCommand(const QCommandLineParser& parser, SCliOptions& o, QString& error)
{
    const QStringList positional = parser.positionalArguments();
    const QString action = positional.size() > 1 ? positional.at(1) : QString();
    if (action == QLatin1String("init"))
        o.recordAction = SCliOptions::ERecordInit;
    else if (action == QLatin1String("sync"))
        o.recordAction = SCliOptions::ERecordSync;
    else if (action == QLatin1String("stats"))
        o.recordAction = SCliOptions::ERecordStats;
    else {
        error = QStringLiteral("record wants init, sync or stats");
        return false;
    }
    if (!parser.isSet(kRecordOption) || parser.value(kRecordOption).isEmpty()) {
        error = QStringLiteral("record %1 wants --record").arg(action);
        return false;
    }
    if (o.recordAction != SCliOptions::ERecordStats &&
        (parser.isSet(kSinceOption) || parser.isSet(kStationOption) || parser.isSet(kJsonOption))) {
        error = QStringLiteral("--since, --station and --json go with record stats");
        return false;
    }
    if (parser.isSet(kSinceOption)) {
        o.sinceGiven = recordstats::parseSince(parser.value(kSinceOption).trimmed(), o.sinceMs);
        if (!o.sinceGiven) {
            error = QStringLiteral("--since wants a date (2026-12-07) or an ISO date and time");
            return false;
        }
    }
    return true;
}

} // namespace

QString commandName(SCliOptions::ECommand command)
{
    for (const SCommandInfo& c : kCommands)
        if (c.command == command)
            return QString::fromLatin1(c.name);
    return {};
}

bool parseHttpAddress(const QString& text, QString& address, int& port, QString& error)
{
    const QString given = text.trimmed();
    const int colon = given.lastIndexOf(QLatin1Char(':'));
    QString host = colon < 0 ? QStringLiteral("127.0.0.1") : given.left(colon);
    const QString portText = colon < 0 ? given : given.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        host.clear(); // an IPv6 address wants its brackets
    if (host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    if (!toInt(portText, 0, 65535, port) || QHostAddress(host).isNull()) {
        error = QStringLiteral("--http wants [ADDR:]PORT (8080, 0.0.0.0:8080, [::1]:8080), "
                               "not \"%1\"")
                    .arg(text);
        return false;
    }
    address = host;
    return true;
}

namespace {

// Whether the command's own option `opt` was given (options of other commands are not looked at).
struct SGiven
{
    const QCommandLineParser& parser;
    QList<QCommandLineOption> own;

    bool operator()(const QCommandLineOption& opt) const
    {
        for (const QCommandLineOption& mine : own)
            if (mine.names() == opt.names())
                return parser.isSet(opt);
        return false;
    }
};

// The command, or help: false with `error` when there is neither; `done` when only help is
// asked for.
bool parseCommand(const QStringList& arguments, SCliOptions& o, bool& done, QString& error)
{
    const QString program = QStringLiteral("ventaro-cli");
    QCommandLineParser finder;
    finder.addOptions(allOptions());
    if (!finder.parse(arguments)) {
        error = finder.errorText();
        return false;
    }
    QStringList positional = finder.positionalArguments();
    // "help" and "help COMMAND" are the same as --help.
    if (!positional.isEmpty() && positional.first() == QLatin1String("help")) {
        positional.removeFirst();
        o.help = true;
    }
    done = o.help || finder.isSet(kHelpOption);
    if (positional.isEmpty()) {
        if (done) {
            o.help = true;
            o.helpText = generalHelp(program);
            return true;
        }
        error = QStringLiteral("no command given");
        return false;
    }
    o.command = commandByName(positional.first());
    if (o.command == SCliOptions::ENone) {
        error = QStringLiteral("unknown command \"%1\"").arg(positional.first());
        return false;
    }
    if (done) {
        o.help = true;
        o.helpText = commandHelp(program, o.command);
    }
    return true;
}

// --serial, --startup-mode, --record, --spool and --reboot-timeout.
bool parseUpdateOptions(const SGiven& has, SCliOptions& o, QString& error)
{
    const QCommandLineParser& parser = has.parser;
    if (has(kSerialOption)) {
        int serial = 0;
        o.serial = parser.value(kSerialOption).trimmed();
        if (!toInt(o.serial, 1, 0x7FFFFFFF, serial)) {
            error = QStringLiteral("--serial wants a number from 1 to 2147483647, not \"%1\"")
                        .arg(o.serial);
            return false;
        }
        o.serial = QString::number(serial);
    }
    if (has(kStartupOption) && !toInt(parser.value(kStartupOption), 0, 255, o.startupMode)) {
        error = QStringLiteral("--startup-mode wants a number from 0 to 255");
        return false;
    }
    if (has(kRecordOption)) {
        o.recordFile = parser.value(kRecordOption);
        if (o.recordFile.isEmpty()) {
            error = QStringLiteral("--record wants a file name or a postgresql:// URI");
            return false;
        }
    }
    if (has(kSpoolOption)) {
        o.spoolFile = parser.value(kSpoolOption);
        if (o.spoolFile.isEmpty()) {
            error = QStringLiteral("--spool wants a file name");
            return false;
        }
        if (!recorduri::isDatabase(o.recordFile)) {
            error = QStringLiteral("--spool goes with --record postgresql://...");
            return false;
        }
    }
    if (has(kRebootTimeoutOption) &&
        !toInt(parser.value(kRebootTimeoutOption), 1, 3600, o.rebootTimeoutS)) {
        error = QStringLiteral("--reboot-timeout wants seconds from 1 to 3600");
        return false;
    }
    return true;
}

// --all, --worker, --station, --operator, --jobs and --http.
bool parseStationOptions(const SGiven& has, SCliOptions& o, QString& error)
{
    const QCommandLineParser& parser = has.parser;
    o.all = has(kAllOption);
    o.worker = has(kWorkerOption);
    o.expectGiven = has(kExpectOption);
    if (o.expectGiven &&
        (!o.worker || !stationprotocol::parseExpect(parser.value(kExpectOption), o.expected))) {
        error = QStringLiteral("--expect goes with --worker and wants MODEL,SERIAL,BOARD");
        return false;
    }
    o.stationName = has(kStationOption) ? parser.value(kStationOption) : QString();
    o.operatorName = has(kOperatorOption) ? parser.value(kOperatorOption) : QString();
    if (has(kJobsOption) && !toInt(parser.value(kJobsOption), 1, 256, o.jobs)) {
        error = QStringLiteral("--jobs wants a number from 1 to 256");
        return false;
    }
    if (o.command == SCliOptions::EUpdate && has(kJobsOption) && !o.all) {
        error = QStringLiteral("--jobs goes with --all");
        return false;
    }
    if (has(kHttpOption)) {
        if (o.command == SCliOptions::EUpdate && !o.all) {
            error = QStringLiteral("--http goes with --all");
            return false;
        }
        if (!parseHttpAddress(parser.value(kHttpOption), o.httpAddress, o.httpPort, error))
            return false;
    }
    if (o.all && (!o.port.isEmpty() || !o.serial.isEmpty())) {
        error = QStringLiteral("--all takes neither --port nor --serial");
        return false;
    }
    return true;
}

// seclog's --span, --youngest and --oldest.
bool parseSecLogSelection(const QCommandLineParser& parser, SCliOptions& o, QString& error)
{
    if (!parser.isSet(kSpanOption) || !toInt(parser.value(kSpanOption), 0, 2, o.span)) {
        error = QStringLiteral("seclog wants --span 0, 1 or 2");
        return false;
    }
    if (parser.isSet(kYoungestOption) && parser.isSet(kOldestOption)) {
        error = QStringLiteral("seclog takes --youngest or --oldest, not both");
        return false;
    }
    auto selection = [&](const QCommandLineOption& opt, int& out) {
        if (!parser.isSet(opt))
            return true;
        const QString v = parser.value(opt).trimmed();
        if (v != QLatin1String("10") && v != QLatin1String("100"))
            return false;
        out = v.toInt();
        return true;
    };
    if (!selection(kYoungestOption, o.youngest) || !selection(kOldestOption, o.oldest)) {
        error = QStringLiteral("--youngest and --oldest want 10 or 100");
        return false;
    }
    return true;
}

} // namespace

bool parseCliArguments(const QStringList& arguments, SCliOptions& o, QString& error)
{
    bool helpOnly = false;
    if (!parseCommand(arguments, o, helpOnly, error))
        return false;
    if (helpOnly)
        return true;

    QCommandLineParser parser;
    addOptions(parser, o.command);
    if (!parser.parse(arguments)) {
        error = QStringLiteral("%1: %2").arg(commandName(o.command), parser.errorText());
        return false;
    }
    const int positionals = o.command == SCliOptions::ERecord ? 2 : 1;
    if (parser.positionalArguments().size() > positionals) {
        error = QStringLiteral("unexpected argument \"%1\"")
                    .arg(parser.positionalArguments().at(positionals));
        return false;
    }
    if (o.command == SCliOptions::ERecord && !parseRecordCommand(parser, o, error))
        return false;
    o.port = parser.value(kPortOption);
    if (parser.isSet(kPortOption) && o.port.isEmpty()) {
        error = QStringLiteral("--port wants a port name");
        return false;
    }
    o.verbose = parser.isSet(kVerboseOption);
    const SGiven has{parser, commandOptions(o.command)};
    o.json = has(kJsonOption);
    o.forceBoot = has(kForceBootOption);
    o.forceAppl = has(kForceApplOption);
    if (!parseUpdateOptions(has, o, error) || !parseStationOptions(has, o, error))
        return false;
    if ((o.command == SCliOptions::EPrimLog || o.command == SCliOptions::ESecLog) &&
        !parseLogOutput(parser, o, error))
        return false;
    return o.command != SCliOptions::ESecLog || parseSecLogSelection(parser, o, error);
}
