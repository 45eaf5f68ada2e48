// The dialog on the real Linux device path: a simulated unit behind a mocked USB CDC-ACM tty in
// a umockdev test bed, found through udev, opened through QSerialPort, on a real clock (runs
// under umockdev-wrapper).

// First: glib's headers use names that Qt defines as macros, and the engine has a member named
// like one.
#include "mockbed.h"

#include "updaterig.h"

#include "device/uitext.h"
#include "firmware/flashpackets.h"

#include <QLineEdit>

#include <atomic>
#include <memory>

namespace {
// Discovery, opening and identification of a unit that was plugged in.
constexpr int kFoundWithinMs = 5000;

std::unique_ptr<CMainDialogNew> realDialog()
{
    return std::make_unique<CMainDialogNew>(false, false, false, false, false, false, QString(),
                                            QString(), false, QStringLiteral("testvalues.csv"));
}

int beginUploads(UnitBridge& unit)
{
    return unit.with([](CDevSimEngine& e) { return e.unit().requestCount(flash::kBeginUpload); });
}
} // namespace

class tst_UdevUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plusUpdate();
    void cablePulledMidUpdate();
    void bridgeUnitBackUnderAnotherName();

private:
    std::unique_ptr<MockBed> m_Bed;
};

void tst_UdevUpdate::initTestCase()
{
    m_Bed = std::make_unique<MockBed>();
    QVERIFY2(MockBed::active(), "run this test under umockdev-wrapper");
}

void tst_UdevUpdate::plusUpdate()
{
    UnitBridge unit(bootUnit(true, 20));
    BedFollower follower(*m_Bed, unit);
    BoxRecorder boxes;
    auto d = realDialog();
    follower.start();
    QTRY_COMPARE_WITH_TIMEOUT(d->state(), int(EStateReady), kFoundWithinMs);
    QCOMPARE(widget<QLineEdit>(*d, "SerialNumber")->text(), QStringLiteral("50123"));

    d->on_ButtonBurn_clicked();
    QCOMPARE(d->state(), int(EStateUpdated));
    QCOMPARE(follower.names().size(), 1);
    unit.with([](CDevSimEngine& e) {
        const auto& images = e.unit().flash().images();
        QCOMPARE(images.size(), 2);
        compareWithBuiltIn(images[0], CPartitionTable::EApplication, CFlashImage::ESystemPlus);
        compareWithBuiltIn(images[1], CPartitionTable::EBootloader2, CFlashImage::ESystemPlus);
    });
}

// The cable comes out while the application goes out: the tty is announced gone and its pty
// hung up. The update stops with the failure text; the unit plugged in again comes back under
// the next name and is identified there.
void tst_UdevUpdate::cablePulledMidUpdate()
{
    UnitBridge unit(bootUnit(true, 20));
    BedFollower follower(*m_Bed, unit);
    BoxRecorder boxes;
    auto d = realDialog();
    follower.start();
    QTRY_COMPARE_WITH_TIMEOUT(d->state(), int(EStateReady), kFoundWithinMs);

    QTimer puller;
    puller.setInterval(1);
    QObject::connect(&puller, &QTimer::timeout, [&] {
        const int blocks = unit.with([](CDevSimEngine& e) {
            const auto& images = e.unit().flash().images();
            return images.isEmpty() ? 0 : images.first().blocks.size();
        });
        if (blocks >= 2) {
            puller.stop();
            follower.stop();
        }
    });
    puller.start();
    d->on_ButtonBurn_clicked();
    QCOMPARE(d->state(), int(EStateIdle));
    QVERIFY(!d->updateRunning());
    QCOMPARE(status(*d), model(uiText(173), "ventaro plus"));
    unit.with([](CDevSimEngine& e) { QVERIFY(!e.unit().flash().images().first().complete); });

    follower.start();
    QTRY_COMPARE_WITH_TIMEOUT(d->state(), int(EStateReady), kFoundWithinMs);
    QCOMPARE(follower.names().size(), 2);
    QCOMPARE(d->fan()->portName(), follower.names().at(1));
}

// Application 2.01: the bridge firmware and the application go out, the unit restarts and
// comes back under another name (ttyACM0 -> ttyACM1); it is the same unit, so the update goes on
// there with the WiFi module. The unit is switched off as that begins, so the test need not wait
// out the WiFi module's slow transfer: the update fails, and the unit is found a third time, under
// a third name.
void tst_UdevUpdate::bridgeUnitBackUnderAnotherName()
{
    // Set from the unit's thread, so it must outlive the unit.
    std::atomic<int> wifiBeganOnAttachment{0};
    SDevSimBehaviour behaviour;
    behaviour.rebootAfterUploadMs = 200; // the unit restarts by itself after its application
    UnitBridge unit(bootUnit(false, 1), behaviour);
    BedFollower follower(*m_Bed, unit);
    BoxRecorder boxes;
    auto d = realDialog();
    follower.start();
    QTRY_COMPARE_WITH_TIMEOUT(d->state(), int(EStateReady), kFoundWithinMs);
    QVERIFY(d->updateFlags().bridgeNeeded);

    // Bridge and application were begun on the first port; the third begin is the WiFi module.
    unit.onStep([&](CDevSimEngine& e, int attachments, qint64 nowMs) {
        if (wifiBeganOnAttachment == 0 && e.unit().requestCount(flash::kBeginUpload) == 3) {
            wifiBeganOnAttachment = attachments;
            e.powerCycle(nowMs);
        }
    });
    d->on_ButtonBurn_clicked();
    QCOMPARE(unit.with([](CDevSimEngine& e) { return e.unit().powerCycles(); }), 2);
    QCOMPARE(wifiBeganOnAttachment.load(), 2); // on the second name
    QCOMPARE(d->state(), int(EStateIdle));
    unit.with([](CDevSimEngine& e) {
        const auto& images = e.unit().flash().images();
        QCOMPARE(images.size(), 2);
        compareWithBuiltIn(images[0], CPartitionTable::ECC3200Bridge, CFlashImage::ESystem100);
        compareWithBuiltIn(images[1], CPartitionTable::EApplication, CFlashImage::ESystem100);
    });

    QTRY_COMPARE_WITH_TIMEOUT(d->state(), int(EStateReady), kFoundWithinMs);
    QCOMPARE(follower.names().size(), 3);
    QCOMPARE(d->fan()->portName(), follower.names().at(2));
    QCOMPARE(beginUploads(unit), 3);
}

QTEST_MAIN(tst_UdevUpdate)
#include "tst_udevupdate.moc"
