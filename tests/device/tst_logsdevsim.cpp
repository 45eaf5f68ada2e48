// Both device models read and report their logs from the simulated unit, in-process.
#include "simmodel.h"

#include "device/fan.h"
#include "device/fan_70_pc.h"
#include "device/logtable.h"
#include "device/seclogentry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

namespace {
SDevSimIdentity identity(SDevSimIdentity::EModel model)
{
    return applicationIdentity(model);
}

// The report's entry lines (after the title, the caption or header lines and the units).
QStringList entryLines(const QString& report, int headerLines)
{
    QStringList lines = report.split('\n');
    lines.removeLast(); // after the final line feed
    return lines.mid(headerLines);
}

// The values of a report line, one per column: the restart mark of a secondary line as 1 or 0,
// the log number, then the comma-separated fields, trimmed.
QStringList reportFields(const QString& line, bool secondary)
{
    QString rest = line;
    QStringList fields;
    if (secondary) {
        fields << (rest.startsWith('*') ? "1" : "0");
        rest = rest.mid(1);
    }
    const QRegularExpressionMatch log = QRegularExpression("^\\s*(\\d+),?: ").match(rest);
    if (!log.hasMatch())
        return {};
    fields << log.captured(1);
    for (const QString& field : rest.mid(log.capturedLength()).split(','))
        fields << field.trimmed();
    while (fields.last().isEmpty())
        fields.removeLast();
    return fields;
}

// The CSV and JSON exports hold the report's numbers, column by column, and the two agree.
void compareExports(const QString& report, int headerLines, const logtable::STable& table,
                    bool secondary)
{
    const QStringList lines = entryLines(report, headerLines);
    QVERIFY(!lines.isEmpty());
    QStringList csv = logtable::toCsv(table).split('\n');
    QCOMPARE(csv.takeLast(), QString());
    const QStringList names = csv.takeFirst().split(',');
    QCOMPARE(csv.size(), lines.size());
    const QJsonArray json = QJsonDocument::fromJson(logtable::toJson(table).toUtf8()).array();
    QCOMPARE(json.size(), lines.size());
    int numbers = 0;
    for (int r = 0; r < lines.size(); ++r) {
        const QStringList fields = csv[r].split(',');
        const QStringList printed = reportFields(lines[r], secondary);
        QCOMPARE(fields.size(), names.size());
        QVERIFY2(printed.size() == fields.size(), qPrintable(lines[r]));
        const QJsonObject object = json[r].toObject();
        QCOMPARE(object.size(), names.size());
        for (int c = 0; c < names.size(); ++c) {
            const QString where = QString("row %1, %2: report \"%3\", CSV \"%4\"")
                                      .arg(r)
                                      .arg(names[c], printed[c], fields[c]);
            bool csvNumber = false;
            bool reportNumber = false;
            const double value = fields[c].toDouble(&csvNumber);
            const double shown = printed[c].toDouble(&reportNumber);
            if (csvNumber) {
                QVERIFY2(reportNumber && value == shown, qPrintable(where));
                ++numbers;
            } else if (reportNumber) { // a flag the report prints as 0 or 1
                QVERIFY2(fields[c] == (shown != 0 ? "yes" : "no"), qPrintable(where));
            }
            const QJsonValue item = object.value(names[c]);
            if (item.isDouble())
                QVERIFY2(csvNumber && item.toDouble() == value, qPrintable(where));
            else if (item.isBool())
                QCOMPARE(fields[c], QString(item.toBool() ? "yes" : "no"));
            else if (item.isString())
                QCOMPARE(fields[c], item.toString());
            else
                QVERIFY2(item.isNull() && fields[c].isEmpty(), qPrintable(where));
        }
    }
    QVERIFY(numbers > lines.size() * 10);
}
} // namespace

class TestLogsDevSim : public QObject
{
    Q_OBJECT

private slots:
    void model100();
    void modelPlus();
    void exportsAgreeWithReport_data();
    void exportsAgreeWithReport();
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

void TestLogsDevSim::exportsAgreeWithReport_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addColumn<bool>("secondary");
    QTest::addRow("100 primary") << false << false;
    QTest::addRow("100 quarter hours, 10 youngest") << false << true;
    QTest::addRow("plus primary") << true << false;
    QTest::addRow("plus days") << true << true;
}

void TestLogsDevSim::exportsAgreeWithReport()
{
    QFETCH(bool, plus);
    QFETCH(bool, secondary);
    auto check = [&](CFanBase& fan, CDevSimLoopback& sim) {
        logtable::STable table;
        if (!secondary) {
            QVERIFY(fan.primLogTable(table));
            compareExports(fan.getPrimaryLog(), 4, table, false);
            return;
        }
        // The quarter-hour ring full and wrapped; the day ring partly used.
        const CLogging::EMaxTimeSpan span = plus ? CLogging::EDay : CLogging::EQuarterHour;
        if (plus)
            sim.unit().fillSecRing(1, 62, 40, 0);
        else
            sim.unit().fillSecRing(0, 96, 96, 37);
        const bool first10 = !plus;
        QVERIFY(fan.secLogTable(
            span, first10 ? report::ESecLogPick::First10 : report::ESecLogPick::All, table));
        compareExports(fan.secLogReport(span, first10, false, false, false, "s"), 5, table, true);
    };
    if (plus) {
        ModelOnSim<CFan_70_PC> d(identity(SDevSimIdentity::EModelPlus));
        check(d.fan, d.sim);
    } else {
        ModelOnSim<CFan> d(identity(SDevSimIdentity::EModel100));
        check(d.fan, d.sim);
    }
}

QTEST_GUILESS_MAIN(TestLogsDevSim)
#include "tst_logsdevsim.moc"
