// `ventaro-cli plan` against the simulated unit on a pty, compared with the flags and the state
// the service tool's dialog decides for the same unit.

// The engine's headers use the name "slots": before any Qt header.
#include "engine/devsimloopback.h"

#include "../app/dialogfixture.h"
#include "cli/cliplan.h"
#include "cliprocess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace clitest;

namespace {

// One unit of the rule table, as the simulator's command line and as its in-process identity.
struct SUnit
{
    bool plus = false;
    int serial = 50123;
    int partner = 1;
    bool x = false;
    int boot = 220; // main * 100 + sub
    int appl = 220;

    QStringList simArgs() const
    {
        auto version = [](int v) { return QStringLiteral("%1.%2").arg(v / 100).arg(v % 100); };
        QStringList args{
            "--serial",       QString::number(serial), "--partner",      QString::number(partner),
            "--boot-version", version(boot),           "--appl-version", version(appl)};
        if (plus)
            args << "--model"
                 << "plus";
        if (x)
            args << "--x-marker";
        return args;
    }
    SDevSimIdentity identity() const
    {
        SDevSimIdentity id;
        id.model = plus ? SDevSimIdentity::EModelPlus : SDevSimIdentity::EModel100;
        id.serial = UINT32(serial);
        id.partner = UINT8(partner);
        id.runningCopy = UINT8(partner == 2 ? 2 : 1);
        id.partnerX = x ? 1 : 0;
        id.bootMain = UINT8(boot / 100);
        id.bootSub = UINT8(boot % 100);
        id.applMain = UINT8(appl / 100);
        id.applSub = UINT8(appl % 100);
        return id;
    }
};

} // namespace

Q_DECLARE_METATYPE(SUnit)

class tst_CliPlan : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithTheDialog_data();
    void agreesWithTheDialog();
};

void tst_CliPlan::agreesWithTheDialog_data()
{
    QTest::addColumn<SUnit>("unit");
    QTest::addColumn<bool>("forceBoot");
    QTest::addColumn<bool>("forceAppl");
    QTest::addColumn<QStringList>("images"); // the plan's, in order

    // Built-in images: bootloader 2.24 (both copies), application 2.24, WiFi 3.11.
    auto unit = [](auto change) {
        SUnit u;
        change(u);
        return u;
    };
    QTest::addRow("older bootloader and application")
        << SUnit{} << false << false
        << QStringList{"application", "WiFi module", "bootloader copy 2"};
    QTest::addRow("all current") << unit([](SUnit& u) { u.boot = 224, u.appl = 225; }) << false
                                 << false << QStringList{};
    QTest::addRow("equal application is written again")
        << unit([](SUnit& u) { u.boot = 224, u.appl = 224; }) << false << false
        << QStringList{"application", "WiFi module"};
    QTest::addRow("forced") << unit([](SUnit& u) { u.boot = 224, u.appl = 225; }) << true << true
                            << QStringList{"application", "WiFi module", "bootloader copy 2"};
    QTest::addRow("X marker, copy B running")
        << unit([](SUnit& u) { u.boot = 224, u.appl = 225, u.x = true, u.partner = 2; }) << false
        << false << QStringList{"application", "WiFi module", "bootloader copy 1"};
    QTest::addRow("application 1.03 needs the bootloader")
        << unit([](SUnit& u) { u.boot = 224, u.appl = 103; }) << false << false
        << QStringList{"application", "WiFi module", "bootloader copy 2"};
    QTest::addRow("application 2.01 needs the bridge")
        << unit([](SUnit& u) { u.boot = 224, u.appl = 201; }) << false << false
        << QStringList{"WiFi bridge", "application", "WiFi module"};
    QTest::addRow("bootloader 1.x, no serial")
        << unit([](SUnit& u) { u.boot = 130, u.serial = 0; }) << false << false
        << QStringList{"bootloader copy 2"};
    QTest::addRow("bootloader 1.x, serial 123")
        << unit([](SUnit& u) { u.boot = 130, u.serial = 123; }) << false << false
        << QStringList{"bootloader copy 2"};
    QTest::addRow("serial 49999") << unit([](SUnit& u) { u.boot = 224, u.serial = 49999; }) << false
                                  << false << QStringList{"application", "WiFi module"};
    QTest::addRow("serial 50000") << unit([](SUnit& u) { u.boot = 224, u.serial = 50000; }) << false
                                  << false << QStringList{"application", "WiFi module"};
    QTest::addRow("plus with bootloader 1.x and serial 123")
        << unit([](SUnit& u) { u.plus = true, u.boot = 130, u.serial = 123; }) << false << false
        << QStringList{"bootloader copy 2"};
    QTest::addRow("plus, older versions") << unit([](SUnit& u) { u.plus = true; }) << false << false
                                          << QStringList{"application", "bootloader copy 2"};
    QTest::addRow("application running") << unit([](SUnit& u) { u.partner = 3; }) << false << false
                                         << QStringList{"application", "WiFi module"};
}

void tst_CliPlan::agreesWithTheDialog()
{
    QFETCH(SUnit, unit);
    QFETCH(bool, forceBoot);
    QFETCH(bool, forceAppl);
    QFETCH(QStringList, images);

    // The dialog, on the unit in-process.
    BoxRecorder boxes;
    CDevSimLoopback sim(unit.identity());
    DialogOptions options;
    options.forceBoot = forceBoot;
    options.forceAppl = forceAppl;
    DialogOnLoopback<> t(options, [&](FakeEnumerator& e, LoopbackConnector& c) {
        sim.attach(c.addPort(QStringLiteral("COM7"), nullptr));
        e.ports = {devicePort(QStringLiteral("COM7"))};
    });
    QCOMPARE(t.dialog->comPartner(), unit.partner);
    const SUpdateFlags& flags = t.dialog->updateFlags();

    // ventaro-cli, on the same unit over a pty.
    Bench bench;
    QVERIFY(bench.startSim(unit.simArgs()));
    QStringList args{"plan", "--json"};
    if (forceBoot)
        args << "--force-boot";
    if (forceAppl)
        args << "--force-appl";
    const CliResult r = bench.run(args);
    const QJsonObject plan = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QVERIFY2(!plan.isEmpty(), describe(r));
    const QJsonObject f = plan.value(QStringLiteral("flags")).toObject();
    auto flag = [&](const char* key) {
        return f.value(QLatin1String(key)).toObject().value(QStringLiteral("set")).toBool();
    };
    QCOMPARE(flag("notUpdatable"), flags.notUpdatable);
    QCOMPARE(flag("updateBoot"), flags.updateBoot);
    QCOMPARE(flag("updateAppl"), flags.updateAppl);
    QCOMPARE(flag("updateWifi"), flags.updateWifi);
    QCOMPARE(flag("oldBoot"), flags.oldBoot);
    QCOMPARE(flag("bridgeNeeded"), flags.bridgeNeeded);
    QCOMPARE(plan.value(QStringLiteral("state")).toString(),
             QLatin1String(planStateName(EDialogState(t.dialog->state()))));
    // A refusal names the text of the dialog's box.
    if (flags.notUpdatable) {
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(f.value(QStringLiteral("notUpdatable")).toObject().value("reason").toString(),
                 boxes.boxes.first().text.simplified());
    }

    QStringList planned;
    for (const QJsonValue& image : plan.value(QStringLiteral("images")).toArray())
        planned << image.toObject().value(QStringLiteral("name")).toString();
    QCOMPARE(planned, images);
    const int expectedExit = t.dialog->state() == EStateReady      ? 0
                             : t.dialog->state() == EStateUpToDate ? 7
                                                                   : 3;
    QCOMPARE(r.exitCode, expectedExit);
    QCOMPARE(plan.value(QStringLiteral("exitCode")).toInt(), expectedExit);
}

QTEST_MAIN(tst_CliPlan)
#include "tst_cliplan.moc"
