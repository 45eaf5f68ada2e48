#pragma once

// The plant's production record: one line per update attempt, on every station and service
// laptop alike. This layer owns the line (one definition of its columns, from which the CSV
// file, the spool's JSON lines and the database's table are all made, and one builder of a line
// from an attempt), the CSV file, the local spool, the PostgreSQL store and its URI, the figures
// over a record, and the backlog of lines a station keeps while its database is away. The
// dialog, the single-unit update and the station write through it; it knows no front end.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVector>

class CFlashImage;

// One line of the production record: a unit that went through `update`.
struct SProductionRecord
{
    struct SImage
    {
        QString name;      // "application"
        QString version;   // "2.24"
        QByteArray sha256; // hex, over the image's blocks as sent
    };

    QUuid attemptId; // made when the attempt starts; the database's key, not a CSV column
    QDateTime time;  // start of the update, written in UTC
    QString port;
    QString model;
    quint32 serial = 0; // after the update (the one written, if any)
    QString bootBefore, applBefore, wifiBefore;
    // As the unit reported them when its update was verified; empty when it was not seen again.
    QString bootAfter, applAfter, wifiAfter;
    QVector<SImage> images; // written completely, in order
    qint64 durationMs = 0;
    int retries = 0;
    int exitCode = 0;
    QString outcome;       // "updated", "transfer-failed", ...
    QString station;       // --station, may be empty
    QString operatorName;  // --operator, may be empty
    bool verified = false; // the unit confirmed everything its update wrote
    QString verifyDetail;  // what it did not confirm, or what could not be checked
    // The firmware bundle the images came from: its release, the SHA-256 of its manifest, the
    // id of the key that signed it and its security counter; empty (-1) for the built-in set.
    QString bundle, bundleSha256, bundleKey;
    qint64 bundleCounter = -1;
};

namespace productionrecord {

// One column of the record. Its name is the CSV header's, the database table's column and the
// key of the spool's JSON lines alike: stored files, spools and tables know the column by it, so
// it never changes. Columns added later come last, so older files keep theirs in place.
struct SColumn
{
    const char* name;
    const char* sqlType;                       // in the database
    int migration;                             // the schema version that added it
    QString (*text)(const SProductionRecord&); // the value as written
};

// The columns the figures and the dialog read by name.
inline constexpr char kTime[] = "time";
inline constexpr char kModel[] = "model";
inline constexpr char kSerial[] = "serial";
inline constexpr char kStation[] = "station";
inline constexpr char kOutcome[] = "outcome";
inline constexpr char kDuration[] = "duration_s";
inline constexpr char kBundle[] = "bundle";
inline constexpr char kBundleCounter[] = "bundle_counter";

// Every column, in file order.
const QVector<SColumn>& columnDefs();
// The column named `name`, null when the record has none.
const SColumn* column(const QString& name);

// The column names, the first line of a new record file.
QByteArray header();
// The column names in file order; the database's table has the same columns.
QStringList columns();
// The record's values as written, one per column of `columns()`.
QStringList fields(const SProductionRecord& record);
// One CSV line (RFC 4180 quoting), ending in "\n".
QByteArray line(const SProductionRecord& record);

// SHA-256 (hex) of the bytes an upload sends for `image`: every block's data in file order.
QByteArray imageSha256(const CFlashImage& image);

// Opens (creating) the file for appending and closes it again: a record that cannot be written
// is found before a unit is touched. A file begun by an older release (fewer columns) is
// refused, naming `record init`, which brings it forward; so is a file that is no record.
[[nodiscard]] bool checkWritable(const QString& path, QString& error);

// Appends `line` to `path` under an exclusive lock, with the header first when the file is
// empty, and on the disk (fsync) before it returns. The file is opened with O_APPEND and the
// bytes go out in one write call; a write that comes up short (disk full) is cut back off, so
// a reader never sees a torn line. A last line torn by a crash is ended first, so the new line
// stays a line of its own: `notice` then says so.
[[nodiscard]] bool append(const QString& path, const QByteArray& line, QString& error,
                          QString* notice = nullptr);

// The rows of a record file's bytes from `from` on (after its header), each given `columns`
// fields and a line break; `rows` counts them, `torn` a last one that had no line break.
QByteArray padRows(const QByteArray& bytes, int from, int columns, int& rows, int& torn);

// Brings a file begun by an older release forward: the current header, and every line given the
// columns added since (empty), written to a copy that replaces the file once it is on the disk.
// `applied` says what changed (nothing for a current file).
[[nodiscard]] bool upgradeFile(const QString& path, QStringList& applied, QString& error);

} // namespace productionrecord
