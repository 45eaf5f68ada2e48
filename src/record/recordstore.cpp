#include "recordstore.h"

#include "record/pgrecord.h"
#include "record/recordspool.h"
#include "record/recordstats.h"
#include "record/recorduri.h"

#include <QFile>
#include <QSet>
#include <QSysInfo>

#include <algorithm>
#include <utility>

namespace {

// How many spool lines go to the database in one transaction.
constexpr int kSendBatch = 500;

class CCsvSink final : public CRecordSink
{
public:
    explicit CCsvSink(QString path) : m_Path(std::move(path)) {}

    bool check(ECheck, QString& error) override
    {
        return productionrecord::checkWritable(m_Path, error);
    }
    bool write(const SProductionRecord& record, QString& error) override
    {
        return productionrecord::append(m_Path, productionrecord::line(record), error, &m_Notice);
    }
    QString takeNotice() override { return std::exchange(m_Notice, QString()); }
    int send(ESend) override { return 0; }
    int waiting() override { return 0; }
    QString sendError() const override { return {}; }
    ESerial reserveSerial(const SSerialClaim& claim, QString& text) override
    {
        QFile file(m_Path);
        if (file.size() == 0)
            return ESerialFree; // not there, or made empty by the check at the start
        QVector<SAttempt> attempts;
        if (!file.open(QIODevice::ReadOnly) ||
            !recordstats::readCsv(file.readAll(), attempts, text)) {
            text = QStringLiteral("%1: %2").arg(m_Path, text.isEmpty() ? file.errorString() : text);
            return ESerialUnknown;
        }
        for (const SAttempt& attempt : attempts) {
            if (attempt.serial != claim.serial)
                continue;
            text = recordstore::serialTakenText(claim.serial, attempt.station,
                                                QDateTime::fromMSecsSinceEpoch(attempt.timeMs));
            return ESerialTaken;
        }
        return ESerialFree;
    }

private:
    QString m_Path;
    QString m_Notice;
};

QString where(const QString& station, const QString& host)
{
    return station.isEmpty() ? host : QStringLiteral("%1 (%2)").arg(station, host);
}

class CPgSink final : public CRecordSink
{
public:
    CPgSink(const SRecordUri& uri, const QString& spool) : m_Db(uri), m_Spool(spool) {}

    bool check(ECheck what, QString& error) override
    {
        if (!m_Spool.check(error))
            return false;
        if (what == ELocal)
            return true;
        m_Connected = m_Db.open(error) && m_Db.checkSchema(error);
        return m_Connected;
    }

    bool write(const SProductionRecord& record, QString& error) override
    {
        SSpoolEntry entry;
        entry.attemptId = record.attemptId.isNull() ? QUuid::createUuid() : record.attemptId;
        entry.host = QSysInfo::machineHostName();
        const QStringList columns = productionrecord::columns();
        const QStringList values = productionrecord::fields(record);
        for (int i = 0; i < columns.size() && i < values.size(); ++i)
            entry.values.insert(columns.at(i), values.at(i));
        if (!m_Spool.append(entry, error))
            return false;
        m_Own.insert(entry.attemptId);
        return true;
    }

    int send(ESend what) override
    {
        QVector<SSpoolEntry> entries;
        if (!m_Spool.pending(entries, m_SendError))
            return m_Waiting = -1;
        if (what == EOwn) {
            entries.erase(std::remove_if(entries.begin(), entries.end(),
                                         [this](const SSpoolEntry& e) {
                                             return !m_Own.contains(e.attemptId);
                                         }),
                          entries.end());
        }
        if (entries.isEmpty()) {
            m_SendError.clear();
            return m_Waiting = 0;
        }
        if (!m_Connected && !(m_Connected = m_Db.open(m_SendError)))
            return m_Waiting = int(entries.size());
        int left = int(entries.size());
        for (int from = 0; from < entries.size(); from += kSendBatch) {
            const QVector<SSpoolEntry> batch = entries.mid(from, kSendBatch);
            if (!m_Db.insert(batch, m_SendError))
                return m_Waiting = left;
            QVector<QUuid> sent;
            for (const SSpoolEntry& entry : batch)
                sent << entry.attemptId;
            // Committed: if marking fails, the next send repeats them and the database keeps
            // each attempt once.
            if (!m_Spool.markSent(sent, m_SendError))
                return m_Waiting = left;
            left -= int(batch.size());
        }
        m_SendError.clear();
        return m_Waiting = 0;
    }

    int waiting() override
    {
        QVector<SSpoolEntry> entries;
        QString error;
        return m_Spool.pending(entries, error) ? int(entries.size()) : m_Waiting;
    }

    QString sendError() const override { return m_SendError; }

    ESerial reserveSerial(const SSerialClaim& claim, QString& text) override
    {
        // Lines not sent yet count too: a unit of this station may carry it already.
        QVector<SSpoolEntry> entries;
        if (m_Spool.pending(entries, text)) {
            for (const SSpoolEntry& entry : entries) {
                if (entry.values.value(QLatin1String(productionrecord::kSerial)) !=
                    QString::number(claim.serial))
                    continue;
                const QString station =
                    entry.values.value(QLatin1String(productionrecord::kStation));
                text = recordstore::serialTakenText(
                    claim.serial, where(station, entry.host),
                    QDateTime::fromString(
                        entry.values.value(QLatin1String(productionrecord::kTime)), Qt::ISODate));
                return ESerialTaken;
            }
        }
        if (!m_Connected && !(m_Connected = m_Db.open(text)))
            return ESerialUnknown;
        bool taken = false;
        SSerialUse use;
        if (!m_Db.reserveSerial(claim, taken, use, text))
            return ESerialUnknown;
        if (!taken)
            return ESerialFree;
        text = recordstore::serialTakenText(claim.serial, where(use.station, use.host), use.time);
        return ESerialTaken;
    }

    bool highestBundleCounter(qint64& counter, QString& error) override
    {
        // Lines of this station not sent yet count too.
        counter = 0;
        QVector<SSpoolEntry> entries;
        if (m_Spool.pending(entries, error))
            for (const SSpoolEntry& entry : entries)
                counter = qMax(counter,
                               entry.values.value(productionrecord::kBundleCounter).toLongLong());
        qint64 inDatabase = 0;
        if ((!m_Connected && !(m_Connected = m_Db.open(error))) ||
            !m_Db.highestBundleCounter(inDatabase, error))
            return false;
        counter = qMax(counter, inDatabase);
        return true;
    }

private:
    CPgRecordDb m_Db;
    CRecordSpool m_Spool;
    QSet<QUuid> m_Own; // written by this sink
    bool m_Connected = false;
    int m_Waiting = 0;
    QString m_SendError;
};

} // namespace

namespace recordstore {

QString spoolPath(const QString& record, const QString& spool)
{
    if (!recorduri::isDatabase(record))
        return {};
    if (!spool.isEmpty())
        return spool;
    SRecordUri uri;
    QString error;
    return recordspool::defaultPath(recorduri::parse(record, uri, error) ? uri.identity() : record);
}

QString olderSpoolPath(const QString& record)
{
    SRecordUri uri;
    QString error;
    return recorduri::isDatabase(record) && recorduri::parse(record, uri, error)
               ? recordspool::defaultPath(uri.text())
               : QString();
}

std::unique_ptr<CRecordSink> open(const QString& record, const QString& spool, QString& error)
{
    if (!recorduri::isDatabase(record))
        return std::make_unique<CCsvSink>(record);
    SRecordUri uri;
    if (!recorduri::parse(record, uri, error))
        return nullptr;
    return std::make_unique<CPgSink>(uri, spoolPath(record, spool));
}

QString serialUnknownText(quint32 serial, const QString& why)
{
    return QStringLiteral("cannot check that serial number %1 is new: %2").arg(serial).arg(why);
}

QString serialTakenText(quint32 serial, const QString& where, const QDateTime& when)
{
    return QStringLiteral("serial number %1 was given before, at %2 on %3; give another one")
        .arg(serial)
        .arg(where.isEmpty() ? QStringLiteral("an unnamed station") : where,
             when.isValid() ? when.toUTC().toString(Qt::ISODate)
                            : QStringLiteral("an unknown time"));
}

bool reserveSerial(const QString& record, const SSerialClaim& claim, QString& text)
{
    if (claim.serial == 0 || record.isEmpty())
        return true;
    QString error;
    const std::unique_ptr<CRecordSink> sink = open(record, QString(), error);
    if (!sink) {
        text = error;
        return false;
    }
    switch (sink->reserveSerial(claim, text)) {
    case CRecordSink::ESerialFree:
        return true;
    case CRecordSink::ESerialTaken:
        return false;
    case CRecordSink::ESerialUnknown:
        text = serialUnknownText(claim.serial, text);
        return false;
    }
    return false;
}

} // namespace recordstore
