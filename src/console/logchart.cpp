#include "logchart.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <cmath>
#include <iterator>

using namespace QtCharts;

namespace {

constexpr char kContext[] = "CLogChartView";
constexpr char kUnitProperty[] = "unit";
// The smallest value range of an axis, in its unit.
constexpr double kMinValueSpan = 2.0;
// Distinct line colours, one per charted column (the chart theme repeats after five).
const QColor kSeriesColors[] = {QColor(0x1f77b4), QColor(0xd62728), QColor(0x2ca02c),
                                QColor(0xff7f0e), QColor(0x9467bd), QColor(0x8c564b),
                                QColor(0xe377c2), QColor(0x17becf), QColor(0xbcbd22),
                                QColor(0x7f7f7f), QColor(0x393b79), QColor(0x637939)};
// A legend entry of a hidden series keeps this share of its opacity.
constexpr qreal kHiddenMarkerAlpha = 0.35;

QString text(const char* source)
{
    return QCoreApplication::translate(kContext, source);
}

struct SAxisInfo
{
    logtable::EAxis axis;
    const char* name;
    Qt::Alignment side;
};

const SAxisInfo kAxes[] = {
    {logtable::EAxis::Temperature, QT_TRANSLATE_NOOP("CLogChartView", "Temperature"),
     Qt::AlignLeft},
    {logtable::EAxis::Humidity, QT_TRANSLATE_NOOP("CLogChartView", "Humidity"), Qt::AlignRight},
    {logtable::EAxis::CO2, QT_TRANSLATE_NOOP("CLogChartView", "CO2"), Qt::AlignRight},
    {logtable::EAxis::Flow, QT_TRANSLATE_NOOP("CLogChartView", "Air flow"), Qt::AlignLeft},
};

QString ageAxisTitle(const QString& ageUnit)
{
    if (ageUnit.isEmpty())
        return QCoreApplication::translate("CLogChartView", "Log entry");
    return QCoreApplication::translate("CLogChartView", "Age [%1]")
        .arg(text(ageUnit.toUtf8().constData()));
}

// The unit names of the ages, for the translation catalogue (the tables carry them in English).
[[maybe_unused]] const char* const kAgeUnits[] = {
    QT_TRANSLATE_NOOP("CLogChartView", "quarter hours"), QT_TRANSLATE_NOOP("CLogChartView", "days"),
    QT_TRANSLATE_NOOP("CLogChartView", "months")};

} // namespace

namespace logchart {

QChart* createChart(const logtable::STable& table, const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);

    auto* ageAxis = new QValueAxis;
    ageAxis->setTitleText(ageAxisTitle(table.ageUnit));
    ageAxis->setLabelFormat(QStringLiteral("%d"));
    // Secondary logs: the youngest entry (age 0) on the right, time running left to right.
    ageAxis->setReverse(!table.ageUnit.isEmpty());
    chart->addAxis(ageAxis, Qt::AlignBottom);
    int maxAge = 0;
    for (const logtable::SRow& row : table.rows)
        maxAge = qMax(maxAge, row.age);
    ageAxis->setRange(0, qMax(1, maxAge));

    int colorIndex = 0;
    for (const SAxisInfo& info : kAxes) {
        QValueAxis* valueAxis = nullptr;
        double lo = 0;
        double hi = 0;
        for (int c = 0; c < table.columns.size(); ++c) {
            const logtable::SColumn& column = table.columns[c];
            if (column.axis != info.axis)
                continue;
            auto* series = new QLineSeries;
            series->setName(column.name());
            series->setProperty(kUnitProperty, column.unit);
            series->setPointsVisible(true);
            series->setColor(kSeriesColors[colorIndex++ % std::size(kSeriesColors)]);
            for (const logtable::SRow& row : table.rows) {
                const logtable::SCell& cell = row.cells[c];
                if (cell.kind != logtable::EKind::Number)
                    continue;
                if (!valueAxis && series->count() == 0)
                    lo = hi = cell.number;
                lo = qMin(lo, cell.number);
                hi = qMax(hi, cell.number);
                series->append(row.age, cell.number);
            }
            chart->addSeries(series);
            if (!valueAxis) {
                valueAxis = new QValueAxis;
                valueAxis->setTitleText(
                    QStringLiteral("%1 [%2]").arg(text(info.name), column.unit));
                valueAxis->setLabelFormat(QStringLiteral("%g"));
                chart->addAxis(valueAxis, info.side);
            }
            series->attachAxis(ageAxis);
            series->attachAxis(valueAxis);
        }
        if (valueAxis) {
            // Every series of the axis in view (attaching keeps only the first one's range);
            // a constant value gets a band around it.
            if (hi - lo < kMinValueSpan) {
                lo -= kMinValueSpan / 2;
                hi += kMinValueSpan / 2;
            }
            valueAxis->setRange(lo, hi);
            valueAxis->applyNiceNumbers();
        }
    }
    return chart;
}

bool renderPng(const logtable::STable& table, const QString& title, const QSize& size,
               const QString& path)
{
    QChartView view(createChart(table, title));
    view.setRenderHint(QPainter::Antialiasing);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(size);
    view.show();
    QImage image = view.grab().toImage();
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.save(path, "PNG");
}

} // namespace logchart

CLogChartView::CLogChartView(const logtable::STable& table, const QString& title, QWidget* parent)
    : QWidget(parent), m_AgeUnit(table.ageUnit)
{
    m_View = new QChartView(logchart::createChart(table, title), this);
    m_View->setRenderHint(QPainter::Antialiasing);
    m_View->setMinimumSize(logchart::kDefaultWidthPx / 2, logchart::kDefaultHeightPx / 2);
    m_Cursor = new QLabel(this);
    m_Cursor->setObjectName(QStringLiteral("ChartCursor"));
    auto* save = new QPushButton(tr("Save as PNG"), this);
    save->setObjectName(QStringLiteral("SaveAsPng"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_Cursor, 1);
    bottom->addWidget(save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_View, 1);
    layout->addLayout(bottom);

    QChart* c = chart();
    for (QAbstractSeries* abstract : c->series()) {
        auto* series = static_cast<QLineSeries*>(abstract);
        connect(
            series, &QLineSeries::hovered, this,
            [this, series](const QPointF& point, bool state) { showPoint(series, point, state); });
    }
    for (QLegendMarker* marker : c->legend()->markers()) {
        connect(marker, &QLegendMarker::clicked, this, [this, marker] {
            auto* series = static_cast<QLineSeries*>(marker->series());
            setSeriesShown(series, !series->isVisible());
        });
    }
    connect(save, &QPushButton::clicked, this, &CLogChartView::slotSaveAsPng);
}

QChart* CLogChartView::chart() const
{
    return m_View->chart();
}

QString CLogChartView::cursorText() const
{
    return m_Cursor->text();
}

bool CLogChartView::saveImage(const QString& path) const
{
    return m_View->grab().save(path, "PNG");
}

QString CLogChartView::pointText(const QLineSeries* series, const QPointF& point) const
{
    const QString unit = series->property(kUnitProperty).toString();
    const QString value = unit.isEmpty()
                              ? logtable::numberText(point.y())
                              : QStringLiteral("%1 %2").arg(logtable::numberText(point.y()), unit);
    const int x = int(std::lround(point.x()));
    const QString where = m_AgeUnit.isEmpty()
                              ? tr("entry %1").arg(x)
                              : tr("%1 %2 old").arg(x).arg(text(m_AgeUnit.toUtf8().constData()));
    return QStringLiteral("%1: %2, %3").arg(series->name(), value, where);
}

void CLogChartView::setSeriesShown(QLineSeries* series, bool shown)
{
    series->setVisible(shown);
    for (QLegendMarker* marker : chart()->legend()->markers(series)) {
        // Hiding a series hides its legend entry too; keep it, faded, so it can be clicked.
        marker->setVisible(true);
        const qreal alpha = shown ? 1.0 : kHiddenMarkerAlpha;
        QColor label = marker->labelBrush().color();
        label.setAlphaF(alpha);
        marker->setLabelBrush(label);
        QColor fill = marker->brush().color();
        fill.setAlphaF(alpha);
        marker->setBrush(fill);
    }
}

void CLogChartView::showPoint(QLineSeries* series, const QPointF& point, bool hovered)
{
    if (!hovered) {
        m_Cursor->clear();
        return;
    }
    // The hover position lies on the line; show the entry nearest to it.
    const QVector<QPointF> points = series->pointsVector();
    if (points.isEmpty())
        return;
    QPointF nearest = points.first();
    for (const QPointF& p : points) {
        if (std::abs(p.x() - point.x()) < std::abs(nearest.x() - point.x()))
            nearest = p;
    }
    m_Cursor->setText(pointText(series, nearest));
}

void CLogChartView::slotSaveAsPng()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save as PNG"), QStringLiteral("log-chart.png"), tr("PNG images (*.png)"));
    if (path.isEmpty())
        return;
    if (!saveImage(path))
        m_Cursor->setText(tr("Could not write %1").arg(path));
}
