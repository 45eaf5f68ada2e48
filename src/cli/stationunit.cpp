#include "stationunit.h"

#include "cli/cliexitcodes.h"

#include <QVector>

#include <algorithm>

QString SStationUnit::doneText() const
{
    if (exitCode == cliexit::kOk)
        return QStringLiteral("updated - unplug");
    if (exitCode == cliexit::kUpToDate)
        return QStringLiteral("up to date - unplug");
    return QStringLiteral("%1: %2 - %3").arg(outcome, text, stationRemedy(exitCode, outcome));
}

QString stationRemedy(int exitCode, const QString& outcome)
{
    if (outcome == QLatin1String(SStationUnit::kDuplicate))
        return QStringLiteral("unplug one of them; each unit needs a serial number of its own");
    if (outcome == QLatin1String(SStationUnit::kNotStarted))
        return QStringLiteral("plug it in again at the next run");
    switch (exitCode) {
    case cliexit::kNotUpdatable:
        return QStringLiteral("this tool cannot update it");
    case cliexit::kNoUnit:
        return QStringLiteral("check the cable, switch the unit off and on, plug it in again");
    default:
        return QStringLiteral("switch the unit off and on, plug it in again to repeat");
    }
}

SStationSummary stationSummary(const std::vector<std::unique_ptr<SStationUnit>>& units,
                               const QSet<QString>& startPorts, bool final)
{
    using stationrouting::SUnitRow;
    // A unit plugged in again (to repeat a failed update, or after its update) is one unit:
    // its last attempt says how it ended, and an "up to date" after its own update counts as
    // updated. Units without a serial number cannot be told apart, nor can two units that
    // share one identity: each of those counts on its own.
    struct SAttempts
    {
        const SStationUnit* first = nullptr;
        const SStationUnit* last = nullptr;
        const SStationUnit* updated = nullptr;
    };
    QMap<QString, SAttempts> byUnit;
    SStationSummary sum;
    auto fail = [&](const QString& outcome, const QString& port, quint32 serial,
                    const QString& text) {
        sum.failed[outcome] << (serial != 0
                                    ? QStringLiteral("%1 (%2): %3").arg(port).arg(serial).arg(text)
                                    : QStringLiteral("%1: %2").arg(port, text));
    };
    for (const auto& unit : units) {
        if (unit->superseded)
            continue;
        if (unit->state == SUnitRow::ENoAnswer) {
            fail(unit->outcome, unit->port, 0,
                 QStringLiteral("%1; %2").arg(unit->text, stationRemedy(cliexit::kNoUnit, {})));
            ++sum.firstTried;
            continue;
        }
        if (!unit->started() && final) {
            fail(QLatin1String(SStationUnit::kNotStarted), unit->port, unit->identity.serial,
                 QStringLiteral("never started: the run was ended before its turn"));
            continue;
        }
        const QString key =
            unit->identity.serial != 0 && unit->outcome != QLatin1String(SStationUnit::kDuplicate)
                ? unit->identity.describe()
                : QStringLiteral("#%1").arg(unit->number);
        SAttempts& attempts = byUnit[key];
        if (!attempts.first)
            attempts.first = unit.get();
        attempts.last = unit.get();
        if (unit->exitCode == cliexit::kOk)
            attempts.updated = unit.get();
    }
    if (final)
        for (const QString& port : startPorts)
            fail(QLatin1String(SStationUnit::kNotStarted), port, 0,
                 QStringLiteral("never identified: the run was ended first"));
    QVector<qint64> times;
    for (const SAttempts& attempts : byUnit) {
        const SStationUnit& first = *attempts.first;
        if (first.done()) {
            ++sum.firstTried;
            sum.firstPassed +=
                first.exitCode == cliexit::kOk || first.exitCode == cliexit::kUpToDate;
        }
        const SStationUnit& unit = *attempts.last;
        if (!unit.done()) {
            ++sum.working;
        } else if (attempts.updated &&
                   (unit.exitCode == cliexit::kOk || unit.exitCode == cliexit::kUpToDate)) {
            ++sum.updated;
            times << attempts.updated->durationMs;
        } else if (unit.exitCode == cliexit::kUpToDate) {
            ++sum.upToDate;
        } else {
            fail(unit.outcome, unit.port, unit.identity.serial, unit.text);
        }
    }
    std::sort(times.begin(), times.end());
    sum.medianMs = times.isEmpty() ? 0 : times.at(times.size() / 2);
    for (const QStringList& failed : qAsConst(sum.failed))
        sum.failures += failed.size();
    sum.seen = sum.updated + sum.upToDate + sum.failures + sum.working;
    return sum;
}
