// The check of a unit's report after its update against what the update wrote.

#include "service/updateverify.h"

#include <QtTest>

namespace {

using P = CPartitionTable;

struct SAfter
{
    UINT8 partner = 2;
    UINT8 boot = 24, appl = 24, wifiMain = 3, wifiSub = 11;
    quint32 serial = 50123;
};

SHLP_IdentData ident(const SAfter& a, bool plus)
{
    SHLP_IdentData d;
    d.m_SerialNo = a.serial;
    d.m_BoardVersion = 3;
    d.m_ComPartner = a.partner;
    d.m_BootMainVer = 2;
    d.m_BootSubVer = a.boot;
    d.m_ApplMainVer = 2;
    d.m_ApplSubVer = a.appl;
    d.m_Features = UINT16((plus ? 1 : 0) | (a.wifiMain << 1) | (a.wifiSub << 6));
    return d;
}

// The table a unit reports after taking `written` (versions as written, checksums good).
QVector<P::SPartition> goodTable(const SWrittenUpdate& written)
{
    QVector<P::SPartition> table(P::kEntries);
    int i = 0;
    for (int type : {1, 2, 3, 4}) {
        P::SPartition& e = table[i++];
        e.m_Type = UINT8(type);
        e.m_MainVer = 2;
        e.m_SubVer = 20;
        e.m_CrcFlags = 0x01;
        if (const SWrittenUpdate::SImage* image = written.lastInto(type)) {
            e.m_MainVer = image->mainVer;
            e.m_SubVer = image->subVer;
        }
    }
    return table;
}

// A 100-series update on the bridge path: bridge 3.01, application 2.24, WiFi module 3.11,
// bootloader copy 2 2.24 swapped in.
SWrittenUpdate bridgePath()
{
    SWrittenUpdate w;
    w.images = {{P::ECC3200Bridge, 3, 1},
                {P::EApplication, 2, 24},
                {P::ECC3200, 3, 11},
                {P::EBootloader2, 2, 24}};
    w.swappedTo = 2;
    return w;
}

} // namespace

Q_DECLARE_METATYPE(SAfter)

class tst_UpdateVerify : public QObject
{
    Q_OBJECT

private slots:
    void compare_data();
    void compare();
};

void tst_UpdateVerify::compare_data()
{
    QTest::addColumn<SAfter>("after");
    QTest::addColumn<int>("tableFault"); // 0 good, 1 CRC16KO on the application, 2 no table,
                                         // 3 WiFi entry missing, 4 application entry 2.20
    QTest::addColumn<quint32>("serialWritten");
    QTest::addColumn<QString>("detail"); // empty: passes

    QTest::addRow("everything taken") << SAfter{} << 0 << 0u << QString();
    QTest::addRow("application still old")
        << SAfter{2, 24, 20} << 0 << 0u << "application: 2.20, 2.24 was written";
    QTest::addRow("WiFi module still at the bridge's version")
        << SAfter{2, 24, 24, 3, 1} << 0 << 0u << "wifi-module: 3.01, 3.11 was written";
    QTest::addRow("old copy answers")
        << SAfter{1, 20} << 0 << 0u << "bootloader: copy 1 answers, copy 2 was written";
    QTest::addRow("new copy, old version")
        << SAfter{2, 20} << 0 << 0u << "bootloader: 2.20, 2.24 was written";
    QTest::addRow("application answers: the bootloader version still counts")
        << SAfter{3, 24} << 0 << 0u << QString();
    QTest::addRow("checksum error")
        << SAfter{} << 1 << 0u << "application: partition table reports its checksum bad";
    // A bootloader that answers but whose table the line spoils every time: nothing is
    // confirmed by the identity alone.
    QTest::addRow("no table from software that reports one: not confirmed")
        << SAfter{} << 2 << 0u << "partition table: none could be read from 2.24.B";
    QTest::addRow("no table from software that reports none: identity only, said so")
        << SAfter{0, 24} << 2 << 0u << "no partition table";
    QTest::addRow("written partition missing from the table")
        << SAfter{} << 3 << 0u << "wifi-module: no entry in the partition table";
    QTest::addRow("table disagrees with the identity")
        << SAfter{} << 4 << 0u << "application: partition table holds 2.20, 2.24 was written";
    QTest::addRow("serial number written reads back")
        << SAfter{2, 24, 24, 3, 11, 50777} << 0 << 50777u << QString();
    QTest::addRow("serial number written does not read back")
        << SAfter{2, 24, 24, 3, 11, 0} << 0 << 50777u << "serial number: reads 0, 50777";
}

void tst_UpdateVerify::compare()
{
    QFETCH(SAfter, after);
    QFETCH(int, tableFault);
    QFETCH(quint32, serialWritten);
    QFETCH(QString, detail);

    SWrittenUpdate written = bridgePath();
    written.serialWritten = serialWritten;
    const SUnitIdentity bound{false, serialWritten != 0 ? serialWritten : 50123u, 3};
    QVector<P::SPartition> table = goodTable(written);
    if (tableFault == 1)
        table[2].m_CrcFlags = 0x02;
    if (tableFault == 3)
        table[3].m_Type = 0;
    if (tableFault == 4)
        table[2].m_SubVer = 20;
    const SVerifyOutcome out = updateverify::compare(written, bound, ident(after, false),
                                                     tableFault == 2 ? nullptr : table.data());
    QVERIFY(out.back);
    QCOMPARE(out.passed(), detail.isEmpty() || detail.startsWith("no partition table"));
    QVERIFY2(out.detail().contains(detail), qPrintable(out.detail()));
    // A mismatch is named once, even where the identity and the table both show it.
    QVERIFY(out.mismatches.size() <= 1);
    if (!out.passed())
        QVERIFY2(out.userText().startsWith(QLatin1String("The device did not take the update: ")),
                 qPrintable(out.userText()));
}

QTEST_GUILESS_MAIN(tst_UpdateVerify)
#include "tst_updateverify.moc"
