#include "console/consoletexts.h"
#include "console/simulationform.h"
#include "logcapture.h"

#include <QtTest>

class tst_ConsoleTexts : public QObject
{
    Q_OBJECT

private slots:
    void partitionTable();
    void ventInfo();
    void timer();
    void airSpeed_data();
    void airSpeed();
    void eighths_data();
    void eighths();
};

void tst_ConsoleTexts::partitionTable()
{
    CPartitionTable::SPartition table[CPartitionTable::kEntries];
    table[0].m_Type = 3;
    table[0].m_MainVer = 2;
    table[0].m_SubVer = 20;
    table[0].m_Start = 32768;
    table[0].m_Size = 1024;
    table[0].m_CrcFlags = 10; // CRC16KO and CRC16_MIRKO: printed as their masked values
    LogCapture log;
    const QString text = consoletext::partitionTable(table);

    QString expected = QStringLiteral("Partition Table:\n"
                                      "Type, MainVer, SubVer,  Start , Size , CRC16OK, CRC16KO, "
                                      "CRC16_MIROK, CRC16_MIRKO\n"
                                      "   3,       2,     20,   32768,  1024, "
                                      "      0,       2,           0,           8 \n");
    for (int i = 1; i < CPartitionTable::kEntries; ++i)
        expected += QStringLiteral("   0,       0,      0,       0,     0, "
                                   "      0,       0,           0,           0 \n");
    QCOMPARE(text, expected);
    QCOMPARE(log.count(QStringLiteral("m_Start: ")), CPartitionTable::kEntries);
    QCOMPARE(log.count(QStringLiteral("m_Start:  32768")), 1);
}

void tst_ConsoleTexts::ventInfo()
{
    UINT8 raw[CVents::SVentInfo::kSize] = {};
    le::put32(raw + 12, 1234); // speed sum open
    le::put32(raw + 16, 7);    // speed sum close
    raw[25] = 0x52;            // 5 stops, 2 shake-loose cycles
    raw[27] = 10;              // 2.5 s open
    raw[28] = 3;               // 0.75 s close
    le::put16(raw + 32, 300);  // max mean current
    CVents::SVentInfo info[CVents::kVentCount];
    info[2] = CVents::SVentInfo::fromBytes(raw);

    const QString zero = QStringLiteral(
        "RunTimeOpen:   0.000, RunTimeClose   0.000, NoStops:   0, SpeedSumOpen:   0, "
        "SpeedSumClose:   0, ShakeLoose Cycles:   0MaxIMean:   0\n");
    QCOMPARE(consoletext::ventInfo(info),
             QStringLiteral("Extract Vent: ") + zero + QStringLiteral("Bath    Vent: ") + zero +
                 QStringLiteral("Supply  Vent: RunTimeOpen:   2.500, RunTimeClose   0.750, "
                                "NoStops:   5, SpeedSumOpen: 1234, SpeedSumClose:   7, "
                                "ShakeLoose Cycles:   2MaxIMean: 300\n") +
                 QStringLiteral("Bypass  Vent: ") + zero);
}

void tst_ConsoleTexts::timer()
{
    QCOMPARE(consoletext::timer(999, 59, 7, 23, 400),
             QStringLiteral("\nMillisecond: \t999\nSecond:      \t59\nMinute:      \t7\n"
                            "Hour:        \t23\nDay:         \t400\n"));
}

void tst_ConsoleTexts::airSpeed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addRow("code 20 is the fan limit") << consoletext::airSpeed100(20, 9) << "     90";
    QTest::addRow("code 1 is the pattern") << consoletext::airSpeed100(1, 9) << "  20/60";
    QTest::addRow("other codes as they are") << consoletext::airSpeed100(16, 9) << "     16";
    QTest::addRow("70 series signed byte") << consoletext::airSpeed70(qint8(0xF6)) << "    -10";
}

void tst_ConsoleTexts::airSpeed()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void tst_ConsoleTexts::eighths_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::addRow("half up away from zero") << "0.0625" << 1;
    QTest::addRow("half down away from zero") << "-0.0625" << -1;
    QTest::addRow("below half") << "0.06" << 0;
    QTest::addRow("comma is not a decimal point") << "1,5" << 0;
    QTest::addRow("wraps to 16 bits") << "4096" << -32768;
    QTest::addRow("huge") << "1e300" << 0;
    QTest::addRow("not a number") << "nan" << 0;
    QTest::addRow("empty") << "" << 0;
}

void tst_ConsoleTexts::eighths()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(int(simform::eighths(text)), expected);
}

QTEST_MAIN(tst_ConsoleTexts)
#include "tst_consoletexts.moc"
