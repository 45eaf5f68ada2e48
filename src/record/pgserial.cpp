// The serial numbers the record has given: reserved before a number is written into a unit, so
// two stations that both find a number free cannot both write it.

#include "pgrecord.h"

#include "record/pgnames.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

bool CPgRecordDb::reserveOnce(const SSerialClaim& claim, bool& taken, SSerialUse& use,
                              QString& error)
{
    QSqlDatabase db = QSqlDatabase::database(m_Name, false);
    QSqlQuery query(db);
    auto fail = [&](const QString& what) { return rolledBack(what, query, error); };
    // Ends the transaction: kept when the number is the attempt's now.
    auto held = [&](bool elsewhere) {
        taken = elsewhere;
        if (elsewhere) {
            db.rollback();
            return true;
        }
        if (db.commit())
            return true;
        error = QStringLiteral("cannot commit the serial number's reservation (%1): %2")
                    .arg(m_Uri.text(), db.lastError().text().simplified());
        db.rollback();
        return false;
    };
    const QString attempt = claim.attemptId.toString(QUuid::WithoutBraces);
    if (!db.transaction())
        return fail(QStringLiteral("cannot start a transaction"));
    // A unit carries the number already: given before the reservations were kept, or by a tool
    // that does not keep them.
    query.prepare(QStringLiteral("SELECT \"time\", host, station, port, model FROM %1 WHERE "
                                 "serial = ? ORDER BY \"time\" LIMIT 1")
                      .arg(pgrecord::kTable));
    query.addBindValue(qint64(claim.serial));
    if (!query.exec())
        return fail(QStringLiteral("cannot look up the serial number"));
    if (query.next()) {
        use = {query.value(0).toDateTime().toUTC(), query.value(1).toString(),
               query.value(2).toString(), query.value(3).toString(), query.value(4).toString()};
        return held(true);
    }
    query.prepare(QStringLiteral("INSERT INTO %1 (serial, attempt_id, unit, station, host) "
                                 "VALUES (?, ?, ?, ?, ?) ON CONFLICT (serial) DO NOTHING "
                                 "RETURNING serial")
                      .arg(pgrecord::kSerialTable));
    query.addBindValue(qint64(claim.serial));
    query.addBindValue(attempt);
    query.addBindValue(claim.unit);
    query.addBindValue(claim.station);
    query.addBindValue(QSysInfo::machineHostName());
    if (!query.exec())
        return fail(QStringLiteral("cannot reserve the serial number"));
    if (query.next())
        return held(false);
    // Reserved before: by this attempt, by an earlier attempt of this unit, or by another unit.
    query.prepare(QStringLiteral("SELECT s.attempt_id, s.unit, s.\"time\", s.host, s.station, "
                                 "EXISTS (SELECT 1 FROM %1 u WHERE u.attempt_id = s.attempt_id) "
                                 "FROM %2 s WHERE s.serial = ? FOR UPDATE")
                      .arg(pgrecord::kTable, pgrecord::kSerialTable));
    query.addBindValue(qint64(claim.serial));
    if (!query.exec() || !query.next())
        return fail(QStringLiteral("cannot read the serial number's reservation"));
    if (QUuid::fromString(query.value(0).toString()) == claim.attemptId)
        return held(false);
    use = {query.value(2).toDateTime().toUTC(), query.value(3).toString(),
           query.value(4).toString(), QString(), QString()};
    // The earlier attempt ended without giving the number (no unit carries it): the same unit,
    // tried again, takes the reservation over.
    const bool retry = query.value(1).toString() == claim.unit && query.value(5).toBool();
    if (!retry)
        return held(true);
    query.prepare(QStringLiteral("UPDATE %1 SET attempt_id = ?, station = ?, host = ?, \"time\" = "
                                 "now() WHERE serial = ?")
                      .arg(pgrecord::kSerialTable));
    query.addBindValue(attempt);
    query.addBindValue(claim.station);
    query.addBindValue(QSysInfo::machineHostName());
    query.addBindValue(qint64(claim.serial));
    if (!query.exec())
        return fail(QStringLiteral("cannot take over the serial number's reservation"));
    return held(false);
}

bool CPgRecordDb::reserveSerial(const SSerialClaim& claim, bool& taken, SSerialUse& use,
                                QString& error)
{
    taken = false;
    if (!QSqlDatabase::database(m_Name, false).isOpen() && !open(error))
        return false;
    if (reserveOnce(claim, taken, use, error))
        return true;
    // The driver still calls a broken connection open: open it again and repeat once.
    QString reopenError;
    if (!reopen(reopenError)) {
        error = reopenError;
        return false;
    }
    return reserveOnce(claim, taken, use, error);
}
