#pragma once

#include <QString>

// The record's tables and what the PostgreSQL store's statements share; for its own files only.
namespace pgrecord {

inline const QString kTable = QStringLiteral("unit_update");
inline const QString kSchemaTable = QStringLiteral("ventaro_schema");
inline const QString kSerialTable = QStringLiteral("serial_number");

// The figures and a migration go through the whole record in one statement: their time limit.
constexpr int kWholeRecordTimeoutMs = 600000;

// `name` as an SQL identifier, in double quotes.
inline QString quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

} // namespace pgrecord
