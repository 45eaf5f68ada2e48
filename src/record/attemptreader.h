#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

#include <vector>

// One attempt as the figures need it, read from a CSV record or from the database.
struct SAttempt
{
    qint64 timeMs = 0; // start, milliseconds since 1970 UTC
    QString model;
    quint32 serial = 0; // 0: the unit had none and got none; each such attempt is a unit
    QString station;
    QString outcome;
    double durationS = 0;
    QString bundle; // the firmware bundle's release, empty for the built-in images
};

// Attempts from CSV rows (RFC 4180) whose columns are named first: a record file, or the rows a
// database hands over. Only the columns the figures need are converted; texts that repeat
// (model, station, outcome) share one string.
class CAttemptReader
{
public:
    // The record's columns it reads, in the order of `setColumns` below.
    static const QVector<const char*>& recordColumns();
    // In place of the time: milliseconds since 1970 UTC (what a database hands over).
    static constexpr char kTimeMs[] = "time_ms";

    // The rows' column names; false when time (or time_ms, milliseconds since 1970), serial or
    // outcome is missing.
    [[nodiscard]] bool setColumns(const QByteArray& headerRow);
    // Appends the attempts of the complete rows in `bytes`; rows that are torn, empty or
    // without a readable time are left out.
    void read(const char* bytes, qsizetype size, QVector<SAttempt>& attempts);

private:
    struct SField
    {
        const char* data;
        int size;
    };
    // One row's fields from `pos` on; false at the end.
    bool nextRow(const char* bytes, qsizetype size, qsizetype& pos);
    const QString& intern(const SField& field);

    int m_Time = -1, m_TimeMs = -1, m_Model = -1, m_Serial = -1, m_Station = -1, m_Outcome = -1,
        m_Duration = -1, m_Bundle = -1;
    int m_Needed = 0; // fields a row must have
    QVector<SField> m_Fields;
    std::vector<QByteArray> m_Unquoted; // per field, for quoted ones
    QHash<QByteArray, QString> m_Texts;
};
