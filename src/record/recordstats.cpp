#include "recordstats.h"

#include "record/productionrecord.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr qint64 kMsPerDay = 86400000;
const QString kUpdated = QStringLiteral("updated");
const QString kUpToDate = QStringLiteral("up-to-date");

// An attempt as the figures sort it.
struct SItem
{
    quint64 unit; // model and serial number, or the attempt's own number without a serial
    qint64 timeMs;
    qint64 day;
    int station; // index into the sorted station names
    int seq;     // order in the record: attempts of the same millisecond keep it
    enum EKind : quint8 { EOther, EUpdated, EUpToDate } kind;
    const SAttempt* attempt;
};

bool byUnit(const SItem& x, const SItem& y)
{
    return x.unit != y.unit       ? x.unit < y.unit
           : x.timeMs != y.timeMs ? x.timeMs < y.timeMs
                                  : x.seq < y.seq;
}

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

// The figures of [first, last), sorted by unit and time.
SFigures figuresOf(std::vector<SItem>::const_iterator first,
                   std::vector<SItem>::const_iterator last)
{
    SFigures f;
    int firstPass = 0;
    std::vector<double> durations;
    for (auto i = first; i != last;) {
        auto end = i;
        bool everUpdated = false;
        for (; end != last && end->unit == i->unit; ++end) {
            if (end->kind == SItem::EUpdated) {
                everUpdated = true;
                durations.push_back(end->attempt->durationS);
            }
        }
        const SItem& lastAttempt = *(end - 1);
        ++f.units;
        firstPass += i->kind == SItem::EUpdated;
        if (lastAttempt.kind == SItem::EUpdated ||
            (lastAttempt.kind == SItem::EUpToDate && everUpdated)) {
            ++f.updated;
        } else if (lastAttempt.kind == SItem::EUpToDate) {
            ++f.upToDate;
        } else {
            ++f.failed;
            const QString& outcome = lastAttempt.attempt->outcome;
            ++f.byOutcome[outcome.isEmpty() ? QStringLiteral("unknown") : outcome];
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
    QHash<QString, quint64> models;
    QHash<QString, int> stationIndex;
    for (const SAttempt& a : attempts)
        if (filter.accepts(a))
            stationIndex.insert(a.station, 0);
    QStringList stationNames = stationIndex.keys();
    std::sort(stationNames.begin(), stationNames.end());
    for (int i = 0; i < stationNames.size(); ++i)
        stationIndex[stationNames.at(i)] = i;

    std::vector<SItem> items;
    items.reserve(size_t(attempts.size()));
    for (const SAttempt& a : attempts) {
        if (!filter.accepts(a))
            continue;
        auto model = models.find(a.model);
        if (model == models.end())
            model = models.insert(a.model, quint64(models.size()));
        const int seq = int(items.size());
        const quint64 unit =
            a.serial != 0 ? (model.value() << 32) | a.serial : (quint64(1) << 63) | quint64(seq);
        const SItem::EKind kind = a.outcome == kUpdated    ? SItem::EUpdated
                                  : a.outcome == kUpToDate ? SItem::EUpToDate
                                                           : SItem::EOther;
        items.push_back(
            {unit, a.timeMs, dayOf(a.timeMs), stationIndex.value(a.station), seq, kind, &a});
    }
    SStats stats;
    std::sort(items.begin(), items.end(), byUnit);
    stats.all = figuresOf(items.cbegin(), items.cend());

    // Per firmware bundle: the attempts made with each release, in the same order.
    QMap<QString, std::vector<SItem>> byBundle;
    for (const SItem& item : items)
        byBundle[item.attempt->bundle].push_back(item);
    for (auto it = byBundle.cbegin(); it != byBundle.cend(); ++it)
        stats.bundles << SStats::SBundle{it.key(), figuresOf(it->cbegin(), it->cend())};

    // Per station, then per station and day: the same figures over each group's attempts.
    std::stable_sort(items.begin(), items.end(),
                     [](const SItem& x, const SItem& y) { return x.station < y.station; });
    for (auto i = items.cbegin(); i != items.cend();) {
        const auto end = std::find_if(
            i, items.cend(), [&](const SItem& item) { return item.station != i->station; });
        SStats::SStation station;
        station.name = stationNames.at(i->station);
        station.figures = figuresOf(i, end);
        stats.stations << station;
        i = end;
    }
    std::stable_sort(items.begin(), items.end(), [](const SItem& x, const SItem& y) {
        return x.station != y.station ? x.station < y.station : x.day < y.day;
    });
    for (auto i = items.cbegin(); i != items.cend();) {
        const auto end = std::find_if(i, items.cend(), [&](const SItem& item) {
            return item.station != i->station || item.day != i->day;
        });
        stats.stations[i->station].days.insert(dayText(i->day), figuresOf(i, end));
        i = end;
    }
    return stats;
}

bool readCsv(const QByteArray& bytes, QVector<SAttempt>& attempts, QString& error)
{
    attempts.clear();
    if (bytes.isEmpty())
        return true; // an empty record: nothing written yet
    const int headerEnd = [&] {
        const int newline = bytes.indexOf('\n');
        return newline < 0 ? bytes.size() : newline + 1;
    }();
    CAttemptReader reader;
    if (!reader.setColumns(bytes.left(headerEnd))) {
        error = QStringLiteral("not a production record: its first line does not name the "
                               "columns time, serial and outcome");
        return false;
    }
    reader.read(bytes.constData() + headerEnd, bytes.size() - headerEnd, attempts);
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
    // Releases of firmware bundles, when any attempt used one.
    if (stats.bundles.size() > 1 ||
        (stats.bundles.size() == 1 && !stats.bundles.first().release.isEmpty())) {
        out += QStringLiteral("\n%1 %2  units  updated  failed  first-pass  last-pass  median s\n")
                   .arg(QStringLiteral("bundle"), -16)
                   .arg(QString(), -10);
        for (const SStats::SBundle& bundle : stats.bundles)
            out +=
                tableRow(bundle.release.isEmpty() ? QStringLiteral("(built in)") : bundle.release,
                         QString(), bundle.figures);
    }
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
    QJsonArray bundles;
    for (const SStats::SBundle& bundle : stats.bundles) {
        QJsonObject b = figuresJson(bundle.figures);
        b.insert(QStringLiteral("bundle"), bundle.release);
        bundles << b;
    }
    object.insert(QStringLiteral("bundles"), bundles);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace recordstats
