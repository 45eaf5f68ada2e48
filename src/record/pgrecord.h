#pragma once

#include "record/recordspool.h"
#include "record/recordstats.h"
#include "record/recorduri.h"
#include "record/serialclaim.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class QSqlQuery;

// The production record in PostgreSQL (Qt's QPSQL driver). Table `unit_update`: one row per
// attempt, the CSV record's columns under the same names plus `attempt_id` (unique) and `host`;
// table `serial_number` the numbers given, one row each, naming the attempt that holds it;
// table `ventaro_schema` lists the migrations applied. A connection that broke (the server
// restarted, the network went away) is found by a statement's error, since the driver still
// calls it open: it is opened again, its statements prepared again, and the statement repeated
// once.
class CPgRecordDb
{
public:
    explicit CPgRecordDb(SRecordUri uri);
    ~CPgRecordDb();
    CPgRecordDb(const CPgRecordDb&) = delete;
    CPgRecordDb& operator=(const CPgRecordDb&) = delete;

    // The latest migration this tool knows.
    static int schemaVersion();
    // The SQL type of a record column (text unless the column is a number or the time).
    static QString columnType(const QString& column);

    [[nodiscard]] bool open(QString& error);
    // The schema is there, at this tool's version or later, with every column it writes.
    [[nodiscard]] bool checkSchema(QString& error);
    // Creates the schema or brings it forward; again on a current schema changes nothing.
    // `applied` gets one line per change.
    [[nodiscard]] bool init(QStringList& applied, QString& error);
    // Inserts the entries (ON CONFLICT (attempt_id) DO NOTHING) in one transaction; true once
    // it is committed.
    [[nodiscard]] bool insert(const QVector<SSpoolEntry>& entries, QString& error);
    // Reserves the claim's number for its attempt. `taken` is false when it is the attempt's
    // now: new, held by this attempt already, or held by an earlier attempt of the same unit
    // that ended without writing it (a retry). Otherwise `use` says who holds it.
    [[nodiscard]] bool reserveSerial(const SSerialClaim& claim, bool& taken, SSerialUse& use,
                                     QString& error);
    [[nodiscard]] bool attempts(const SStatsFilter& filter, QVector<SAttempt>& out, QString& error);
    // The highest bundle_counter of all attempts, 0 when none used a firmware bundle.
    [[nodiscard]] bool highestBundleCounter(qint64& counter, QString& error);

private:
    [[nodiscard]] bool reopen(QString& error);
    [[nodiscard]] bool insertOnce(const QVector<SSpoolEntry>& entries, QString& error);
    [[nodiscard]] bool reserveOnce(const SSerialClaim& claim, bool& taken, SSerialUse& use,
                                   QString& error);
    QString errorText(const QString& what, const QSqlQuery& query) const;
    // The transaction of the connection rolled back, `error` said from `query`: false.
    bool rolledBack(const QString& what, const QSqlQuery& query, QString& error);

    SRecordUri m_Uri;
    QString m_Name; // of the connection
    std::unique_ptr<QSqlQuery> m_Insert;
};
