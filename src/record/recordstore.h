#pragma once

#include "record/productionrecord.h"
#include "record/serialclaim.h"

#include <QString>

#include <memory>

// Where finished attempts go: a CSV file (the default), or a PostgreSQL database through a local
// spool. Writing is the durable part: once `write` returns true the line survives a crash and a
// power cut, and the unit's outcome may be given; `send` hands what waits to the database.
class CRecordSink
{
public:
    enum ECheck {
        ELocal, // the file or the spool can be written (a station's worker: the coordinator
                // checked the rest)
        EFull,  // and the database answers and holds this tool's schema
    };
    enum ESerial { ESerialFree, ESerialTaken, ESerialUnknown };
    enum ESend {
        EAll, // every line waiting in the spool
        EOwn, // the lines this sink wrote (a station's worker: its coordinator sends the rest,
              // so sixteen workers do not each send every other worker's line too)
    };

    virtual ~CRecordSink() = default;

    [[nodiscard]] virtual bool check(ECheck what, QString& error) = 0;
    [[nodiscard]] virtual bool write(const SProductionRecord& record, QString& error) = 0;
    // Sends lines waiting in the spool; the number of those still waiting (0 for a file).
    virtual int send(ESend what = EAll) = 0;
    // Lines waiting for the database, without trying to send (0 for a file).
    virtual int waiting() = 0;
    // Why the last send did not reach the database, empty after a good one.
    virtual QString sendError() const = 0;
    // Something the last write found and mended (a torn last line ended), to be shown; empty
    // when there was nothing.
    virtual QString takeNotice() { return {}; }
    // Reserves the claim's number before it is written into the unit: ESerialFree when it is the
    // attempt's now, ESerialTaken when another unit holds it (`text` names where and when),
    // ESerialUnknown when the record cannot be asked (`text` says why). A file holds a number
    // once one of its lines carries it.
    virtual ESerial reserveSerial(const SSerialClaim& claim, QString& text) = 0;
    // The highest security counter of a firmware bundle the plant's record holds (a database
    // only: 0 for a file); false with `error` when the database cannot be asked.
    [[nodiscard]] virtual bool highestBundleCounter(qint64& counter, QString& error)
    {
        (void)error;
        counter = 0;
        return true;
    }
};

namespace recordstore {

// The sink for a --record value (a file name or a postgresql:// URI) and a --spool path
// (empty: the default for that database). Null with `error` set for a URI it will not use.
std::unique_ptr<CRecordSink> open(const QString& record, const QString& spool, QString& error);

// The spool a --record value and --spool path mean, empty for a CSV file: what a station hands
// its workers, so all of them share one.
QString spoolPath(const QString& record, const QString& spool);

// The default spool of `record` as releases before named it (after the URI as written), for
// `record sync` to empty; empty for a CSV file.
QString olderSpoolPath(const QString& record);

// The text of a serial number refused since the record could not be asked (`why`).
QString serialUnknownText(quint32 serial, const QString& why);

// The text a serial number refused for being given before shows, naming where and when.
QString serialTakenText(quint32 serial, const QString& where, const QDateTime& when);

// A serial number the dialog is about to write into a unit, reserved in `record` (a file name or
// a postgresql:// URI; an empty value never refuses): false with `text` set when another unit
// holds it or the record cannot be asked.
[[nodiscard]] bool reserveSerial(const QString& record, const SSerialClaim& claim, QString& text);

} // namespace recordstore
