// Before any Qt header: the engine has a member named like a Qt keyword macro.
#include "engine/devsimloopback.h"

#include "bundlemaker.h"
#include "device/uitext.h"
#include "dialogfixture.h"
#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"
#include "logcapture.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

Q_DECLARE_METATYPE(SDevSimIdentity)

namespace {
const QString kCom3 = QStringLiteral("/dev/ttyACM3");
const QString kCom7 = QStringLiteral("COM7");

QString field(const QDialog& d, const char* name)
{
    auto* edit = d.findChild<QLineEdit*>(QLatin1String(name));
    return edit ? edit->text() : QStringLiteral("<missing>");
}
QString status(const QDialog& d)
{
    return d.findChild<QLabel*>(QStringLiteral("Status"))->text();
}
template <typename W>
W* widget(const QDialog& d, const char* name)
{
    return d.findChild<W*>(QLatin1String(name));
}

SDevSimIdentity unit(UINT8 partner, UINT32 serial = 50123)
{
    SDevSimIdentity id;
    id.partner = partner;
    id.serial = serial;
    return id;
}

// A dialog whose built-in second bootloader image is a version behind the first.
class SkewedImagesDialog : public CMainDialogNew
{
public:
    using CMainDialogNew::CMainDialogNew;
    void imageVersion(int type, UINT8& mainVer, UINT8& subVer) override
    {
        CMainDialogNew::imageVersion(type, mainVer, subVer);
        if (type == CPartitionTable::EBootloader2)
            subVer = UINT8(subVer - 1);
    }
};
} // namespace

class tst_MainDialog : public QObject
{
    Q_OBJECT

private slots:
    // Discovery on fake ports.
    void portSelection_data();
    void portSelection();
    void replugOnSameNameRunsTheChainAgain();
    void modelSwitchKeepsThePort();

    // Identification against the simulated unit.
    void identityAfterPlugIn_data();
    void identityAfterPlugIn();
    void silentDeviceEndsInStateZero();
    void corruptedPartnerIsReported();
    void notUpdatableBoxes_data();
    void notUpdatableBoxes();
    void bootloaderImagesOutOfSync();
    void serialPresetDifferingFromDevice();
    void unitRemovedWhileItsBoxIsOpen_data();
    void unitRemovedWhileItsBoxIsOpen();
    void deIceFollowsCounter39();

    // The window.
    void slotsInTheirOrder();
    void optionsSwitchWidgets();
    void dialogStates_data();
    void dialogStates();
    void rejectIgnoredWhileCloseDisabled();
    void automaticRunPlacesWindowTopRight();
    void firmwareBundleReplacesAvailableSoftware();
};

// ---- Discovery --------------------------------------------------------------------------------

void tst_MainDialog::portSelection_data()
{
    QTest::addColumn<QList<SPortInfo>>("ports");
    QTest::addColumn<QString>("excluded");
    QTest::addColumn<QString>("opened");

    QTest::addRow("last of two qualifying ports")
        << QList<SPortInfo>{devicePort("COM3"), devicePort(kCom7)} << "" << kCom7;
    QTest::addRow("excluded name in other case")
        << QList<SPortInfo>{devicePort("COM3"), devicePort(kCom7)} << "com7"
        << "COM3";
    QTest::addRow("only port excluded") << QList<SPortInfo>{devicePort(kCom7)} << "com7"
                                        << "";
    QTest::addRow("excluded by full path")
        << QList<SPortInfo>{devicePort("ttyACM0"), devicePort("ttyACM1")} << "/dev/ttyACM1"
        << "ttyACM0";
    QTest::addRow("full-path port excluded by short name")
        << QList<SPortInfo>{devicePort("/dev/ttyACM0"), devicePort("/dev/ttyACM1")} << "ttyacm1"
        << "/dev/ttyACM0";
    QTest::addRow("other folder is another port")
        << QList<SPortInfo>{devicePort("/tmp/ttyACM1")} << "ttyACM1"
        << "/tmp/ttyACM1";
    QTest::addRow("wrong vendor ID")
        << QList<SPortInfo>{devicePort("COM3"), devicePort(kCom7, 0x0408)} << ""
        << "COM3";
    QTest::addRow("wrong product ID") << QList<SPortInfo>{devicePort(kCom7, 0x0409, 0x01D8)} << ""
                                      << "";
}

void tst_MainDialog::portSelection()
{
    QFETCH(QList<SPortInfo>, ports);
    QFETCH(QString, excluded);
    QFETCH(QString, opened);

    BoxRecorder boxes;
    std::vector<std::unique_ptr<CDevSimLoopback>> units;
    DialogOptions o;
    o.excluded = excluded;
    DialogOnLoopback<> t(o, [&](FakeEnumerator& e, LoopbackConnector& c) {
        for (const SPortInfo& p : ports) {
            units.push_back(std::make_unique<CDevSimLoopback>(unit(1)));
            units.back()->attach(c.addPort(p.portName, nullptr));
        }
        e.ports = ports;
    });
    QCOMPARE(t.connector->portName(*t.dialog->fan()), opened);
    QCOMPARE(t.enumerator->notificationSetUps, 1);
    if (opened.isEmpty()) {
        QCOMPARE(t.connector->connectCalls, 0); // nothing selected, nothing open: no change
        QCOMPARE(t.dialog->state(), int(EStateIdle));
    } else {
        QCOMPARE(t.connector->connected, QStringList{opened});
        QCOMPARE(t.dialog->comPartner(), 1);
    }
}

void tst_MainDialog::replugOnSameNameRunsTheChainAgain()
{
    BoxRecorder boxes;
    CDevSimLoopback sim(unit(1));
    DialogOnLoopback<> t(DialogOptions{}, [&](FakeEnumerator&, LoopbackConnector& c) {
        sim.attach(c.addPort(kCom7, nullptr));
    });
    LogCapture log;
    t.enumerator->plug(devicePort(kCom7));
    QCOMPARE(t.dialog->comPartner(), 1);
    QCOMPARE(field(*t.dialog, "BootloaderVersion"), "2.20.A");
    QCOMPARE(t.dialog->state(), int(EStateReady));

    // Another port coming and going does not touch the open one.
    t.enumerator->plug(devicePort("/dev/ttyS0", 0, 0));
    QCOMPARE(log.countExact("*** on_DeviceListChanged(): com port not changed"), 1);

    t.enumerator->unplug(kCom7);
    QCOMPARE(t.connector->portName(*t.dialog->fan()), QString());
    QCOMPARE(t.dialog->state(), int(EStateIdle));
    QCOMPARE(field(*t.dialog, "BootloaderVersion"), QString());
    QCOMPARE(field(*t.dialog, "ApplicationVersion"), QString());

    log.clear();
    t.enumerator->plug(devicePort(kCom7));
    QCOMPARE(log.countExact("*** on_DeviceListChanged():com partner  1"), 1);
    QCOMPARE(field(*t.dialog, "BootloaderVersion"), "2.20.A");
    QCOMPARE(t.dialog->state(), int(EStateReady));
    QCOMPARE(t.connector->connected, (QStringList{kCom7, QString(), kCom7}));
}

void tst_MainDialog::modelSwitchKeepsThePort()
{
    BoxRecorder boxes;
    SDevSimIdentity plusId = unit(1);
    plusId.model = SDevSimIdentity::EModelPlus;
    CDevSimLoopback plus(plusId);
    CDevSimLoopback hundred(unit(1));
    DialogOnLoopback<> t(DialogOptions{}, [&](FakeEnumerator&, LoopbackConnector& c) {
        plus.attach(c.addPort(kCom7, nullptr));
        hundred.attach(c.addPort(kCom3, nullptr));
    });
    QCOMPARE(t.dialog->fan()->modelType(), 0);

    t.enumerator->plug(devicePort(kCom7));
    QCOMPARE(t.dialog->fan()->modelType(), 1);
    QVERIFY(t.dialog->isPlus());
    QCOMPARE(t.connector->portName(*t.dialog->fan()), kCom7);
    QCOMPARE(t.dialog->comPartner(), 1);

    t.enumerator->unplug(kCom7);
    t.enumerator->plug(devicePort(kCom3));
    QCOMPARE(t.dialog->fan()->modelType(), 0);
    QVERIFY(!t.dialog->isPlus());
    QCOMPARE(t.connector->portName(*t.dialog->fan()), kCom3);
    QCOMPARE(field(*t.dialog, "SerialNumber"), "50123");
}

// ---- Identification ---------------------------------------------------------------------------

void tst_MainDialog::identityAfterPlugIn_data()
{
    QTest::addColumn<SDevSimIdentity>("id");
    QTest::addColumn<QString>("boot");
    QTest::addColumn<QString>("appl");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("statusText");

    // The built-in images are bootloader 2.24 and application 2.24.
    SDevSimIdentity a = unit(1);
    QTest::addRow("partner 1, older bootloader") << a << "2.20.A"
                                                 << "2.20" << int(EStateReady) << uiText(132);
    SDevSimIdentity b = unit(2);
    b.runningCopy = 2;
    b.bootSub = 24;
    b.applSub = 30;
    QTest::addRow("partner 2, up to date") << b << "2.24.B"
                                           << "2.30" << int(EStateUpToDate) << uiText(138);
    SDevSimIdentity x = b;
    x.partnerX = 1;
    QTest::addRow("partner 2 with X marker") << x << "2.24.BX"
                                             << "2.30" << int(EStateReady) << uiText(132);
    SDevSimIdentity c = unit(3);
    c.applMain = 3;
    c.applSub = 5;
    QTest::addRow("partner 3, application running")
        << c << "2.20.C"
        << "3.05" << int(EStateApplicationRunning) << QString(uiText(131) + uiText(165));
}

void tst_MainDialog::identityAfterPlugIn()
{
    QFETCH(SDevSimIdentity, id);
    QFETCH(QString, boot);
    QFETCH(QString, appl);
    QFETCH(int, state);
    QFETCH(QString, statusText);

    BoxRecorder boxes;
    CDevSimLoopback sim(id);
    DialogOnLoopback<> t(DialogOptions{}, [&](FakeEnumerator&, LoopbackConnector& c) {
        sim.attach(c.addPort(kCom7, nullptr));
    });
    t.enumerator->plug(devicePort(kCom7));

    const CMainDialogNew& d = *t.dialog;
    QCOMPARE(field(d, "SerialNumber"), QString::number(id.serial));
    QCOMPARE(field(d, "BoardVersion"), QString::number(id.board));
    QCOMPARE(field(d, "ApplicationVersion"), appl);
    QCOMPARE(field(d, "BootloaderVersion"), boot);
    QCOMPARE(field(d, "WifiVersion"), "3.05");
    QVERIFY(widget<QLineEdit>(d, "WifiVersion")->isHidden());
    QVERIFY(widget<QLabel>(d, "WifiVersionLabel")->isHidden());
    QCOMPARE(d.comPartner(), int(id.partner));
    QCOMPARE(d.serialNumber(), int(id.serial));
    QCOMPARE(d.state(), state);
    QCOMPARE(status(d), statusText);
    QCOMPARE(widget<QPushButton>(d, "ButtonBurn")->isEnabled(), state == EStateReady);
    QVERIFY(boxes.boxes.isEmpty());
}

void tst_MainDialog::silentDeviceEndsInStateZero()
{
    BoxRecorder boxes;
    DialogOnLoopback<> t(DialogOptions{}, [&](FakeEnumerator&, LoopbackConnector& c) {
        c.addPort(kCom7, nullptr); // opens, but nobody answers
    });
    LogCapture log;
    t.enumerator->plug(devicePort(kCom7));
    QCOMPARE(log.countExact("*** on_DeviceListChanged():com partner  0"), 1);
    QCOMPARE(log.countExact("on_DeviceListChanged(): all good"), 1);
    QCOMPARE(t.dialog->comPartner(), 0);
    QCOMPARE(t.dialog->state(), int(EStateIdle));
    QCOMPARE(field(*t.dialog, "BootloaderVersion"), QString());
    // Three identifications, each giving the unit ten seconds of (virtual) time.
    QVERIFY(t.connector->wire(kCom7)->now() >= 3 * CFanBase::kIdentRetryWindowMs);
    QVERIFY(t.connector->wire(kCom7)->now() < 4 * CFanBase::kIdentRetryWindowMs);
    // The port stays open: the unchanged port is not identified again.
    QCOMPARE(t.connector->portName(*t.dialog->fan()), kCom7);
}

void tst_MainDialog::corruptedPartnerIsReported()
{
    BoxRecorder boxes;
    CDevSimLoopback sim(unit(4));
    DialogOnLoopback<> t(DialogOptions{}, [&](FakeEnumerator&, LoopbackConnector& c) {
        sim.attach(c.addPort(kCom7, nullptr));
    });
    LogCapture log;
    t.enumerator->plug(devicePort(kCom7));
    QCOMPARE(log.count("Sending report ident request..."), 3);
    QCOMPARE(t.dialog->comPartner(), 0);
    QCOMPARE(t.dialog->state(), int(EStateIdle));
    // State 0 leaves the status line alone.
    QCOMPARE(status(*t.dialog), "- Communication failed (corrupted sender address) - ");
    // Identification filled the fields; state 0 cleared all but the board version.
    QCOMPARE(field(*t.dialog, "BoardVersion"), "3");
    QCOMPARE(field(*t.dialog, "SerialNumber"), QString());
    QCOMPARE(field(*t.dialog, "BootloaderVersion"), QString());
}

void tst_MainDialog::notUpdatableBoxes_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addColumn<int>("bootMain");
    QTest::addColumn<int>("serial");
    QTest::addColumn<int>("boxText"); // uiText index, 0 for no box
    QTest::addColumn<int>("state");

    QTest::addRow("bootloader 1.x, no serial") << false << 1 << 0 << 139 << int(EStateNotUpdatable);
    QTest::addRow("bootloader 1.x, serial 123")
        << false << 1 << 123 << 142 << int(EStateNotUpdatable);
    QTest::addRow("bootloader 1.x, serial 50000")
        << false << 1 << 50000 << 139 << int(EStateNotUpdatable);
    QTest::addRow("serial 49999") << false << 2 << 49999 << 142 << int(EStateNotUpdatable);
    QTest::addRow("serial 50000") << false << 2 << 50000 << 0 << int(EStateReady);
    QTest::addRow("plus, bootloader 1.x, serial 123") << true << 1 << 123 << 0 << int(EStateReady);
}

void tst_MainDialog::notUpdatableBoxes()
{
    QFETCH(bool, plus);
    QFETCH(int, bootMain);
    QFETCH(int, serial);
    QFETCH(int, boxText);
    QFETCH(int, state);

    BoxRecorder boxes;
    SDevSimIdentity id = unit(1, UINT32(serial));
    id.bootMain = UINT8(bootMain);
    id.model = plus ? SDevSimIdentity::EModelPlus : SDevSimIdentity::EModel100;
    CDevSimLoopback sim(id);
    DialogOptions o;
    o.serialPreset = serial == 0 ? QStringLiteral("60000") : QString();
    DialogOnLoopback<> t(o, [&](FakeEnumerator& e, LoopbackConnector& c) {
        sim.attach(c.addPort(kCom7, nullptr));
        e.ports << devicePort(kCom7);
    });
    if (boxText == 0) {
        QVERIFY(boxes.boxes.isEmpty());
    } else {
        QCOMPARE(boxes.boxes.size(), 1);
        const SMessageBox& box = boxes.boxes.first();
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.title, uiText(144));
        QCOMPARE(box.text, uiText(boxText));
        QCOMPARE(box.parent, nullptr);
    }
    QCOMPARE(t.dialog->updateFlags().notUpdatable, boxText != 0);
    QCOMPARE(t.dialog->state(), state);
}

void tst_MainDialog::bootloaderImagesOutOfSync()
{
    BoxRecorder boxes;
    CDevSimLoopback sim(unit(1));
    DialogOnLoopback<SkewedImagesDialog> t(
        DialogOptions{},
        [&](FakeEnumerator&, LoopbackConnector& c) { sim.attach(c.addPort(kCom7, nullptr)); });
    t.enumerator->plug(devicePort(kCom7));
    // One warning per identification attempt; the unit never counts as identified.
    QCOMPARE(boxes.count(uiText(156)), 3);
    QCOMPARE(boxes.boxes.first().text, uiText(157));
    QCOMPARE(boxes.boxes.first().icon, QMessageBox::Warning);
    QCOMPARE(boxes.boxes.first().parent, t.dialog.get());
    QCOMPARE(t.dialog->comPartner(), 0);
    QCOMPARE(t.dialog->state(), int(EStateIdle));
    QVERIFY(!widget<QPushButton>(*t.dialog, "ButtonBurn")->isEnabled());
}

void tst_MainDialog::serialPresetDifferingFromDevice()
{
    BoxRecorder boxes;
    CDevSimLoopback sim(unit(1, 50123));
    DialogOptions o;
    o.serialPreset = QStringLiteral("50124");
    DialogOnLoopback<> t(
        o, [&](FakeEnumerator&, LoopbackConnector& c) { sim.attach(c.addPort(kCom7, nullptr)); });
    t.enumerator->plug(devicePort(kCom7));
    QCOMPARE(boxes.count(uiText(152)), 1);
    QCOMPARE(boxes.boxes.first().text, uiText(153));
    // The unit keeps its own number; the preset is for units without one.
    QCOMPARE(field(*t.dialog, "SerialNumber"), "50123");
    QCOMPARE(t.dialog->serialNumber(), 50123);
    QCOMPARE(t.dialog->state(), int(EStateReady));
    t.enumerator->unplug(kCom7);
    QCOMPARE(field(*t.dialog, "SerialNumber"), "50124");

    // The same number as the unit's: no box.
    BoxRecorder again;
    CDevSimLoopback same(unit(1, 50124));
    DialogOnLoopback<> u(o, [&](FakeEnumerator& e, LoopbackConnector& c) {
        same.attach(c.addPort(kCom7, nullptr));
        e.ports << devicePort(kCom7);
    });
    QVERIFY(again.boxes.isEmpty());
}

void tst_MainDialog::unitRemovedWhileItsBoxIsOpen_data()
{
    QTest::addColumn<UINT32>("serial");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("boxTitle");
    QTest::addRow("not updatable") << UINT32(123) << QString() << 144;
    QTest::addRow("preset differs") << UINT32(50123) << QStringLiteral("50124") << 152;
}

// The unit is unplugged while a box of its identification is open: the discovery that runs
// meanwhile shows state 0, and the interrupted identification adds nothing for the gone unit.
void tst_MainDialog::unitRemovedWhileItsBoxIsOpen()
{
    QFETCH(UINT32, serial);
    QFETCH(QString, preset);
    QFETCH(int, boxTitle);
    CDevSimLoopback sim(unit(1, serial));
    DialogOptions o;
    o.serialPreset = preset;
    DialogOnLoopback<> t(
        o, [&](FakeEnumerator&, LoopbackConnector& c) { sim.attach(c.addPort(kCom7, nullptr)); });
    int boxes = 0;
    setMessageBoxHook([&](const SMessageBox& box) {
        boxes += box.title == uiText(boxTitle);
        t.enumerator->unplug(kCom7);
        return QMessageBox::Ok;
    });
    const auto restore = qScopeGuard([] { setMessageBoxHook({}); });
    t.enumerator->plug(devicePort(kCom7));

    QCOMPARE(boxes, 1);
    QCOMPARE(t.dialog->state(), int(EStateIdle));
    QCOMPARE(t.dialog->comPartner(), 0);
    QCOMPARE(field(*t.dialog, "ApplicationVersion"), QString());
    QCOMPARE(field(*t.dialog, "BootloaderVersion"), QString());
    QVERIFY(!widget<QPushButton>(*t.dialog, "ButtonBurn")->isEnabled());
}

void tst_MainDialog::deIceFollowsCounter39()
{
    BoxRecorder boxes;
    SDevSimIdentity id = unit(3);
    CDevSimLoopback on(id);
    on.unit().counters()[CPersCounter_ReadOnly::EMinSwitchOffTempDeicing] = 9;
    CDevSimLoopback off(id);
    off.unit().counters()[CPersCounter_ReadOnly::EMinSwitchOffTempDeicing] = 10;
    id.applMain = 1;
    id.applSub = 19;
    CDevSimLoopback old(id);
    DialogOptions o;
    o.owner = true;
    DialogOnLoopback<> t(o, [&](FakeEnumerator&, LoopbackConnector& c) {
        on.attach(c.addPort("on", nullptr));
        off.attach(c.addPort("off", nullptr));
        old.attach(c.addPort("old", nullptr));
    });
    auto* check = widget<QCheckBox>(*t.dialog, "ButtonDeIce");

    t.enumerator->plug(devicePort("on"));
    QVERIFY(t.dialog->deIceAvailable());
    QVERIFY(check->isChecked());
    QVERIFY(check->isEnabled()); // state 7
    t.enumerator->unplug("on");
    QVERIFY(!check->isChecked()); // state 0 unchecks

    t.enumerator->plug(devicePort("off"));
    QVERIFY(t.dialog->deIceAvailable());
    QVERIFY(!check->isChecked());
    t.enumerator->unplug("off");

    check->setChecked(true);
    t.enumerator->plug(devicePort("old"));
    QVERIFY(!t.dialog->deIceAvailable());
    QVERIFY(check->isChecked()); // left as it was
}

// ---- The window -------------------------------------------------------------------------------

void tst_MainDialog::slotsInTheirOrder()
{
    const QMetaObject& mo = CMainDialogNew::staticMetaObject;
    const QStringList expected{"on_ButtonClose_clicked()",
                               "on_ButtonBurn_clicked()",
                               "on_DeviceListChanged()",
                               "on_TextEditedIdentData()",
                               "on_ButtonAppl_clicked()",
                               "on_ButtonCC3200_clicked()",
                               "on_ButtonCC3200bridge_clicked()",
                               "on_ButtonBootLdr_clicked()",
                               "reject()",
                               "onTimerCurrentInfo()",
                               "userInfo(QString)",
                               "on_ButtonDeIce_clicked(bool)"};
    QStringList own;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
        own << QString::fromLatin1(mo.method(i).methodSignature());
    QCOMPARE(own, expected);
    for (const char* withResult : {"on_ButtonAppl_clicked()", "on_ButtonBootLdr_clicked()"}) {
        const QMetaMethod m = mo.method(mo.indexOfMethod(withResult));
        QCOMPARE(m.returnType(), int(QMetaType::Bool));
    }
}

void tst_MainDialog::optionsSwitchWidgets()
{
    BoxRecorder boxes;
    {
        DialogOnLoopback<> plain;
        const CMainDialogNew& d = *plain.dialog;
        QCOMPARE(d.size(), QSize(470, 400));
        QVERIFY(widget<QTextEdit>(d, "Log")->isHidden());
        QVERIFY(widget<QWidget>(d, "DebugPanelContainer")->isHidden());
        QVERIFY(widget<QWidget>(d, "DebugWidgetContainer")->isHidden());
        QVERIFY(widget<QWidget>(d, "DeIceGroup")->isHidden());
        QCOMPARE(widget<QPushButton>(d, "ButtonBurn")->text(), uiText(128));
        QCOMPARE(widget<QPushButton>(d, "ButtonClose")->text(), uiText(127));
        QCOMPARE(field(d, "ImageApplicationVersion"), "2.24");
        QCOMPARE(field(d, "ImageBootloaderVersion"), "2.24");
        QVERIFY(!widget<QLineEdit>(d, "ImageApplicationVersion")->isEnabled());
        QCOMPARE(status(d), uiText(143));
        QCOMPARE(widget<QLabel>(d, "Header")->text(), "Korvath\nUpdate-ventaro-2.24 ");
        QVERIFY(!(d.windowFlags() & Qt::WindowContextHelpButtonHint));
        QCOMPARE(widget<QCheckBox>(d, "ButtonDeIce")->styleSheet(),
                 "QCheckBox:checked { background:yellow;}");
    }
    {
        DialogOptions o;
        o.manufacturing = true;
        o.owner = true;
        DialogOnLoopback<> t(o);
        const CMainDialogNew& d = *t.dialog;
        QVERIFY(!widget<QTextEdit>(d, "Log")->isHidden());
        QVERIFY(widget<QWidget>(d, "DebugPanelContainer")->isHidden());
        QVERIFY(!widget<QWidget>(d, "DeIceGroup")->isHidden());
        QVERIFY(!widget<QWidget>(d, "DeIceContainer")->isHidden());
        QCOMPARE(widget<QPushButton>(d, "ButtonBurn")->text(), uiText(155));
        t.dialog->appendLog("first", true);
        t.dialog->appendLog("second", false);
        QCOMPARE(widget<QTextEdit>(d, "Log")->toPlainText(), "first\nsecond");
    }
    {
        DialogOptions o;
        o.debug = true;
        DialogOnLoopback<> t(o);
        const CMainDialogNew& d = *t.dialog;
        QVERIFY(!widget<QTextEdit>(d, "Log")->isHidden());
        QVERIFY(!widget<QWidget>(d, "DebugPanelContainer")->isHidden());
        QVERIFY(!widget<QWidget>(d, "DebugWidgetContainer")->isHidden());
        QCOMPARE(t.dialog->fan()->debugOutput(), widget<QTextEdit>(d, "Log"));
        QVERIFY(widget<QWidget>(d, "DebugPanelContainer")->children().size() <= 1); // its layout
    }
}

void tst_MainDialog::dialogStates_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("burn");
    QTest::addColumn<bool>("close");
    QTest::addColumn<bool>("progress");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("serialEditable");
    QTest::addColumn<bool>("deIce");
    QTest::addColumn<QString>("statusText"); // "unchanged" keeps the previous one

    QTest::addRow("0") << 0 << false << true << false << 0 << false << false << "unchanged";
    QTest::addRow("1") << 1 << true << true << false << 0 << false << true << uiText(132);
    QTest::addRow("2") << 2 << false << true << false << 0 << false << true << uiText(138);
    QTest::addRow("3") << 3 << false << false << true << 0 << false << false << uiText(154);
    QTest::addRow("4") << 4 << false << true << true << 100 << false << false << uiText(136);
    QTest::addRow("5") << 5 << false << true << false << 0 << true << false << uiText(146);
    QTest::addRow("6") << 6 << false << true << false << 0 << false << false << uiText(145);
    QTest::addRow("7") << 7 << false << true << false << 0 << false << true
                       << QString(uiText(131) + uiText(165));
    QTest::addRow("8") << 8 << false << true << false << 0 << false << false << uiText(137);
    QTest::addRow("9") << 9 << false << false << false << 0 << false << false
                       << uiText(160).replace("%1", "ventaro100");
    QTest::addRow("12 acts as 0") << 12 << false << true << false << 0 << false << false
                                  << "unchanged";
}

void tst_MainDialog::dialogStates()
{
    QFETCH(int, state);
    QFETCH(bool, burn);
    QFETCH(bool, close);
    QFETCH(bool, progress);
    QFETCH(int, value);
    QFETCH(bool, serialEditable);
    QFETCH(bool, deIce);
    QFETCH(QString, statusText);

    DialogOnLoopback<> t;
    CMainDialogNew& d = *t.dialog;
    d.userInfo("previous");
    widget<QLineEdit>(d, "SerialNumber")->setText("50001");
    widget<QCheckBox>(d, "ButtonDeIce")->setChecked(true);
    d.showState(state);

    QCOMPARE(widget<QPushButton>(d, "ButtonBurn")->isEnabled(), burn);
    QCOMPARE(widget<QPushButton>(d, "ButtonClose")->isEnabled(), close);
    QCOMPARE(widget<QProgressBar>(d, "Progress")->isEnabled(), progress);
    QCOMPARE(widget<QProgressBar>(d, "Progress")->value(), value);
    auto* serial = widget<QLineEdit>(d, "SerialNumber");
    QCOMPARE(!serial->isReadOnly() && serial->isEnabled(), serialEditable);
    QCOMPARE(widget<QCheckBox>(d, "ButtonDeIce")->isEnabled(), deIce);
    QCOMPARE(status(d), statusText == "unchanged" ? QStringLiteral("previous") : statusText);
    const bool idle = state == 0 || state > 9;
    QCOMPARE(serial->text(), idle ? QString() : QStringLiteral("50001"));
    QCOMPARE(widget<QCheckBox>(d, "ButtonDeIce")->isChecked(), !idle);
    QCOMPARE(widget<QLabel>(d, "Banner")->text().contains(uiText(135)), state == 3);
}

void tst_MainDialog::rejectIgnoredWhileCloseDisabled()
{
    DialogOnLoopback<> t;
    CMainDialogNew& d = *t.dialog;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    d.showState(EStateUpdating);
    QTest::keyClick(&d, Qt::Key_Escape);
    d.reject();
    QVERIFY(d.isVisible());
    d.showState(EStateUpdated);
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(!d.isVisible());
}

void tst_MainDialog::automaticRunPlacesWindowTopRight()
{
    // The offscreen screen is 800 x 600; a small font keeps the dialog narrower than that.
    const QFont previousFont = QApplication::font();
    QApplication::setFont(QFont(previousFont.family(), 7));
    auto restoreFont = qScopeGuard([&] { QApplication::setFont(previousFont); });
    DialogOptions o;
    o.automatic = true;
    DialogOnLoopback<> t(o);
    CMainDialogNew& d = *t.dialog;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(d.frameGeometry().top(), 50);
    QCOMPARE(d.frameGeometry().right(), area.right() - 50);
    QCOMPARE(d.size(), d.minimumSizeHint());
}

// A unit up to date with the built-in images is ready for the bundle's newer application; a
// refused bundle says why and changes nothing, also after a bundle was accepted.
void tst_MainDialog::firmwareBundleReplacesAvailableSoftware()
{
    BundleMaker bundles;
    QVERIFY(bundles.ready());
    const QString good = bundles.make("Application", 31, 1);
    const QString foreign = bundles.make("Application", 31, 1, false);
    QVERIFY(!good.isEmpty() && !foreign.isEmpty());

    BoxRecorder boxes;
    SDevSimIdentity id = unit(2);
    id.runningCopy = 2;
    id.bootSub = 24;
    id.applSub = 30;
    CDevSimLoopback sim(id);
    DialogOnLoopback<> t({}, [&](FakeEnumerator& e, LoopbackConnector& c) {
        sim.attach(c.addPort(kCom3, nullptr));
        e.ports = {devicePort(kCom3)};
    });
    QCOMPARE(t.dialog->state(), int(EStateUpToDate));
    auto* release = widget<QLabel>(*t.dialog, "BundleRelease");
    QVERIFY(release && !release->isVisibleTo(t.dialog.get()));

    QVERIFY(!t.dialog->loadBundle(foreign));
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY2(boxes.boxes.last().text.contains(QLatin1String("not trust")),
             qPrintable(boxes.boxes.last().text));
    QCOMPARE(field(*t.dialog, "ImageApplicationVersion"), QStringLiteral("2.24"));
    QCOMPARE(t.dialog->state(), int(EStateUpToDate));

    QVERIFY(t.dialog->loadBundle(good));
    QCOMPARE(field(*t.dialog, "ImageApplicationVersion"), QStringLiteral("2.31"));
    QCOMPARE(field(*t.dialog, "ImageBootloaderVersion"), QStringLiteral("2.24"));
    QVERIFY(release->isVisibleTo(t.dialog.get()));
    QVERIFY2(release->text().contains(QLatin1String("2.31")), qPrintable(release->text()));
    QCOMPARE(t.dialog->state(), int(EStateReady));

    QVERIFY(!t.dialog->loadBundle(bundles.path("missing.vfw")));
    QCOMPARE(boxes.boxes.size(), 2);
    QVERIFY(boxes.boxes.last().informativeText.contains(QLatin1String("2.31")));
    QCOMPARE(field(*t.dialog, "ImageApplicationVersion"), QStringLiteral("2.31"));

    // -ap with a bundle that is refused: the update queued by the first discovery, with the
    // images that were not asked for, does not run.
    CFlashImageList::useBuiltIn();
    DialogOptions automatic;
    automatic.automatic = true;
    CDevSimLoopback older(unit(1));
    DialogOnLoopback<> a(automatic, [&](FakeEnumerator& e, LoopbackConnector& c) {
        older.attach(c.addPort(kCom3, nullptr));
        e.ports = {devicePort(kCom3)};
    });
    QCOMPARE(a.dialog->state(), int(EStateReady));
    QVERIFY(!a.dialog->loadBundle(foreign));
    QCoreApplication::processEvents();
    QCOMPARE(a.dialog->state(), int(EStateReady));
    QVERIFY(older.unit().flash().images().isEmpty());
}

QTEST_MAIN(tst_MainDialog)
#include "tst_maindialog.moc"
