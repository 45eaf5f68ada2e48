#include "stationunit.h"

#include "cli/cliexitcodes.h"

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
