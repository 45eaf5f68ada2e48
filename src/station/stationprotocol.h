#pragma once

#include "device/hlprecords.h"
#include "service/unitidentity.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

// Between the station's coordinator and its worker processes. A worker (`update --worker` on one
// unit's port, bound to that unit's identity by --expect, or `identify --worker`, the probe that
// asks a new port for its unit) writes one JSON object per line on stdout, each with an "event"
// key; the coordinator writes lines to the update worker's stdin: hand-overs, and the request
// to stop (a worker ignores the stop signals, which are the coordinator's).
//
// Only one side opens a port at a time: the coordinator probes a port only while no worker works
// on it, and a worker waiting for its unit to come back opens only the port the coordinator
// handed to it for that very wait. Each wait is numbered (the "wait" key of its "waiting"
// event, from 1); a hand-over names the wait it answers, so one meant for an earlier wait is
// never used for a later one.
namespace stationprotocol {

// Keys of the worker's events.
inline constexpr char kEvent[] = "event";
inline constexpr char kMs[] = "ms";
inline constexpr char kStep[] = "step";
inline constexpr char kPercent[] = "percent";
inline constexpr char kWait[] = "wait";
inline constexpr char kModel[] = "model";
inline constexpr char kUnitSerial[] = "unitSerial";
inline constexpr char kBoard[] = "board";
inline constexpr char kOutcome[] = "outcome";
inline constexpr char kText[] = "text";
inline constexpr char kBootAfter[] = "bootAfter";
inline constexpr char kApplAfter[] = "applAfter";
inline constexpr char kWifiAfter[] = "wifiAfter";
inline constexpr char kIdent[] = "ident";

// Event names. The coordinator reads the first five; it passes every event on to its output.
inline constexpr char kStepEvent[] = "step";
inline constexpr char kProgressEvent[] = "progress";
inline constexpr char kWaitingEvent[] = "waiting";
inline constexpr char kResultEvent[] = "result";
inline constexpr char kIdentifiedEvent[] = "identified";
inline constexpr char kStateEvent[] = "state";
inline constexpr char kStatusEvent[] = "status";
inline constexpr char kMessageEvent[] = "message";
inline constexpr char kVerifiedEvent[] = "verified";
inline constexpr char kStoppingEvent[] = "stopping";
inline constexpr char kRecordEvent[] = "record";

// What every update worker of a station is told on its command line, besides its port.
struct SWorkerSettings
{
    bool verbose = false;
    bool forceBoot = false;
    bool forceAppl = false;
    int startupMode = -1; // -1: none
    int rebootTimeoutS = 120;
    QString stationName, operatorName;
    QStringList recordArguments; // --record and --spool, when there is a record
    QStringList bundleArguments; // --bundle and --bundle-sha256, with a firmware bundle
};

// The arguments of the update worker for the unit on `port` and its attempt, and of the probe
// that asks `port` who is there.
QStringList updateArguments(const QString& port, const SUnitIdentity& unit, const QUuid& attempt,
                            const SWorkerSettings& settings);
// --expect's value for `unit`: "plus,60001,3" (model, serial number, board), and back.
QString expectText(const SUnitIdentity& unit);
[[nodiscard]] bool parseExpect(const QString& text, SUnitIdentity& unit);
QStringList probeArguments(const QString& port, bool verbose);

// One JSON object on one line, with its line break: the form of every event line (and of every
// --json output of ventaro-cli).
QString jsonLine(const QJsonObject& object);
// The whole lines at the front of `buffer`, taken out of it (without their line breaks); an
// unfinished last line stays for the next bytes.
QList<QByteArray> takeLines(QByteArray& buffer);

// "stop": the update is to end after its current packet (the unit counts as not updated);
// "stop duplicate TEXT": so, since a twin of its unit turned up (TEXT says where).
QByteArray stopLine(const QString& duplicate = QString());
bool isStop(const QByteArray& line, QString* duplicate = nullptr);

// "port WAIT NAME": the unit of wait number WAIT is on port NAME.
QByteArray handOverLine(int wait, const QString& port);
// False for any other line; `wait` is at least 1 and `port` not empty when true.
[[nodiscard]] bool parseHandOver(const QByteArray& line, int& wait, QString& port);

// The probe's answer: the identity record as the unit sent it, in hex.
QByteArray identLine(const SHLP_IdentData& ident);
// False when `event` is no probe answer or its record has the wrong size.
[[nodiscard]] bool parseIdent(const QJsonObject& event, SHLP_IdentData& ident);

} // namespace stationprotocol
