#pragma once

#include "device/hlprecords.h"
#include "firmware/partitiontable.h"
#include "service/unitidentity.h"

#include <QString>
#include <QVector>

// What an update wrote into a unit, kept as it runs, so that the unit's own report afterwards
// can be held against it.
struct SWrittenUpdate
{
    struct SImage
    {
        int type = 0; // CPartitionTable::EPartType as written (a bridge is ECC3200Bridge)
        UINT8 mainVer = 0;
        UINT8 subVer = 0;
    };
    QVector<SImage> images; // in the order written; a later image of a partition replaces one
    int swappedTo = 0;      // the bootloader copy (1 or 2) the swap made the running one; 0: none
    quint32 serialWritten = 0;

    bool empty() const { return images.isEmpty() && swappedTo == 0 && serialWritten == 0; }
    // The last image written into the partition `partType` (the bridge counts as ECC3200).
    const SImage* lastInto(int partType) const;
};

// One thing the unit reports otherwise than the update wrote it.
struct SVerifyMismatch
{
    QString detail;   // for logs and the record: "application: 2.10, 2.24 was written"
    QString userText; // for the user, translated: "the application is still 2.10"
};

// The check of a unit against what its update wrote.
struct SVerifyOutcome
{
    bool back = false;      // the unit answered again within the window
    bool tableRead = false; // its partition table could be read
    // The answering software reports a partition table, but none could be read: what the
    // update wrote is not confirmed (one of the mismatches says so).
    bool tableMissing = false;
    QVector<SVerifyMismatch> mismatches;

    bool passed() const { return back && mismatches.isEmpty(); }
    // One line for logs and the record: each mismatch, or what could not be checked.
    QString detail() const;
    // The status line after a failed check.
    QString userText() const;
};

namespace updateverify {

// The window in which a unit must answer again after the last write of its update: long
// enough for a restart and the USB port coming back, in milliseconds.
constexpr int kVerifyWindowMs = 30000;
// Requests of the check asked again when the line spoilt them, on a port that stays.
constexpr int kVerifyTries = 5;

// Whether the software answering with `ident` reports its partition table: the bootloader
// copies and the application do; software that names none of them as the answering partner is
// checked by its identification alone.
bool reportsTable(const SHLP_IdentData& ident);

// Holds the unit's identity after the update (and its partition table, when it could be
// read; null otherwise) against what the update wrote into the unit `bound`. Without a table
// from software that reports one, the update is not confirmed.
SVerifyOutcome compare(const SWrittenUpdate& written, const SUnitIdentity& bound,
                       const SHLP_IdentData& after, const CPartitionTable::SPartition* table);
// The unit did not answer again within the window.
SVerifyOutcome notBack();

QString verifyingText();
QString notBackText();

} // namespace updateverify
