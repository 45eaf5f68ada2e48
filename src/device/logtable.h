#pragma once

#include <QString>
#include <QVector>

// A log decoded once for every way it is shown: the text report, the chart and the CSV and
// JSON exports. Each cell holds the decoded value and the exact text the report prints for
// it, so the column rules (which field, which scale, which text) live in one place: the
// model's row decoder.
namespace logtable {

enum class EKind {
    Number, // `number`, with `decimals` places where the report has them
    Flag,   // `number` 0 or 1; exported as "yes"/"no" (CSV) or true/false (JSON)
    Text,   // `text`, a state word
    Empty,  // no value for this entry (the report shows a placeholder)
};

// The chart axis a column's values belong on; None for columns that are not charted.
enum class EAxis { None, Temperature, Humidity, CO2, Flow };

struct SColumn
{
    QString caption; // the report's caption, "TExt"
    QString unit;    // "°C"; empty when the report gives none
    EAxis axis = EAxis::None;

    // The export name: "TExt [°C]", or the caption alone.
    QString name() const;
};

struct SCell
{
    EKind kind = EKind::Number;
    double number = 0;
    int decimals = 0;
    QString text;
    QString report; // the cell exactly as the text report prints it
};

struct SRow
{
    QVector<SCell> cells; // one per column
    // Age of the entry in the table's age unit (0: the youngest); for logs without ages the
    // entry's log number.
    int age = 0;
};

struct STable
{
    QVector<SColumn> columns;
    QVector<SRow> rows; // in the report's order
    // The unit of `SRow::age` for the chart's time axis: "quarter hours", "days", "months";
    // empty when the rows carry log numbers instead.
    QString ageUnit;

    // The report's entry lines: every row's cell texts, each row ended by a line feed.
    QString reportLines() const;
};

// Adds rows to a table; the cells of the first row define the columns, every further row must
// add the same columns in the same order.
class CRowBuilder
{
public:
    explicit CRowBuilder(STable& table) : m_Table(table) {}

    void beginRow(int age);
    void number(const char* caption, const char* unit, double value, const QString& report,
                EAxis axis = EAxis::None, int decimals = 0);
    void flag(const char* caption, bool on, const QString& report);
    void text(const char* caption, const char* unit, const QString& word, const QString& report);
    void empty(const char* caption, const char* unit, const QString& report);
    // Units that depend on the span (the secondary logs' time, air, water and energy units);
    // surrounding blanks are dropped.
    void number(const char* caption, const QString& unit, double value, const QString& report,
                EAxis axis = EAxis::None);

private:
    void add(const char* caption, const QString& unit, EAxis axis, SCell cell);

    STable& m_Table;
};

// Replaces the table's rows with one row per entry, `decode(row, position, entry)` adding the
// row of the entry at `position` in `entries`: in order, or from the last entry down to the
// first. A log without entries still gets its columns, from a blank entry.
enum class EOrder { Forward, Backward };
template <typename Entry, typename Decode>
void decodeEntries(STable& table, const QVector<Entry>& entries, EOrder order, Decode decode)
{
    table.columns.clear();
    table.rows.clear();
    CRowBuilder row(table);
    for (int k = 0; k < entries.size(); ++k) {
        const int i = order == EOrder::Forward ? k : entries.size() - 1 - k;
        decode(row, i, entries[i]);
    }
    if (entries.isEmpty()) {
        decode(row, 0, Entry());
        table.rows.clear();
    }
}

// One header row of the column names, one row per entry; dot decimal separator, flags as
// "yes"/"no", fields with a comma or quote quoted. Lines end with "\n".
QString toCsv(const STable& table);
// An array of one object per entry with the column names as keys; flags as booleans, empty
// cells as null. Ends with "\n".
QString toJson(const STable& table);

// A decoded value as the exports write it: the shortest exact decimal form.
QString numberText(double value);

} // namespace logtable
