#pragma once

#include "device/logtable.h"

#include <QSize>
#include <QString>
#include <QWidget>

class QLabel;
namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
} // namespace QtCharts

// Charts of a decoded log: temperatures, humidities, CO2 and flows, each group on its own
// value axis, over the entries' age (secondary logs, youngest on the right) or log number
// (primary log). One line series per charted column, named after the column.
namespace logchart {

inline constexpr int kDefaultWidthPx = 1200;
inline constexpr int kDefaultHeightPx = 600;

// A new chart of the table; the caller owns it (a chart view that shows it takes it over).
QtCharts::QChart* createChart(const logtable::STable& table, const QString& title);

// Renders the chart into a PNG file of exactly `size` pixels without showing a window (works
// on the offscreen platform). False when the file could not be written.
[[nodiscard]] bool renderPng(const logtable::STable& table, const QString& title, const QSize& size,
                             const QString& path);

} // namespace logchart

// The console's chart window content: the chart, series switched on and off by clicking their
// legend entries, the value of the point under the cursor and "Save as PNG".
class CLogChartView : public QWidget
{
    Q_OBJECT

public:
    CLogChartView(const logtable::STable& table, const QString& title, QWidget* parent = nullptr);

    QtCharts::QChart* chart() const;
    // The text shown for the point under the cursor; empty while none is.
    QString cursorText() const;
    // Writes the chart as shown into a PNG file; false when it could not be written.
    [[nodiscard]] bool saveImage(const QString& path) const;

    // The text shown for `point` of `series`: "TExt: 21.5 °C at 3 days".
    QString pointText(const QtCharts::QLineSeries* series, const QPointF& point) const;
    // Shows or hides a series; its legend entry stays, faded while hidden.
    void setSeriesShown(QtCharts::QLineSeries* series, bool shown);

private slots:
    void slotSaveAsPng();

private:
    void showPoint(QtCharts::QLineSeries* series, const QPointF& point, bool hovered);

    QtCharts::QChartView* m_View = nullptr;
    QLabel* m_Cursor = nullptr;
    QString m_AgeUnit;
};
