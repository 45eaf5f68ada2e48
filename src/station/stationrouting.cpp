#include "stationrouting.h"

namespace stationrouting {

namespace {

bool active(const SUnitRow& row)
{
    return row.state == SUnitRow::EQueued || row.state == SUnitRow::ERunning ||
           row.state == SUnitRow::EWaiting;
}

int lastNoAnswerOn(const std::vector<SUnitRow>& units, const QString& port)
{
    for (int i = int(units.size()) - 1; i >= 0; --i)
        if (units[size_t(i)].state == SUnitRow::ENoAnswer && units[size_t(i)].port == port)
            return i;
    return -1;
}

// The unit of `row` answered on its port since that port was last made anew, and it is still
// there: whoever answers elsewhere with its identity is a second unit.
bool stillOnItsPort(const SUnitRow& row, const SSighting& seen, const SContext& context)
{
    if (row.port == seen.port || row.generation == 0)
        return false;
    const auto it = context.present.constFind(row.port);
    return it != context.present.constEnd() && it.value() == row.generation;
}

} // namespace

SRoute route(const std::vector<SUnitRow>& units, const SSighting& seen, const SContext& context)
{
    if (seen.kind != SSighting::EIdentified) {
        // A port of the start of --all, or one that did not answer at the station, held a unit
        // that was never updated: it counts as failed, never as nothing to do. A port that went
        // away at the station before it answered was only passing (it is asked again when it
        // comes back).
        const bool counts =
            context.takesNewUnits && (seen.kind == SSighting::EUnanswered || !context.stationMode);
        return {counts ? EAction::ENoAnswer : EAction::EIgnore, -1, -1};
    }
    const int supersedes = lastNoAnswerOn(units, seen.port);
    // Without a serial number units cannot be told apart: each sighting is a unit of its own.
    if (seen.identity.serial != 0) {
        for (int i = 0; i < int(units.size()); ++i) {
            const SUnitRow& row = units[size_t(i)];
            if (!active(row) || row.identity != seen.identity)
                continue;
            if (stillOnItsPort(row, seen, context))
                return {EAction::EDuplicate, i, supersedes};
            if (row.state == SUnitRow::EQueued)
                return {EAction::ERequeue, i, supersedes};
            return {EAction::EHandOver, i, supersedes};
        }
        for (int i = int(units.size()) - 1; i >= 0; --i) {
            const SUnitRow& row = units[size_t(i)];
            if (row.state != SUnitRow::EDone || row.identity != seen.identity)
                continue;
            if (stillOnItsPort(row, seen, context))
                return {EAction::EDuplicate, i, supersedes};
            // The update rules would write its application again; it is not written when its
            // latest attempt here left it with exactly the versions it reports now.
            if (row.updated && !row.applAfter.isEmpty() && row.bootAfter == seen.boot &&
                row.applAfter == seen.appl && row.wifiAfter == seen.wifi)
                return {EAction::EUpToDate, i, supersedes};
            break;
        }
    }
    if (!context.takesNewUnits)
        return {EAction::EIgnore, -1, -1};
    return {EAction::ENewUnit, -1, supersedes};
}

} // namespace stationrouting
