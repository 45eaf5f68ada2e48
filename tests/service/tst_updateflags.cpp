#include "service/identityview.h"
#include "service/updateflags.h"

#include <QtTest>

Q_DECLARE_METATYPE(SHLP_IdentData)

namespace {
SHLP_IdentData ident(int bootMain, int bootSub, int applMain, int applSub, int partnerX = 0)
{
    SHLP_IdentData id;
    id.m_ComPartner = 1;
    id.m_BootMainVer = UINT8(bootMain);
    id.m_BootSubVer = UINT8(bootSub);
    id.m_ApplMainVer = UINT8(applMain);
    id.m_ApplSubVer = UINT8(applSub);
    id.m_ComPartnerX = UINT8(partnerX);
    return id;
}

QString flagLetters(const SUpdateFlags& f)
{
    QString s;
    if (f.notUpdatable)
        s += 'N';
    if (f.updateAppl)
        s += 'A';
    if (f.updateWifi)
        s += 'W';
    if (f.updateBoot)
        s += 'B';
    if (f.oldBoot)
        s += 'O';
    if (f.bridgeNeeded)
        s += 'R';
    return s;
}
} // namespace

class tst_UpdateFlags : public QObject
{
    Q_OBJECT

private slots:
    void identityTexts_data();
    void identityTexts();
    void rules_data();
    void rules();
    void bridgeNeededBelongsToTheUnit();
    void outOfSyncImagesClearEverything();
    void stateChoice();
};

void tst_UpdateFlags::identityTexts_data()
{
    QTest::addColumn<int>("partner");
    QTest::addColumn<int>("partnerX");
    QTest::addColumn<int>("features");
    QTest::addColumn<QString>("boot");
    QTest::addColumn<QString>("wifi");

    QTest::addRow("A") << 1 << 0 << 0x0285 << "2.04.A"
                       << "2.10";
    QTest::addRow("B with X") << 2 << 7 << 0x0000 << "2.04.BX"
                              << "0.00";
    QTest::addRow("C") << 3 << 0 << 0x1FFE << "2.04.C"
                       << "31.127";
    QTest::addRow("no partner") << 0 << 0 << 0xE000 << "2.04.-"
                                << "0.00";
    QTest::addRow("corrupted partner") << 4 << 1 << 0x0043 << "2.04.-X"
                                       << "1.01";
}

void tst_UpdateFlags::identityTexts()
{
    QFETCH(int, partner);
    QFETCH(int, partnerX);
    QFETCH(int, features);
    QFETCH(QString, boot);
    QFETCH(QString, wifi);

    SHLP_IdentData id = ident(2, 4, 1, 0, partnerX);
    id.m_ComPartner = UINT8(partner);
    id.m_Features = UINT16(features);
    QCOMPARE(bootloaderText(id), boot);
    QCOMPARE(wifiVersionText(id), wifi);
    QCOMPARE(versionText(2, 4), "2.04");
    QCOMPARE(versionText(10, 99), "10.99");
}

void tst_UpdateFlags::rules_data()
{
    QTest::addColumn<SHLP_IdentData>("id");
    QTest::addColumn<bool>("plus");
    QTest::addColumn<int>("serial");
    QTest::addColumn<bool>("fb");
    QTest::addColumn<bool>("fa");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<int>("boxText");

    // Built-in images in every row: bootloader 2.24 (both copies), application 2.24.
    QTest::addRow("all current") << ident(2, 24, 2, 25) << false << 50000 << false << false << ""
                                 << 0;
    QTest::addRow("equal application is written again, equal bootloader is not")
        << ident(2, 24, 2, 24) << false << 50000 << false << false << "AW" << 0;
    QTest::addRow("older bootloader")
        << ident(2, 23, 2, 25) << false << 50000 << false << false << "B" << 0;
    QTest::addRow("forced bootloader and application")
        << ident(2, 24, 2, 25) << false << 50000 << true << true << "AWB" << 0;
    QTest::addRow("X marker forces all three")
        << ident(2, 24, 2, 25, 1) << false << 50000 << false << false << "AWB" << 0;
    QTest::addRow("application 1.03 needs the bootloader")
        << ident(2, 24, 1, 3) << false << 50000 << false << false << "AWB" << 0;
    QTest::addRow("application 2.01 needs the bridge")
        << ident(2, 24, 2, 1) << false << 50000 << false << false << "AWR" << 0;
    QTest::addRow("bootloader 1.x, no serial")
        << ident(1, 30, 2, 25) << false << 0 << false << false << "NBO" << 139;
    QTest::addRow("bootloader 1.x, serial 123")
        << ident(1, 30, 2, 25) << false << 123 << false << false << "NBO" << 142;
    QTest::addRow("serial 49999") << ident(2, 24, 2, 25) << false << 49999 << false << false << "N"
                                  << 142;
    QTest::addRow("serial 1") << ident(2, 24, 2, 25) << false << 1 << false << false << "N" << 142;
    QTest::addRow("plus is never refused")
        << ident(1, 30, 2, 25) << true << 123 << false << false << "BO" << 0;
}

void tst_UpdateFlags::rules()
{
    QFETCH(SHLP_IdentData, id);
    QFETCH(bool, plus);
    QFETCH(int, serial);
    QFETCH(bool, fb);
    QFETCH(bool, fa);
    QFETCH(QString, flags);
    QFETCH(int, boxText);

    SFlagInput in;
    in.ident = id;
    in.plus = plus;
    in.serialNumber = serial;
    in.forceBoot = fb;
    in.forceAppl = fa;
    in.images = {{2, 24}, {2, 24}, {2, 24}};
    SUpdateFlags f;
    f.updateAppl = f.updateBoot = f.updateWifi = f.notUpdatable = f.oldBoot = true; // stale
    const SFlagOutcome out = applyUpdateFlagRules(in, f);
    QVERIFY(!out.bootImagesOutOfSync);
    QCOMPARE(flagLetters(f), flags);
    QCOMPARE(out.notUpdatableText, boxText);
}

void tst_UpdateFlags::bridgeNeededBelongsToTheUnit()
{
    SFlagInput in;
    in.images = {{2, 24}, {2, 24}, {2, 24}};
    in.serialNumber = 50000;
    in.ident = ident(2, 24, 2, 1);
    SUpdateFlags f;
    (void)applyUpdateFlagRules(in, f);
    QVERIFY(f.bridgeNeeded);
    // The unit comes back with the new application: the flag stays for the rest of the update.
    in.ident = ident(2, 24, 2, 24);
    in.keepBridge = true;
    (void)applyUpdateFlagRules(in, f);
    QVERIFY(f.bridgeNeeded);
    // Seen again outside an update (its update failed before the restart): still needed.
    in.keepBridge = false;
    (void)applyUpdateFlagRules(in, f);
    QVERIFY(f.bridgeNeeded);
    // Any other unit with that application needs no bridge.
    in.ident.m_SerialNo += 1;
    (void)applyUpdateFlagRules(in, f);
    QVERIFY(!f.bridgeNeeded);
}

void tst_UpdateFlags::outOfSyncImagesClearEverything()
{
    SFlagInput in;
    in.ident = ident(1, 0, 1, 0, 1);
    in.images = {{2, 24}, {2, 23}, {2, 24}};
    SUpdateFlags f;
    f.updateAppl = f.updateBoot = f.updateWifi = true;
    const SFlagOutcome out = applyUpdateFlagRules(in, f);
    QVERIFY(out.bootImagesOutOfSync);
    QCOMPARE(out.notUpdatableText, 0);
    QCOMPARE(flagLetters(f), QString());
}

void tst_UpdateFlags::stateChoice()
{
    SUpdateFlags none;
    SUpdateFlags appl;
    appl.updateAppl = true;
    SUpdateFlags refused = appl;
    refused.notUpdatable = true;

    QCOMPARE(chooseState(0, refused, 50000), EStateIdle);
    QCOMPARE(chooseState(1, refused, 50000), EStateNotUpdatable);
    QCOMPARE(chooseState(3, refused, 50000), EStateNotUpdatable);
    QCOMPARE(chooseState(3, appl, 0), EStateApplicationRunning);
    QCOMPARE(chooseState(2, appl, 0), EStateSerialNeeded);
    QCOMPARE(chooseState(2, appl, 50000), EStateReady);
    QCOMPARE(chooseState(1, none, 50000), EStateUpToDate);
}

QTEST_GUILESS_MAIN(tst_UpdateFlags)
#include "tst_updateflags.moc"
