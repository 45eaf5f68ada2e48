#include "pgrecord.h"

#include "record/hostresolve.h"
#include "record/pgnames.h"
#include "record/productionrecord.h"

#include <QAtomicInt>
#include <QMap>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <libpq-fe.h>

namespace {

QAtomicInt g_Connections;

using pgrecord::kSchemaTable;
using pgrecord::kSerialTable;
using pgrecord::kTable;
using pgrecord::quoted;
// Taken by `record init` for its transaction, so two of them at once cannot both create the
// schema. Writers never take it.
constexpr qint64 kInitLock = 0x76656e7461726f; // "ventaro"
// Limits of every statement and of every wait for a lock, on every connection.
constexpr int kStatementTimeoutMs = 30000;
constexpr int kLockTimeoutMs = 10000;
using pgrecord::kWholeRecordTimeoutMs;

struct SMigration
{
    int version;
    QStringList statements;
};

QString columnSql(const productionrecord::SColumn& column)
{
    return quoted(QLatin1String(column.name)) + QLatin1Char(' ') + QLatin1String(column.sqlType);
}

// Version 1 makes the table with the record's first columns; each later version adds the
// columns that arrived with it, and version 3 the serial numbers' reservations, filled with the
// numbers the record holds already (each held by its earliest attempt).
QVector<SMigration> migrations()
{
    QStringList first = {QStringLiteral("attempt_id uuid NOT NULL UNIQUE"),
                         QStringLiteral("host text NOT NULL")};
    QMap<int, QStringList> added;
    for (const productionrecord::SColumn& column : productionrecord::columnDefs()) {
        if (column.migration == 1)
            first << columnSql(column);
        else
            added[column.migration]
                << QStringLiteral("ADD COLUMN IF NOT EXISTS ") + columnSql(column);
    }
    first << QStringLiteral("received timestamptz NOT NULL DEFAULT now()");
    QMap<int, QStringList> statements;
    statements[1] = QStringList{
        QStringLiteral("CREATE TABLE %1 (%2)").arg(kTable, first.join(QStringLiteral(", "))),
        QStringLiteral("CREATE INDEX unit_update_serial ON %1 (serial)").arg(kTable),
        QStringLiteral("CREATE INDEX unit_update_time ON %1 (\"time\")").arg(kTable)};
    for (auto it = added.cbegin(); it != added.cend(); ++it)
        statements[it.key()] << QStringLiteral("ALTER TABLE %1 %2")
                                    .arg(kTable, it.value().join(QStringLiteral(", ")));
    statements[3] << QStringLiteral("CREATE TABLE %1 (serial bigint PRIMARY KEY, attempt_id uuid "
                                    "NOT NULL, unit text NOT NULL, station text, host text NOT "
                                    "NULL, \"time\" timestamptz NOT NULL DEFAULT now())")
                         .arg(kSerialTable)
                  << QStringLiteral("INSERT INTO %1 (serial, attempt_id, unit, station, host, "
                                    "\"time\") SELECT DISTINCT ON (serial) serial, attempt_id, "
                                    "coalesce(model, '') || ' ' || serial, station, host, "
                                    "coalesce(\"time\", received) FROM %2 WHERE serial > 0 "
                                    "ORDER BY serial, \"time\"")
                         .arg(kSerialTable, kTable);
    QVector<SMigration> out;
    for (auto it = statements.cbegin(); it != statements.cend(); ++it)
        out.append({it.key(), it.value()});
    return out;
}

bool exec(QSqlQuery& query, const QString& sql)
{
    return query.exec(sql);
}

// libpq's connect_timeout (seconds) of the options, 0 meaning none: then the look-up of the
// name is given as long as libpq's default.
int connectTimeoutMs(const QStringList& options)
{
    for (const QString& option : options)
        if (option.startsWith(QLatin1String("connect_timeout=")))
            if (const int seconds = option.mid(16).toInt(); seconds > 0)
                return seconds * 1000;
    return 10000;
}

bool appliedMigrations(QSqlQuery& query, QSet<int>& versions)
{
    if (!query.exec(QStringLiteral("SELECT version FROM %1").arg(kSchemaTable)))
        return false;
    while (query.next())
        versions.insert(query.value(0).toInt());
    return true;
}

} // namespace

CPgRecordDb::CPgRecordDb(SRecordUri uri)
    : m_Uri(std::move(uri)), m_Name(QStringLiteral("ventaro-record-%1").arg(++g_Connections))
{}

CPgRecordDb::~CPgRecordDb()
{
    m_Insert.reset();
    if (QSqlDatabase::contains(m_Name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_Name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_Name);
    }
}

int CPgRecordDb::schemaVersion()
{
    return migrations().last().version;
}

QString CPgRecordDb::columnType(const QString& name)
{
    const productionrecord::SColumn* column = productionrecord::column(name);
    return column ? QLatin1String(column->sqlType) : QStringLiteral("text");
}

QString CPgRecordDb::errorText(const QString& what, const QSqlQuery& query) const
{
    QString detail = query.lastError().databaseText().trimmed();
    if (detail.isEmpty())
        detail = query.lastError().text().trimmed();
    return QStringLiteral("%1 (%2): %3").arg(what, m_Uri.text(), detail.simplified());
}

bool CPgRecordDb::rolledBack(const QString& what, const QSqlQuery& query, QString& error)
{
    error = errorText(what, query);
    QSqlDatabase::database(m_Name, false).rollback();
    return false;
}

bool CPgRecordDb::open(QString& error)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        error = QStringLiteral("the PostgreSQL driver of Qt SQL is missing (Debian package "
                               "libqt5sql5-psql)");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(m_Name)
                          ? QSqlDatabase::database(m_Name, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_Name);
    db.setHostName(m_Uri.host);
    if (m_Uri.port > 0)
        db.setPort(m_Uri.port);
    db.setUserName(m_Uri.user);
    db.setDatabaseName(m_Uri.database);
    // No password: libpq takes it from PGPASSWORD or ~/.pgpass.
    QStringList options = m_Uri.connectOptions;
    // libpq's connect_timeout does not cover the name's look-up: it is bounded here, and the
    // address handed over (the name still serves the password file and TLS).
    const QString host = m_Uri.host.isEmpty() ? qEnvironmentVariable("PGHOST") : m_Uri.host;
    if (hostresolve::isName(host)) {
        QString address, why;
        if (!hostresolve::resolveWithin(host, connectTimeoutMs(options), address, why)) {
            error = QStringLiteral("cannot connect to the record database %1: %2")
                        .arg(m_Uri.text(), why);
            return false;
        }
        options << QStringLiteral("hostaddr=") + address;
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (db.open()) {
        // A statement that waits (a lock held by a schema change or maintenance, a server that
        // stalls) ends with an error instead of holding up whoever waits for it.
        QSqlQuery query(db);
        if (exec(query, QStringLiteral("SET statement_timeout = %1").arg(kStatementTimeoutMs)) &&
            exec(query, QStringLiteral("SET lock_timeout = %1").arg(kLockTimeoutMs)))
            return true;
        error = errorText(QStringLiteral("cannot set the time limits"), query);
        db.close();
        return false;
    }
    QString detail = db.lastError().databaseText().trimmed();
    if (detail.isEmpty())
        detail = db.lastError().text();
    error = QStringLiteral("cannot connect to the record database %1: %2")
                .arg(m_Uri.text(), detail.simplified());
    return false;
}

bool CPgRecordDb::reopen(QString& error)
{
    m_Insert.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(m_Name, false);
        db.close();
    }
    return open(error);
}

bool CPgRecordDb::checkSchema(QString& error)
{
    QSqlDatabase db = QSqlDatabase::database(m_Name, false);
    QSqlQuery query(db);
    if (!exec(query, QStringLiteral("SELECT to_regclass('%1') IS NOT NULL, "
                                    "to_regclass('%2') IS NOT NULL")
                         .arg(kSchemaTable, kTable)) ||
        !query.next()) {
        error = errorText(QStringLiteral("cannot read the record database's schema"), query);
        return false;
    }
    const QString init =
        QStringLiteral("run 'ventaro-cli record init --record %1'").arg(m_Uri.text());
    if (!query.value(0).toBool() || !query.value(1).toBool()) {
        error = QStringLiteral("the record database %1 has no schema: %2").arg(m_Uri.text(), init);
        return false;
    }
    QSet<int> applied;
    if (!appliedMigrations(query, applied)) {
        error = errorText(QStringLiteral("cannot read the record database's schema"), query);
        return false;
    }
    // Complete up to `version`; a later migration alone (made on another branch of the tool
    // first) does not stand for the ones before it.
    int version = 0;
    for (const SMigration& migration : migrations()) {
        if (!applied.contains(migration.version))
            break;
        version = migration.version;
    }
    if (version < schemaVersion()) {
        error = QStringLiteral("the record database %1 has schema version %2, this tool needs %3: "
                               "%4")
                    .arg(m_Uri.text())
                    .arg(version)
                    .arg(schemaVersion())
                    .arg(init);
        return false;
    }
    if (!exec(query, QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                                    "table_schema = current_schema() AND table_name = '%1'")
                         .arg(kTable))) {
        error = errorText(QStringLiteral("cannot read the record database's schema"), query);
        return false;
    }
    QSet<QString> have;
    while (query.next())
        have.insert(query.value(0).toString());
    QStringList missing;
    for (const QString& column : productionrecord::columns() + QStringList{"attempt_id", "host"})
        if (!have.contains(column))
            missing << column;
    if (!missing.isEmpty()) {
        error = QStringLiteral("the record database %1 lacks the columns %2: %3")
                    .arg(m_Uri.text(), missing.join(QStringLiteral(", ")), init);
        return false;
    }
    return true;
}

bool CPgRecordDb::init(QStringList& applied, QString& error)
{
    QSqlDatabase db = QSqlDatabase::database(m_Name, false);
    QSqlQuery query(db);
    auto fail = [&](const QString& what) { return rolledBack(what, query, error); };
    if (!db.transaction()) {
        error = QStringLiteral("cannot start a transaction on %1").arg(m_Uri.text());
        return false;
    }
    // "already exists, skipping" notices would only say what the versions say.
    if (!exec(query, QStringLiteral("SET LOCAL client_min_messages = warning")) ||
        !exec(query,
              QStringLiteral("SET LOCAL statement_timeout = %1").arg(kWholeRecordTimeoutMs)) ||
        !exec(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kInitLock)))
        return fail(QStringLiteral("cannot lock the schema"));
    if (!exec(query, QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (version integer PRIMARY KEY, "
                                    "applied timestamptz NOT NULL DEFAULT now())")
                         .arg(kSchemaTable)))
        return fail(QStringLiteral("cannot create the schema table"));
    QSet<int> done;
    if (!appliedMigrations(query, done))
        return fail(QStringLiteral("cannot read the schema version"));
    // Every migration not applied yet, also one numbered below one that is.
    for (const SMigration& migration : migrations()) {
        if (done.contains(migration.version))
            continue;
        for (const QString& statement : migration.statements)
            if (!exec(query, statement))
                return fail(QStringLiteral("migration %1 failed").arg(migration.version));
        if (!exec(query, QStringLiteral("INSERT INTO %1 (version) VALUES (%2)")
                             .arg(kSchemaTable)
                             .arg(migration.version)))
            return fail(QStringLiteral("cannot note migration %1").arg(migration.version));
        applied << QStringLiteral("schema version %1").arg(migration.version);
    }
    // A column the record gained without a migration of its own yet is added as text, so a
    // line is never refused for it.
    if (!exec(query, QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                                    "table_schema = current_schema() AND table_name = '%1'")
                         .arg(kTable)))
        return fail(QStringLiteral("cannot read the columns"));
    QSet<QString> have;
    while (query.next())
        have.insert(query.value(0).toString());
    for (const QString& column : productionrecord::columns()) {
        if (have.contains(column))
            continue;
        if (!exec(query, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                             .arg(kTable, quoted(column), columnType(column))))
            return fail(QStringLiteral("cannot add the column %1").arg(column));
        applied << QStringLiteral("column %1").arg(column);
    }
    if (!db.commit()) {
        error = QStringLiteral("cannot commit the schema on %1: %2")
                    .arg(m_Uri.text(), db.lastError().text().simplified());
        return false;
    }
    return true;
}

bool CPgRecordDb::insertOnce(const QVector<SSpoolEntry>& entries, QString& error)
{
    QSqlDatabase db = QSqlDatabase::database(m_Name, false);
    const QStringList columns = productionrecord::columns();
    if (!m_Insert) {
        QStringList names = {QStringLiteral("attempt_id"), QStringLiteral("host")};
        for (const QString& column : columns)
            names << quoted(column);
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        m_Insert = std::make_unique<QSqlQuery>(db);
        if (!m_Insert->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT "
                                              "(attempt_id) DO NOTHING")
                                   .arg(kTable, names.join(QStringLiteral(", ")),
                                        marks.join(QStringLiteral(", "))))) {
            error = errorText(QStringLiteral("cannot prepare the insert"), *m_Insert);
            m_Insert.reset();
            return false;
        }
    }
    const bool batch = entries.size() > 1;
    if (batch && !db.transaction()) {
        error = QStringLiteral("cannot start a transaction on %1: %2")
                    .arg(m_Uri.text(), db.lastError().text().simplified());
        return false;
    }
    for (const SSpoolEntry& entry : entries) {
        m_Insert->addBindValue(entry.attemptId.toString(QUuid::WithoutBraces));
        m_Insert->addBindValue(entry.host);
        for (const QString& column : columns) {
            const QString value = entry.values.value(column);
            // An empty number or time is no value, not an error.
            const bool typed = columnType(column) != QLatin1String("text");
            m_Insert->addBindValue(typed && value.isEmpty() ? QVariant(QVariant::String)
                                                            : QVariant(value));
        }
        if (!m_Insert->exec()) {
            error = errorText(QStringLiteral("cannot insert a record line"), *m_Insert);
            if (batch)
                db.rollback();
            return false;
        }
    }
    if (batch && !db.commit()) {
        error = QStringLiteral("cannot commit the record lines on %1: %2")
                    .arg(m_Uri.text(), db.lastError().text().simplified());
        db.rollback();
        return false;
    }
    return true;
}

bool CPgRecordDb::insert(const QVector<SSpoolEntry>& entries, QString& error)
{
    if (entries.isEmpty())
        return true;
    if (!QSqlDatabase::database(m_Name, false).isOpen() && !open(error))
        return false;
    if (insertOnce(entries, error))
        return true;
    // The driver still calls a broken connection open: open it again and repeat once.
    QString reopenError;
    if (!reopen(reopenError)) {
        error = reopenError;
        return false;
    }
    return insertOnce(entries, error);
}
