#include "clioptions.h"

#include <QCommandLineParser>

namespace clioptions {

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
    {SCliOptions::EBundle, "bundle", "Signed firmware bundles: verify one, or make a release."},
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
      or not this machine's)
  16  the firmware bundle was refused (update --bundle, station --bundle, bundle verify; the
      outcome word says why: bundle-format, bundle-too-large, bundle-entry,
      bundle-signature, bundle-key, bundle-manifest, bundle-image, bundle-rollback), or
      bundle make could not make one)";

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
const QCommandLineOption kHttpNameOption(QStringLiteral("http-name"),
                                         QStringLiteral("With --http: a name of this machine "
                                                        "the page is opened under (besides its "
                                                        "addresses, localhost and its host "
                                                        "name); others get 421. Repeatable."),
                                         QStringLiteral("NAME"));
const QCommandLineOption kHttpOriginOption(QStringLiteral("http-origin"),
                                           QStringLiteral("With --http: the origin of a page "
                                                          "served through a proxy "
                                                          "(https://station.plant) that may "
                                                          "open the page's WebSocket besides "
                                                          "the station's own. Repeatable."),
                                           QStringLiteral("URL"));
const QCommandLineOption kStationOption(QStringLiteral("station"),
                                        QStringLiteral("Name of this station, for the production "
                                                       "record."),
                                        QStringLiteral("NAME"));
const QCommandLineOption kOperatorOption(QStringLiteral("operator"),
                                         QStringLiteral("Name of the operator, for the "
                                                        "production record."),
                                         QStringLiteral("NAME"));
// An option a station's coordinator gives its workers; not for people, so not in the help.
QCommandLineOption workerOnly(const char* name, const char* valueName = nullptr)
{
    QCommandLineOption option(QLatin1String(name), QString(),
                              valueName ? QLatin1String(valueName) : QString());
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}
// One unit's update run by `update --all` or `station`.
const QCommandLineOption kWorkerOption = workerOnly("worker");
// The identity of the unit a worker is for ("plus,60001,3").
const QCommandLineOption kExpectOption = workerOnly("expect", "UNIT");
// The key of the attempt a worker is for, made by its coordinator.
const QCommandLineOption kAttemptOption = workerOnly("attempt", "UUID");
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

const QCommandLineOption kBundleOption(QStringLiteral("bundle"),
                                       QStringLiteral("Flash the images of this signed firmware "
                                                      "bundle (.vfw) instead of the built-in "
                                                      "ones; images it does not carry stay "
                                                      "built in. Checked before any unit is "
                                                      "touched."),
                                       QStringLiteral("FILE"));
// The SHA-256 of the bundle a station's coordinator checked.
const QCommandLineOption kBundleShaOption = workerOnly("bundle-sha256", "HEX");
const QCommandLineOption kReleaseOption(QStringLiteral("release"),
                                        QStringLiteral("bundle make: the release's name (one line "
                                                       "of text); writes manifest.json."),
                                        QStringLiteral("TEXT"));
const QCommandLineOption kCounterOption(QStringLiteral("counter"),
                                        QStringLiteral("bundle make: the security counter (0 and "
                                                       "up); a station refuses a bundle with a "
                                                       "lower one than it accepted before."),
                                        QStringLiteral("N"));
const QCommandLineOption kNotesEnOption(QStringLiteral("notes-en"),
                                        QStringLiteral("bundle make: release notes in English."),
                                        QStringLiteral("TEXT"));
const QCommandLineOption kNotesDeOption(QStringLiteral("notes-de"),
                                        QStringLiteral("bundle make: release notes in German."),
                                        QStringLiteral("TEXT"));
const QCommandLineOption kSignOption(QStringLiteral("sign"),
                                     QStringLiteral("bundle make: sign manifest.json with this "
                                                    "unencrypted minisign secret key (minisign "
                                                    "-G -W) and pack at once (with --out)."),
                                     QStringLiteral("KEYFILE"));
const QCommandLineOption kOutOption(QStringLiteral("out"),
                                    QStringLiteral("bundle make: pack manifest.json, "
                                                   "manifest.json.minisig and the images into "
                                                   "this .vfw file."),
                                    QStringLiteral("FILE"));

QList<QCommandLineOption> commandOptions(SCliOptions::ECommand command)
{
    switch (command) {
    case SCliOptions::EIdentify:
        return {kJsonOption, kWorkerOption};
    case SCliOptions::EDoctor:
        return {kJsonOption};
    case SCliOptions::EPlan:
        return {kJsonOption, kForceBootOption, kForceApplOption, kSerialOption, kBundleOption};
    case SCliOptions::EUpdate:
        return {kJsonOption,       kForceBootOption, kForceApplOption,     kSerialOption,
                kStartupOption,    kRecordOption,    kRebootTimeoutOption, kAllOption,
                kJobsOption,       kStationOption,   kOperatorOption,      kWorkerOption,
                kSpoolOption,      kHttpOption,      kExpectOption,        kHttpNameOption,
                kHttpOriginOption, kAttemptOption,   kBundleOption,        kBundleShaOption};
    case SCliOptions::EStation:
        return {kJsonOption,     kForceBootOption,     kForceApplOption, kStartupOption,
                kRecordOption,   kRebootTimeoutOption, kJobsOption,      kStationOption,
                kOperatorOption, kSpoolOption,         kHttpOption,      kHttpNameOption,
                kHttpOriginOption, kBundleOption};
    case SCliOptions::EBundle:
        return {kJsonOption,    kReleaseOption, kCounterOption, kNotesEnOption,
                kNotesDeOption, kSignOption,    kOutOption};
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
               "was updated or up to date, 13 when one failed, 10 when a record line could not "
               "be written.";
    case SCliOptions::ERecord:
        return "The production record in a PostgreSQL database (--record "
               "postgresql://user@host:port/db). 'record init' creates its schema or brings it "
               "forward, and may be run again. 'record sync' sends the lines waiting in the "
               "spool (--spool) and may be run any number of times: the database keeps each "
               "attempt once. 'record stats' prints units, updated, failed by outcome, first- "
               "and last-pass yield and the median time of an update, per station and day "
               "(--since DATE, --station NAME, --json); --record may also name a CSV record "
               "file there, and 'record init --record FILE' brings a file begun by an older "
               "release forward, keeping every line. Exits with 10 when the database did not "
               "answer, lacks its schema, or lines are still waiting after a sync.";
    case SCliOptions::EBundle:
        return "Signed firmware bundles (.vfw). 'bundle verify FILE' checks a bundle as an "
               "update would (signature against the trusted keys, manifest, every image's size "
               "and SHA-256, the security counter) and prints its release, counter, key id and "
               "images with their versions and hashes (--json); it changes nothing. 'bundle "
               "make FOLDER' makes a release of the image files in FOLDER (Application.ini, "
               "Bootloader1.ini, ... any of the six): with --release and --counter it writes "
               "FOLDER/manifest.json, to be signed with 'minisign -Sm manifest.json'; with "
               "--out it packs manifest.json, its signature and the images into a .vfw; with "
               "--release, --counter, --sign KEYFILE and --out it does all at once. Exits "
               "with 16 when the bundle is refused or cannot be made.";
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
                 command == SCliOptions::ERecord   ? QStringLiteral(" init|sync|stats")
                 : command == SCliOptions::EBundle ? QStringLiteral(" verify|make FILE|FOLDER")
                                                   : QString());
    QString text = parser.helpText();
    // The parser's own usage line names the executable only; ours names the command.
    const int firstBreak = text.indexOf(QLatin1Char('\n'));
    text = usage + text.mid(firstBreak + 1).trimmed() + QStringLiteral("\n\n") +
           QString::fromLatin1(kExitCodes) + QLatin1Char('\n');
    return text;
}

SCliOptions::ECommand commandByName(const QString& name)
{
    for (const SCommandInfo& c : kCommands)
        if (name == QLatin1String(c.name))
            return c.command;
    return SCliOptions::ENone;
}

QList<QCommandLineOption> allOptions()
{
    QList<QCommandLineOption> all = {kPortOption, kVerboseOption, kHelpOption};
    for (const QCommandLineOption& o : commandOptions(SCliOptions::EUpdate))
        all << o;
    for (const QCommandLineOption& o : commandOptions(SCliOptions::ESecLog))
        all << o;
    all << kSinceOption;
    for (const QCommandLineOption& o : commandOptions(SCliOptions::EBundle))
        if (o.names() != kJsonOption.names())
            all << o;
    return all;
}

} // namespace clioptions

QString commandName(SCliOptions::ECommand command)
{
    for (const clioptions::SCommandInfo& c : clioptions::kCommands)
        if (c.command == command)
            return QString::fromLatin1(c.name);
    return {};
}
