// The log chart: its series hold the decoded entries, series switch off and on, and the chart
// renders into a PNG file of the asked size without a display.
#include "../device/simmodel.h"

#include "console/logchart.h"
#include "device/fan.h"
#include "device/fan_70_pc.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtTest>

using namespace QtCharts;

class tst_LogChart : public QObject
{
    Q_OBJECT

private slots:
    void seriesHoldDecodedValues_data();
    void seriesHoldDecodedValues();
    void seriesSwitchOffAndOn();
    void pngOffscreen();

private:
    // The day ring of a 100-series unit, partly used.
    static logtable::STable secondaryDays();
};

logtable::STable tst_LogChart::secondaryDays()
{
    ModelOnSim<CFan> d(applicationIdentity(SDevSimIdentity::EModel100));
    d.sim.unit().fillSecRing(1, 62, 40, 0);
    logtable::STable table;
    if (!d.fan.secLogTable(CLogging::EDay, report::ESecLogPick::All, table))
        qWarning("reading the secondary log failed");
    return table;
}

void tst_LogChart::seriesHoldDecodedValues_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addColumn<bool>("secondary");
    QTest::addColumn<QStringList>("expected"); // some of the series
    QTest::addRow("100 days") << false << true
                              << QStringList{"TExt [°C]", "HOut [%]", "CO2 [ppm]", "Air [3.55m³]"};
    QTest::addRow("plus primary") << true << false
                                  << QStringList{"HTSup [°C]", "HUSu [%]", "CO2Ex [ppm]",
                                                 "SBFlow [m³/h]"};
}

void tst_LogChart::seriesHoldDecodedValues()
{
    QFETCH(bool, plus);
    QFETCH(bool, secondary);
    QFETCH(QStringList, expected);
    logtable::STable table;
    if (plus) {
        ModelOnSim<CFan_70_PC> d(applicationIdentity(SDevSimIdentity::EModelPlus));
        QVERIFY(d.fan.primLogTable(table));
    } else {
        table = secondaryDays();
    }
    QVERIFY(table.rows.size() > 3);
    QCOMPARE(table.ageUnit.isEmpty(), !secondary);

    CLogChartView view(table, "log");
    QStringList names;
    for (QAbstractSeries* abstract : view.chart()->series()) {
        auto* series = static_cast<QLineSeries*>(abstract);
        names << series->name();
        int column = 0;
        while (table.columns[column].name() != series->name())
            ++column;
        QVERIFY(table.columns[column].axis != logtable::EAxis::None);
        QVector<QPointF> decoded;
        for (const logtable::SRow& row : table.rows) {
            if (row.cells[column].kind == logtable::EKind::Number)
                decoded << QPointF(row.age, row.cells[column].number);
        }
        QCOMPARE(series->pointsVector(), decoded);
        QCOMPARE(series->attachedAxes().size(), 2);
    }
    for (const QString& name : expected)
        QVERIFY2(names.contains(name), qPrintable(names.join('|')));
}

void tst_LogChart::seriesSwitchOffAndOn()
{
    CLogChartView view(secondaryDays(), "log");
    view.show(); // legend entries are visible only in a shown chart
    auto* series = static_cast<QLineSeries*>(view.chart()->series().first());
    QCOMPARE(view.pointText(series, series->at(0)), QString("TExt [°C]: %1 °C, %2 days old")
                                                        .arg(series->at(0).y())
                                                        .arg(int(series->at(0).x())));
    view.setSeriesShown(series, false);
    QVERIFY(!series->isVisible());
    const QList<QLegendMarker*> markers = view.chart()->legend()->markers(series);
    QCOMPARE(markers.size(), 1);
    QVERIFY(markers.first()->isVisible()); // still there to be clicked again
    emit markers.first()->clicked();
    QVERIFY(series->isVisible());
}

void tst_LogChart::pngOffscreen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.png");
    QVERIFY(logchart::renderPng(secondaryDays(), "ventaro100", QSize(640, 320), path));
    const QImage image(path);
    QCOMPARE(image.size(), QSize(640, 320));
    // Not a blank picture: the lines and labels leave many colours.
    QSet<QRgb> colours;
    for (int x = 0; x < image.width(); x += 4)
        colours.insert(image.pixel(x, image.height() / 2));
    QVERIFY(colours.size() > 3);
    QVERIFY(!logchart::renderPng(secondaryDays(), "x", QSize(640, 320),
                                 dir.filePath("missing/chart.png")));
}

QTEST_MAIN(tst_LogChart)
#include "tst_logchart.moc"
