#include "clirecord.h"

#include "cli/clicommandline.h"
#include "record/pgrecord.h"
#include "record/productionrecord.h"
#include "record/recordstats.h"
#include "record/recordstore.h"
#include "record/recorduri.h"
#include "service/exitcodes.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

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

int runInitFile(const QString& path, QTextStream& out, QTextStream& err)
{
    QString error;
    QStringList applied;
    if (!productionrecord::upgradeFile(path, applied, error))
        return fail(err, error);
    if (applied.isEmpty())
        out << "record " << path << ": it has this release's columns, nothing to do\n";
    for (const QString& change : applied)
        out << "record " << path << ": " << change << '\n';
    return cliexit::kOk;
}

// Where the spool is, said when it may not be where the user looks: under sudo, the spool is
// root's, not the invoking user's.
QString spoolWhere(const QString& path)
{
    const QString sudoUser = qEnvironmentVariable("SUDO_USER");
    if (::geteuid() != 0 || sudoUser.isEmpty())
        return path;
    return QStringLiteral("%1 (root's, as run under sudo; %2's own spool is under their home)")
        .arg(path, sudoUser);
}

int runSync(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    QString error;
    QStringList spools = {recordstore::spoolPath(o.recordFile, o.spoolFile)};
    // A spool named by an earlier release after the URI as written holds lines too.
    const QString older =
        o.spoolFile.isEmpty() ? recordstore::olderSpoolPath(o.recordFile) : QString();
    if (!older.isEmpty() && older != spools.first() && QFileInfo(older).size() > 0)
        spools << older;
    int sent = 0;
    for (const QString& spool : spools) {
        const std::unique_ptr<CRecordSink> sink = recordstore::open(o.recordFile, spool, error);
        if (!sink)
            return fail(err, error);
        const int before = sink->waiting();
        const int left = sink->send();
        if (left != 0)
            return fail(err, QStringLiteral("%1 record lines still wait in %2: %3")
                                 .arg(left < 0 ? before : left)
                                 .arg(spoolWhere(spool), sink->sendError()));
        sent += before;
    }
    out << "record: " << sent << " waiting lines sent, none left in " << spoolWhere(spools.first())
        << '\n';
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
        if (!recorduri::isDatabase(o.recordFile))
            return runInitFile(o.recordFile, out, err);
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
