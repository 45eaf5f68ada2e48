#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QUuid>
#include <QVector>

// One finished attempt waiting for the database: its key, where it was made, and its record's
// values by column name (so a spool written before a column was added is still read).
struct SSpoolEntry
{
    QUuid attemptId;
    QString host;
    QMap<QString, QString> values;
};

namespace recordspool {

// One spool line for an entry, and the line that marks an attempt as committed.
QByteArray entryLine(const SSpoolEntry& entry);
QByteArray sentLine(const QUuid& attemptId);
// The entries of a spool's bytes not marked sent, in the order written, each attempt once.
// Lines that are neither (a line torn by a crash) are skipped and counted in `skipped`.
QVector<SSpoolEntry> pending(const QByteArray& bytes, int* skipped = nullptr);

// $XDG_STATE_HOME/ventaro/ (or ~/.local/state/ventaro/) "record-spool-<hash>.jsonl", one file
// per database, so a station moved to another database never sends old lines there.
QString defaultPath(const QString& databaseText);

} // namespace recordspool

// The local spool of a database record: an append-only file of JSON lines that several
// processes (the workers of a station) write at once. Every write takes the file's lock and goes
// out in one write call; an entry is on the disk (fsync) before `append` returns. An entry
// counts as sent only once a line marks it so, written after the database committed it.
class CRecordSpool
{
public:
    explicit CRecordSpool(QString path) : m_Path(std::move(path)) {}
    const QString& path() const { return m_Path; }

    // Makes the folder and the file; a spool that cannot be written is found before a unit is.
    [[nodiscard]] bool check(QString& error) const;
    [[nodiscard]] bool append(const SSpoolEntry& entry, QString& error) const;
    [[nodiscard]] bool pending(QVector<SSpoolEntry>& entries, QString& error) const;
    // When nothing is left waiting, the file is emptied instead.
    [[nodiscard]] bool markSent(const QVector<QUuid>& attempts, QString& error) const;

private:
    QString m_Path;
};
