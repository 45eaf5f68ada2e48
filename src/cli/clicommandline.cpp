#include "clicommandline.h"

#include "cli/clioptions.h"
#include "cli/clisubcommands.h"

#include "record/recorduri.h"
#include "station/stationprotocol.h"
#include "web/pagenames.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <QList>

namespace {

using namespace clioptions;

bool toInt(const QString& text, int lo, int hi, int& out)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < lo || v > hi)
        return false;
    out = int(v);
    return true;
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

} // namespace

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

// --http-name and --http-origin.
bool parsePageNames(const SGiven& has, SCliOptions& o, QString& error)
{
    const QCommandLineParser& parser = has.parser;
    if ((has(kHttpNameOption) || has(kHttpOriginOption)) && !has(kHttpOption)) {
        error = QStringLiteral("--http-name and --http-origin go with --http");
        return false;
    }
    for (const QString& given : parser.values(kHttpNameOption)) {
        const QString name = CPageNames::hostName(given);
        if (name.isEmpty()) {
            error = QStringLiteral("--http-name wants a host name (station-3, "
                                   "station-3.plant.example), not \"%1\"")
                        .arg(given);
            return false;
        }
        o.httpNames << name;
    }
    for (const QString& given : parser.values(kHttpOriginOption)) {
        const QString origin = CPageNames::origin(given);
        if (origin.isEmpty()) {
            error = QStringLiteral("--http-origin wants http[s]://HOST[:PORT] "
                                   "(https://station.plant), not \"%1\"")
                        .arg(given);
            return false;
        }
        o.httpOrigins << origin;
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
    if (has(kAttemptOption)) {
        o.attemptId = QUuid::fromString(parser.value(kAttemptOption));
        if (!o.worker || o.attemptId.isNull()) {
            error = QStringLiteral("--attempt goes with --worker and wants a UUID");
            return false;
        }
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
    if (!parsePageNames(has, o, error))
        return false;
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
    const int positionals = o.command == SCliOptions::ERecord   ? 2
                            : o.command == SCliOptions::EBundle ? 3
                                                                : 1;
    if (parser.positionalArguments().size() > positionals) {
        error = QStringLiteral("unexpected argument \"%1\"")
                    .arg(parser.positionalArguments().at(positionals));
        return false;
    }
    if (o.command == SCliOptions::ERecord && !clisubcommands::parseRecord(parser, o, error))
        return false;
    if (o.command == SCliOptions::EBundle && !clisubcommands::parseBundle(parser, o, error))
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
    if (has(kBundleOption)) {
        o.bundleFile = parser.value(kBundleOption);
        if (o.bundleFile.isEmpty()) {
            error = QStringLiteral("--bundle wants a .vfw file");
            return false;
        }
    }
    o.bundleSha256 = has(kBundleShaOption) ? parser.value(kBundleShaOption) : QString();
    if (!o.bundleSha256.isEmpty() && (!o.worker || o.bundleFile.isEmpty())) {
        error = QStringLiteral("--bundle-sha256 goes with --worker and --bundle");
        return false;
    }
    if ((o.command == SCliOptions::EPrimLog || o.command == SCliOptions::ESecLog) &&
        !parseLogOutput(parser, o, error))
        return false;
    return o.command != SCliOptions::ESecLog || parseSecLogSelection(parser, o, error);
}
