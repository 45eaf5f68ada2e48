#pragma once

#include <QStringList>

class CFanBase;
struct SPrimLogEntry;

// The live-value block of manufacturing mode: what one tick of the current-information timer
// appends to the log area, one string per paragraph.
namespace currentinfo {

// Dictionary indices printed after the error line, in this order.
constexpr int kValueIndices[] = {41, 37, 46, 49, 42, 39, 50, 43, 34, 35, 31, 32};
constexpr int kErrorStateIndex = 91;

// "Runtime: MM:SS" for `seconds` since the unit was connected; minutes may exceed 99.
QString runtimeText(quint64 seconds);

// The paragraphs for a state record: a spacer, the runtime, the error state and the values;
// a single "Application starting..." line while the record holds no measurements yet.
QStringList stateBlock(const SPrimLogEntry& entry, const QString& runtime);

// Asks the unit for its state and gives the paragraphs to append. Only a 100-series device
// object has the state request: any other device object gives nothing and is not asked.
QStringList tick(CFanBase* fan, quint64 seconds);

} // namespace currentinfo
