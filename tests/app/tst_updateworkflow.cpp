// Before any Qt header: the simulated unit's engine has a member named like a Qt keyword macro.
#include "updaterig.h"

#include "bundlemaker.h"

#include "app/currentinfo.h"
#include "device/hlprecords.h"
#include "device/uitext.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class tst_UpdateWorkflow : public QObject
{
    Q_OBJECT

private slots:
    void fullUpdateOf100Series_data();
    void fullUpdateOf100Series();
    void plusUnitGetsApplicationAndBootloader();
    void unconfirmedUpdateCanBeRunAgain();
    void versionRulesDecideTheImages_data();
    void versionRulesDecideTheImages();
    void failedStepStopsTheUpdate_data();
    void failedStepStopsTheUpdate();
    void unplugDuringUploadIsAFailure();
    void restartedUnitNotIdentifiedEndsTheWait_data();
    void restartedUnitNotIdentifiedEndsTheWait();
    void anotherUnitStopsTheUpdate();
    void bridgeBelongsToTheUnit();
    void serialNumberRules_data();
    void serialNumberRules();
    void applicationRunningShowsTheHint_data();
    void applicationRunningShowsTheHint();
    void manufacturingSetsStartupMode();
    void bundleImagesAreFlashed();

    void runtimeText_data();
    void runtimeText();
    void liveValueBlock();
    void liveValueFailuresAndPlusUnit();

    void deIcing_data();
    void deIcing();
};

// ---- The update --------------------------------------------------------------------------------

void tst_UpdateWorkflow::fullUpdateOf100Series_data()
{
    QTest::addColumn<UINT32>("unitSerial");
    QTest::addColumn<QString>("preset");
    QTest::addRow("serial stored") << UINT32(50123) << QString();
    QTest::addRow("serial missing, entered") << UINT32(0) << QString();
    QTest::addRow("serial preset") << UINT32(0) << QStringLiteral("50777");
}

// Bootloader 2.20, application 2.01: serial number, bridge, application, reboot pause, WiFi in
// slow mode, bootloader into the idle copy, swap.
void tst_UpdateWorkflow::fullUpdateOf100Series()
{
    QFETCH(UINT32, unitSerial);
    QFETCH(QString, preset);

    SDevSimBehaviour behaviour;
    behaviour.rebootAfterUploadMs = 200; // the unit restarts by itself after its application
    DialogOptions o;
    o.serialPreset = preset;
    UpdateRig rig(bootUnit(false, 1, 20, unitSerial), o, behaviour);
    CMainDialogNew& d = rig.d();
    auto* burn = widget<QPushButton>(d, "ButtonBurn");
    auto* close = widget<QPushButton>(d, "ButtonClose");
    QCOMPARE(d.updateFlags().bridgeNeeded, true);

    int expectedSerial = int(unitSerial);
    if (unitSerial == 0 && preset.isEmpty()) {
        QCOMPARE(d.state(), int(EStateSerialNeeded));
        auto* field = widget<QLineEdit>(d, "SerialNumber");
        field->clear();
        QTest::keyClicks(field, "50999");
        expectedSerial = 50999;
    } else if (!preset.isEmpty()) {
        expectedSerial = preset.toInt();
    }
    QVERIFY(burn->isEnabled());

    PortFollower follower(*rig.t->enumerator, *rig.wire, rig.sim, kPort);
    bool lockedDuringWait = true;
    int rebootBoxes = 0;
    setMessageBoxHook([&](const SMessageBox& box) {
        rig.boxes.boxes << box;
        if (box.title == model(uiText(162))) {
            ++rebootBoxes;
            lockedDuringWait =
                d.state() == EStateRebootNeeded && !burn->isEnabled() && !close->isEnabled();
        }
        return QMessageBox::Ok;
    });
    // While the WiFi image goes out the unit has been identified again (which shows a state of
    // its own): update and close must still be locked, Escape ignored.
    bool lockedAfterReboot = true;
    QObject::connect(widget<QProgressBar>(d, "Progress"), &QProgressBar::valueChanged, [&] {
        if (rebootBoxes == 1 && d.identifications() > 1) {
            d.reject();
            lockedAfterReboot = lockedAfterReboot && !burn->isEnabled() && !close->isEnabled();
        }
    });
    d.show();
    QTest::mouseClick(burn, Qt::LeftButton);

    QCOMPARE(rebootBoxes, 1);
    QVERIFY(lockedDuringWait);
    QVERIFY(lockedAfterReboot);
    QVERIFY(d.isVisible());
    QCOMPARE(d.state(), int(EStateUpdated));
    QCOMPARE(status(d), uiText(136));
    QVERIFY(close->isEnabled());
    QVERIFY(!d.updateRunning());
    QVERIFY(!d.updateFlags().bridgeNeeded);
    QCOMPARE(int(rig.sim.unit().identity().serial), expectedSerial);
    QCOMPARE(rig.sim.unit().requestCount(HLP_SET_SERIAL_NUMBER),
             unitSerial == 0 || !preset.isEmpty() ? 1 : 0);
    QCOMPARE(rig.sim.unit().powerCycles(), 1);

    QCOMPARE(rig.flashedTypes(),
             (QVector<int>{kBridgeWire, CPartitionTable::EApplication, CPartitionTable::ECC3200,
                           CPartitionTable::EBootloader2}));
    const auto& images = rig.sim.unit().flash().images();
    compareWithBuiltIn(images[0], CPartitionTable::ECC3200Bridge, CFlashImage::ESystem100);
    compareWithBuiltIn(images[1], CPartitionTable::EApplication, CFlashImage::ESystem100);
    compareWithBuiltIn(images[2], CPartitionTable::ECC3200, CFlashImage::ESystem100);
    compareWithBuiltIn(images[3], CPartitionTable::EBootloader2, CFlashImage::ESystem100);
    QVERIFY(rig.sim.unit().flash().violations().isEmpty());
    // Swapped: the new copy runs.
    QCOMPARE(int(rig.sim.unit().identity().runningCopy), 2);
    QCOMPARE(rig.sim.unit().bootVersion(2), 224);
    QCOMPARE(rig.sim.unit().startupMode(), UINT8(0));
}

void tst_UpdateWorkflow::plusUnitGetsApplicationAndBootloader()
{
    // -ap (the start by itself and the exit code) runs against the real binaries: an exit
    // request would end every later event loop of this test process.
    UpdateRig rig(bootUnit(true, 20, 20, 123));
    QCOMPARE(rig.d().state(), int(EStateReady));
    rig.d().on_ButtonBurn_clicked();
    QCOMPARE(rig.d().state(), int(EStateUpdated));

    QCOMPARE(rig.flashedTypes(),
             (QVector<int>{CPartitionTable::EApplication, CPartitionTable::EBootloader2}));
    const auto& images = rig.sim.unit().flash().images();
    compareWithBuiltIn(images[0], CPartitionTable::EApplication, CFlashImage::ESystemPlus);
    compareWithBuiltIn(images[1], CPartitionTable::EBootloader2, CFlashImage::ESystemPlus);
    QVERIFY(rig.boxes.boxes.isEmpty()); // no reboot pause, and serial 123 is fine for a plus
    QCOMPARE(rig.sim.unit().requestCount(HLP_SWAP_BOOTLOADERS), 1);
}

// The unit acknowledges its application but keeps the old one: the dialog says so and offers
// the update again; once the unit takes it, the update ends as updated.
void tst_UpdateWorkflow::unconfirmedUpdateCanBeRunAgain()
{
    SDevSimBehaviour keeps;
    keeps.keepImageType = CPartitionTable::EApplication;
    UpdateRig rig(bootUnit(true, 20, 24), {}, keeps);
    rig.d().on_ButtonBurn_clicked();
    QCOMPARE(rig.d().state(), int(EStateReady));
    QCOMPARE(status(rig.d()), QStringLiteral("The device did not take the update: the application "
                                             "is still 2.20. Please update it again."));
    QVERIFY(widget<QPushButton>(rig.d(), "ButtonBurn")->isEnabled());
    QVERIFY(!rig.d().updateRunning());

    rig.sim.unit().behaviour().keepImageType = 0;
    rig.d().on_ButtonBurn_clicked();
    QCOMPARE(rig.d().state(), int(EStateUpdated));
}

void tst_UpdateWorkflow::versionRulesDecideTheImages_data()
{
    QTest::addColumn<SDevSimIdentity>("id");
    QTest::addColumn<QVector<int>>("types");

    const int appl = CPartitionTable::EApplication;
    const int wifi = CPartitionTable::ECC3200;
    QTest::addRow("equal application written again, equal bootloader not")
        << bootUnit(false, 24, 24) << QVector<int>{appl, wifi};
    QTest::addRow("newer application and bootloader: nothing")
        << bootUnit(false, 30, 30) << QVector<int>{};
    SDevSimIdentity x = bootUnit(false, 30, 30);
    x.partnerX = 1;
    QTest::addRow("X marker forces all three")
        << x << QVector<int>{appl, wifi, CPartitionTable::EBootloader2};
    QTest::addRow("plus, equal versions") << bootUnit(true, 24, 24) << QVector<int>{appl};
}

void tst_UpdateWorkflow::versionRulesDecideTheImages()
{
    QFETCH(SDevSimIdentity, id);
    QFETCH(QVector<int>, types);

    UpdateRig rig(id);
    if (types.isEmpty()) {
        QCOMPARE(rig.d().state(), int(EStateUpToDate));
        return;
    }
    rig.d().on_ButtonBurn_clicked();
    QCOMPARE(rig.d().state(), int(EStateUpdated));
    QCOMPARE(rig.flashedTypes(), types);
}

void tst_UpdateWorkflow::failedStepStopsTheUpdate_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addColumn<int>("unplugAfter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVector<int>>("types");

    // Requests before the first upload: identity, counter 39 (de-icing), then the upload
    // begins (request 3 on).
    const QString failed = model(uiText(173));
    QTest::addRow("application upload") << true << 20 << failed << QVector<int>{-3};
    // The plus application is 5 blocks of 389 + 3353 + 25098 + 14903 + 212 bytes: 243 requests.
    QTest::addRow("bootloader upload")
        << true << 260 << model(uiText(173), "ventaro plus") << QVector<int>{3, -2};
}

// The unit stops answering in the middle of an upload: the update ends in state 0 with the
// failure text, and nothing after the failed step is written.
void tst_UpdateWorkflow::failedStepStopsTheUpdate()
{
    QFETCH(bool, plus);
    QFETCH(int, unplugAfter);
    QFETCH(QString, text);
    QFETCH(QVector<int>, types);

    UpdateRig rig(bootUnit(plus, 20));
    SDevSimFaults faults;
    faults.unplugAfterPackets = unplugAfter;
    rig.sim.engine().setFaults(faults, 1);
    rig.d().on_ButtonBurn_clicked();

    QCOMPARE(rig.d().state(), int(EStateIdle));
    QCOMPARE(status(rig.d()), plus ? QString(text).replace("ventaro100", "ventaro plus") : text);
    QCOMPARE(rig.flashedTypes(), types);
    QVERIFY(!rig.d().updateRunning());
    QVERIFY(widget<QPushButton>(rig.d(), "ButtonClose")->isEnabled());
    QVERIFY(!widget<QPushButton>(rig.d(), "ButtonBurn")->isEnabled());
}

// The system reports the port gone half-way through the bootloader, after the application and
// the WiFi module went through: discovery closes the port, the upload fails, and the dialog
// must end neither in "updated" nor in "ready" for a unit that is gone; with -ap there is no
// exit code 100.
void tst_UpdateWorkflow::unplugDuringUploadIsAFailure()
{
    DialogOptions o;
    o.automatic = true;
    UpdateRig rig(bootUnit(false, 20), o);
    bool unplugged = false;
    QObject::connect(
        widget<QProgressBar>(rig.d(), "Progress"), &QProgressBar::valueChanged, [&](int value) {
            if (!unplugged && value >= 50 && rig.sim.unit().flash().images().size() == 3) {
                unplugged = true;
                QTimer::singleShot(0, [&] { rig.t->enumerator->unplug(kPort); });
            }
        });
    // The update starts by itself.
    QTRY_VERIFY(unplugged && !rig.d().updateRunning());

    QCOMPARE(rig.d().state(), int(EStateIdle));
    QCOMPARE(status(rig.d()), model(uiText(173)));
    QCOMPARE(rig.flashedTypes(),
             (QVector<int>{CPartitionTable::EApplication, CPartitionTable::ECC3200,
                           -CPartitionTable::EBootloader2}));
    QVERIFY(!widget<QPushButton>(rig.d(), "ButtonBurn")->isEnabled());
    QVERIFY(widget<QPushButton>(rig.d(), "ButtonClose")->isEnabled());
    // An exit requested from the application would end any event loop at once.
    QEventLoop loop;
    QTimer::singleShot(1, &loop, [&] { loop.exit(7); });
    QCOMPARE(loop.exec(), 7);
}

void tst_UpdateWorkflow::restartedUnitNotIdentifiedEndsTheWait_data()
{
    QTest::addColumn<bool>("backWhileBoxOpen");
    QTest::addRow("back after the box") << false;
    QTest::addRow("back while the box is open") << true;
}

// After the reboot pause the unit comes back but none of its replies arrive intact: discovery
// gives up on it, and the update must stop with the failure text instead of waiting for an
// identification that will not come (update and close would stay locked for good).
void tst_UpdateWorkflow::restartedUnitNotIdentifiedEndsTheWait()
{
    QFETCH(bool, backWhileBoxOpen);
    SDevSimBehaviour behaviour;
    behaviour.rebootAfterUploadMs = 200;
    UpdateRig rig(bootUnit(false, 1), {}, behaviour);
    PortFollower follower(*rig.t->enumerator, *rig.wire, rig.sim, kPort);
    setMessageBoxHook([&](const SMessageBox& box) {
        rig.boxes.boxes << box;
        if (box.title == model(uiText(162))) {
            SDevSimFaults faults;
            faults.corruptCrc.probability = 1.0;
            rig.sim.engine().setFaults(faults, 1);
            if (backWhileBoxOpen)
                (void)QTest::qWaitFor(
                    [&] { return rig.t->connector->connected.count(kPort) == 2; });
        }
        return QMessageBox::Ok;
    });
    rig.d().on_ButtonBurn_clicked();

    QCOMPARE(rig.boxes.count(model(uiText(162))), 1);
    QCOMPARE(rig.t->connector->connected.count(kPort), 2);
    QCOMPARE(rig.d().state(), int(EStateIdle));
    QCOMPARE(status(rig.d()), model(uiText(173)));
    QVERIFY(!rig.d().updateRunning());
    QVERIFY(widget<QPushButton>(rig.d(), "ButtonClose")->isEnabled());
    QCOMPARE(rig.flashedTypes(), (QVector<int>{kBridgeWire, CPartitionTable::EApplication}));
    QCOMPARE(rig.sim.unit().powerCycles(), 1);
}

// While the tool waits for the bridge-path unit to restart, that unit is taken away and another
// one is plugged in: the update stops before anything reaches the newcomer.
void tst_UpdateWorkflow::anotherUnitStopsTheUpdate()
{
    const QString otherPort = QStringLiteral("/dev/ttyACM1");
    DialogOptions o;
    o.automatic = true;
    CDevSimLoopback other(bootUnit(false, 20, 20, 50456));
    UpdateRig rig(bootUnit(false, 1), o);
    other.attach(rig.t->connector->addPort(otherPort, nullptr));
    setMessageBoxHook([&](const SMessageBox& box) {
        rig.boxes.boxes << box;
        if (box.title == model(uiText(162))) {
            rig.t->enumerator->unplug(kPort);
            rig.t->enumerator->plug(devicePort(otherPort));
        }
        return QMessageBox::Ok;
    });
    QTRY_VERIFY(rig.boxes.count(model(uiText(162))) == 1 && !rig.d().updateRunning());

    QCOMPARE(rig.d().state(), int(EStateIdle));
    QCOMPARE(status(rig.d()), CUpdateWorkflow::otherUnitText());
    QCOMPARE(rig.flashedTypes(), (QVector<int>{kBridgeWire, CPartitionTable::EApplication}));
    QVERIFY(other.unit().flash().images().isEmpty());
    QCOMPARE(other.unit().requestCount(HLP_SET_SERIAL_NUMBER), 0);
    QCOMPARE(other.unit().requestCount(HLP_SWAP_BOOTLOADERS), 0);
    // No exit code 100: an exit requested from the application would end any event loop.
    QEventLoop loop;
    QTimer::singleShot(1, &loop, [&] { loop.exit(7); });
    QCOMPARE(loop.exec(), 7);
}

// A unit with application 2.01 was seen and taken away; the next unit runs 2.20 and needs no
// bridge (nor the reboot pause that follows it).
void tst_UpdateWorkflow::bridgeBelongsToTheUnit()
{
    const QString otherPort = QStringLiteral("/dev/ttyACM1");
    CDevSimLoopback other(bootUnit(false, 20, 20, 50456));
    UpdateRig rig(bootUnit(false, 1));
    QVERIFY(rig.d().updateFlags().bridgeNeeded);
    other.attach(rig.t->connector->addPort(otherPort, nullptr));
    rig.t->enumerator->unplug(kPort);
    rig.t->enumerator->plug(devicePort(otherPort));
    QCOMPARE(rig.d().state(), int(EStateReady));
    // Were the bridge still needed, the reboot wait would never end: a port that will not open
    // ends it.
    setMessageBoxHook([&](const SMessageBox& box) {
        rig.boxes.boxes << box;
        if (box.title == model(uiText(162))) {
            rig.t->enumerator->unplug(otherPort);
            rig.t->enumerator->plug(devicePort(QStringLiteral("/dev/ttyACM9")));
        }
        return QMessageBox::Ok;
    });
    rig.d().on_ButtonBurn_clicked();

    QCOMPARE(rig.boxes.count(model(uiText(162))), 0);
    QCOMPARE(rig.d().state(), int(EStateUpdated));
    QVector<int> types;
    for (const SDevSimFlashedImage& image : other.unit().flash().images())
        types << image.type;
    QCOMPARE(types, (QVector<int>{CPartitionTable::EApplication, CPartitionTable::ECC3200,
                                  CPartitionTable::EBootloader2}));
}

void tst_UpdateWorkflow::serialNumberRules_data()
{
    QTest::addColumn<SDevSimIdentity>("unit");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("serialWrites");
    QTest::addColumn<UINT32>("serialAfter");
    QTest::addColumn<QString>("record"); // $VENTARO_RECORD
    // -ap -sn: the unit is plugged in before the start.
    QTest::addRow("preset into a unit without one")
        << bootUnit(true, 20, 20, 0) << "50777" << int(EStateUpdated) << 1 << UINT32(50777)
        << QString();
    QTest::addRow("the unit's own low number refuses it, the preset is not written")
        << bootUnit(false, 20, 20, 123) << "50777" << int(EStateNotUpdatable) << 0 << UINT32(123)
        << QString();
    QTest::addRow("a low preset is refused before it is written")
        << bootUnit(false, 20, 20, 0) << "4711" << int(EStateNotUpdatable) << 0 << UINT32(0)
        << QString();
    // The plant's record must say the number is new; one that cannot be asked keeps it out.
    QTest::addRow("a preset the plant's record cannot vouch for is not written")
        << bootUnit(true, 20, 20, 0) << "50777" << int(EStateSerialNeeded) << 0 << UINT32(0)
        << "postgresql://nobody@127.0.0.1:1/plant";
}

void tst_UpdateWorkflow::serialNumberRules()
{
    QFETCH(SDevSimIdentity, unit);
    QFETCH(QString, preset);
    QFETCH(int, state);
    QFETCH(int, serialWrites);
    QFETCH(UINT32, serialAfter);
    QFETCH(QString, record);
    qputenv("VENTARO_RECORD", record.toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("VENTARO_RECORD"); });
    DialogOptions o;
    o.automatic = true;
    o.serialPreset = preset;
    UpdateRig rig(unit, o);
    QTRY_VERIFY(!rig.d().updateRunning() && rig.d().state() != EStateReady);
    QTest::qWait(10); // a queued automatic start would have begun by now

    QCOMPARE(rig.d().state(), state);
    QCOMPARE(rig.sim.unit().requestCount(HLP_SET_SERIAL_NUMBER), serialWrites);
    QCOMPARE(rig.sim.unit().identity().serial, serialAfter);
    QCOMPARE(rig.sim.unit().flash().images().isEmpty(), state != EStateUpdated);
    if (state == EStateNotUpdatable)
        QCOMPARE(rig.boxes.count(uiText(144)), 1);
    if (state == EStateSerialNeeded)
        QCOMPARE(rig.boxes.count(CUpdateWorkflow::serialTakenTitle()), 1);
}

void tst_UpdateWorkflow::applicationRunningShowsTheHint_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addRow("100 series") << false;
    QTest::addRow("plus") << true;
}

void tst_UpdateWorkflow::applicationRunningShowsTheHint()
{
    QFETCH(bool, plus);
    SDevSimIdentity id = bootUnit(plus, 20);
    id.partner = 3;
    UpdateRig rig(id);
    QCOMPARE(rig.d().state(), int(EStateApplicationRunning));
    QCOMPARE(status(rig.d()), uiText(131) + uiText(plus ? 164 : 165));
    QVERIFY(!widget<QPushButton>(rig.d(), "ButtonBurn")->isEnabled());
}

void tst_UpdateWorkflow::manufacturingSetsStartupMode()
{
    DialogOptions o;
    o.manufacturing = true;
    UpdateRig rig(bootUnit(true, 20), o);
    QCOMPARE(status(rig.d()), uiText(133));
    rig.d().on_ButtonBurn_clicked();
    QCOMPARE(rig.d().state(), int(EStateUpdated));
    QCOMPARE(rig.sim.unit().startupMode(), UINT8(1));
    QCOMPARE(rig.sim.unit().startRequests(), 1);
}

// ---- Current information -----------------------------------------------------------------------

void tst_UpdateWorkflow::runtimeText_data()
{
    QTest::addColumn<quint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::addRow("start") << quint64(0) << "Runtime: 00:00";
    QTest::addRow("61 s") << quint64(61) << "Runtime: 01:01";
    QTest::addRow("6000 s") << quint64(6000) << "Runtime: 100:00";
}

void tst_UpdateWorkflow::runtimeText()
{
    QFETCH(quint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(currentinfo::runtimeText(seconds), text);
}

void tst_UpdateWorkflow::liveValueBlock()
{
    DialogOptions o;
    o.manufacturing = true;
    SDevSimIdentity id = bootUnit(false, 24);
    id.partner = 3;
    UpdateRig rig(id, o);
    rig.d().onTimerCurrentInfo();
    const QStringList lines = rig.d().findChild<QTextEdit*>("Log")->toPlainText().split('\n');
    // A spacer paragraph, the runtime, the error state and the twelve values.
    // The appended "\n" gives an empty spacer paragraph (two empty lines in plain text).
    const QStringList want{"",
                           "",
                           "Runtime: 00:00",
                           "ES: ok",
                           "TOU: 5 °C",
                           "TEX: 21 °C",
                           "TSU: 19 °C",
                           "TEH: 8 °C",
                           "HOU: 70 %",
                           "HEX: 45 %",
                           "APR: 980 hPa",
                           "CO2: 640 ppm",
                           "FSS: 1320 1/min",
                           "FSE: 1340 1/min",
                           "RA: 35 m²",
                           "2A: 30 m³/h"};
    QCOMPARE(lines, want);

    // Before the application has measured anything: one line, no values.
    rig.sim.unit().live().fanExtractRpm = 0;
    rig.sim.unit().live().fanSupplyRpm = 0;
    rig.sim.unit().live().outdoorHum = 50;
    rig.sim.unit().live().extractHum = 50;
    rig.d().findChild<QTextEdit*>("Log")->clear();
    rig.d().onTimerCurrentInfo();
    QCOMPARE(rig.d().findChild<QTextEdit*>("Log")->toPlainText(),
             "Runtime: 00:00 - Application starting...");
}

void tst_UpdateWorkflow::liveValueFailuresAndPlusUnit()
{
    DialogOptions o;
    o.manufacturing = true;
    SDevSimIdentity id = bootUnit(false, 24);
    id.partner = 3;
    UpdateRig rig(id, o);
    auto* log = rig.d().findChild<QTextEdit*>("Log");
    rig.sim.engine().setFaults(
        [] {
            SDevSimFaults f;
            f.unplugAfterPackets = 1;
            return f;
        }(),
        1);
    rig.d().onTimerCurrentInfo();
    QCOMPARE(log->toPlainText(), "Runtime: 00:00 - getCurrentState() failed");

    // A plus unit is never asked for the 100-series state record.
    SDevSimIdentity plus = bootUnit(true, 24);
    plus.partner = 3;
    UpdateRig plusRig(plus, o);
    plusRig.d().onTimerCurrentInfo();
    QCOMPARE(plusRig.d().findChild<QTextEdit*>("Log")->toPlainText(), QString());
    QCOMPARE(plusRig.sim.unit().requestCount(HLP_GET_CURRENT_STATE), 0);
}

// ---- De-icing ----------------------------------------------------------------------------------

void tst_UpdateWorkflow::deIcing_data()
{
    QTest::addColumn<SDevSimIdentity>("id");
    QTest::addColumn<int>("counters");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("boxTitle");
    QTest::addColumn<int>("writes"); // counter requests after the click
    QTest::addColumn<bool>("checked");

    SDevSimIdentity app = bootUnit(false, 24, 24);
    app.partner = 3;
    QTest::addRow("on with OK") << app << 74 << true << uiText(170) << 2 << true;
    QTest::addRow("on cancelled") << app << 74 << false << uiText(170) << 0 << false;
    QTest::addRow("write of 39 fails") << app << 39 << true << uiText(170) << 1 << false;
    SDevSimIdentity old = app;
    old.applMain = 1;
    old.applSub = 19;
    QTest::addRow("application 1.19") << old << 74 << true << uiText(168) << 0 << false;
    QTest::addRow("bootloader running")
        << bootUnit(false, 24, 24) << 74 << true << uiText(166) << 0 << false;
}

void tst_UpdateWorkflow::deIcing()
{
    QFETCH(SDevSimIdentity, id);
    QFETCH(int, counters);
    QFETCH(bool, ok);
    QFETCH(QString, boxTitle);
    QFETCH(int, writes);
    QFETCH(bool, checked);

    id.counterCount = counters;
    DialogOptions o;
    o.owner = true;
    UpdateRig rig(id, o);
    auto& unitCounters = rig.sim.unit().counters();
    const int before = rig.sim.unit().requestCount(HLP_RW_PERS_COUNTER);
    QVector<QString> titles;
    setMessageBoxHook([&](const SMessageBox& box) {
        titles << box.title;
        return ok ? QMessageBox::Ok : QMessageBox::Cancel;
    });
    auto* check = widget<QCheckBox>(rig.d(), "ButtonDeIce");
    QVERIFY(!check->isChecked());
    check->setEnabled(true); // a bootloader state disables it; the rule must hold anyway
    QTest::mouseClick(check, Qt::LeftButton);

    QCOMPARE(titles, QVector<QString>{boxTitle});
    QCOMPARE(check->isChecked(), checked);
    QCOMPARE(rig.sim.unit().requestCount(HLP_RW_PERS_COUNTER) - before, writes);
    if (writes == 2) {
        QCOMPARE(unitCounters[39], 1u);
        QCOMPARE(unitCounters[40], 19u);
        // And off again: 22 and 11.
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(!check->isChecked());
        QCOMPARE(unitCounters[39], 22u);
        QCOMPARE(unitCounters[40], 11u);
    }
}

// A unit up to date with the built-in images takes the bundle's application, in the dialog's
// usual order; the bootloader, which the bundle does not carry, stays as it is.
void tst_UpdateWorkflow::bundleImagesAreFlashed()
{
    BundleMaker bundles;
    QVERIFY(bundles.ready());
    const QString vfw = bundles.make("ventaroplus", 31, 2);
    QVERIFY(!vfw.isEmpty());
    UpdateRig rig(bootUnit(true, 30, 24, 60001));
    QCOMPARE(rig.d().state(), int(EStateUpToDate));
    QVERIFY(rig.d().loadBundle(vfw));
    QCOMPARE(rig.d().state(), int(EStateReady));
    rig.d().on_ButtonBurn_clicked();
    QCOMPARE(rig.d().state(), int(EStateUpdated));
    QCOMPARE(rig.flashedTypes(), QVector<int>{CPartitionTable::EApplication});
    const SDevSimFlashedImage& written = rig.sim.unit().flash().images().first();
    QCOMPARE(int(written.subVer), 31);
    QCOMPARE(written.blocks.size(),
             CFlashImageList()
                 .find(CPartitionTable::EApplication, CFlashImage::ESystemPlus)
                 ->m_MemBlocks.size());
}

QTEST_MAIN(tst_UpdateWorkflow)
#include "tst_updateworkflow.moc"
