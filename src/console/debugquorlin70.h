#pragma once

#include "console/debugwidget.h"

class QComboBox;
class QHBoxLayout;
class QLineEdit;

// The debug panel of a 70-series unit: the simulation form ("Set Values 70") for extract and
// supply air with two CO2 sensors, the absolute humidities, and the 70-series columns of the
// test-values file. No vent controls.
class CDebugQuorlin70 : public CDebugWidget
{
    Q_OBJECT

public:
    explicit CDebugQuorlin70(CMainDialogNew* mainDlg, QWidget* parent = nullptr);

public slots:
    void ReloadTestFile() override;
    void slotButtonSetSensorValues() override;
    void slotCalcHum();
    void slotTimerTimeOutAll() override;
    void comboTestCase_curIndexChanged(int nIndex) override;

protected:
    void showTestCase(int row) override;
    void storeTestResults() override;

private:
    void buildForm();

    QLineEdit* m_TExtract = nullptr;
    QLineEdit* m_TSupply = nullptr;
    QLineEdit* m_RelHumExt = nullptr;
    QLineEdit* m_RelHumSup = nullptr;
    QLineEdit* m_CO2Ext = nullptr;
    QLineEdit* m_CO2Sup = nullptr;
    QLineEdit* m_ComfortLevel = nullptr;
    QLineEdit* m_AbsHumExt = nullptr;
    QLineEdit* m_AbsHumSup = nullptr;
    QLineEdit* m_AveHumExt = nullptr;
    QLineEdit* m_AveTempSup = nullptr;
    QComboBox* m_RoomArea = nullptr;
    QComboBox* m_SumCool = nullptr;
};
