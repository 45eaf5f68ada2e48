// Both device models read and report their logs from the simulated unit, in-process.
#include "engine/devsimloopback.h"

#include "device/fan.h"
#include "device/fan_70_pc.h"
#include "device/seclogentry.h"

#include <QtTest>

#include <memory>

namespace {
template <typename Model>
struct ModelOnSim
{
    CDevSimLoopback sim;
    Model fan;

    explicit ModelOnSim(const SDevSimIdentity& id) : sim(id)
    {
        auto wire = std::make_unique<CLoopbackWire>();
        sim.attach(*wire);
        fan.connectWire(std::move(wire));
    }
};

SDevSimIdentity identity(SDevSimIdentity::EModel model)
{
    SDevSimIdentity id;
    id.model = model;
    id.partner = 3; // the application answers
    return id;
}

// The report's entry lines (after the title, the caption or header lines and the units).
QStringList entryLines(const QString& report, int headerLines)
{
    QStringList lines = report.split('\n');
    lines.removeLast(); // after the final line feed
    return lines.mid(headerLines);
}
} // namespace

class TestLogsDevSim : public QObject
{
    Q_OBJECT

private slots:
    void model100();
    void modelPlus();
};

void TestLogsDevSim::model100()
{
    ModelOnSim<CFan> d(identity(SDevSimIdentity::EModel100));
    QVector<SPrimLogEntry> prim;
    QVERIFY(d.fan.getPrimLog(prim));
    const QVector<QByteArray>& stored = d.sim.unit().primaryLog();
    QCOMPARE(prim.size(), stored.size());
    QVERIFY(prim.size() > 7); // a train of more than one packet
    for (int i = 0; i < prim.size(); ++i)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(prim[i].bytes()), 26), stored[i]);

    const QStringList primLines = entryLines(d.fan.getPrimaryLog(), 4);
    QCOMPARE(primLines.size(), stored.size());
    QVERIFY(primLines.last().startsWith(QString("%1,: ").arg(stored.size() - 1, 3)));

    // A full quarter-hour ring: the last ten end just before the oldest slot's successor.
    d.sim.unit().fillSecRing(0, 96, 96, 37);
    QVector<SSecLogEntry> sec;
    QVERIFY(d.fan.getSecLog(sec, CLogging::EQuarterHour, 10, 28));
    QCOMPARE(sec.size(), 10);
    for (int k = 0; k < sec.size(); ++k)
        QCOMPARE(sec[k].warnLineNr(), 28 + k); // the unit marks each entry with its slot
    const QStringList secLines =
        entryLines(d.fan.secLogReport(CLogging::EQuarterHour, false, false, true, false, "q"), 5);
    QCOMPARE(secLines.size(), 10);
    // Printed newest position first; slot 37 holds the unit's oldest entry, marked restarted.
    QVERIFY2(secLines.first().startsWith("*  9,: "), qPrintable(secLines.first()));
    QVERIFY(secLines.first().contains(",   37,"));
    QVERIFY(secLines.last().startsWith("   0,: "));

    const QStringList monthLines =
        entryLines(d.fan.secLogReport(CLogging::EMonth, false, false, false, false, "m"), 5);
    QCOMPARE(monthLines.size(), int(d.sim.unit().secRing(2).used));
}

void TestLogsDevSim::modelPlus()
{
    ModelOnSim<CFan_70_PC> d(identity(SDevSimIdentity::EModelPlus));
    QVector<SPrimLogEntry_70> prim;
    QVERIFY(d.fan.getPrimLog(prim));
    const QVector<QByteArray>& stored = d.sim.unit().primaryLog();
    QCOMPARE(prim.size(), stored.size());
    QVERIFY(prim.size() > 7);
    for (int i = 0; i < prim.size(); ++i)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(prim[i].bytes()), 28), stored[i]);
    const QStringList primLines = entryLines(d.fan.getPrimaryLog(), 4);
    QCOMPARE(primLines.size(), stored.size());
    QVERIFY(primLines.first().startsWith("  0: "));

    d.sim.unit().fillSecRing(1, 62, 40, 0);
    QVector<SSecLogEntry_70> sec;
    QVERIFY(d.fan.getSecLog(sec, CLogging_70::EDay, 10, 0));
    QCOMPARE(sec.size(), 10);
    for (int k = 0; k < sec.size(); ++k)
        QCOMPARE(sec[k].warnLineNr(), k);
    const QStringList secLines =
        entryLines(d.fan.secLogReport(CLogging::EDay, true, false, false, false, "day"), 5);
    QCOMPARE(secLines.size(), 10);
    QVERIFY2(secLines.first().startsWith("   9,: "), qPrintable(secLines.first()));
    QVERIFY2(secLines.last().startsWith("*  0,: "), qPrintable(secLines.last()));
}

QTEST_GUILESS_MAIN(TestLogsDevSim)
#include "tst_logsdevsim.moc"
