#include "debugwidget.h"

#include "app/messagebox.h"
#include "console/feldelimtextmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLCDNumber>
#include <QLineEdit>
#include <QPointer>

namespace {
const char* const kColumnTestCase = "Test case";
const char* const kColumnWaitTime = "Wait time";

void reportFileProblem(QWidget* parent, const QString& text, const QString& detail = QString())
{
    showMessageBox({QMessageBox::Warning, parent, QString(), text, QMessageBox::Ok,
                    QMessageBox::NoButton, detail});
}
} // namespace

void CDebugWidget::reloadTestFile(const QStringList& columns)
{
    // The countdown belongs to the selected row of the old file. The column check's box runs
    // the event loop after the new rows are in and before the selector is refilled: a tick
    // then would store the case's results into whatever row of the new file has its index.
    const bool counting = m_TimerTest.isActive();
    m_TimerTest.stop();
    if (!loadTestFile()) {
        if (counting)
            m_TimerTest.start(m_TestTickMs); // the old rows are still in place
        return;
    }
    checkTestColumns(columns);
    fillTestCaseCombo();
    // A case found again has restarted its countdown; otherwise the case is gone, and so is
    // what was left of its wait.
    if (!m_TimerTest.isActive())
        m_pLcdWait->display(0);
}

bool CDebugWidget::loadTestFile()
{
    if (!m_pTestModel)
        m_pTestModel = new CFelDelimTextModel(this);
    QFile file(m_strTestFile);
    if (!file.open(QIODevice::ReadOnly)) {
        reportFileProblem(this, tr("Unable to open file '%1'").arg(m_strTestFile),
                          file.errorString());
        return false;
    }
    if (!m_pTestModel->load(&file, true, QLatin1Char(kDelimiter), QLatin1Char(kQuote),
                            kCodecName)) {
        reportFileProblem(this, tr("Unable to read CSV file '%1'").arg(m_strTestFile));
        return false;
    }
    return true;
}

bool CDebugWidget::saveTestFile()
{
    if (!m_pTestModel)
        return false;
    QString error;
    switch (m_pTestModel->saveFile(m_strTestFile, true, QLatin1Char(kDelimiter),
                                   QLatin1Char(kQuote), kCodecName, &error)) {
    case CFelDelimTextModel::ESaveResult::Saved:
        return true;
    case CFelDelimTextModel::ESaveResult::NotOpened:
        reportFileProblem(this, tr("Unable to open file '%1'").arg(m_strTestFile), error);
        return false;
    case CFelDelimTextModel::ESaveResult::NotWritten:
        break;
    }
    reportFileProblem(this, tr("Unable to write CSV file '%1'").arg(m_strTestFile), error);
    return false;
}

void CDebugWidget::checkTestColumns(const QStringList& names)
{
    for (const QString& name : names) {
        if (testColumnOf(name) < 0) {
            reportFileProblem(this, tr("Missing column in test file ('%1').").arg(name));
            return;
        }
    }
}

void CDebugWidget::fillTestCaseCombo()
{
    const QString remembered = comboTestCase->currentText();
    disconnect(comboTestCase, qOverload<int>(&QComboBox::currentIndexChanged), this,
               &CDebugWidget::comboTestCase_curIndexChanged);
    comboTestCase->clear();
    const int column = testColumn(kColumnTestCase);
    const int rows = m_pTestModel ? m_pTestModel->rowCount() : 0;
    for (int r = 0; r < rows; ++r)
        comboTestCase->addItem(column >= 0 ? testFieldText(r, column) : QString(), r);
    const int index =
        comboTestCase->findText(remembered, Qt::MatchExactly | Qt::MatchCaseSensitive);
    comboTestCase->setCurrentIndex(index);
    if (index >= 0)
        comboTestCase_curIndexChanged(index);
    connect(comboTestCase, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CDebugWidget::comboTestCase_curIndexChanged);
}

int CDebugWidget::currentTestCaseRow() const
{
    if (!m_pTestModel || comboTestCase->currentIndex() < 0)
        return -1;
    bool ok = false;
    const int row = comboTestCase->currentData().toInt(&ok);
    return ok && isTestRow(row) ? row : -1;
}

bool CDebugWidget::isTestRow(int row) const
{
    return m_pTestModel && row >= 0 && row < m_pTestModel->rowCount();
}

int CDebugWidget::testColumnOf(const QString& name) const
{
    return m_pTestModel ? m_pTestModel->headerColumn(name, Qt::CaseInsensitive) : -1;
}

int CDebugWidget::testColumn(const char* name) const
{
    return testColumnOf(QLatin1String(name));
}

QString CDebugWidget::testFieldText(int row, int column) const
{
    return m_pTestModel ? m_pTestModel->value(row, column).toString() : QString();
}

void CDebugWidget::fillFromColumn(QLineEdit* field, int row, const char* column) const
{
    const int c = testColumn(column);
    if (c >= 0)
        field->setText(testFieldText(row, c));
}

void CDebugWidget::selectFromColumn(QComboBox* selector, int row, const char* column) const
{
    const int c = testColumn(column);
    if (c < 0)
        return;
    const QString cell = testFieldText(row, c);
    for (int i = 0; i < selector->count(); ++i) {
        if (selector->itemText(i).startsWith(cell, Qt::CaseInsensitive)) {
            selector->setCurrentIndex(i);
            return;
        }
    }
}

void CDebugWidget::storeResult(int row, const char* column, const QString& text)
{
    const int c = testColumn(column);
    if (c >= 0)
        m_pTestModel->setValue(row, c, text);
}

void CDebugWidget::startCountdown(int row)
{
    m_TimerTest.start(m_TestTickMs);
    const int c = testColumn(kColumnWaitTime);
    if (c >= 0)
        m_pLcdWait->display(testFieldText(row, c));
}

void CDebugWidget::testCaseSelected(int index)
{
    if (index < 0)
        return;
    // The items are in row order: the index is the model row.
    showTestCase(comboTestCase->currentIndex());
}

void CDebugWidget::countdownTick()
{
    // The display holds the remaining seconds; at 0 the countdown is idle and ticks do nothing.
    const int shown = m_pLcdWait->intValue();
    if (shown == 0)
        return;
    m_pLcdWait->display(shown - 1);
    if (shown - 1 != 0)
        return;
    QPointer<CDebugWidget> alive(this);
    storeTestResults();
    if (!alive)
        return; // the panel was replaced while a message box ran its own event loop
    const int next = comboTestCase->currentIndex() + 1;
    if (m_AutoTest->isChecked() && next < comboTestCase->count())
        comboTestCase->setCurrentIndex(next);
}
