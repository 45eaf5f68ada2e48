#pragma once

#include "service/unitidentity.h"

#include <QString>
#include <QStringList>
#include <QUuid>

// What one ventaro-cli invocation asks for, parsed from its arguments.
struct SCliOptions
{
    enum ECommand {
        ENone,
        EList,
        EIdentify,
        EPlan,
        EUpdate,
        ECounters,
        ETimer,
        EPrimLog,
        ESecLog,
        EPartTable,
        EDoctor,
        EStation,
        ERecord,
        EBundle,
    };

    ECommand command = ENone;
    bool help = false; // print `helpText` and exit 0
    QString helpText;  // general or per-command help
    QString port;      // --port: the port to open; empty = the last ventaro port found
    bool verbose = false;
    bool json = false;

    // plan and update
    bool forceBoot = false;
    bool forceAppl = false;
    QString serial;       // --serial: decimal; empty when not given
    int startupMode = -1; // --startup-mode 0-255, -1 when not given
    QString recordFile;   // --record: a CSV file or a postgresql:// URI
    QString spoolFile;    // --spool: where database lines wait; empty = the default
    int rebootTimeoutS = 120;
    QString stationName;  // --station: a column of the production record
    QString operatorName; // --operator: a column of the production record

    // update --all and station: every unit, at most `jobs` at a time (0: no limit)
    bool all = false;
    int jobs = 0;
    // --http [ADDR:]PORT: the live page; port -1 when not given, 0 for any free port
    QString httpAddress = QStringLiteral("127.0.0.1");
    int httpPort = -1;
    QStringList httpNames;   // --http-name, in lower case
    QStringList httpOrigins; // --http-origin, as a browser sends them ("https://station.plant")
    // update run by `update --all` or `station` for one unit: no lock of its own (the
    // coordinator holds it), ports handed over on stdin ("port NAME") while it waits for the
    // unit to come back.
    bool worker = false;
    bool expectGiven = false; // worker: --expect, the unit it is for
    SUnitIdentity expected;
    QUuid attemptId; // worker: --attempt, the attempt's key as its coordinator made it

    // --bundle: update and station flash the images of this signed firmware bundle; a worker
    // is also given the SHA-256 of the file its coordinator checked (--bundle-sha256).
    QString bundleFile;
    QString bundleSha256;

    // bundle verify FILE | bundle make FOLDER
    enum EBundleAction { EBundleNone, EBundleVerify, EBundleMake };
    EBundleAction bundleAction = EBundleNone;
    QString bundlePath;  // the .vfw to verify, or the folder of images to make a release of
    QString release;     // make: --release
    qint64 counter = -1; // make: --counter, -1 when not given
    QString notesEn, notesDe;
    QString signKey; // make: --sign SECRETKEY
    QString outFile; // make: --out FILE.vfw

    // record init|sync|stats
    enum ERecordAction { ERecordNone, ERecordInit, ERecordSync, ERecordStats };
    ERecordAction recordAction = ERecordNone;
    bool sinceGiven = false; // stats --since
    qint64 sinceMs = 0;      // milliseconds since 1970 UTC

    // seclog
    int span = -1;    // 0 quarter hour, 1 day, 2 month
    int youngest = 0; // 0, 10 or 100
    int oldest = 0;   // 0, 10 or 100

    // primlog and seclog: the text report, or the decoded entries as CSV or JSON
    enum EFormat { EText, ECsv, EJson };
    EFormat format = EText;
    // seclog --plot: the chart as a PNG file of plotWidth x plotHeight pixels
    QString plotFile;
    int plotWidth = 1200;
    int plotHeight = 600;
};

// Parses the arguments (program path first). False with `error` set when they are not
// understood; `help` set means print `helpText` and stop.
[[nodiscard]] // "8080", "0.0.0.0:8080", "[::1]:8080", "localhost:8080" into an address and a port
// (0 to 65535; 0 takes any free one); false with the reason.
bool parseHttpAddress(const QString& text, QString& address, int& port, QString& error);

bool parseCliArguments(const QStringList& arguments, SCliOptions& options, QString& error);

// The command's name as typed ("seclog"), or empty for ENone.
QString commandName(SCliOptions::ECommand command);
