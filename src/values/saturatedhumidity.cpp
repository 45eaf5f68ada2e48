#include "saturatedhumidity.h"

#include <QDebug>

namespace {

constexpr int kRows = 71;      // -20 .. +50 degC in steps of 1 degC
constexpr int kLowestT = -160; // -20 degC in 1/8 degC
constexpr int kHighestT = 400; // +50 degC in 1/8 degC
constexpr quint16 kBelowTable = 5;
constexpr quint16 kAboveTable = 1000;

// [row][column]: tenths of g/m3, tenths of g/kg.
constexpr quint16 kSaturation[kRows][2] = {
    {10, 7},    {11, 8},    {12, 9},    {13, 9},    {14, 10},   {15, 11},   {17, 12},   {18, 13},
    {20, 15},   {21, 16},   {23, 17},   {25, 19},   {27, 20},   {29, 22},   {32, 24},   {34, 26},
    {37, 28},   {39, 30},   {42, 32},   {45, 35},   {49, 38},   {52, 41},   {56, 44},   {60, 47},
    {64, 50},   {69, 54},   {73, 58},   {78, 62},   {84, 67},   {89, 71},   {95, 76},   {102, 82},
    {108, 87},  {115, 93},  {123, 100}, {131, 107}, {139, 114}, {148, 121}, {157, 129}, {167, 138},
    {177, 147}, {188, 157}, {199, 167}, {212, 178}, {224, 189}, {238, 201}, {252, 214}, {267, 227},
    {283, 241}, {299, 256}, {317, 272}, {335, 289}, {354, 306}, {375, 325}, {396, 345}, {419, 366},
    {442, 388}, {467, 411}, {494, 435}, {521, 461}, {550, 488}, {581, 517}, {613, 548}, {647, 580},
    {683, 614}, {721, 655}, {760, 688}, {802, 728}, {846, 770}, {893, 815}, {942, 862},
};

} // namespace

quint16 saturatedHumidity(qint16 temperature, quint8 column)
{
    if (column > 1) {
        qDebug() << "saturatedHumidity: no column" << column;
        return 0;
    }
    const int t = temperature;
    if (t < kLowestT)
        return kBelowTable;
    if (t > kHighestT)
        return kAboveTable;

    const int k = (t - kLowestT) / 8; // whole degrees above -20 degC, 0..70
    const int f = t & 7;              // eighths above that degree, also for negative t
    if (f < 4) {
        const int v = kSaturation[k][column];
        if (k == kRows - 1)
            return quint16(v);
        return quint16(v + ((kSaturation[k + 1][column] - v) * f + 4) / 8);
    }
    const int v = kSaturation[k + 1][column];
    return quint16(v - ((v - kSaturation[k][column]) * (8 - f) + 4) / 8);
}
