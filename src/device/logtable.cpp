#include "logtable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace logtable {

QString SColumn::name() const
{
    return unit.isEmpty() ? caption : QStringLiteral("%1 [%2]").arg(caption, unit);
}

QString STable::reportLines() const
{
    QString out;
    for (const SRow& row : rows) {
        for (const SCell& cell : row.cells)
            out += cell.report;
        out += QLatin1Char('\n');
    }
    return out;
}

void CRowBuilder::beginRow(int age)
{
    SRow row;
    row.age = age;
    m_Table.rows.append(row);
}

void CRowBuilder::add(const char* caption, const QString& unit, EAxis axis, SCell cell)
{
    SRow& row = m_Table.rows.last();
    if (m_Table.rows.size() == 1)
        m_Table.columns.append({QString::fromUtf8(caption), unit.trimmed(), axis});
    Q_ASSERT(row.cells.size() < m_Table.columns.size());
    row.cells.append(cell);
}

void CRowBuilder::number(const char* caption, const char* unit, double value, const QString& report,
                         EAxis axis, int decimals)
{
    add(caption, QString::fromUtf8(unit), axis, {EKind::Number, value, decimals, {}, report});
}

void CRowBuilder::number(const char* caption, const QString& unit, double value,
                         const QString& report, EAxis axis)
{
    add(caption, unit, axis, {EKind::Number, value, 0, {}, report});
}

void CRowBuilder::flag(const char* caption, bool on, const QString& report)
{
    add(caption, QString(), EAxis::None, {EKind::Flag, on ? 1.0 : 0.0, 0, {}, report});
}

void CRowBuilder::text(const char* caption, const char* unit, const QString& word,
                       const QString& report)
{
    add(caption, QString::fromUtf8(unit), EAxis::None, {EKind::Text, 0, 0, word.trimmed(), report});
}

void CRowBuilder::empty(const char* caption, const char* unit, const QString& report)
{
    add(caption, QString::fromUtf8(unit), EAxis::None, {EKind::Empty, 0, 0, {}, report});
}

QString numberText(double value)
{
    // 17 significant digits hold every double; the decoded values have at most three places.
    return QString::number(value, 'g', 17);
}

namespace {
// Quoted as the production record quotes its fields: a line break of either kind, a comma or a
// quote puts the field in quotes.
QString csvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvValue(const SCell& cell)
{
    switch (cell.kind) {
    case EKind::Number:
        return numberText(cell.number);
    case EKind::Flag:
        return cell.number != 0 ? QStringLiteral("yes") : QStringLiteral("no");
    case EKind::Text:
        return csvField(cell.text);
    case EKind::Empty:
        break;
    }
    return QString();
}

QJsonValue jsonValue(const SCell& cell)
{
    switch (cell.kind) {
    case EKind::Number:
        return cell.number;
    case EKind::Flag:
        return cell.number != 0;
    case EKind::Text:
        return cell.text;
    case EKind::Empty:
        break;
    }
    return QJsonValue::Null;
}
} // namespace

QString toCsv(const STable& table)
{
    QStringList names;
    for (const SColumn& column : table.columns)
        names << csvField(column.name());
    QString out = names.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const SRow& row : table.rows) {
        QStringList fields;
        for (const SCell& cell : row.cells)
            fields << csvValue(cell);
        out += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out;
}

QString toJson(const STable& table)
{
    QJsonArray array;
    for (const SRow& row : table.rows) {
        QJsonObject object;
        for (int c = 0; c < row.cells.size(); ++c)
            object.insert(table.columns[c].name(), jsonValue(row.cells[c]));
        array.append(object);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

} // namespace logtable
