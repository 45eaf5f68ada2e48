#pragma once

#include <QtGlobal>

// Water content of saturated air at a temperature given in 1/8 degC, interpolated between
// whole degrees from -20 to +50 degC. column 0: tenths of g/m3, column 1: tenths of g/kg.
// Below -20 degC gives 5, above +50 degC 1000; any other column gives 0.
quint16 saturatedHumidity(qint16 temperature, quint8 column);
