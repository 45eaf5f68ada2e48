#pragma once

#include <QString>
#include <QStringList>

// Where a PostgreSQL production record lives, from libpq's URI form
// `postgresql://user@host:port/db?sslmode=require`. The password never travels in the URI: libpq
// takes it from PGPASSWORD or ~/.pgpass when the driver connects without one.
struct SRecordUri
{
    QString user;     // empty: libpq's default (PGUSER, the login name)
    QString host;     // empty: libpq's default (PGHOST, the local socket); may be a socket folder
    int port = 0;     // 0: libpq's default (PGPORT, 5432)
    QString database; // empty: libpq's default (PGDATABASE, the user name)
    QStringList connectOptions; // "key=value", for QSqlDatabase::setConnectOptions

    // The URI as it may be shown and logged.
    QString text() const;
    // The database whatever way the URI is written: "user@host:port/database" with libpq's
    // defaults filled in (PGUSER, PGHOST, PGPORT, PGDATABASE, the login name, the local socket,
    // 5432), so the same database written with or without its defaults is one.
    QString identity() const;
};

namespace recorduri {

// A --record value names a database (rather than a CSV file) when it starts with
// postgresql:// or postgres://.
bool isDatabase(const QString& record);

// False with `error` set (never containing a password) when `text` is not a URI this tool
// connects to: another form, a password in it, a bad port, an unknown parameter.
[[nodiscard]] bool parse(const QString& text, SRecordUri& uri, QString& error);

// `text` with any password in it replaced by "***", for messages about a refused URI.
QString masked(const QString& text);

} // namespace recorduri
