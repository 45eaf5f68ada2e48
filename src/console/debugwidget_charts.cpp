// The console's log charts: the decoded log in a chart window of its own.
#include "debugwidget.h"

#include "console/consoletexts.h"
#include "console/logchart.h"
#include "device/fanbase.h"
#include "device/logtable.h"

#include <QComboBox>
#include <QDialog>
#include <QVBoxLayout>

void CDebugWidget::slotChartPrimLog()
{
    CFanBase* device = fan();
    if (!device)
        return;
    logtable::STable table;
    if (!device->primLogTable(table)) {
        appendText(consoletext::commandFailed());
        return;
    }
    showChart(tr("Primary Log"), table);
}

void CDebugWidget::slotChartSecLog()
{
    CFanBase* device = fan();
    if (!device)
        return;
    const report::ESecLogPick pick =
        report::secLogPick(isSelected(E10Youngest), isSelected(E100Youngest), isSelected(E10Oldest),
                           isSelected(E100Oldest));
    logtable::STable table;
    if (!device->secLogTable(CLogging::EMaxTimeSpan(m_SpanSelector->currentIndex()), pick, table)) {
        appendText(consoletext::commandFailed());
        return;
    }
    showChart(tr("Secondary Log: %1").arg(m_SpanSelector->currentText()), table);
}

void CDebugWidget::showChart(const QString& title, const logtable::STable& table)
{
    // Not modal: the technician compares charts and goes on using the console meanwhile.
    auto* window = new QDialog(this);
    window->setObjectName(QStringLiteral("LogChartWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(title);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(new CLogChartView(table, title, window));
    window->resize(logchart::kDefaultWidthPx, logchart::kDefaultHeightPx);
    window->show();
}
