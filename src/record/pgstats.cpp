// Reading the PostgreSQL record back: the rows of the figures, streamed with COPY, and the
// highest firmware-bundle counter the plant has accepted.

#include "pgrecord.h"

#include "record/attemptreader.h"
#include "record/pgnames.h"
#include "record/productionrecord.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <libpq-fe.h>

#include <limits>

using pgrecord::kTable;
using pgrecord::kWholeRecordTimeoutMs;
using pgrecord::quoted;

namespace {

// The COPY of the figures' columns of the attempts `filter` accepts, and the names of what it
// hands over as the reader's header row; false when the station's name cannot be quoted.
//
// COPY hands the rows over as CSV while the server reads them: the same reader as a record
// file's takes them as they come. The time comes as milliseconds: date_part gives a double
// (extract a numeric, slower for the server). A missing value arrives as an empty field, which
// the reader takes as none.
bool statsCopy(PGconn* connection, const SStatsFilter& filter, QByteArray& sql, QByteArray& header)
{
    QByteArrayList select, names;
    for (const char* column : CAttemptReader::recordColumns()) {
        const bool time = qstrcmp(column, productionrecord::kTime) == 0;
        select << (time ? QByteArray("(date_part('epoch', \"time\") * 1000)::bigint")
                        : quoted(QLatin1String(column)).toUtf8());
        names << (time ? CAttemptReader::kTimeMs : column);
    }
    header = names.join(',') + '\n';
    sql = "COPY (SELECT " + select.join(", ") + " FROM " + kTable.toUtf8() +
          " WHERE \"time\" IS NOT NULL";
    if (filter.sinceMs != std::numeric_limits<qint64>::min())
        sql += " AND \"time\" >= to_timestamp(" + QByteArray::number(filter.sinceMs) + " / 1000.0)";
    if (filter.stationGiven) {
        const QByteArray station = filter.station.toUtf8();
        char* literal = PQescapeLiteral(connection, station.constData(), size_t(station.size()));
        if (!literal)
            return false;
        sql += " AND coalesce(station, '') = " + QByteArray(literal);
        PQfreemem(literal);
    }
    sql += ") TO STDOUT (FORMAT csv)";
    return true;
}

} // namespace

bool CPgRecordDb::highestBundleCounter(qint64& counter, QString& error)
{
    for (int round = 0; round < 2; ++round) {
        QSqlQuery query(QSqlDatabase::database(m_Name, false));
        if (query.exec(
                QStringLiteral("SELECT coalesce(max(bundle_counter), 0) FROM %1").arg(kTable)) &&
            query.next()) {
            counter = query.value(0).toLongLong();
            return true;
        }
        error = errorText(QStringLiteral("cannot look up the highest bundle counter"), query);
        if (round == 0 && !reopen(error))
            return false;
    }
    return false;
}

bool CPgRecordDb::attempts(const SStatsFilter& filter, QVector<SAttempt>& out, QString& error)
{
    out.clear();
    QSqlDatabase db = QSqlDatabase::database(m_Name, false);
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "PGconn*") != 0) {
        error = QStringLiteral("the record database %1 is not open").arg(m_Uri.text());
        return false;
    }
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    QByteArray sql, header;
    if (!statsCopy(connection, filter, sql, header)) {
        error = QStringLiteral("cannot read the record %1: %2")
                    .arg(m_Uri.text(), QString::fromUtf8(PQerrorMessage(connection)).simplified());
        return false;
    }
    PQclear(PQexec(connection, QByteArray("SET statement_timeout = " +
                                          QByteArray::number(kWholeRecordTimeoutMs))
                                   .constData()));
    PGresult* result = PQexec(connection, sql.constData());
    const bool copying = PQresultStatus(result) == PGRES_COPY_OUT;
    PQclear(result);
    if (!copying) {
        error = QStringLiteral("cannot read the record %1: %2")
                    .arg(m_Uri.text(), QString::fromUtf8(PQerrorMessage(connection)).simplified());
        return false;
    }
    CAttemptReader reader;
    (void)reader.setColumns(header);
    char* row = nullptr;
    int size = 0;
    while ((size = PQgetCopyData(connection, &row, 0)) > 0) {
        reader.read(row, size, out);
        PQfreemem(row);
    }
    bool ok = size == -1; // the end of the rows; -2 is a failure
    while ((result = PQgetResult(connection)) != nullptr) {
        ok = ok && PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
    }
    if (!ok) {
        error = QStringLiteral("cannot read the record %1: %2")
                    .arg(m_Uri.text(), QString::fromUtf8(PQerrorMessage(connection)).simplified());
        return false;
    }
    return true;
}
