#pragma once

#include "service/unitidentity.h"

#include <QHash>
#include <QString>

#include <vector>

// Where a port the station has looked at belongs: the one place that decides, over the plain
// table of the units the station knows, so that a table test drives it without processes.
// Units are told apart by identity; a port name only says where a unit is now, and the kernel
// hands it to the next unit. A unit is still on its old port only while that port has the
// generation it had when the unit was identified there.
namespace stationrouting {

// A unit the station knows, as the routing sees it.
struct SUnitRow
{
    enum EState {
        EQueued,   // identified, waiting for its turn
        ERunning,  // its worker works on `port`
        EWaiting,  // its worker waits for it to come back from a restart
        EDone,     // its attempt ended
        ENoAnswer, // a port that never told who was on it (no identity)
    };
    EState state = EQueued;
    SUnitIdentity identity;
    QString port;
    quint64 generation = 0; // of `port` when the unit was last identified there
    // EDone: the attempt left the unit updated (or up to date) reporting these versions.
    bool updated = false;
    QString bootAfter, applAfter, wifiAfter;
};

// What the station learnt about a port.
struct SSighting
{
    enum EKind {
        EIdentified, // the unit on `port` answered with `identity` and these versions
        EUnanswered, // it did not answer the last of its tries
        EVanished,   // the port went away before its unit answered
    };
    EKind kind = EIdentified;
    QString port;
    quint64 generation = 0; // of the port when it was asked
    SUnitIdentity identity;
    QString boot, appl, wifi;
};

struct SContext
{
    bool takesNewUnits = true;       // false once the end was asked for, and with --all for a port
                                     // that was not there at the start
    bool stationMode = false;        // `station` rather than `update --all`
    QHash<QString, quint64> present; // the ventaro ports there now, with their generations
};

enum class EAction {
    ENewUnit,   // an update of its own
    EUpToDate,  // updated here before and still as its update left it: written nothing
    EHandOver,  // the unit of row `unit`, back after a restart: its worker goes on with it here
    ERequeue,   // the unit of queued row `unit`, plugged in again: it keeps its place, here
    EDuplicate, // the identity of row `unit`, which is there at once on another port: two units
                // with one identity; neither is updated
    ENoAnswer,  // a unit that was to be updated and never said who it is: a failed unit
    EIgnore,    // nothing to do
};

struct SRoute
{
    EAction action = EAction::EIgnore;
    int unit = -1;       // the row acted on (see EAction); EUpToDate: the attempt that updated it
    int supersedes = -1; // a no-answer row of the same port, now answered: it no longer counts
    bool operator==(const SRoute& o) const
    {
        return action == o.action && unit == o.unit && supersedes == o.supersedes;
    }
};

SRoute route(const std::vector<SUnitRow>& units, const SSighting& seen, const SContext& context);

} // namespace stationrouting
