#include "debugwidget.h"

#include "app/maindialognew.h"
#include "app/messagebox.h"
#include "console/consoletexts.h"
#include "device/fan.h"
#include "device/fanbase.h"
#include "device/logging.h"
#include "device/perscounter.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
// Horizontal spacings of the three rows of common controls, in pixels.
constexpr int kRow1DumpGap = 300;
constexpr int kRow1AverageGap = 400;
constexpr int kRow3TestGap = 100;
constexpr int kRow3End = 500;
} // namespace

CDebugWidget::CDebugWidget(CMainDialogNew* mainDlg, QWidget* parent)
    : QWidget(parent), m_pMainDlg(mainDlg)
{
    if (m_pMainDlg)
        m_strTestFile = m_pMainDlg->testValuesPath();

    m_pUpperPanel = new QWidget(this);
    m_pModelPanel = new QWidget; // placed in the layout below, which adopts it
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pUpperPanel);
    layout->addWidget(m_pModelPanel);
    buildUpperPanel();

    connect(&m_TimerTest, &QTimer::timeout, this, &CDebugWidget::slotTimerTimeOutAll);
}

CDebugWidget::~CDebugWidget() = default;

QPushButton* CDebugWidget::addButton(QHBoxLayout* row, const QString& caption, const char* name)
{
    auto* button = new QPushButton(caption, m_pUpperPanel);
    button->setObjectName(QLatin1String(name));
    row->addWidget(button);
    return button;
}

QLineEdit* CDebugWidget::addField(QHBoxLayout* row, const QString& label, const char* name,
                                  const QString& text)
{
    row->addWidget(new QLabel(label, m_pModelPanel));
    auto* field = new QLineEdit(text, m_pModelPanel);
    field->setObjectName(QLatin1String(name));
    row->addWidget(field);
    return field;
}

QComboBox* CDebugWidget::modelCombo(const char* name, const QStringList& items)
{
    auto* combo = new QComboBox(m_pModelPanel);
    combo->setObjectName(QLatin1String(name));
    combo->addItems(items);
    return combo;
}

void CDebugWidget::buildUpperPanel()
{
    auto* rows = new QVBoxLayout(m_pUpperPanel);
    auto* row1 = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    auto* row3 = new QHBoxLayout;
    rows->addLayout(row1);
    rows->addLayout(row2);
    rows->addLayout(row3);

    // Row 1: device information.
    QPushButton* ident = addButton(row1, tr("Get Ident"), "GetIdent");
    QPushButton* time = addButton(row1, tr("Report Time"), "ReportTime");
    QPushButton* counters = addButton(row1, tr("Get Counters"), "GetCounters");
    QPushButton* partTable = addButton(row1, tr("Get Part Table"), "GetPartTable");
    row1->addSpacing(kRow1DumpGap);
    row1->addWidget(new QLabel(tr("Dump Address:"), m_pUpperPanel));
    m_DumpAddress = new QLineEdit(m_pUpperPanel);
    m_DumpAddress->setObjectName(QStringLiteral("DumpAddress"));
    row1->addWidget(m_DumpAddress);
    QPushButton* dump = addButton(row1, tr("Dump Memory"), "DumpMemory");
    row1->addSpacing(kRow1AverageGap);
    QPushButton* average = addButton(row1, tr("Calc.Ave.Sensor Values"), "CalcAveSensorValues");

    // Row 2: logs.
    QPushButton* primLog = addButton(row2, tr("Report Prim Log"), "ReportPrimLog");
    QPushButton* primChart = addButton(row2, tr("Chart Prim Log"), "ChartPrimLog");
    QPushButton* eraseLog = addButton(row2, tr("Erase Log Data"), "EraseLogData");
    row2->addWidget(new QLabel(tr("Secondary Log:"), m_pUpperPanel));
    QPushButton* secCount = addButton(row2, tr("Get Sec Log Cnt"), "GetSecLogCnt");
    m_SpanSelector = new QComboBox(m_pUpperPanel);
    m_SpanSelector->setObjectName(QStringLiteral("TimeSpan"));
    // Index = CLogging::EMaxTimeSpan.
    m_SpanSelector->addItems(
        {QStringLiteral("15 min"), QStringLiteral("1 day"), QStringLiteral("30 days")});
    row2->addWidget(m_SpanSelector);
    QPushButton* secCheck = addButton(row2, tr("Check Sec Log"), "CheckSecLog");
    QPushButton* secErase = addButton(row2, tr("Erase Sec Log"), "EraseSecLog");
    QPushButton* secReport = addButton(row2, tr("Report Sec Log"), "ReportSecLog");
    QPushButton* secChart = addButton(row2, tr("Chart Sec Log"), "ChartSecLog");
    m_ReportSelection = new QButtonGroup(this);
    m_ReportSelection->setExclusive(true);
    const std::pair<const char*, EReportSelection> selections[] = {
        {QT_TR_NOOP("Report All"), EReportAll},
        {QT_TR_NOOP("10 Youngest"), E10Youngest},
        {QT_TR_NOOP("100 Youngest"), E100Youngest},
        {QT_TR_NOOP("10 Oldest"), E10Oldest},
        {QT_TR_NOOP("100 Oldest"), E100Oldest}};
    for (const auto& [caption, id] : selections) {
        auto* radio = new QRadioButton(tr(caption), m_pUpperPanel);
        m_ReportSelection->addButton(radio, id);
        row2->addWidget(radio);
    }

    // Row 3: firmware shortcuts and the automatic test.
    QPushButton* appl = addButton(row3, tr("Update Application"), "UpdateApplication");
    QPushButton* cc3200 = addButton(row3, tr("Update CC3200"), "UpdateCC3200");
    QPushButton* boot = addButton(row3, tr("Update Bootloader"), "UpdateBootloader");
    QPushButton* swap = addButton(row3, tr("Swap Boot"), "SwapBoot");
    QPushButton* wifi = addButton(row3, tr("Get Wifi Data Debug"), "GetWifiDataDebug");
    row3->addSpacing(kRow3TestGap);
    row3->addWidget(new QLabel(tr("Test case:"), m_pUpperPanel));
    comboTestCase = new QComboBox(m_pUpperPanel);
    comboTestCase->setObjectName(QStringLiteral("comboTestCase"));
    row3->addWidget(comboTestCase);
    m_pLcdWait = new QLCDNumber(m_pUpperPanel);
    m_pLcdWait->setObjectName(QStringLiteral("m_pLcdWait"));
    row3->addWidget(m_pLcdWait);
    QPushButton* reload = addButton(row3, tr("(Re)load Test File"), "ReloadTestFile");
    m_AutoTest = new QCheckBox(tr("Automatic Test Mode"), m_pUpperPanel);
    m_AutoTest->setObjectName(QStringLiteral("AutomaticTestMode"));
    row3->addWidget(m_AutoTest);
    row3->addSpacing(kRow3End);

    // The tool has no request that erases the primary log: "Erase Log Data" has no action.
    Q_UNUSED(eraseLog);
    connect(ident, &QPushButton::clicked, this, &CDebugWidget::slotButtonIdent);
    connect(time, &QPushButton::clicked, this, &CDebugWidget::slotButtonRepTime);
    connect(counters, &QPushButton::clicked, this, &CDebugWidget::slotButtonRepCnt);
    connect(partTable, &QPushButton::clicked, this, &CDebugWidget::slotButtonGetPT);
    connect(dump, &QPushButton::clicked, this, &CDebugWidget::slotButtonDumpMem);
    connect(average, &QPushButton::clicked, this, &CDebugWidget::slotCalcAveSenVal);
    connect(primLog, &QPushButton::clicked, this, &CDebugWidget::slotButtonRepPrimLog);
    connect(secCount, &QPushButton::clicked, this, &CDebugWidget::slotGetSecLogCnt);
    connect(secCheck, &QPushButton::clicked, this, &CDebugWidget::slotCheckSecLog);
    connect(secErase, &QPushButton::clicked, this, &CDebugWidget::slotEraseSecLog);
    connect(secReport, &QPushButton::clicked, this, &CDebugWidget::slotRepSecLog);
    connect(primChart, &QPushButton::clicked, this, &CDebugWidget::slotChartPrimLog);
    connect(secChart, &QPushButton::clicked, this, &CDebugWidget::slotChartSecLog);
    if (m_pMainDlg) {
        connect(appl, &QPushButton::clicked, m_pMainDlg, &CMainDialogNew::on_ButtonAppl_clicked);
        connect(cc3200, &QPushButton::clicked, m_pMainDlg,
                &CMainDialogNew::on_ButtonCC3200_clicked);
        connect(boot, &QPushButton::clicked, m_pMainDlg, &CMainDialogNew::on_ButtonBootLdr_clicked);
    }
    connect(swap, &QPushButton::clicked, this, &CDebugWidget::slotButtonSwap);
    connect(reload, &QPushButton::clicked, this, &CDebugWidget::ReloadTestFile);
    connect(wifi, &QPushButton::clicked, this, &CDebugWidget::slotButtonWifiDataDebug);
}

CFanBase* CDebugWidget::fan() const
{
    return m_pMainDlg ? m_pMainDlg->fan() : nullptr;
}

void CDebugWidget::appendText(const QString& text, bool repaint)
{
    if (m_pMainDlg)
        m_pMainDlg->appendLog(text, repaint);
}

// ---- Virtual operations: nothing in the common part -------------------------------------------

void CDebugWidget::slotButtonSetSensorValues() {}
void CDebugWidget::comboTestCase_curIndexChanged(int) {}
void CDebugWidget::slotTimerTimeOutAll() {}
void CDebugWidget::showTestCase(int) {}
void CDebugWidget::storeTestResults() {}

// ---- Device commands --------------------------------------------------------------------------

void CDebugWidget::slotCheckSecLog()
{
    CFanBase* device = fan();
    if (!device)
        return;
    quint8 error = 0;
    const bool ok =
        device->checkSecLog(CLogging::EMaxTimeSpan(m_SpanSelector->currentIndex()), error);
    appendText(consoletext::secLogCheck(ok, error));
}

void CDebugWidget::slotEraseSecLog()
{
    CFanBase* device = fan();
    if (!device)
        return;
    const int span = m_SpanSelector->currentIndex();
    const QMessageBox::StandardButton answer = showMessageBox(
        {QMessageBox::Warning, this, tr("Confirm Erasing Log"),
         tr("The secondary log \"%1\" will be deleted").arg(m_SpanSelector->currentText()),
         QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel});
    if (answer != QMessageBox::Ok)
        return;
    if (!device->eraseSecLog(CLogging::EMaxTimeSpan(span)))
        qDebug() << "slotEraseSecLog: erasing failed";
}

void CDebugWidget::slotRepSecLog()
{
    appendText(secLogSelectionReport());
}

QString CDebugWidget::secLogSelectionReport()
{
    CFanBase* device = fan();
    if (!device)
        return QString();
    return device->secLogReport(CLogging::EMaxTimeSpan(m_SpanSelector->currentIndex()),
                                isSelected(E10Youngest), isSelected(E100Youngest),
                                isSelected(E10Oldest), isSelected(E100Oldest),
                                m_SpanSelector->currentText());
}

bool CDebugWidget::isSelected(EReportSelection id) const
{
    // "Report All" is the case in which none of the four selections is checked.
    return m_ReportSelection->button(id)->isChecked();
}

void CDebugWidget::slotCalcAveSenVal()
{
    if (fan() && !fan()->calcAveSenVal())
        qDebug() << "slotCalcAveSenVal: request failed";
}

void CDebugWidget::slotGetSecLogCnt()
{
    CFanBase* device = fan();
    if (!device)
        return;
    UINT16 size[CLogging::kSpanCount] = {};
    UINT16 used[CLogging::kSpanCount] = {};
    UINT16 oldest[CLogging::kSpanCount] = {};
    if (!device->getSecLogCnt(size, used, oldest)) {
        appendText(consoletext::commandFailed());
        return;
    }
    appendText(consoletext::secLogCount(size, used, oldest));
}

void CDebugWidget::slotButtonRepCnt()
{
    CFanBase* device = fan();
    if (!device || !device->getCounters())
        return;
    QString text;
    for (int i = 0; i < CPersCounter_ReadOnly::kCount; ++i)
        text += consoletext::counterLine(i, device->getCounter(i), device->counterName(i));
    appendText(text);
}

void CDebugWidget::slotButtonSwap()
{
    if (fan() && !fan()->swapBootloaders())
        qDebug() << "slotButtonSwap: swap failed";
}

void CDebugWidget::slotButtonIdent()
{
    // Identification replaces this panel; the dialog disposes of it once this click has been
    // handled, so nothing of the panel may be touched after the call.
    if (m_pMainDlg)
        m_pMainDlg->identifyDevice();
}

void CDebugWidget::slotButtonClearLog() {}

void CDebugWidget::slotButtonRepTime()
{
    CFanBase* device = fan();
    UINT16 ms = 0;
    UINT16 days = 0;
    UINT8 seconds = 0;
    UINT8 minutes = 0;
    UINT8 hours = 0;
    if (device && device->getTimer(&ms, &seconds, &minutes, &hours, &days))
        appendText(consoletext::timer(ms, seconds, minutes, hours, days));
}

void CDebugWidget::slotButtonRepPrimLog()
{
    if (CFanBase* device = fan())
        appendText(device->getPrimaryLog());
}

void CDebugWidget::slotButtonDumpMem()
{
    CFanBase* device = fan();
    if (!device)
        return;
    // Decimal, or hexadecimal with 0x.
    bool ok = false;
    const QString text = m_DumpAddress->text().trimmed();
    const quint32 address = text.toUInt(&ok, 0);
    if (!ok) {
        appendText(consoletext::invalidDumpAddress(text));
        return;
    }
    QVector<UINT8> bytes;
    if (!device->reportMemory(int(address), kDumpLength, bytes)) {
        appendText(consoletext::commandFailed());
        return;
    }
    appendText(consoletext::memoryDump(address, bytes));
}

void CDebugWidget::slotButtonGetPT()
{
    CFanBase* device = fan();
    if (!device)
        return;
    CPartitionTable::SPartition table[CPartitionTable::kEntries];
    appendText(device->getPartitionTable(table) ? consoletext::partitionTable(table)
                                                : consoletext::partitionTableFailed(),
               false);
}

void CDebugWidget::slotButtonWifiDataDebug()
{
    appendText(readWifiDebugData());
}

QString CDebugWidget::readWifiDebugData()
{
    // Only the 100 series has the request; on a 70-series unit nothing is sent.
    CFanBase* device = fan();
    if (!device || device->modelType() != 0)
        return consoletext::wifiDebug(false, 0, 0);
    auto* fan100 = qobject_cast<CFan*>(device);
    qint8 rssi = 0;
    quint8 betaR78 = 0;
    quint8 betaCC3200 = 0;
    const bool ok = fan100 && fan100->getWifiDataDebug(rssi, betaR78, betaCC3200);
    return consoletext::wifiDebug(ok, betaR78, betaCC3200);
}
