#include "attemptreader.h"

#include "record/productionrecord.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = int(y - era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int digits(const char* s, int from, int count)
{
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const char c = s[i];
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// The record writes "2026-12-07T22:05:09Z"; anything else ISO 8601 takes the slow road.
bool parseTime(const char* s, int size, qint64& ms)
{
    if (size == 20 && s[4] == '-' && s[7] == '-' && s[10] == 'T' && s[13] == ':' && s[16] == ':' &&
        s[19] == 'Z') {
        const int y = digits(s, 0, 4), mo = digits(s, 5, 2), d = digits(s, 8, 2);
        const int h = digits(s, 11, 2), mi = digits(s, 14, 2), se = digits(s, 17, 2);
        if (y >= 0 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h < 24 && mi >= 0 &&
            mi < 60 && se >= 0 && se < 61) {
            ms = ((daysFromCivil(y, mo, d) * 24 + h) * 60 + mi) * 60000 + qint64(se) * 1000;
            return true;
        }
    }
    const QDateTime t = QDateTime::fromString(QString::fromUtf8(s, size), Qt::ISODate);
    if (!t.isValid())
        return false;
    ms = t.toMSecsSinceEpoch();
    return true;
}

bool parseInteger(const char* s, int size, qint64 limit, qint64& out)
{
    if (size == 0 || size > 19)
        return false;
    const bool negative = s[0] == '-';
    qint64 v = 0;
    for (int i = negative ? 1 : 0; i < size; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
        if (v > limit)
            return false;
    }
    if (negative && size == 1)
        return false;
    out = negative ? -v : v;
    return true;
}

// Always with a decimal point, whatever the user's locale says: the record is written so.
double parseNumber(const char* s, int size)
{
    if (size <= 0 || size >= 32)
        return 0;
    double v = 0;
    const std::from_chars_result got = std::from_chars(s, s + size, v);
    return got.ec == std::errc() && got.ptr == s + size && std::isfinite(v) ? v : 0;
}

} // namespace

bool CAttemptReader::nextRow(const char* bytes, qsizetype size, qsizetype& pos)
{
    m_Fields.clear();
    if (pos >= size)
        return false;
    for (int index = 0;; ++index) {
        if (pos < size && bytes[pos] == '"') {
            if (size_t(index) >= m_Unquoted.size())
                m_Unquoted.resize(size_t(index) + 1);
            QByteArray& text = m_Unquoted[size_t(index)];
            text.clear();
            ++pos;
            while (pos < size) {
                const char c = bytes[pos++];
                if (c != '"') {
                    text += c;
                } else if (pos < size && bytes[pos] == '"') {
                    text += '"';
                    ++pos;
                } else {
                    break;
                }
            }
            m_Fields.append({text.constData(), int(text.size())});
            // Anything between the closing quote and the separator is not part of the field.
            while (pos < size && bytes[pos] != ',' && bytes[pos] != '\n')
                ++pos;
        } else {
            const qsizetype start = pos;
            while (pos < size && bytes[pos] != ',' && bytes[pos] != '\n')
                ++pos;
            qsizetype end = pos;
            if (end > start && bytes[end - 1] == '\r')
                --end;
            m_Fields.append({bytes + start, int(end - start)});
        }
        if (pos >= size || bytes[pos] == '\n') {
            ++pos;
            return true;
        }
        ++pos; // the comma
    }
}

const QString& CAttemptReader::intern(const SField& field)
{
    const QByteArray key = QByteArray::fromRawData(field.data, field.size);
    auto it = m_Texts.find(key);
    if (it == m_Texts.end())
        it = m_Texts.insert(QByteArray(field.data, field.size),
                            QString::fromUtf8(field.data, field.size));
    return it.value();
}

const QVector<const char*>& CAttemptReader::recordColumns()
{
    using namespace productionrecord;
    static const QVector<const char*> columns = {kTime,    kModel,    kSerial, kStation,
                                                 kOutcome, kDuration, kBundle};
    return columns;
}

bool CAttemptReader::setColumns(const QByteArray& headerRow)
{
    qsizetype pos = 0;
    if (!nextRow(headerRow.constData(), headerRow.size(), pos))
        return false;
    const struct
    {
        const char* name;
        int* slot;
    } columns[] = {
        {productionrecord::kTime, &m_Time},         {kTimeMs, &m_TimeMs},
        {productionrecord::kModel, &m_Model},       {productionrecord::kSerial, &m_Serial},
        {productionrecord::kStation, &m_Station},   {productionrecord::kOutcome, &m_Outcome},
        {productionrecord::kDuration, &m_Duration}, {productionrecord::kBundle, &m_Bundle}};
    for (int i = 0; i < m_Fields.size(); ++i) {
        const QByteArray name = QByteArray::fromRawData(m_Fields[i].data, m_Fields[i].size);
        for (const auto& column : columns)
            if (name == column.name && *column.slot < 0)
                *column.slot = i;
    }
    if ((m_Time < 0 && m_TimeMs < 0) || m_Serial < 0 || m_Outcome < 0)
        return false;
    m_Needed = 1 + std::max({m_Time, m_TimeMs, m_Model, m_Serial, m_Outcome, m_Duration});
    return true;
}

void CAttemptReader::read(const char* bytes, qsizetype size, QVector<SAttempt>& attempts)
{
    qsizetype pos = 0;
    while (nextRow(bytes, size, pos)) {
        if (m_Fields.size() < m_Needed)
            continue; // an empty or torn line
        SAttempt a;
        if (m_Time >= 0) {
            if (!parseTime(m_Fields[m_Time].data, m_Fields[m_Time].size, a.timeMs))
                continue;
        } else if (!parseInteger(m_Fields[m_TimeMs].data, m_Fields[m_TimeMs].size,
                                 std::numeric_limits<qint64>::max() / 10, a.timeMs)) {
            continue;
        }
        qint64 serial = 0;
        a.serial =
            parseInteger(m_Fields[m_Serial].data, m_Fields[m_Serial].size, 0xFFFFFFFFll, serial) &&
                    serial > 0
                ? quint32(serial)
                : 0;
        if (m_Model >= 0)
            a.model = intern(m_Fields[m_Model]);
        if (m_Station >= 0 && m_Station < m_Fields.size())
            a.station = intern(m_Fields[m_Station]);
        a.outcome = intern(m_Fields[m_Outcome]);
        if (m_Duration >= 0)
            a.durationS = parseNumber(m_Fields[m_Duration].data, m_Fields[m_Duration].size);
        // Optional: lines written before the column came are shorter.
        if (m_Bundle >= 0 && m_Bundle < m_Fields.size())
            a.bundle = intern(m_Fields[m_Bundle]);
        attempts << a;
    }
}
