#include "perscounter.h"

#include "device/uitext.h"

namespace {
// Fixed English names; null where the name follows the interface language or is empty.
const char* const kFixedNames[] = {
    "Number of Flash write cycles",     // 0
    "Total operating hours",            // 1
    "Filter operating hours",           // 2
    "Number of boot cycles",            // 3
    "Sensor supply temperature value",  // 4
    "Sensor outdoor temperature value", // 5
    "Sensor outdoor humidity value",    // 6
    "Sensor exhaust temperature value", // 7
    "Sensor extract temperature value", // 8
    "Sensor extract humidity value",    // 9
    "Sensor CO2 value",                 // 10
    "Comfort level",                    // 11
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr, // 12-19
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr, // 20-27
    nullptr,
    nullptr,                                                              // 28-29
    "An illegal instruction have been detected",                          // 30
    "A Stack overflow have been detected",                                // 31
    "The Watchdog has expired",                                           // 32
    "The SW version of the application prior to the current application", // 33
    "The current SW version of the application",                          // 34
    "The secondary log with 15 min  per log has been erased",             // 35
    "The secondary log with  1 day  per log has been erased",             // 36
    "The secondary log with 30 days per log has been erased",             // 37
    nullptr,                                                              // 38
    "Min. switch off temperature (de-icing)",                             // 39
    "Min. exhaust temperature (de-icing)",                                // 40
    "Fan supply characteristics based on pressure (FSC)",                 // 41
    "Fan extract characteristics based on pressure (FEC)",                // 42
    "Fan communication FCA",                                              // 43
    "Fan communication FCF",                                              // 44
};
constexpr int kFixedCount = int(sizeof kFixedNames / sizeof kFixedNames[0]);
static_assert(kFixedCount == 45, "names for ids 0-44");

// Language-table entries of the system values 12-29 and 38.
int uiTextIndexOfSystemValue(int id)
{
    static const int kIndex[] = {75, 76, 77, 78, 79, 80, 81, 82, 83,  // 12-20
                                 87, 85, 86, 84, 90, 91, 88, 92, 93}; // 21-29
    if (id >= 12 && id <= 29)
        return kIndex[id - 12];
    if (id == 38)
        return 89;
    return -1;
}
} // namespace

int CPersCounter_ReadOnly::uiTextIndex(int id)
{
    if (id >= EFlapDiagFirst && id <= EFlapDiagLast) {
        const int flap = (id - EFlapDiagFirst) / kFlapProperties;
        const int property = (id - EFlapDiagFirst) % kFlapProperties;
        return 95 + flap + kFlaps * property;
    }
    return uiTextIndexOfSystemValue(id);
}

QString CPersCounter_ReadOnly::name(int id)
{
    if (id < 0 || id >= kCount)
        return QString();
    const int index = uiTextIndex(id);
    if (index >= 0)
        return uiText(index);
    if (id < kFixedCount && kFixedNames[id])
        return QString::fromLatin1(kFixedNames[id]);
    return QString();
}
