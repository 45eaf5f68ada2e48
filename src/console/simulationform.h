#pragma once

#include "device/hlprecords.h"
#include "device/records_70.h"

#include <QString>

// Conversions from the debug panels' form texts to the values of the simulation records.
// The form is not validated: text that does not parse counts as 0, and every value is cut to
// the width of its record field.
namespace simform {

// A temperature in degC ("-0.0625", decimal point) in steps of 1/8 degC, rounded with halves
// away from zero, as a 16-bit value (low 16 bits).
qint16 eighths(const QString& text);
// A base-10 integer; 0 when the text does not parse.
int integer(const QString& text);
// Comfort level of the form (low 8 bits) to the device's code 0-4: 0 stays 0, 1-5 become 0-4,
// anything above 5 becomes 4.
quint8 comfortCode(int level);
// DIP value of a 100-series unit from the selector indexes and the room check box, added as
// numbers (low 8 bits).
quint8 dipValue100(int roomArea, bool roomCheck, int sumCool, int flow);
// DIP value of a 70-series unit (low 8 bits).
quint8 dipValue70(int roomArea, int sumCool);
// "g/Kg: %1, g/m³: %2" for a temperature in degC and a relative humidity in %, from the
// saturation table.
QString absoluteHumidityText(const QString& temperature, const QString& relHumidity);

// The 100-series form, as texts and selector indexes.
struct SForm100
{
    QString tOutdoor, tExtract, tExhaust, tSupply;
    QString relHumOut, relHumExt, co2;
    QString aveHumExt, aveTempOut, comfortLevel;
    bool humReduction = false;
    int roomArea = 0, sumCool = 0, flow = 0;
    bool roomCheck = false;
};
SHLP_SetSimulationValues buildSimulation100(const SForm100& form);

// The 70-series form.
struct SForm70
{
    QString tExtract, tSupply, relHumExt, relHumSup, co2Ext, co2Sup;
    QString comfortLevel, aveHumExt, aveTempSup;
    int roomArea = 0, sumCool = 0;
};
SHLP_SetSimulationValues_70 buildSimulation70(const SForm70& form);

} // namespace simform
