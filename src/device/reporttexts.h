#pragma once

#include <QString>

// Code-to-text tables of the log reports. Codes outside a table give its "unknown" text.
namespace report {

// 100 series.
QString ventPositionText(int code);  // "UNKN", "T 00".."T 23", "CLOS", " 15°".." 75°", "OPEN"
QString operationModeText(int code); // "AutoStd".."Test"; "??"
QString defrostText(int code);       // "None", "Bypa", "Supp"; " ?? "
QString errorStateText(int code);    // "OK".."Wlan Error"; "??"
// Room area in m2 from the four-bit area code; 0 for codes 6 and above.
int roomArea(int code);

// 70 series.
QString operationModeText70(int code); // "Auto".."Manufacturer"; "??"
QString fanStateText70(int code);      // "Normal".."BackNoM"; "??"

} // namespace report
