#include "values/saturatedhumidity.h"

#include <QtTest>

#include <cmath>

namespace {

// Whole degrees from -20 to +50 degC.
const int kGramsPerCubicMetre[71] = {
    10,  11,  12,  13,  14,  15,  17,  18,  20,  21,  23,  25,  27,  29,  32,  34,  37,  39,
    42,  45,  49,  52,  56,  60,  64,  69,  73,  78,  84,  89,  95,  102, 108, 115, 123, 131,
    139, 148, 157, 167, 177, 188, 199, 212, 224, 238, 252, 267, 283, 299, 317, 335, 354, 375,
    396, 419, 442, 467, 494, 521, 550, 581, 613, 647, 683, 721, 760, 802, 846, 893, 942};
const int kGramsPerKilogram[71] = {
    7,   8,   9,   9,   10,  11,  12,  13,  15,  16,  17,  19,  20,  22,  24,  26,  28,  30,
    32,  35,  38,  41,  44,  47,  50,  54,  58,  62,  67,  71,  76,  82,  87,  93,  100, 107,
    114, 121, 129, 138, 147, 157, 167, 178, 189, 201, 214, 227, 241, 256, 272, 289, 306, 325,
    345, 366, 388, 411, 435, 461, 488, 517, 548, 580, 614, 655, 688, 728, 770, 815, 862};

// Reference: split t into whole degrees (rounded down) and eighths with floating point, and
// round the interpolation toward the nearer whole degree exactly as the device firmware does.
int reference(int t, int column)
{
    const int* table = column == 0 ? kGramsPerCubicMetre : kGramsPerKilogram;
    if (t < -160)
        return 5;
    if (t > 400)
        return 1000;
    const int degree = int(std::floor(t / 8.0)); // -20 .. 50
    const int eighths = t - 8 * degree;          // 0 .. 7
    const int row = degree + 20;
    if (eighths == 0)
        return table[row];
    const int lower = table[row];
    const int upper = table[row + 1];
    if (eighths < 4)
        return lower + ((upper - lower) * eighths + 4) / 8;
    return upper - ((upper - lower) * (8 - eighths) + 4) / 8;
}

} // namespace

class TestSaturatedHumidity : public QObject
{
    Q_OBJECT

private slots:
    void knownPoints_data();
    void knownPoints();
    void sweepMatchesReference();
    void unknownColumn();
};

void TestSaturatedHumidity::knownPoints_data()
{
    QTest::addColumn<int>("t");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("expected");

    QTest::addRow("20 degC g/kg") << 160 << 1 << 147;
    QTest::addRow("20.5 degC g/m3") << 164 << 0 << 182;
    QTest::addRow("-20 degC lowest row") << -160 << 0 << 10;
    QTest::addRow("below -20 degC") << -161 << 0 << 5;
    QTest::addRow("far below") << -32768 << 1 << 5;
    QTest::addRow("50 degC last row") << 400 << 1 << 862;
    QTest::addRow("above 50 degC") << 401 << 0 << 1000;
    QTest::addRow("far above") << 32767 << 1 << 1000;
    // -0.125 degC lies in the row of -1 degC with seven eighths: 45 + (49-45) * 7/8 rounded.
    QTest::addRow("just below zero") << -1 << 0 << 49 - ((49 - 45) * 1 + 4) / 8;
    QTest::addRow("-19.5 degC") << -156 << 1 << 8 - ((8 - 7) * 4 + 4) / 8;
}

void TestSaturatedHumidity::knownPoints()
{
    QFETCH(int, t);
    QFETCH(int, column);
    QFETCH(int, expected);
    QCOMPARE(int(saturatedHumidity(qint16(t), quint8(column))), expected);
}

void TestSaturatedHumidity::sweepMatchesReference()
{
    for (int column : {0, 1}) {
        int previous = 0;
        for (int t = -170; t <= 410; ++t) {
            const int got = saturatedHumidity(qint16(t), quint8(column));
            const QByteArray where =
                QByteArray::number(t) + " column " + QByteArray::number(column);
            QVERIFY2(got == reference(t, column), where.constData());
            if (t >= -160 && t <= 400)
                QVERIFY2(got >= previous, where.constData()); // saturation never falls with t
            previous = got;
        }
    }
}

void TestSaturatedHumidity::unknownColumn()
{
    QCOMPARE(int(saturatedHumidity(160, 2)), 0);
    QCOMPARE(int(saturatedHumidity(160, 255)), 0);
}

QTEST_GUILESS_MAIN(TestSaturatedHumidity)
#include "tst_saturatedhumidity.moc"
