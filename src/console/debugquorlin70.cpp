#include "debugquorlin70.h"

#include "console/consoletexts.h"
#include "console/feldelimtextmodel.h"
#include "console/simulationform.h"
#include "device/fan_70_pc.h"

#include <QComboBox>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Horizontal spacings of the form rows, in pixels.
constexpr int kRowEnd = 300;
constexpr int kRow3End = 1500;
constexpr int kRow4Gap = 200;
constexpr int kRow4End = 1000;
} // namespace

CDebugQuorlin70::CDebugQuorlin70(CMainDialogNew* mainDlg, QWidget* parent)
    : CDebugWidget(mainDlg, parent)
{
    // The absolute humidities stay empty until an input changes.
    buildForm();
}

void CDebugQuorlin70::buildForm()
{
    auto* rows = new QVBoxLayout(m_pModelPanel);
    QHBoxLayout* row[4];
    for (QHBoxLayout*& r : row) {
        r = new QHBoxLayout;
        rows->addLayout(r);
    }

    m_TExtract = addField(row[0], tr("TExtract:"), "TExtract", QStringLiteral("30"));
    m_TSupply = addField(row[0], tr("TSupply:"), "TSupply", QStringLiteral("20"));
    m_CO2Ext = addField(row[0], tr("CO2 Ext:"), "CO2Ext", QStringLiteral("900"));
    m_CO2Sup = addField(row[0], tr("CO2 Sup:"), "CO2Sup", QStringLiteral("500"));
    row[0]->addSpacing(kRowEnd);

    m_RelHumExt = addField(row[1], tr("Rel.Hum.Ext:"), "RelHumExt", QStringLiteral("50"));
    m_RelHumSup = addField(row[1], tr("Rel.Hum.Sup:"), "RelHumSup", QStringLiteral("30"));
    m_AbsHumExt = addField(row[1], tr("Abs.Hum.Ext:"), "AbsHumExt", QString());
    m_AbsHumSup = addField(row[1], tr("Abs.Hum.Sup:"), "AbsHumSup", QString());
    row[1]->addSpacing(kRowEnd);

    m_AveHumExt = addField(row[2], tr("Aver.Hum.Ext:"), "AverHumExt", QStringLiteral("40"));
    m_AveTempSup = addField(row[2], tr("Aver.Temp.Sup:"), "AverTempSup", QStringLiteral("22"));
    row[2]->addSpacing(kRow3End);

    auto* setValues = new QPushButton(tr("Set Values 70"), m_pModelPanel);
    row[3]->addWidget(setValues);
    row[3]->addSpacing(kRow4Gap);
    row[3]->addWidget(new QLabel(tr("DIP Switch:"), m_pModelPanel));
    m_RoomArea = modelCombo("RoomArea", {"20", "25", "35", "45", "60", "75"});
    m_SumCool = modelCombo("SumCoolTemp", {"19", "22", "25", "0"});
    row[3]->addWidget(m_RoomArea);
    row[3]->addWidget(m_SumCool);
    row[3]->addSpacing(kRow4Gap);
    m_ComfortLevel = addField(row[3], tr("Com.Level:"), "ComLevel", QStringLiteral("3"));
    row[3]->addSpacing(kRow4End);

    connect(setValues, &QPushButton::clicked, this, &CDebugQuorlin70::slotButtonSetSensorValues);
    for (QLineEdit* input : {m_TSupply, m_RelHumExt, m_TExtract, m_RelHumSup})
        connect(input, &QLineEdit::textChanged, this, &CDebugQuorlin70::slotCalcHum);
}

void CDebugQuorlin70::slotCalcHum()
{
    m_AbsHumSup->setText(simform::absoluteHumidityText(m_TSupply->text(), m_RelHumSup->text()));
    m_AbsHumExt->setText(simform::absoluteHumidityText(m_TExtract->text(), m_RelHumExt->text()));
}

void CDebugQuorlin70::slotButtonSetSensorValues()
{
    simform::SForm70 form;
    form.tExtract = m_TExtract->text();
    form.tSupply = m_TSupply->text();
    form.relHumExt = m_RelHumExt->text();
    form.relHumSup = m_RelHumSup->text();
    form.co2Ext = m_CO2Ext->text();
    form.co2Sup = m_CO2Sup->text();
    form.comfortLevel = m_ComfortLevel->text();
    form.aveHumExt = m_AveHumExt->text();
    form.aveTempSup = m_AveTempSup->text();
    form.roomArea = m_RoomArea->currentIndex();
    form.sumCool = m_SumCool->currentIndex();
    const SHLP_SetSimulationValues_70 values = simform::buildSimulation70(form);
    qDebug() << "DIPSwitch " << values.m_Bytes[1];
    qDebug() << "TSup: " << qint16(values.m_Words[0]) << ", TExt: " << qint16(values.m_Words[1]);
    auto* device = qobject_cast<CFan_70_PC*>(fan());
    if (device && !device->setSimulationValues(values))
        qDebug() << "slotButtonSetSensorValues: values not sent";
}

void CDebugQuorlin70::comboTestCase_curIndexChanged(int nIndex)
{
    testCaseSelected(nIndex);
}

void CDebugQuorlin70::slotTimerTimeOutAll()
{
    countdownTick();
}

void CDebugQuorlin70::showTestCase(int row)
{
    if (!isTestRow(row))
        return;
    fillFromColumn(m_ComfortLevel, row, "Com level");
    fillFromColumn(m_TExtract, row, "T-Extract");
    fillFromColumn(m_TSupply, row, "T-Supply");
    fillFromColumn(m_RelHumSup, row, "Rel. hum. sup");
    fillFromColumn(m_RelHumExt, row, "Rel. hum. extract");
    fillFromColumn(m_CO2Ext, row, "CO2 Ext");
    fillFromColumn(m_CO2Sup, row, "CO2 Sup");
    fillFromColumn(m_AveHumExt, row, "Ave RH Ext");
    fillFromColumn(m_AveTempSup, row, "Ave TOut");
    selectFromColumn(m_RoomArea, row, "Room area");
    selectFromColumn(m_SumCool, row, "Sum Cool Temp");
    startCountdown(row);
    slotButtonSetSensorValues();
}

void CDebugQuorlin70::storeTestResults()
{
    auto* device = qobject_cast<CFan_70_PC*>(fan());
    SPrimLogEntry_70 state;
    if (!device || !device->getCurrentState(state) || !m_pTestModel)
        return;
    const QString airSpeed = consoletext::airSpeed70(qint8(state.flow()));
    const int row = currentTestCaseRow();
    if (row < 0)
        return;
    storeResult(row, "R Auto Ctrl", QLatin1String(device->ventReasonName(state.ventilReason())));
    storeResult(row, "R Air Speed", airSpeed);
    saveTestFile();
}

void CDebugQuorlin70::ReloadTestFile()
{
    reloadTestFile({"Test case", "Description", "Com level", "Room area", "Sum Cool Temp",
                    "T-Extract", "T-Supply", "Rel. hum. extract", "Rel. hum. sup", "CO2 Ext",
                    "CO2 Sup", "Ave RH Ext"});
}
