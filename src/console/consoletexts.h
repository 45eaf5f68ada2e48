#pragma once

#include "device/ventinfo.h"
#include "firmware/partitiontable.h"
#include "link/lltypes.h"

#include <QString>
#include <QVector>

// The texts the service console appends to the log area, built from request results so that
// they can be checked without a device or widgets.
namespace consoletext {

// "Report Time": a line break, then one line per unit of the device clock.
QString timer(UINT16 ms, UINT8 seconds, UINT8 minutes, UINT8 hours, UINT16 days);
// One line of "Get Counters".
QString counterLine(int index, UINT32 value, const QString& name);
// "Get Part Table": the header and two pieces per entry; one debug line per entry.
QString partitionTable(const CPartitionTable::SPartition (&table)[CPartitionTable::kEntries]);
QString partitionTableFailed();
// "Get Sec Log Cnt": three arrays of three values (15 min, 1 day, 30 days).
QString secLogCount(const UINT16* logSize, const UINT16* used, const UINT16* oldest);
// "Check Sec Log".
QString secLogCheck(bool ok, quint8 error);
// Text for a failed secondary-log request.
QString commandFailed();
// "Get Wifi Data Debug": empty on failure.
QString wifiDebug(bool ok, quint8 betaR78, quint8 betaCC3200);
// "Dump Memory": 16 bytes per line, each line led by its address in hex.
QString memoryDump(quint32 address, const QVector<UINT8>& bytes);
// "Dump Memory" with an address that is not a number.
QString invalidDumpAddress(const QString& text);
// "Get Vent Info": four vents, extract, second room, supply, bypass.
QString ventInfo(const CVents::SVentInfo (&info)[CVents::kVentCount]);

// Result columns of the automatic test.
// 100 series: code 20 is the fan limit (code x 10 m3/h), code 1 the 20/60 pattern.
QString airSpeed100(int airFlowCode, int fanLimitCode);
// 70 series: the signed air-flow byte.
QString airSpeed70(qint8 flow);

} // namespace consoletext
