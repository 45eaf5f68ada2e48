// Before any Qt header: the engine has a member named like a Qt keyword macro.
#include "engine/devsimloopback.h"

#include "../app/dialogfixture.h"
#include "console/debugquorlin70.h"
#include "console/debugventaro100.h"
#include "console/feldelimtextmodel.h"
#include "console/logchart.h"
#include "device/hlprecords.h"
#include "logcapture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLCDNumber>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {
const QString kPort = QStringLiteral("/dev/ttyACM0");
// The dialog fixture hands this relative path to the panels; the tests run in a scratch folder.
const QString kTestFile = QStringLiteral("testvalues.csv");

DialogOptions debugMode()
{
    DialogOptions o;
    o.debug = true;
    return o;
}

SDevSimIdentity unitIdentity(bool plus, UINT32 serial = 50123)
{
    SDevSimIdentity id;
    id.model = plus ? SDevSimIdentity::EModelPlus : SDevSimIdentity::EModel100;
    id.partner = 3;
    id.serial = serial;
    return id;
}

// A dialog in debug mode with a simulated unit plugged in: identification has created the
// model's panel.
struct PanelRig
{
    BoxRecorder boxes; // first: outlives everything that may show a box
    CDevSimLoopback sim;
    DialogOnLoopback<> rig;

    explicit PanelRig(bool plus, UINT32 serial = 50123)
        : sim(unitIdentity(plus, serial)),
          rig(debugMode(), [this](FakeEnumerator&, LoopbackConnector& c) {
              sim.attach(c.addPort(kPort, nullptr));
          })
    {
        rig.enumerator->plug(devicePort(kPort));
    }
    CDebugWidget* panel() const { return qobject_cast<CDebugWidget*>(rig.dialog->debugPanel()); }
    QTextEdit* log() const { return rig.dialog->findChild<QTextEdit*>(QStringLiteral("Log")); }
    CDevSimUnit& unit() { return sim.unit(); }

    template <typename W>
    W* find(const char* name) const
    {
        return panel()->findChild<W*>(QLatin1String(name));
    }
    QLineEdit* field(const char* name) const { return find<QLineEdit>(name); }
    void click(const QString& caption) const
    {
        for (QPushButton* b : panel()->findChildren<QPushButton*>()) {
            if (b->text() == caption) {
                b->click();
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no button ") + caption));
    }
    QComboBox* cases() const { return find<QComboBox>("comboTestCase"); }
    QLCDNumber* countdown() const { return find<QLCDNumber>("m_pLcdWait"); }
    QStringList boxTexts() const
    {
        QStringList texts;
        for (const SMessageBox& b : boxes.boxes)
            texts << b.text;
        return texts;
    }
};

void writeLatin1(const QString& path, const QString& text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toLatin1());
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kHeader100 = QStringLiteral(
    "Test case;Description;Hum Red;Com level;Room area;2nd room flow;Sum Cool Temp;T-Outdoor;"
    "T-Extract;T-Exhaust;T-Supply;Rel. hum. out;Rel. hum. extract;CO2;Ave RH Ext;Ave TOut");
const QString kResults100 = QStringLiteral(
    "R Auto Ctrl;R Air Speed;R Defrost;R Vent extract;R Vent bath;R Vent supply;R Vent bypass");

// A 100-series case row without results: the given name, CO2, outdoor temperature, comfort
// level and wait time.
QString case100(const QString& name, int co2, const QString& tOut, int comfort, const QString& wait)
{
    return QStringLiteral("%1;Lüftung %1;0;%2;35;30;21;%3;22;12;20;60;30;%4;50;15;%5;;;;;;;\n")
        .arg(name)
        .arg(comfort)
        .arg(tOut)
        .arg(co2)
        .arg(wait);
}
} // namespace

class tst_DebugPanels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    // Simulation records from the forms.
    void simulationRecord100_data();
    void simulationRecord100();
    void simulationRecord70_data();
    void simulationRecord70();
    void absoluteHumidity();
    void humidityFieldsOf70StayEmptyUntilAnInputChanges();
    void roomCheckCaption_data();
    void roomCheckCaption();
    void ventMovesNeedAPosition();

    // Test-values file.
    void automaticRunStoresResultsInLatin1();
    void missingWaitTimeSendsButNeverStores();
    void missingRequiredColumn_data();
    void missingRequiredColumn();
    void reloadKeepsTheSelectedCase();
    void reloadDuringTheCountdownStoresIntoTheCasesRow();
    void unreadableTestFileIsReported();
    void failedSaveKeepsTheOldFile();
    void plusPanelStoresItsResults();

    // Console commands.
    void wifiDataDebug_data();
    void wifiDataDebug();
    void secondaryLogCommands();
    void eraseNeedsConfirmation();
    void dumpMemory();
    void partitionTableAndSwap();
    void getIdentReplacesThePanelLater();

private:
    QTemporaryDir m_Dir;
};

void tst_DebugPanels::initTestCase()
{
    QVERIFY(m_Dir.isValid());
    QVERIFY(QDir::setCurrent(m_Dir.path()));
}

void tst_DebugPanels::init()
{
    QFile::remove(kTestFile);
}

// ---- Simulation records -----------------------------------------------------------------------

void tst_DebugPanels::simulationRecord100_data()
{
    QTest::addColumn<QString>("comfort");
    QTest::addColumn<int>("roomArea");
    QTest::addColumn<int>("sumCool");
    QTest::addColumn<int>("flow");
    QTest::addColumn<bool>("roomCheck");
    QTest::addColumn<QString>("tOutdoor");
    QTest::addColumn<QString>("aveTOut");
    QTest::addColumn<QByteArray>("expected");

    // Defaults: comfort 3 -> 2, AveHExt 50, AveTOut 15, TSupply 160, TOutdoor 80, RH out 60,
    // TExhaust 96, TExtract 176, RH extract 30, CO2 600.
    const QByteArray defaults =
        QByteArray::fromHex("10 02 00 00 32 0f a0 00 50 00 3c 00 60 00 b0 00 1e 00 58 02 00 00");
    auto with = [&](int offset, QByteArray bytes) {
        QByteArray r = defaults;
        r.replace(offset, bytes.size(), bytes);
        return r;
    };
    QTest::addRow("defaults") << "3" << 0 << 0 << 0 << false << "10"
                              << "15" << defaults;
    QTest::addRow("comfort 0") << "0" << 0 << 0 << 0 << false << "10"
                               << "15" << with(1, QByteArray::fromHex("00"));
    QTest::addRow("comfort 1") << "1" << 0 << 0 << 0 << false << "10"
                               << "15" << with(1, QByteArray::fromHex("00"));
    QTest::addRow("comfort 5") << "5" << 0 << 0 << 0 << false << "10"
                               << "15" << with(1, QByteArray::fromHex("04"));
    QTest::addRow("comfort 9") << "9" << 0 << 0 << 0 << false << "10"
                               << "15" << with(1, QByteArray::fromHex("04"));
    // 35 m2 (2), 21 degC (2), 30 m3/h (1), check box: 32 + 8 + 8 + 1.
    QTest::addRow("DIP 49") << "3" << 2 << 2 << 1 << true << "10"
                            << "15" << with(2, QByteArray::fromHex("31"));
    // -0.5 eighths rounds away from zero.
    QTest::addRow("TOutdoor -0.0625") << "3" << 0 << 0 << 0 << false << "-0.0625"
                                      << "15" << with(8, QByteArray::fromHex("ffff"));
    QTest::addRow("TOutdoor 0.0625") << "3" << 0 << 0 << 0 << false << "0.0625"
                                     << "15" << with(8, QByteArray::fromHex("0100"));
    QTest::addRow("unparseable") << "x" << 0 << 0 << 0 << false << "warm"
                                 << "-5"
                                 << with(1, QByteArray::fromHex("00"))
                                        .replace(5, 1, QByteArray::fromHex("fb"))
                                        .replace(8, 2, QByteArray::fromHex("0000"));
}

void tst_DebugPanels::simulationRecord100()
{
    QFETCH(QString, comfort);
    QFETCH(int, roomArea);
    QFETCH(int, sumCool);
    QFETCH(int, flow);
    QFETCH(bool, roomCheck);
    QFETCH(QString, tOutdoor);
    QFETCH(QString, aveTOut);
    QFETCH(QByteArray, expected);

    PanelRig t(false);
    QVERIFY(qobject_cast<CDebugVentaro100*>(t.panel()));
    t.field("ComLevel")->setText(comfort);
    t.find<QComboBox>("RoomArea")->setCurrentIndex(roomArea);
    t.find<QComboBox>("SumCoolTemp")->setCurrentIndex(sumCool);
    t.find<QComboBox>("SecondRoomFlow")->setCurrentIndex(flow);
    t.find<QCheckBox>("RoomCheck")->setChecked(roomCheck);
    t.field("TOutdoor")->setText(tOutdoor);
    t.field("AverTOut")->setText(aveTOut);
    LogCapture log;
    t.click(QStringLiteral("Set Values 100"));
    QCOMPARE(t.unit().simulationCount(), 1);
    QCOMPARE(t.unit().lastSimulation().toHex(' '), expected.toHex(' '));
    QCOMPARE(log.count(QStringLiteral("DIPSwitch  ") + QString::number(quint8(expected[2]))), 1);
}

void tst_DebugPanels::simulationRecord70_data()
{
    QTest::addColumn<int>("roomArea");
    QTest::addColumn<int>("sumCool");
    QTest::addColumn<QString>("comfort");
    QTest::addColumn<QByteArray>("expected");

    // Defaults: comfort 3 -> 2, AveHumExt 40, AveTempSup 22, TSupply 160, TExtract 240,
    // RH sup 30, RH ext 50, CO2 sup 500, CO2 ext 900, then six zero words.
    const QByteArray defaults = QByteArray::fromHex("10 02 00 28 16 00 a0 00 f0 00 1e 00 32 00 "
                                                    "f4 01 84 03") +
                                QByteArray(12, '\0');
    QTest::addRow("defaults") << 0 << 0 << "3" << defaults;
    // 45 m2 (3) and summer cooling "0" (the last item, 3): 24 + 6.
    QByteArray dip30 = defaults;
    dip30[2] = 30;
    QTest::addRow("DIP 30") << 3 << 3 << "3" << dip30;
    QByteArray comfort9 = defaults;
    comfort9[1] = 4;
    QTest::addRow("comfort 9") << 0 << 0 << "9" << comfort9;
}

void tst_DebugPanels::simulationRecord70()
{
    QFETCH(int, roomArea);
    QFETCH(int, sumCool);
    QFETCH(QString, comfort);
    QFETCH(QByteArray, expected);

    PanelRig t(true);
    QVERIFY(qobject_cast<CDebugQuorlin70*>(t.panel()));
    t.find<QComboBox>("RoomArea")->setCurrentIndex(roomArea);
    t.find<QComboBox>("SumCoolTemp")->setCurrentIndex(sumCool);
    t.field("ComLevel")->setText(comfort);
    t.click(QStringLiteral("Set Values 70"));
    QCOMPARE(t.unit().simulationCount(), 1);
    QCOMPARE(t.unit().lastSimulation().toHex(' '), expected.toHex(' '));
}

void tst_DebugPanels::absoluteHumidity()
{
    PanelRig t(false);
    // The constructor already shows the defaults' values.
    QVERIFY(!t.field("AbsHumOut")->text().isEmpty());
    QVERIFY(!t.field("AbsHumExt")->text().isEmpty());

    t.field("TOutdoor")->setText(QStringLiteral("20"));
    t.field("RelHumOut")->setText(QStringLiteral("50"));
    QCOMPARE(t.field("AbsHumOut")->text(), QStringLiteral("g/Kg: 7.35, g/m³: 8.85"));
    // Outside the table: the fixed saturation 5 below -20 degC and 1000 above 50 degC.
    t.field("TExtract")->setText(QStringLiteral("-25"));
    t.field("RelHumExt")->setText(QStringLiteral("100"));
    QCOMPARE(t.field("AbsHumExt")->text(), QStringLiteral("g/Kg: 0.50, g/m³: 0.50"));
    t.field("TExtract")->setText(QStringLiteral("55"));
    QCOMPARE(t.field("AbsHumExt")->text(), QStringLiteral("g/Kg: 100.00, g/m³: 100.00"));
}

void tst_DebugPanels::humidityFieldsOf70StayEmptyUntilAnInputChanges()
{
    PanelRig t(true);
    QCOMPARE(t.field("AbsHumExt")->text(), QString());
    QCOMPARE(t.field("AbsHumSup")->text(), QString());
    t.field("RelHumSup")->setText(QStringLiteral("50"));
    // TSupply 20 degC at 50 %, TExtract 30 degC at 50 %.
    QCOMPARE(t.field("AbsHumSup")->text(), QStringLiteral("g/Kg: 7.35, g/m³: 8.85"));
    QVERIFY(!t.field("AbsHumExt")->text().isEmpty());
}

void tst_DebugPanels::roomCheckCaption_data()
{
    QTest::addColumn<int>("serial");
    QTest::addColumn<QString>("caption");
    QTest::addRow("3000") << 3000 << "Power Line";
    QTest::addRow("3001") << 3001 << "First Room Off";
}

void tst_DebugPanels::roomCheckCaption()
{
    QFETCH(int, serial);
    QFETCH(QString, caption);
    PanelRig t(false, UINT32(serial));
    QCOMPARE(t.find<QCheckBox>("RoomCheck")->text(), caption);
}

void tst_DebugPanels::ventMovesNeedAPosition()
{
    PanelRig t(false);
    t.click(QStringLiteral("Move Supply"));
    QCOMPARE(t.unit().requestCount(HLP_MOVE_VENT), 0);

    for (QRadioButton* r : t.panel()->findChildren<QRadioButton*>()) {
        if (r->text() == QLatin1String("45"))
            r->setChecked(true);
    }
    t.click(QStringLiteral("Move Supply"));
    QCOMPARE(t.unit().requestCount(HLP_MOVE_VENT), 1);
    QCOMPARE(t.unit().ventStats(2).moves, 1);
}

// ---- Test-values file -------------------------------------------------------------------------

void tst_DebugPanels::automaticRunStoresResultsInLatin1()
{
    // Three cases: plain, CO2 above the unit's limit (air-flow code 20: the fan limit), frost.
    writeLatin1(kTestFile, kHeader100 + QStringLiteral(";Wait time;") + kResults100 +
                               QStringLiteral("\n") + case100("T1", 600, "10", 3, "2") +
                               case100("T2", 1500, "10", 3, "1") +
                               case100("T3", 600, "-8", 5, "1"));
    PanelRig t(false);
    t.panel()->setTestTickInterval(1);
    t.find<QCheckBox>("AutomaticTestMode")->setChecked(true);
    t.click(QStringLiteral("(Re)load Test File"));
    QCOMPARE(t.boxes.boxes.size(), 0);
    QCOMPARE(t.cases()->count(), 3);
    QCOMPARE(t.cases()->currentIndex(), -1); // nothing was selected before
    QCOMPARE(t.panel()->currentTestCaseRow(), -1);

    t.cases()->setCurrentIndex(0);
    QCOMPARE(t.unit().simulationCount(), 1);
    QCOMPARE(t.countdown()->intValue(), 2);
    QTRY_COMPARE(t.unit().simulationCount(), 3);
    QTRY_COMPARE(t.countdown()->intValue(), 0);
    QTRY_VERIFY(readAll(kTestFile).contains("T3;"));
    QTRY_COMPARE(t.unit().requestCount(HLP_GET_CURRENT_STATE), 3);
    QCOMPARE(t.cases()->currentIndex(), 2); // the sequence ends on the last case

    const QByteArray expected =
        (kHeader100 + QStringLiteral(";Wait time;") + kResults100 + QStringLiteral("\n") +
         QStringLiteral("T1;Lüftung T1;0;3;35;30;21;10;22;12;20;60;30;600;50;15;2;"
                        "MinAir;     16;None;OPEN;CLOS;OPEN;CLOS\n"
                        "T2;Lüftung T2;0;3;35;30;21;10;22;12;20;60;30;1500;50;15;1;"
                        "CO2Ven;     60;None;OPEN;CLOS;OPEN;CLOS\n"
                        "T3;Lüftung T3;0;5;35;30;21;-8;22;12;20;60;30;600;50;15;1;"
                        "MinAir;     22;Bypa;OPEN;CLOS;OPEN;CLOS\n"))
            .toLatin1();
    QCOMPARE(readAll(kTestFile), expected);
    QVERIFY(expected.contains("L\xFC"
                              "ftung")); // one byte per character: Latin-1
}

void tst_DebugPanels::missingWaitTimeSendsButNeverStores()
{
    const QString content =
        kHeader100 + QStringLiteral(";") + kResults100 + QStringLiteral("\n") +
        case100("T1", 600, "10", 3, "").chopped(1).section(';', 0, 15) + QStringLiteral("\n") +
        case100("T2", 600, "10", 3, "").chopped(1).section(';', 0, 15) + QStringLiteral("\n");
    writeLatin1(kTestFile, content);
    const QByteArray before = readAll(kTestFile);
    PanelRig t(false);
    t.panel()->setTestTickInterval(1);
    t.find<QCheckBox>("AutomaticTestMode")->setChecked(true);
    t.click(QStringLiteral("(Re)load Test File"));
    QCOMPARE(t.boxes.boxes.size(), 0); // "Wait time" is not required

    t.cases()->setCurrentIndex(0);
    QCOMPARE(t.unit().simulationCount(), 1);
    QTest::qWait(50);
    QCOMPARE(t.countdown()->intValue(), 0);
    QCOMPARE(t.cases()->currentIndex(), 0);
    QCOMPARE(t.unit().requestCount(HLP_GET_CURRENT_STATE), 0);
    QCOMPARE(readAll(kTestFile), before);
}

void tst_DebugPanels::missingRequiredColumn_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("missing");

    QTest::addRow("100 without Test case")
        << false << kHeader100.section(';', 1) << QStringLiteral("Test case");
    QString noCO2 = kHeader100;
    noCO2.replace(QStringLiteral(";CO2;"), QStringLiteral(";CO3;"));
    QTest::addRow("100 without CO2, later ones missing too")
        << false << noCO2.section(';', 0, 13) << QStringLiteral("CO2");
    QTest::addRow("70 without Rel. hum. sup")
        << true
        << QStringLiteral("test CASE;Description;Com level;Room area;Sum Cool Temp;T-Extract;"
                          "T-Supply;Rel. hum. extract;CO2 Ext;CO2 Sup;Ave RH Ext")
        << QStringLiteral("Rel. hum. sup");
}

void tst_DebugPanels::missingRequiredColumn()
{
    QFETCH(bool, plus);
    QFETCH(QString, header);
    QFETCH(QString, missing);

    writeLatin1(kTestFile, header + QStringLiteral("\na;b\nc;d\n"));
    PanelRig t(plus);
    t.click(QStringLiteral("(Re)load Test File"));
    QCOMPARE(t.boxTexts(),
             QStringList{QStringLiteral("Missing column in test file ('%1').").arg(missing)});
    // Loading goes on: one item per row.
    QCOMPARE(t.cases()->count(), 2);
    if (missing == QLatin1String("Test case")) {
        QCOMPARE(t.cases()->itemText(0), QString());
        QCOMPARE(t.cases()->itemText(1), QString());
    }
}

void tst_DebugPanels::reloadKeepsTheSelectedCase()
{
    const QString header = kHeader100 + QStringLiteral(";Wait time\n");
    writeLatin1(kTestFile, header + case100("A", 600, "10", 3, "0") +
                               case100("B", 700, "10", 3, "0") + case100("C", 800, "10", 3, "0"));
    PanelRig t(false);
    t.click(QStringLiteral("(Re)load Test File"));
    t.cases()->setCurrentIndex(1);
    QCOMPARE(t.field("CO2")->text(), QStringLiteral("700"));
    QCOMPARE(t.unit().simulationCount(), 1);

    // B has moved to another row and changed: it is selected again and re-sent at once.
    writeLatin1(kTestFile, header + case100("b", 500, "10", 3, "0") +
                               case100("C", 800, "10", 3, "0") + case100("B", 950, "10", 3, "0"));
    t.click(QStringLiteral("(Re)load Test File"));
    QCOMPARE(t.cases()->currentText(), QStringLiteral("B"));
    QCOMPARE(t.panel()->currentTestCaseRow(), 2);
    QCOMPARE(t.field("CO2")->text(), QStringLiteral("950"));
    QCOMPARE(t.unit().simulationCount(), 2);
    QCOMPARE(le::u16(reinterpret_cast<const UINT8*>(t.unit().lastSimulation().constData()) + 18),
             950);

    // Without a case of exactly that text the selector has no current item.
    writeLatin1(kTestFile, header + case100("b", 500, "10", 3, "0"));
    t.click(QStringLiteral("(Re)load Test File"));
    QCOMPARE(t.cases()->currentIndex(), -1);
    QCOMPARE(t.panel()->currentTestCaseRow(), -1);
    QCOMPARE(t.unit().simulationCount(), 2);
}

void tst_DebugPanels::reloadDuringTheCountdownStoresIntoTheCasesRow()
{
    const QString header = kHeader100 + QStringLiteral(";Wait time;") + kResults100 + "\n";
    writeLatin1(kTestFile,
                header + case100("A", 600, "10", 3, "9") + case100("B", 700, "10", 3, "3"));
    PanelRig t(false);
    t.panel()->setTestTickInterval(20);
    t.click(QStringLiteral("(Re)load Test File"));
    t.cases()->setCurrentIndex(1);
    QCOMPARE(t.countdown()->intValue(), 3);

    // In the new file C stands where B stood and B has moved down. A column is missing, and the
    // box that says so runs the event loop for longer than B's countdown.
    QString renamed = header;
    renamed.replace(QStringLiteral("Ave RH Ext;"), QStringLiteral("Ave RH Extract;"));
    const QString kept =
        renamed + case100("A", 600, "10", 3, "9") + case100("C", 800, "10", 3, "9");
    const QString rowB = case100("B", 700, "10", 3, "3");
    writeLatin1(kTestFile, kept + rowB);
    MessageBoxHook recorder = setMessageBoxHook([](const SMessageBox&) {
        QTest::qWait(200);
        return QMessageBox::Ok;
    });
    t.click(QStringLiteral("(Re)load Test File"));
    setMessageBoxHook(std::move(recorder));

    // B counts again from the start, and its results go into B's row; the rest stays as it was.
    QCOMPARE(t.cases()->currentText(), QStringLiteral("B"));
    QTRY_COMPARE(t.unit().requestCount(HLP_GET_CURRENT_STATE), 1);
    QTest::qWait(100);
    QCOMPARE(t.unit().requestCount(HLP_GET_CURRENT_STATE), 1);
    const QByteArray saved = readAll(kTestFile);
    QVERIFY2(saved.startsWith(kept.toLatin1()), saved.constData());
    QVERIFY(saved.mid(kept.size())
                .startsWith("B;L\xFC"
                            "ftung B;0;3;35;30;21;10;22;12;20;60;30;700;50;15;3;"
                            "MinAir;"));
}

void tst_DebugPanels::unreadableTestFileIsReported()
{
    PanelRig t(false);
    t.click(QStringLiteral("(Re)load Test File"));
    QCOMPARE(t.boxTexts(), QStringList{QStringLiteral("Unable to open file '%1'").arg(kTestFile)});
    QVERIFY(!t.boxes.boxes.first().informativeText.isEmpty());
    QCOMPARE(t.cases()->count(), 0);
    QCOMPARE(t.panel()->currentTestCaseRow(), -1);
}

void tst_DebugPanels::failedSaveKeepsTheOldFile()
{
    writeLatin1(kTestFile, kHeader100 + QStringLiteral(";Wait time;") + kResults100 +
                               QStringLiteral("\n") + case100("T1", 600, "10", 3, "1"));
    const QByteArray before = readAll(kTestFile);
    PanelRig t(false);
    t.panel()->setTestTickInterval(3600 * 1000); // the test ticks by hand
    t.click(QStringLiteral("(Re)load Test File"));
    t.cases()->setCurrentIndex(0);
    QCOMPARE(t.countdown()->intValue(), 1);

    // Files of this process may not grow beyond a few bytes: the new content cannot be
    // written completely.
    struct rlimit saved
    {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 32;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    t.panel()->slotTimerTimeOutAll();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(t.unit().requestCount(HLP_GET_CURRENT_STATE), 1);
    QCOMPARE(t.boxTexts(),
             QStringList{QStringLiteral("Unable to write CSV file '%1'").arg(kTestFile)});
    QCOMPARE(readAll(kTestFile), before);
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{kTestFile});
}

void tst_DebugPanels::plusPanelStoresItsResults()
{
    writeLatin1(kTestFile,
                QStringLiteral("Test case;Description;Com level;Room area;Sum Cool Temp;T-Extract;"
                               "T-Supply;Rel. hum. extract;Rel. hum. sup;CO2 Ext;CO2 Sup;"
                               "Ave RH Ext;Ave TOut;Wait time;R Auto Ctrl;R Air Speed\n"
                               "P1;CO2;3;45;0;24;18;55;40;1500;450;45;5;1\n"));
    PanelRig t(true);
    t.panel()->setTestTickInterval(1);
    t.click(QStringLiteral("(Re)load Test File"));
    QCOMPARE(t.boxes.boxes.size(), 0);
    t.cases()->setCurrentIndex(0);
    QCOMPARE(t.find<QComboBox>("RoomArea")->currentText(), QStringLiteral("45"));
    QCOMPARE(t.find<QComboBox>("SumCoolTemp")->currentText(), QStringLiteral("0"));
    QCOMPARE(t.field("AverTempSup")->text(), QStringLiteral("5"));
    QVERIFY(!t.field("AbsHumSup")->text().isEmpty()); // a loaded case changes the inputs
    QCOMPARE(quint8(t.unit().lastSimulation().at(2)), quint8(30));

    // The unit raises the air flow for CO2: code 20 reported as 40 in byte 23.
    QTRY_VERIFY(readAll(kTestFile).contains("VenCO2"));
    QCOMPARE(readAll(kTestFile).split('\n').value(1),
             QByteArray("P1;CO2;3;45;0;24;18;55;40;1500;450;45;5;1;VenCO2;     40"));
}

// ---- Console commands -------------------------------------------------------------------------

void tst_DebugPanels::wifiDataDebug_data()
{
    QTest::addColumn<bool>("plus");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("text");
    QTest::addRow("100 series") << false << 1
                                << QStringLiteral("\nBeta R78: \t0\nBeta CC3200:      \t0\n");
    // Only the 100 series has the request: an empty paragraph.
    QTest::addRow("plus") << true << 0 << QString();
}

void tst_DebugPanels::wifiDataDebug()
{
    QFETCH(bool, plus);
    QFETCH(int, requests);
    QFETCH(QString, text);
    PanelRig t(plus);
    QTextEdit* log = t.log();
    log->setPlainText(QStringLiteral("before"));
    t.click(QStringLiteral("Get Wifi Data Debug"));
    QCOMPARE(t.unit().requestCount(HLP_GET_WIFI_DATA), requests);
    QVERIFY(log->toPlainText().endsWith(text));
    if (text.isEmpty())
        QCOMPARE(log->toPlainText(), QStringLiteral("before\n"));
}

void tst_DebugPanels::secondaryLogCommands()
{
    PanelRig t(false);
    t.unit().fillSecRing(CLogging::EDay, 96, 10, 7);
    t.unit().setSecLogCheckResult(CLogging::EDay, 3);
    t.find<QComboBox>("TimeSpan")->setCurrentIndex(CLogging::EDay);

    t.click(QStringLiteral("Get Sec Log Cnt"));
    t.click(QStringLiteral("Check Sec Log"));
    t.unit().setSecLogCheckResult(CLogging::EDay, 0);
    t.click(QStringLiteral("Check Sec Log"));
    const QString log = t.log()->toPlainText();
    QVERIFY2(log.contains(QStringLiteral(
                 "1  Day : Log size: 96, Number of logs used : 10, index of oldest log: 7\n")),
             qPrintable(log));
    QVERIFY(log.contains(QStringLiteral("The secondary log has error 3!\n")));
    QVERIFY(log.contains(QStringLiteral("The secondary log is OK!\n")));

    t.click(QStringLiteral("Get Counters"));
    QCOMPARE(t.log()->toPlainText().count(QStringLiteral("Counter ")), 74);
    QVERIFY(t.log()->toPlainText().contains(QStringLiteral("Counter  73: ")));

    // The charts show the entries the report would print: here the 10 stored day entries.
    for (QRadioButton* radio : t.panel()->findChildren<QRadioButton*>())
        radio->setChecked(radio->text() == QStringLiteral("10 Youngest"));
    t.click(QStringLiteral("Chart Sec Log"));
    t.click(QStringLiteral("Chart Prim Log"));
    const QList<CLogChartView*> charts = t.panel()->findChildren<CLogChartView*>();
    QCOMPARE(charts.size(), 2);
    QCOMPARE(charts[0]->window()->windowTitle(), QStringLiteral("Secondary Log: 1 day"));
    QCOMPARE(charts[0]->chart()->series().first()->name(), QStringLiteral("TExt [°C]"));
    QCOMPARE(static_cast<QtCharts::QLineSeries*>(charts[0]->chart()->series().first())->count(),
             10);
    QCOMPARE(charts[1]->window()->windowTitle(), QStringLiteral("Primary Log"));
    for (CLogChartView* chart : charts)
        chart->window()->close();
}

void tst_DebugPanels::eraseNeedsConfirmation()
{
    PanelRig t(false);
    t.find<QComboBox>("TimeSpan")->setCurrentIndex(CLogging::EMonth);
    t.click(QStringLiteral("Erase Sec Log")); // the recorder takes the default: Cancel
    QCOMPARE(t.boxes.boxes.size(), 1);
    const SMessageBox box = t.boxes.boxes.first();
    QCOMPARE(box.title, QStringLiteral("Confirm Erasing Log"));
    QCOMPARE(box.text, QStringLiteral("The secondary log \"30 days\" will be deleted"));
    QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.defaultButton, QMessageBox::Cancel);
    QCOMPARE(t.unit().requestCount(HLP_ERASE_SEC_LOG), 0);

    MessageBoxHook recorder = setMessageBoxHook([](const SMessageBox&) { return QMessageBox::Ok; });
    t.click(QStringLiteral("Erase Sec Log"));
    setMessageBoxHook(std::move(recorder));
    QCOMPARE(t.unit().requestCount(HLP_ERASE_SEC_LOG), 1);
}

void tst_DebugPanels::dumpMemory()
{
    PanelRig t(false);
    t.field("DumpAddress")->setText(QStringLiteral("zz"));
    t.click(QStringLiteral("Dump Memory"));
    QCOMPARE(t.unit().requestCount(HLP_REPORT_MEMORY), 0);
    QVERIFY(t.log()->toPlainText().contains(QStringLiteral("Invalid dump address 'zz'")));

    // Unflashed memory of the simulated unit reads as address ^ (address >> 8).
    t.field("DumpAddress")->setText(QStringLiteral(" 0x1000 "));
    t.click(QStringLiteral("Dump Memory"));
    QCOMPARE(t.unit().requestCount(HLP_REPORT_MEMORY), 1);
    const QString log = t.log()->toPlainText();
    QVERIFY2(
        log.contains(QStringLiteral("00001000: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F\n")),
        qPrintable(log));
    QVERIFY(log.contains(
        QStringLiteral("\n00001070: 60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F\n")));
    QVERIFY(!log.contains(QStringLiteral("00001080:")));
}

void tst_DebugPanels::partitionTableAndSwap()
{
    PanelRig t(false);
    t.click(QStringLiteral("Get Part Table"));
    const QString log = t.log()->toPlainText();
    QVERIFY2(log.contains(QStringLiteral("Partition Table:\n")), qPrintable(log));
    // The application partition of the simulated unit: 2.20 at 0x8800, 0xE4AE bytes, CRC good.
    QVERIFY(log.contains(QStringLiteral("   3,       2,     20,   34816, 58542,       1,       0, "
                                        "          0,           0 \n")));

    t.click(QStringLiteral("Swap Boot"));
    QCOMPARE(t.unit().requestCount(HLP_SWAP_BOOTLOADERS), 1);
}

void tst_DebugPanels::getIdentReplacesThePanelLater()
{
    PanelRig t(false);
    QPointer<CDebugWidget> old = t.panel();
    QVERIFY(old);
    t.click(QStringLiteral("Get Ident"));
    QVERIFY(t.panel());
    QVERIFY(t.panel() != old.data());
    QVERIFY(old); // still alive: the click is being handled inside it
    QVERIFY(old->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!old);
    QCOMPARE(t.unit().requestCount(HLP_IDENT_REQUEST), 2);
}

QTEST_MAIN(tst_DebugPanels)
#include "tst_debugpanels.moc"
