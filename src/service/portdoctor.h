#pragma once

#include "service/portenumerator.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Why a ventaro unit cannot be found or opened on this machine, and what to do about it: the
// udev rule, access to each ventaro port, ModemManager, other programs holding a port open and
// how discovery hears about new ports. Widget-free; ventaro-cli doctor prints the report and
// the dialog's debug log shows the port checks when a port does not open.

// Everything the checks look at, so that tests can describe a machine. system() reads this one.
struct SDoctorInput
{
    // udev's rule folders, the one that wins for a file name first.
    QStringList rulesDirs;
    QString procRoot;       // where the processes are listed (/proc)
    qint64 ownPid = 0;      // this process: its open ports do not count
    uint uid = 0;           // the user the checks are for
    QList<uint> groups;     // the user's group ids, primary group included
    bool hasSeat = false;   // logged in at a local seat: udev's uaccess tag grants access
    bool udevRuns = false;  // discovery can follow udev instead of polling
    QList<SPortInfo> ports; // the ventaro ports present
    // A udev property of a port ("ID_MM_DEVICE_IGNORE"); empty when unset or unknown.
    std::function<QString(const QString& portName, const QString& key)> udevProperty;

    static SDoctorInput system();
};

struct SDoctorCheck
{
    enum EStatus { EOk, ENote, EProblem };

    QString id; // stable key for scripts: "udev-rule", "access:ttyACM0", ...
    EStatus status = EOk;
    QString text; // what was found
    QString fix;  // what to do; empty when nothing is to be done
};

namespace portdoctor {

// The file name of the rule, and what it must say for a unit to be usable.
inline constexpr const char* kRuleName = "60-ventaro.rules";

// Where a port's device node is: a full path stays, a short name lives in /dev.
QString nodePath(const QString& portName);

// Every check, in the order they are printed.
QList<SDoctorCheck> runAll(const SDoctorInput& in);
// The checks about one port (access, held open, ModemManager); for the log when it will not
// open.
QList<SDoctorCheck> portChecks(const SDoctorInput& in, const QString& portName);
bool anyProblem(const QList<SDoctorCheck>& checks);

// Processes (other than in.ownPid) with `node` open: "ModemManager (pid 812)". `unreadable`
// (when given) counts the processes whose open files could not be read.
QStringList holders(const SDoctorInput& in, const QString& node, int* unreadable = nullptr);
// Whether a process of that name runs.
bool processRuns(const SDoctorInput& in, const QString& name);

} // namespace portdoctor
