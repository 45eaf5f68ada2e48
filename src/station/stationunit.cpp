#include "stationunit.h"

#include "service/exitcodes.h"
#include "station/stationprotocol.h"

#include <QJsonObject>
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

bool SStationUnit::apply(const QJsonObject& event)
{
    namespace proto = stationprotocol;
    const QString name = event.value(QLatin1String(proto::kEvent)).toString();
    if (name == QLatin1String(proto::kStepEvent)) {
        step = event.value(QLatin1String(proto::kStep)).toString();
        percent = 0;
    } else if (name == QLatin1String(proto::kProgressEvent)) {
        percent = event.value(QLatin1String(proto::kPercent)).toInt();
    } else if (name == QLatin1String(proto::kWaitingEvent)) {
        // The unit restarts; the worker waits for it, bound to this identity (with the serial
        // number it may have written), and opens only the port handed to this wait.
        state = stationrouting::SUnitRow::EWaiting;
        wait = event.value(QLatin1String(proto::kWait)).toInt();
        step = QStringLiteral("waiting for the restart");
        identity.plus =
            event.value(QLatin1String(proto::kModel)).toString() == SUnitIdentity::modelName(true);
        identity.serial = quint32(event.value(QLatin1String(proto::kUnitSerial)).toDouble());
        identity.board = event.value(QLatin1String(proto::kBoard)).toInt();
        return true;
    } else if (name == QLatin1String(proto::kResultEvent)) {
        outcome = event.value(QLatin1String(proto::kOutcome)).toString();
        text = event.value(QLatin1String(proto::kText)).toString();
        bootAfter = event.value(QLatin1String(proto::kBootAfter)).toString();
        applAfter = event.value(QLatin1String(proto::kApplAfter)).toString();
        wifiAfter = event.value(QLatin1String(proto::kWifiAfter)).toString();
    }
    return false;
}

void SStationUnit::workerEnded(int code, const QString& failure, const QString& lastError)
{
    // Any end without a result of its own is a failure, with the reason known.
    if (!failure.isEmpty() || outcome.isEmpty()) {
        exitCode = code == cliexit::kOk || code < 0 ? cliexit::kTransferFailed : code;
        outcome = QLatin1String(kWorkerFailed);
        text = !failure.isEmpty()     ? failure
               : !lastError.isEmpty() ? lastError
                                      : QStringLiteral("the worker ended without a result");
    } else {
        exitCode = code;
    }
    if (!duplicateText.isEmpty() && exitCode != cliexit::kOk) {
        exitCode = cliexit::kNotUpdatable;
        outcome = QLatin1String(kDuplicate);
        text = duplicateText;
    }
}

QString stationRemedy(int exitCode, const QString& outcome)
{
    if (outcome == QLatin1String(SStationUnit::kDuplicate))
        return QStringLiteral("unplug one of them; each unit needs a serial number of its own");
    if (outcome == QLatin1String(SStationUnit::kNotStarted))
        return QStringLiteral("plug it in again at the next run");
    if (outcome == QLatin1String(SStationUnit::kGone))
        return QStringLiteral("plug it in again to update it");
    switch (exitCode) {
    case cliexit::kNotUpdatable:
        return QStringLiteral("this tool cannot update it");
    case cliexit::kNoUnit:
        return QStringLiteral("check the cable, switch the unit off and on, plug it in again");
    case cliexit::kRecordFailed:
        return QStringLiteral("make the record writable (disk, rights), then plug it in again");
    default:
        return QStringLiteral("switch the unit off and on, plug it in again to repeat");
    }
}

namespace {

// A unit's attempts, as the summary needs them.
struct SAttempts
{
    const SStationUnit* first = nullptr;
    const SStationUnit* last = nullptr;
    const SStationUnit* updated = nullptr;
};

void addFailure(SStationSummary& sum, const QString& outcome, const QString& port, quint32 serial,
                const QString& text)
{
    sum.failed[outcome] << (serial != 0
                                ? QStringLiteral("%1 (%2): %3").arg(port).arg(serial).arg(text)
                                : QStringLiteral("%1: %2").arg(port, text));
}

// A unit plugged in again (to repeat a failed update, or after its update) is one unit: its
// attempts by unit. Units without a serial number cannot be told apart, nor can two units that
// share one identity: each of those counts on its own. Rows that are no attempt of a unit (a
// port that never answered, a unit never started) are counted as failures here.
QMap<QString, SAttempts> attemptsByUnit(const std::vector<std::unique_ptr<SStationUnit>>& units,
                                        bool final, SStationSummary& sum)
{
    using stationrouting::SUnitRow;
    QMap<QString, SAttempts> byUnit;
    for (const auto& unit : units) {
        if (unit->superseded || unit->gone())
            continue;
        if (unit->state == SUnitRow::ENoAnswer) {
            addFailure(
                sum, unit->outcome, unit->port, 0,
                QStringLiteral("%1; %2").arg(unit->text, stationRemedy(cliexit::kNoUnit, {})));
            ++sum.firstTried;
            continue;
        }
        if (!unit->started() && final) {
            addFailure(sum, QLatin1String(SStationUnit::kNotStarted), unit->port,
                       unit->identity.serial,
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
    return byUnit;
}

} // namespace

SStationSummary stationSummary(const std::vector<std::unique_ptr<SStationUnit>>& units,
                               const QSet<QString>& startPorts, bool final)
{
    // A unit's last attempt says how it ended, and an "up to date" after its own update counts
    // as updated.
    SStationSummary sum;
    const QMap<QString, SAttempts> byUnit = attemptsByUnit(units, final, sum);
    if (final)
        for (const QString& port : startPorts)
            addFailure(sum, QLatin1String(SStationUnit::kNotStarted), port, 0,
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
            addFailure(sum, unit.outcome, unit.port, unit.identity.serial, unit.text);
        }
    }
    std::sort(times.begin(), times.end());
    sum.medianMs = times.isEmpty() ? 0 : times.at(times.size() / 2);
    for (const QStringList& failed : qAsConst(sum.failed))
        sum.failures += failed.size();
    sum.seen = sum.updated + sum.upToDate + sum.failures + sum.working;
    return sum;
}
