#include "clirecord.h"

#include "cli/clicommandline.h"
#include "record/pgrecord.h"
#include "record/recordstats.h"
#include "record/recordstore.h"
#include "record/recorduri.h"
#include "station/exitcodes.h"

#include <QFile>
#include <QTextStream>

namespace {

int fail(QTextStream& err, const QString& text)
{
    err << "ventaro-cli: " << text << '\n';
    err.flush();
    return cliexit::kRecordFailed;
}

int runInit(const SRecordUri& uri, QTextStream& out, QTextStream& err)
{
    CPgRecordDb db(uri);
    QString error;
    QStringList applied;
    if (!db.open(error) || !db.init(applied, error))
        return fail(err, error);
    if (applied.isEmpty())
        out << "record " << uri.text() << ": schema version " << CPgRecordDb::schemaVersion()
            << " is in place, nothing to do\n";
    for (const QString& change : applied)
        out << "record " << uri.text() << ": added " << change << '\n';
    return cliexit::kOk;
}

int runSync(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    QString error;
    const std::unique_ptr<CRecordSink> sink = recordstore::open(o.recordFile, o.spoolFile, error);
    if (!sink)
        return fail(err, error);
    const int before = sink->waiting();
    const int left = sink->send();
    if (left != 0)
        return fail(err,
                    QStringLiteral("%1 record lines still wait in %2: %3")
                        .arg(left < 0 ? before : left)
                        .arg(recordstore::spoolPath(o.recordFile, o.spoolFile), sink->sendError()));
    out << "record: " << before << " waiting lines sent, none left\n";
    return cliexit::kOk;
}

int runStats(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    SStatsFilter filter;
    if (o.sinceGiven)
        filter.sinceMs = o.sinceMs;
    filter.stationGiven = !o.stationName.isEmpty();
    filter.station = o.stationName;
    QVector<SAttempt> attempts;
    QString error;
    if (recorduri::isDatabase(o.recordFile)) {
        SRecordUri uri;
        if (!recorduri::parse(o.recordFile, uri, error))
            return fail(err, error);
        CPgRecordDb db(uri);
        if (!db.open(error) || !db.checkSchema(error) || !db.attempts(filter, attempts, error))
            return fail(err, error);
    } else {
        QFile file(o.recordFile);
        if (!file.open(QIODevice::ReadOnly))
            return fail(err, QStringLiteral("cannot read the production record %1: %2")
                                 .arg(o.recordFile, file.errorString()));
        if (!recordstats::readCsv(file.readAll(), attempts, error))
            return fail(err, QStringLiteral("%1: %2").arg(o.recordFile, error));
    }
    const SStats stats = recordstats::compute(attempts, filter);
    if (o.json)
        out << QString::fromUtf8(recordstats::json(stats));
    else
        out << recordstats::text(stats);
    return cliexit::kOk;
}

} // namespace

int runRecord(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    switch (o.recordAction) {
    case SCliOptions::ERecordInit: {
        SRecordUri uri;
        QString error;
        if (!recorduri::parse(o.recordFile, uri, error))
            return fail(err, error);
        return runInit(uri, out, err);
    }
    case SCliOptions::ERecordSync:
        if (!recorduri::isDatabase(o.recordFile))
            return fail(err, QStringLiteral("record sync wants a postgresql:// URI"));
        return runSync(o, out, err);
    case SCliOptions::ERecordStats:
        return runStats(o, out, err);
    case SCliOptions::ERecordNone:
        break;
    }
    return cliexit::kUsage;
}
