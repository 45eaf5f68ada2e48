#include "debugventaro100.h"

#include "console/consoletexts.h"
#include "console/feldelimtextmodel.h"
#include "console/simulationform.h"
#include "device/fan.h"
#include "device/reporttexts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalMapper>
#include <QVBoxLayout>

namespace {
// Horizontal spacings of the form rows, in pixels.
constexpr int kRow2PositionGap = 500;
constexpr int kRow4Gap = 100;

// Vent position codes of the position buttons.
constexpr int kPosOpen = 31;
constexpr int kPosTickPlus = 24;
constexpr int kPosTickMinus = 1;
constexpr int kPosClose = 25;
} // namespace

CDebugVentaro100::CDebugVentaro100(CMainDialogNew* mainDlg, quint32 serialNumber, QWidget* parent)
    : CDebugWidget(mainDlg, parent)
{
    buildForm(serialNumber);
    slotCalcHum();
}

void CDebugVentaro100::buildForm(quint32 serialNumber)
{
    auto* rows = new QVBoxLayout(m_pModelPanel);
    QHBoxLayout* row[4];
    for (QHBoxLayout*& r : row) {
        r = new QHBoxLayout;
        rows->addLayout(r);
    }
    m_VentPosition = new QButtonGroup(this);
    m_VentPosition->setExclusive(true);
    auto addPosition = [this](QHBoxLayout* r, const QString& caption, int code) {
        auto* radio = new QRadioButton(caption, m_pModelPanel);
        m_VentPosition->addButton(radio, code);
        r->addWidget(radio);
    };

    m_TOutdoor = addField(row[0], tr("TOutdoor:"), "TOutdoor", QStringLiteral("10"));
    m_TExtract = addField(row[0], tr("TExtract:"), "TExtract", QStringLiteral("22"));
    m_TExhaust = addField(row[0], tr("TExhaust:"), "TExhaust", QStringLiteral("12"));
    m_TSupply = addField(row[0], tr("TSupply:"), "TSupply", QStringLiteral("20"));
    addPosition(row[0], tr("Open"), kPosOpen);
    addPosition(row[0], tr("Tick+"), kPosTickPlus);
    addPosition(row[0], tr("Tick-"), kPosTickMinus);
    addPosition(row[0], tr("Close"), kPosClose);

    m_RelHumOut = addField(row[1], tr("Rel.Hum.Out:"), "RelHumOut", QStringLiteral("60"));
    m_RelHumExt = addField(row[1], tr("Rel.Hum.Ext:"), "RelHumExt", QStringLiteral("30"));
    m_CO2 = addField(row[1], tr("CO2:"), "CO2", QStringLiteral("600"));
    row[1]->addSpacing(kRow2PositionGap);
    // Open at 75, 60, 45, 30 and 15 degrees: codes 30 down to 26.
    for (int degrees = 75, code = 30; degrees >= 15; degrees -= 15, --code)
        addPosition(row[1], QString::number(degrees), code);

    m_AbsHumOut = addField(row[2], tr("Abs.Hum.Out:"), "AbsHumOut", QString());
    m_AbsHumExt = addField(row[2], tr("Abs.Hum.Ext:"), "AbsHumExt", QString());
    m_AveHumExt = addField(row[2], tr("Aver.HExt:"), "AverHExt", QStringLiteral("50"));
    m_AveTempOut = addField(row[2], tr("Aver.TOut:"), "AverTOut", QStringLiteral("15"));
    auto* mapper = new QSignalMapper(this);
    const char* const moves[] = {QT_TR_NOOP("Move Extract"), QT_TR_NOOP("Move 2nd"),
                                 QT_TR_NOOP("Move Supply"), QT_TR_NOOP("Move Bypass")};
    for (int vent = 0; vent < 4; ++vent) {
        auto* button = new QPushButton(tr(moves[vent]), m_pModelPanel);
        row[2]->addWidget(button);
        connect(button, &QPushButton::clicked, mapper, qOverload<>(&QSignalMapper::map));
        mapper->setMapping(button, vent);
    }
    connect(mapper, &QSignalMapper::mappedInt, this, &CDebugVentaro100::onButonMoveVent_clicked);

    auto* setValues = new QPushButton(tr("Set Values 100"), m_pModelPanel);
    row[3]->addWidget(setValues);
    row[3]->addSpacing(kRow4Gap);
    row[3]->addWidget(new QLabel(tr("DIP Switch:"), m_pModelPanel));
    m_RoomArea = modelCombo("RoomArea", {"20", "25", "35", "45", "60", "75"});
    m_SumCool = modelCombo("SumCoolTemp", {"0", "18", "21", "24"});
    m_Flow = modelCombo("SecondRoomFlow", {QStringLiteral("0m³/h"), QStringLiteral("30m³/h"),
                                           QStringLiteral("60m³/h"), QStringLiteral("90m³/h")});
    m_RoomCheck =
        new QCheckBox(serialNumber > kPowerLineLastSerial ? tr("First Room Off") : tr("Power Line"),
                      m_pModelPanel);
    m_RoomCheck->setObjectName(QStringLiteral("RoomCheck"));
    row[3]->addWidget(m_RoomArea);
    row[3]->addWidget(m_SumCool);
    row[3]->addWidget(m_Flow);
    row[3]->addWidget(m_RoomCheck);
    row[3]->addSpacing(kRow4Gap);
    row[3]->addWidget(new QLabel(tr("Operation Mode:"), m_pModelPanel));
    m_HumReduction = new QCheckBox(tr("Hum.Reduction"), m_pModelPanel);
    m_HumReduction->setObjectName(QStringLiteral("HumReduction"));
    row[3]->addWidget(m_HumReduction);
    m_ComfortLevel = addField(row[3], tr("Com.Level:"), "ComLevel", QStringLiteral("3"));
    auto* ventInfo = new QPushButton(tr("Get Vent Info"), m_pModelPanel);
    row[3]->addWidget(ventInfo);

    connect(ventInfo, &QPushButton::clicked, this, &CDebugVentaro100::on_ButtonGetVentInfo_clicked);
    connect(setValues, &QPushButton::clicked, this, &CDebugVentaro100::slotButtonSetValues);
    for (QLineEdit* input : {m_RelHumExt, m_RelHumOut, m_TExtract, m_TOutdoor})
        connect(input, &QLineEdit::textChanged, this, &CDebugVentaro100::slotCalcHum);
}

void CDebugVentaro100::slotCalcHum()
{
    m_AbsHumOut->setText(simform::absoluteHumidityText(m_TOutdoor->text(), m_RelHumOut->text()));
    m_AbsHumExt->setText(simform::absoluteHumidityText(m_TExtract->text(), m_RelHumExt->text()));
}

void CDebugVentaro100::slotButtonSetValues()
{
    simform::SForm100 form;
    form.tOutdoor = m_TOutdoor->text();
    form.tExtract = m_TExtract->text();
    form.tExhaust = m_TExhaust->text();
    form.tSupply = m_TSupply->text();
    form.relHumOut = m_RelHumOut->text();
    form.relHumExt = m_RelHumExt->text();
    form.co2 = m_CO2->text();
    form.aveHumExt = m_AveHumExt->text();
    form.aveTempOut = m_AveTempOut->text();
    form.comfortLevel = m_ComfortLevel->text();
    form.humReduction = m_HumReduction->isChecked();
    form.roomArea = m_RoomArea->currentIndex();
    form.sumCool = m_SumCool->currentIndex();
    form.flow = m_Flow->currentIndex();
    form.roomCheck = m_RoomCheck->isChecked();
    const SHLP_SetSimulationValues values = simform::buildSimulation100(form);
    qDebug() << "DIPSwitch " << values.m_DIPSwitch;
    qDebug() << "TOut: " << values.m_OutdoorTemp << ", TExh: " << values.m_ExhaustTemp;
    auto* device = qobject_cast<CFan*>(fan());
    if (device && !device->setSimulationValues(values))
        qDebug() << "slotButtonSetValues: values not sent";
}

void CDebugVentaro100::onButonMoveVent_clicked(int iVent)
{
    const int position = m_VentPosition->checkedId();
    if (position < 0 || iVent < 0 || iVent > 3)
        return;
    SHLP_MoveVent request;
    request.m_Vent = UINT8(iVent);
    request.m_Position = UINT8(position);
    auto* device = qobject_cast<CFan*>(fan());
    if (device && !device->moveVent(request))
        qDebug() << "onButonMoveVent_clicked: vent" << iVent << "not moved";
}

void CDebugVentaro100::on_ButtonGetVentInfo_clicked()
{
    auto* device = qobject_cast<CFan*>(fan());
    CVents::SVentInfo info[CVents::kVentCount];
    if (device && device->getVentInfo(info))
        appendText(consoletext::ventInfo(info));
}

void CDebugVentaro100::comboTestCase_curIndexChanged(int nIndex)
{
    testCaseSelected(nIndex);
}

void CDebugVentaro100::slotTimerTimeOutAll()
{
    countdownTick();
}

void CDebugVentaro100::showTestCase(int row)
{
    if (!isTestRow(row))
        return;
    fillFromColumn(m_ComfortLevel, row, "Com level");
    fillFromColumn(m_TOutdoor, row, "T-Outdoor");
    fillFromColumn(m_TExtract, row, "T-Extract");
    fillFromColumn(m_TExhaust, row, "T-Exhaust");
    fillFromColumn(m_TSupply, row, "T-Supply");
    fillFromColumn(m_RelHumOut, row, "Rel. hum. out");
    fillFromColumn(m_RelHumExt, row, "Rel. hum. extract");
    fillFromColumn(m_CO2, row, "CO2");
    fillFromColumn(m_AveHumExt, row, "Ave RH Ext");
    fillFromColumn(m_AveTempOut, row, "Ave TOut");
    const int humRed = testColumn("Hum Red");
    if (humRed >= 0)
        m_HumReduction->setChecked(simform::integer(testFieldText(row, humRed)) != 0);
    selectFromColumn(m_RoomArea, row, "Room area");
    selectFromColumn(m_Flow, row, "2nd room flow");
    selectFromColumn(m_SumCool, row, "Sum Cool Temp");
    startCountdown(row);
    slotButtonSetValues();
}

void CDebugVentaro100::storeTestResults()
{
    auto* device = qobject_cast<CFan*>(fan());
    SPrimLogEntry state;
    if (!device || !device->getCurrentState(state) || !m_pTestModel)
        return;
    const QString airSpeed = consoletext::airSpeed100(state.airFlowCode(), state.fanLimitCode());
    const int row = currentTestCaseRow();
    if (row < 0)
        return;
    storeResult(row, "R Auto Ctrl", QLatin1String(device->ventReasonName(state.program())));
    storeResult(row, "R Air Speed", airSpeed);
    storeResult(row, "R Defrost", report::defrostText(state.defrostState()));
    storeResult(row, "R Vent extract", report::ventPositionText(state.ventPosExtract()));
    storeResult(row, "R Vent bath", report::ventPositionText(state.ventPosBath()));
    storeResult(row, "R Vent supply", report::ventPositionText(state.ventPosSupply()));
    storeResult(row, "R Vent bypass", report::ventPositionText(state.ventPosBypass()));
    saveTestFile();
}

void CDebugVentaro100::ReloadTestFile()
{
    reloadTestFile({"Test case", "Description", "Hum Red", "Com level", "Room area",
                    "2nd room flow", "Sum Cool Temp", "T-Outdoor", "T-Extract", "T-Exhaust",
                    "T-Supply", "Rel. hum. out", "Rel. hum. extract", "CO2", "Ave RH Ext"});
}
