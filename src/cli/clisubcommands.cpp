#include "clisubcommands.h"

#include "cli/clioptions.h"
#include "record/recordstats.h"

#include <QCommandLineParser>

using namespace clioptions;

namespace clisubcommands {

// `record init|sync|stats`: the action, and what each one needs.
bool parseRecord(const QCommandLineParser& parser, SCliOptions& o, QString& error)
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

// `bundle verify FILE` and `bundle make FOLDER` with the options each one takes.
bool parseBundle(const QCommandLineParser& parser, SCliOptions& o, QString& error)
{
    const QStringList positional = parser.positionalArguments();
    const QString action = positional.size() > 1 ? positional.at(1) : QString();
    o.bundlePath = positional.size() > 2 ? positional.at(2) : QString();
    const bool makes = parser.isSet(kReleaseOption) || parser.isSet(kCounterOption) ||
                       parser.isSet(kNotesEnOption) || parser.isSet(kNotesDeOption) ||
                       parser.isSet(kSignOption) || parser.isSet(kOutOption);
    if (action == QLatin1String("verify")) {
        o.bundleAction = SCliOptions::EBundleVerify;
        if (o.bundlePath.isEmpty() || makes) {
            error = QStringLiteral("bundle verify wants FILE and takes only --json");
            return false;
        }
        return true;
    }
    if (action != QLatin1String("make")) {
        error = QStringLiteral("bundle wants verify FILE or make FOLDER");
        return false;
    }
    o.bundleAction = SCliOptions::EBundleMake;
    o.release = parser.value(kReleaseOption);
    o.notesEn = parser.value(kNotesEnOption);
    o.notesDe = parser.value(kNotesDeOption);
    o.signKey = parser.value(kSignOption);
    o.outFile = parser.value(kOutOption);
    if (o.bundlePath.isEmpty() || parser.isSet(kJsonOption)) {
        error = QStringLiteral("bundle make wants FOLDER (and no --json)");
        return false;
    }
    const bool writesManifest = parser.isSet(kReleaseOption) || parser.isSet(kCounterOption);
    if (writesManifest && (o.release.trimmed().isEmpty() || o.release.contains(QLatin1Char('\n')) ||
                           !parser.isSet(kCounterOption))) {
        error = QStringLiteral("bundle make wants --release TEXT (one line) and --counter N");
        return false;
    }
    if (parser.isSet(kCounterOption)) {
        bool ok = false;
        o.counter = parser.value(kCounterOption).trimmed().toLongLong(&ok);
        if (!ok || o.counter < 0 || o.counter > (qint64(1) << 53)) {
            error = QStringLiteral("--counter wants a whole number from 0 to 2^53");
            return false;
        }
    }
    if (!writesManifest && (parser.isSet(kNotesEnOption) || parser.isSet(kNotesDeOption) ||
                            parser.isSet(kSignOption))) {
        error = QStringLiteral("--notes-en, --notes-de and --sign go with --release");
        return false;
    }
    if (parser.isSet(kSignOption) && o.outFile.isEmpty()) {
        error = QStringLiteral("--sign goes with --out");
        return false;
    }
    if (!writesManifest && o.outFile.isEmpty()) {
        error = QStringLiteral("bundle make wants --release and --counter, or --out");
        return false;
    }
    return true;
}

} // namespace clisubcommands
