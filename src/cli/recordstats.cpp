#include "recordstats.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <map>
#include <vector>

namespace {

constexpr qint64 kMsPerDay = 86400000;
const QString kUpdated = QStringLiteral("updated");
const QString kUpToDate = QStringLiteral("up-to-date");

struct SItem
{
    quint64 unit; // model and serial number, or the attempt's own number without a serial
    qint64 timeMs;
    int seq; // order in the record: attempts of the same millisecond keep it
    const SAttempt* attempt;
};

double median(std::vector<double>& values)
{
    if (values.empty())
        return 0;
    const size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + mid, values.end());
    const double upper = values[mid];
    if (values.size() % 2)
        return upper;
    return (upper + *std::max_element(values.begin(), values.begin() + mid)) / 2;
}

SFigures figuresOf(const std::vector<const SAttempt*>& attempts)
{
    QHash<QString, quint64> models;
    std::vector<SItem> items;
    items.reserve(attempts.size());
    std::vector<double> durations;
    for (const SAttempt* a : attempts) {
        auto model = models.find(a->model);
        if (model == models.end())
            model = models.insert(a->model, quint64(models.size()));
        const int seq = int(items.size());
        const quint64 unit =
            a->serial != 0 ? (model.value() << 32) | a->serial : (quint64(1) << 63) | quint64(seq);
        items.push_back({unit, a->timeMs, seq, a});
        if (a->outcome == kUpdated)
            durations.push_back(a->durationS);
    }
    std::sort(items.begin(), items.end(), [](const SItem& x, const SItem& y) {
        return x.unit != y.unit       ? x.unit < y.unit
               : x.timeMs != y.timeMs ? x.timeMs < y.timeMs
                                      : x.seq < y.seq;
    });
    SFigures f;
    int firstPass = 0;
    for (size_t i = 0; i < items.size();) {
        size_t end = i;
        bool everUpdated = false;
        for (; end < items.size() && items[end].unit == items[i].unit; ++end)
            everUpdated = everUpdated || items[end].attempt->outcome == kUpdated;
        const QString& first = items[i].attempt->outcome;
        const QString& last = items[end - 1].attempt->outcome;
        ++f.units;
        firstPass += first == kUpdated;
        if (last == kUpdated || (last == kUpToDate && everUpdated)) {
            ++f.updated;
        } else if (last == kUpToDate) {
            ++f.upToDate;
        } else {
            ++f.failed;
            ++f.byOutcome[last.isEmpty() ? QStringLiteral("unknown") : last];
        }
        i = end;
    }
    const int needing = f.units - f.upToDate;
    if (needing > 0) {
        f.firstPassYield = double(firstPass) / needing;
        f.lastPassYield = double(f.updated) / needing;
    }
    f.medianSeconds = median(durations);
    return f;
}

QString dayText(qint64 day)
{
    return QDateTime::fromMSecsSinceEpoch(day * kMsPerDay, Qt::UTC).date().toString(Qt::ISODate);
}

qint64 dayOf(qint64 ms)
{
    return ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
}

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

int digits(const QByteArray& s, int from, int count)
{
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const char c = s.at(i);
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// The record writes "2026-12-07T22:05:09Z"; anything else ISO 8601 takes the slow road.
bool parseTime(const QByteArray& s, qint64& ms)
{
    if (s.size() == 20 && s.at(4) == '-' && s.at(7) == '-' && s.at(10) == 'T' && s.at(13) == ':' &&
        s.at(16) == ':' && s.at(19) == 'Z') {
        const int y = digits(s, 0, 4), mo = digits(s, 5, 2), d = digits(s, 8, 2);
        const int h = digits(s, 11, 2), mi = digits(s, 14, 2), se = digits(s, 17, 2);
        if (y >= 0 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h < 24 && mi >= 0 &&
            mi < 60 && se >= 0 && se < 61) {
            ms = ((daysFromCivil(y, mo, d) * 24 + h) * 60 + mi) * 60000 + qint64(se) * 1000;
            return true;
        }
    }
    const QDateTime t = QDateTime::fromString(QString::fromUtf8(s), Qt::ISODate);
    if (!t.isValid())
        return false;
    ms = t.toMSecsSinceEpoch();
    return true;
}

// RFC 4180: one record's fields from `pos` on; false at the end of the bytes.
bool nextRow(const QByteArray& bytes, int& pos, QVector<QByteArray>& fields)
{
    fields.clear();
    if (pos >= bytes.size())
        return false;
    QByteArray field;
    bool quoted = false;
    while (pos < bytes.size()) {
        const char c = bytes.at(pos++);
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (pos < bytes.size() && bytes.at(pos) == '"') {
                field += '"';
                ++pos;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << field;
            field.clear();
        } else if (c == '\n') {
            break;
        } else if (c != '\r') {
            field += c;
        }
    }
    fields << field;
    return true;
}

QString percent(double share)
{
    return QStringLiteral("%1 %").arg(share * 100, 0, 'f', 1);
}

QJsonObject figuresJson(const SFigures& f)
{
    QJsonObject byOutcome;
    for (auto it = f.byOutcome.cbegin(); it != f.byOutcome.cend(); ++it)
        byOutcome.insert(it.key(), it.value());
    return {{QStringLiteral("units"), f.units},
            {QStringLiteral("updated"), f.updated},
            {QStringLiteral("upToDate"), f.upToDate},
            {QStringLiteral("failed"), f.failed},
            {QStringLiteral("byOutcome"), byOutcome},
            {QStringLiteral("firstPassYield"), f.firstPassYield},
            {QStringLiteral("lastPassYield"), f.lastPassYield},
            {QStringLiteral("medianSeconds"), f.medianSeconds}};
}

QString col(const QString& value, int width)
{
    return QStringLiteral("%1").arg(value, width);
}

QString tableRow(const QString& station, const QString& day, const SFigures& f)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
        .arg(station, -16)
        .arg(day, -10)
        .arg(col(QString::number(f.units), 6), col(QString::number(f.updated), 8),
             col(QString::number(f.failed), 7), col(percent(f.firstPassYield), 11),
             col(percent(f.lastPassYield), 10), col(QString::number(f.medianSeconds, 'f', 1), 9));
}

} // namespace

namespace recordstats {

SStats compute(const QVector<SAttempt>& attempts, const SStatsFilter& filter)
{
    std::vector<const SAttempt*> accepted;
    accepted.reserve(size_t(attempts.size()));
    std::map<QString, std::vector<const SAttempt*>> byStation;
    for (const SAttempt& a : attempts) {
        if (!filter.accepts(a))
            continue;
        accepted.push_back(&a);
        byStation[a.station].push_back(&a);
    }
    SStats stats;
    stats.all = figuresOf(accepted);
    for (const auto& [name, list] : byStation) {
        SStats::SStation station;
        station.name = name;
        station.figures = figuresOf(list);
        std::map<qint64, std::vector<const SAttempt*>> byDay;
        for (const SAttempt* a : list)
            byDay[dayOf(a->timeMs)].push_back(a);
        for (const auto& [day, dayList] : byDay)
            station.days.insert(dayText(day), figuresOf(dayList));
        stats.stations << station;
    }
    return stats;
}

bool readCsv(const QByteArray& bytes, QVector<SAttempt>& attempts, QString& error)
{
    attempts.clear();
    int pos = 0;
    QVector<QByteArray> fields;
    if (!nextRow(bytes, pos, fields)) {
        return true; // an empty record: nothing written yet
    }
    int time = -1, model = -1, serial = -1, station = -1, outcome = -1, duration = -1;
    for (int i = 0; i < fields.size(); ++i) {
        const QByteArray& name = fields.at(i);
        int* slot = name == "time"         ? &time
                    : name == "model"      ? &model
                    : name == "serial"     ? &serial
                    : name == "station"    ? &station
                    : name == "outcome"    ? &outcome
                    : name == "duration_s" ? &duration
                                           : nullptr;
        if (slot && *slot < 0)
            *slot = i;
    }
    if (time < 0 || serial < 0 || outcome < 0) {
        error = QStringLiteral("not a production record: its first line does not name the "
                               "columns time, serial and outcome");
        return false;
    }
    const int needed = std::max({time, model, serial, outcome, duration});
    while (nextRow(bytes, pos, fields)) {
        if (fields.size() <= needed)
            continue; // an empty or torn line
        SAttempt a;
        if (!parseTime(fields.at(time), a.timeMs))
            continue;
        bool ok = false;
        const qulonglong number = fields.at(serial).toULongLong(&ok);
        a.serial = ok && number <= 0xFFFFFFFFu ? quint32(number) : 0;
        if (model >= 0)
            a.model = QString::fromUtf8(fields.at(model));
        if (station >= 0 && station < fields.size())
            a.station = QString::fromUtf8(fields.at(station));
        a.outcome = QString::fromUtf8(fields.at(outcome));
        if (duration >= 0)
            a.durationS = fields.at(duration).toDouble();
        attempts << a;
    }
    return true;
}

bool parseSince(const QString& text, qint64& sinceMs)
{
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10) {
        sinceMs = QDateTime(date, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
        return true;
    }
    QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return false;
    if (time.timeSpec() == Qt::LocalTime && !text.endsWith(QLatin1Char('Z')))
        time.setTimeSpec(Qt::UTC); // the record's times are UTC: so is a bare time given
    sinceMs = time.toMSecsSinceEpoch();
    return true;
}

QString text(const SStats& stats)
{
    const SFigures& f = stats.all;
    QString out =
        QStringLiteral("units %1, updated %2, up to date %3, failed %4; first-pass yield %5, "
                       "last-pass yield %6; median time %7 s\n")
            .arg(f.units)
            .arg(f.updated)
            .arg(f.upToDate)
            .arg(f.failed)
            .arg(percent(f.firstPassYield), percent(f.lastPassYield),
                 QString::number(f.medianSeconds, 'f', 1));
    for (auto it = f.byOutcome.cbegin(); it != f.byOutcome.cend(); ++it)
        out += QStringLiteral("  failed, %1: %2\n").arg(it.key()).arg(it.value());
    if (stats.stations.isEmpty())
        return out;
    out += QStringLiteral("\n%1 %2  units  updated  failed  first-pass  last-pass  median s\n")
               .arg(QStringLiteral("station"), -16)
               .arg(QStringLiteral("day"), -10);
    for (const SStats::SStation& station : stats.stations) {
        const QString name = station.name.isEmpty() ? QStringLiteral("-") : station.name;
        for (auto it = station.days.cbegin(); it != station.days.cend(); ++it)
            out += tableRow(name, it.key(), it.value());
        if (station.days.size() > 1)
            out += tableRow(name, QStringLiteral("all days"), station.figures);
    }
    return out;
}

QByteArray json(const SStats& stats)
{
    QJsonObject object = figuresJson(stats.all);
    QJsonArray stations;
    for (const SStats::SStation& station : stats.stations) {
        QJsonObject s = figuresJson(station.figures);
        s.insert(QStringLiteral("station"), station.name);
        QJsonArray days;
        for (auto it = station.days.cbegin(); it != station.days.cend(); ++it) {
            QJsonObject day = figuresJson(it.value());
            day.insert(QStringLiteral("day"), it.key());
            days << day;
        }
        s.insert(QStringLiteral("days"), days);
        stations << s;
    }
    object.insert(QStringLiteral("stations"), stations);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace recordstats
