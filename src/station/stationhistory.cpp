#include "stationhistory.h"

#include "service/exitcodes.h"
#include "station/stationoutput.h"

#include <algorithm>

using stationrouting::SUnitRow;

namespace {

quint64 identityKey(const SUnitIdentity& identity)
{
    return (quint64(identity.plus) << 40) | (quint64(quint8(identity.board)) << 32) |
           identity.serial;
}

// Boards are numbered in a byte on the unit; one out of that range is not remembered.
bool remembered(const SUnitIdentity& identity)
{
    return identity.serial != 0 && identity.board >= 0 && identity.board <= 0xff;
}

bool passed(int exitCode)
{
    return exitCode == cliexit::kOk || exitCode == cliexit::kUpToDate;
}

// Units without a serial number cannot be told apart, nor can two units that share one
// identity: each of those attempts is a unit of its own.
bool ownUnit(const SStationUnit& unit)
{
    return unit.identity.serial == 0 || unit.outcome == QLatin1String(SStationUnit::kDuplicate);
}

QString keyText(const SStationUnit& unit)
{
    return ownUnit(unit) ? QStringLiteral("#%1").arg(unit.number) : unit.identity.describe();
}

QString failureText(const QString& port, quint32 serial, const QString& text)
{
    return serial != 0 ? QStringLiteral("%1 (%2): %3").arg(port).arg(serial).arg(text)
                       : QStringLiteral("%1: %2").arg(port, text);
}

QString noAnswerText(const SStationUnit& unit)
{
    return failureText(
        unit.port, 0, QStringLiteral("%1; %2").arg(unit.text, stationRemedy(cliexit::kNoUnit, {})));
}

int bin(qint32 ms)
{
    return std::clamp(ms / 100, 0, (1 << 16) - 1);
}

} // namespace

CStationHistory::CStationHistory() : m_TimeTree(size_t(kBins) + 1, 0), m_Strings{QString()} {}

quint16 CStationHistory::shared(const QString& text)
{
    // Ports, versions and outcomes are few over a shift: one copy of each. (Beyond what an
    // index holds, a text is not kept: a unit is then written again rather than passed over.)
    if (text.isEmpty())
        return 0;
    const auto it = m_StringIndex.constFind(text);
    if (it != m_StringIndex.constEnd())
        return *it;
    if (m_Strings.size() > 0xffff)
        return 0;
    m_StringIndex.insert(text, quint16(m_Strings.size()));
    m_Strings.push_back(text);
    return quint16(m_Strings.size() - 1);
}

const CStationHistory::SEntry* CStationHistory::entry(quint64 key) const
{
    const auto it = std::lower_bound(m_Sorted.cbegin(), m_Sorted.cend(), key,
                                     [](const SEntry& e, quint64 k) { return e.key() < k; });
    if (it != m_Sorted.cend() && it->key() == key)
        return &*it;
    for (const SEntry& e : m_Recent)
        if (e.key() == key)
            return &e;
    return nullptr;
}

CStationHistory::SEntry* CStationHistory::entry(quint64 key, bool make)
{
    if (auto* found = const_cast<SEntry*>(std::as_const(*this).entry(key)))
        return found;
    if (!make)
        return nullptr;
    constexpr size_t kRecent = 256;
    if (m_Recent.size() == kRecent) {
        // Merged in: a few hundred moves per unit on average, and an eighth spare at most.
        std::sort(m_Recent.begin(), m_Recent.end(),
                  [](const SEntry& a, const SEntry& b) { return a.key() < b.key(); });
        if (m_Sorted.capacity() < m_Sorted.size() + kRecent)
            m_Sorted.reserve(m_Sorted.size() + m_Sorted.size() / 8 + kRecent);
        const auto middle =
            m_Sorted.insert(m_Sorted.end(), m_Recent.begin(), m_Recent.end()) - m_Sorted.begin();
        std::inplace_merge(m_Sorted.begin(), m_Sorted.begin() + middle, m_Sorted.end(),
                           [](const SEntry& a, const SEntry& b) { return a.key() < b.key(); });
        m_Recent.clear();
    }
    SEntry made;
    made.serial = quint32(key);
    made.board = quint8(key >> 32);
    made.plus = (key >> 40) & 1;
    m_Recent.push_back(made);
    return &m_Recent.back();
}

template <typename Visit>
void CStationHistory::forEachEntry(Visit&& visit) const
{
    for (const SEntry& e : m_Sorted)
        visit(e);
    for (const SEntry& e : m_Recent)
        visit(e);
}

CStationHistory::SPart CStationHistory::partOf(const SEntry& entry)
{
    // Its latest attempt says how it ended, and an "up to date" after its own update counts as
    // updated.
    SPart part;
    if (entry.last == ENotEnded)
        return part;
    if (entry.updatedMs >= 0 && entry.last != EFailed) {
        part.updated = 1;
        part.ms = entry.updatedMs;
    } else if (entry.last == EUpToDate) {
        part.upToDate = 1;
    } else {
        part.failures = 1;
    }
    return part;
}

void CStationHistory::count(const SPart& part, int sign)
{
    m_Updated += sign * part.updated;
    m_UpToDate += sign * part.upToDate;
    m_Failures += sign * part.failures;
    if (part.updated)
        addTime(part.ms, sign);
}

void CStationHistory::ended(const SStationUnit& unit)
{
    ++m_Version;
    const bool counts = !unit.superseded && !unit.gone();
    if (remembered(unit.identity)) {
        const quint64 key = identityKey(unit.identity);
        SEntry& entry = *this->entry(key, true);
        if (unit.number > entry.routedNumber) {
            entry.routedNumber = unit.number;
            entry.updated = passed(unit.exitCode);
            entry.place = shared(
                unit.applAfter.isEmpty()
                    ? unit.port
                    : QStringList{unit.port, unit.bootAfter, unit.applAfter, unit.wifiAfter}.join(
                          QLatin1Char('\n')));
            endedOn(unit.port, key, unit.generation);
        }
        if (counts && !ownUnit(unit)) {
            count(partOf(entry), -1);
            if (entry.last == ENotEnded) {
                ++m_FirstTried;
                m_FirstPassed += passed(unit.exitCode);
            } else if (entry.last == EFailed) {
                m_EntryFailed.remove(key);
            }
            if (unit.exitCode == cliexit::kOk)
                entry.updatedMs = qint32(unit.durationMs);
            entry.last = unit.exitCode == cliexit::kOk         ? EOk
                         : unit.exitCode == cliexit::kUpToDate ? EUpToDate
                                                               : EFailed;
            if (entry.last == EFailed)
                m_EntryFailed.insert(
                    key, {shared(unit.outcome),
                          failureText(unit.port, unit.identity.serial, unit.text).toUtf8()});
            count(partOf(entry), +1);
            return;
        }
    }
    if (!counts)
        return;
    // A unit of its own: its one attempt is its first and its last.
    ++m_FirstTried;
    m_FirstPassed += passed(unit.exitCode);
    if (unit.exitCode == cliexit::kOk) {
        ++m_Updated;
        addTime(qint32(unit.durationMs), +1);
        m_OtherTimes.push_back(qint32(unit.durationMs));
    } else if (unit.exitCode == cliexit::kUpToDate) {
        ++m_UpToDate;
    } else {
        ++m_Failures;
        m_Failed[unit.outcome].insert(keyText(unit),
                                      failureText(unit.port, unit.identity.serial, unit.text));
    }
}

void CStationHistory::countNoAnswer(const SStationUnit& unit)
{
    ++m_Version;
    ++m_FirstTried;
    ++m_Failures;
    m_RowsFailed[unit.outcome].insert(unit.number, noAnswerText(unit));
}

bool CStationHistory::latest(const SUnitIdentity& identity, SUnitRow& row) const
{
    if (!remembered(identity))
        return false;
    const SEntry* found = entry(identityKey(identity));
    if (!found || found->routedNumber == 0)
        return false;
    row = SUnitRow();
    row.state = SUnitRow::EDone;
    row.identity = identity;
    row.updated = found->updated;
    const QStringList place = text(found->place).split(QLatin1Char('\n'));
    row.port = place[0];
    if (place.size() == 4) {
        row.bootAfter = place[1];
        row.applAfter = place[2];
        row.wifiAfter = place[3];
    }
    const auto onPort = m_OnPort.constFind(row.port);
    if (onPort != m_OnPort.constEnd())
        for (const SOnPort& on : *onPort)
            if (on.key == found->key())
                row.generation = on.generation;
    return true;
}

void CStationHistory::endedOn(const QString& port, quint64 key, quint64 generation)
{
    std::vector<SOnPort>& ended = m_OnPort[port];
    ended.erase(std::remove_if(ended.begin(), ended.end(),
                               [key](const SOnPort& on) { return on.key == key; }),
                ended.end());
    if (int(ended.size()) == kKeptOnPort)
        ended.erase(ended.begin());
    ended.push_back({key, generation});
}

void CStationHistory::prune(SUnits& units, CStationOutput& output)
{
    // From the latest back: the finished attempts the page shows, and each port's latest
    // no-answer row.
    std::vector<bool> keep(units.size(), true);
    int done = 0;
    QSet<QString> noAnswerPorts;
    bool dropping = false;
    for (size_t i = units.size(); i-- > 0;) {
        const SStationUnit& unit = *units[i];
        if (unit.superseded) {
            keep[i] = false; // it counts no more
        } else if (unit.state == SUnitRow::ENoAnswer) {
            if (noAnswerPorts.contains(unit.port)) {
                keep[i] = false;
                countNoAnswer(unit);
            }
            noAnswerPorts.insert(unit.port);
        } else if (unit.done()) {
            keep[i] = ++done <= kKeptDone;
        }
        dropping = dropping || !keep[i];
    }
    if (!dropping)
        return;
    size_t next = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        if (keep[i]) {
            units[next++] = std::move(units[i]);
            continue;
        }
        output.forget(*units[i]);
    }
    units.resize(next);
}

void CStationHistory::addTime(qint32 ms, int sign)
{
    m_Times += sign;
    for (int i = bin(ms) + 1; i <= kBins; i += i & -i)
        m_TimeTree[size_t(i)] += sign;
}

qint64 CStationHistory::medianTime(const std::vector<int>& without) const
{
    // As stationSummary() takes it: the time at half the count, rounded down, in sorted order;
    // `without` are bins of times not to be counted.
    const int count = m_Times - int(without.size());
    if (count <= 0)
        return 0;
    int rank = count / 2 + 1; // 1-based
    int position = 0;
    for (int step = kBins; step > 0; step >>= 1) {
        const int next = position + step;
        if (next > kBins)
            continue;
        // The tree's node `next` holds the bins from `position` up to `next` (1-based).
        int inside = m_TimeTree[size_t(next)];
        for (int excluded : without)
            inside -= excluded + 1 > position && excluded + 1 <= next;
        if (inside < rank) {
            position = next;
            rank -= inside;
        }
    }
    return qint64(position) * 100; // the bin's lower end
}

SStationSummary CStationHistory::summary(const SUnits& units, const QSet<QString>& startPorts,
                                         bool final) const
{
    // What the figures are made of besides what ended: the rows kept and where they stand.
    quint64 signature = m_Version * 0x9e3779b97f4a7c15ULL;
    auto mix = [&signature](quint64 value) { signature = (signature ^ value) * 0x100000001b3ULL; };
    for (const auto& unit : units) {
        mix((quint64(unit->number) << 8) | (quint64(unit->state) << 1) | quint64(unit->superseded));
        mix((quint64(unit->identity.plus) << 63) | (quint64(quint32(unit->identity.board)) << 32) |
            unit->identity.serial);
    }
    if (!final && signature == m_CachedFor && signature != 0)
        return m_Cached;
    SStationSummary sum;
    sum.updated = m_Updated;
    sum.upToDate = m_UpToDate;
    sum.failures = m_Failures;
    sum.firstTried = m_FirstTried;
    sum.firstPassed = m_FirstPassed;
    QMap<QString, QMap<int, QString>> rowsFailed;
    QMap<QString, QMap<QString, QString>> failed;
    if (final) {
        rowsFailed = m_RowsFailed;
        failed = m_Failed;
    }
    // Units at work count as such, whatever their earlier attempts did.
    QSet<quint64> atWork;
    std::vector<int> notTimed; // the bins of updated units at work again
    for (const auto& unitPointer : units) {
        const SStationUnit& unit = *unitPointer;
        if (unit.superseded || unit.done())
            continue;
        if (unit.state == SUnitRow::ENoAnswer) {
            ++sum.firstTried;
            ++sum.failures;
            if (final)
                rowsFailed[unit.outcome].insert(unit.number, noAnswerText(unit));
            continue;
        }
        if (!unit.started() && final) {
            ++sum.failures;
            rowsFailed[QLatin1String(SStationUnit::kNotStarted)].insert(
                unit.number,
                failureText(unit.port, unit.identity.serial,
                            QStringLiteral("never started: the run was ended before its turn")));
            continue;
        }
        ++sum.working;
        if (!remembered(unit.identity))
            continue;
        const quint64 key = identityKey(unit.identity);
        const SEntry* it = entry(key);
        if (!it || it->last == ENotEnded || atWork.contains(key))
            continue;
        atWork.insert(key);
        const SPart part = partOf(*it);
        sum.updated -= part.updated;
        sum.upToDate -= part.upToDate;
        sum.failures -= part.failures;
        if (part.updated)
            notTimed.push_back(bin(part.ms));
    }
    if (final) {
        for (auto it = rowsFailed.cbegin(); it != rowsFailed.cend(); ++it)
            for (const QString& text : it.value())
                sum.failed[it.key()] << text;
        for (const QString& port : startPorts) {
            sum.failed[QLatin1String(SStationUnit::kNotStarted)] << failureText(
                port, 0, QStringLiteral("never identified: the run was ended first"));
            ++sum.failures;
        }
        for (auto it = m_EntryFailed.cbegin(); it != m_EntryFailed.cend(); ++it) {
            if (atWork.contains(it.key()))
                continue;
            const SUnitIdentity identity{bool((it.key() >> 40) & 1), quint32(it.key()),
                                         int(quint8(it.key() >> 32))};
            failed[text(it->outcome)].insert(identity.describe(), QString::fromUtf8(it->text));
        }
        for (auto it = failed.cbegin(); it != failed.cend(); ++it)
            for (const QString& text : it.value())
                sum.failed[it.key()] << text;
        // Exact at the end, from every updated unit's time.
        std::vector<qint32> times = m_OtherTimes;
        forEachEntry([&](const SEntry& e) {
            const SPart part = partOf(e);
            if (part.updated && !atWork.contains(e.key()))
                times.push_back(part.ms);
        });
        if (!times.empty()) {
            std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
            sum.medianMs = times[times.size() / 2];
        }
        for (auto it = sum.failed.begin(); it != sum.failed.end();)
            it = it->isEmpty() ? sum.failed.erase(it) : it + 1;
    } else {
        sum.medianMs = medianTime(notTimed);
    }
    sum.seen = sum.updated + sum.upToDate + sum.failures + sum.working;
    if (!final) {
        m_CachedFor = signature;
        m_Cached = sum;
    }
    return sum;
}
