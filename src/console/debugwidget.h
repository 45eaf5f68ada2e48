#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace logtable {
struct STable;
}
class CFanBase;
class CFelDelimTextModel;
class CMainDialogNew;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLCDNumber;
class QLineEdit;
class QPushButton;

// The service console shown in the main dialog's debug panel container: buttons that fire
// single device requests and print their results into the dialog's log area, the secondary-log
// administration, shortcuts to the dialog's firmware updates, and the test-values file with a
// test-case selector and a one-second countdown that stores the device's reaction and, in
// "Automatic Test Mode", steps on to the next case. Abstract: each device model's panel adds
// its form below the common controls and implements the test-file operations.
class CDebugWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kTestTickMs = 1000; // countdown step: one second of the display
    static constexpr int kDumpLength = 128;  // bytes asked for by "Dump Memory"
    static constexpr char kDelimiter = ';';
    static constexpr char kQuote = '"';
    static constexpr const char* kCodecName = "ISO 8859-1";

    CDebugWidget(CMainDialogNew* mainDlg, QWidget* parent);
    ~CDebugWidget() override;

    // -1 without a model or a current item, or when the item's row is not in the model.
    int currentTestCaseRow() const;
    CFelDelimTextModel* testModel() const { return m_pTestModel; }
    const QString& testFile() const { return m_strTestFile; }
    // The countdown's tick period (tests run it faster than once a second).
    void setTestTickInterval(int ms) { m_TestTickMs = ms; }

public slots:
    virtual void slotButtonSetSensorValues();
    virtual void ReloadTestFile() = 0;
    virtual void comboTestCase_curIndexChanged(int nIndex);
    virtual void slotTimerTimeOutAll();

protected:
    virtual void showTestCase(int row);
    virtual void storeTestResults();

public slots:
    void slotCheckSecLog();
    void slotEraseSecLog();
    void slotRepSecLog();
    void slotCalcAveSenVal();
    void slotGetSecLogCnt();
    void slotButtonRepCnt();
    void slotButtonSwap();
    void slotButtonIdent();
    void slotButtonClearLog();
    void slotButtonRepTime();
    void slotButtonRepPrimLog();
    void slotButtonDumpMem();
    void slotButtonGetPT();
    void slotButtonWifiDataDebug();
    // Charts of the primary log and of the span and entries "Report Sec Log" would print, each
    // in a window of its own (debugwidget_charts.cpp).
    void slotChartPrimLog();
    void slotChartSecLog();

protected:
    // ---- Test-values file, for the model panels ------------------------------------------
    // The model panels' ReloadTestFile: loads the file, reports the first of `columns` that
    // is missing and refills the selector. The countdown stands still meanwhile, so no tick
    // stores results while the new rows and the old selector disagree.
    void reloadTestFile(const QStringList& columns);
    // Creates the model on first use and loads the file (header, ';', '"', Latin-1); a
    // failure is reported in a message box and gives false.
    bool loadTestFile();
    // Refills the selector from the "Test case" column, keeping the selected case when a case
    // of the same text exists; re-shows that case.
    void fillTestCaseCombo();
    // Reports the first missing column in a message box; loading goes on either way.
    void checkTestColumns(const QStringList& names);
    // Replaces the file with the model's content; the old file stays whole until the new one
    // is completely written. Failures are reported in message boxes.
    bool saveTestFile();
    // Case-insensitive column of the model, -1 when missing or without model.
    int testColumn(const char* name) const;
    int testColumnOf(const QString& name) const;
    // Sets `field` from the row's cell when the column exists (empty when the row is short).
    void fillFromColumn(QLineEdit* field, int row, const char* column) const;
    // Selects the first item starting with the row's cell (ignoring case) when the column
    // exists; the selector stays when nothing matches.
    void selectFromColumn(QComboBox* selector, int row, const char* column) const;
    // Writes `text` into the row's cell when the column exists.
    void storeResult(int row, const char* column, const QString& text);
    // Starts the countdown with the row's "Wait time" (when the column exists).
    void startCountdown(int row);
    // The identical behaviour of both model panels' comboTestCase_curIndexChanged and
    // slotTimerTimeOutAll.
    void testCaseSelected(int index);
    void countdownTick();
    // Whether `row` is a row of the loaded model.
    bool isTestRow(int row) const;

    // Appends a paragraph to the dialog's log area, repainting it unless told otherwise.
    void appendText(const QString& text, bool repaint = true);
    CFanBase* fan() const;
    QString testFieldText(int row, int column) const;
    // A labelled input of the model panel, added to `row`.
    QLineEdit* addField(QHBoxLayout* row, const QString& label, const char* name,
                        const QString& text);
    // A selector of the model panel (not yet placed in a row).
    QComboBox* modelCombo(const char* name, const QStringList& items);

    QWidget* m_pUpperPanel = nullptr;
    QWidget* m_pModelPanel = nullptr;
    CMainDialogNew* m_pMainDlg = nullptr;
    QTimer m_TimerTest;
    QString m_strTestFile;
    CFelDelimTextModel* m_pTestModel = nullptr;

    // Common controls.
    QLineEdit* m_DumpAddress = nullptr;
    QComboBox* m_SpanSelector = nullptr;
    QButtonGroup* m_ReportSelection = nullptr;
    QComboBox* comboTestCase = nullptr;
    QLCDNumber* m_pLcdWait = nullptr;
    QCheckBox* m_AutoTest = nullptr;

private:
    enum EReportSelection { EReportAll, E10Youngest, E100Youngest, E10Oldest, E100Oldest };

    void buildUpperPanel();
    QPushButton* addButton(QHBoxLayout* row, const QString& caption, const char* name);
    QString secLogSelectionReport();
    bool isSelected(EReportSelection id) const;
    void showChart(const QString& title, const logtable::STable& table);
    QString readWifiDebugData();

    int m_TestTickMs = kTestTickMs;
};
