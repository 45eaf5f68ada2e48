#pragma once

#include "console/debugwidget.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLineEdit;

// The debug panel of a 100-series unit: the simulation form ("Set Values 100") with the
// absolute humidities of outdoor and extract air, the vent controls, and the 100-series
// columns of the test-values file.
class CDebugVentaro100 : public CDebugWidget
{
    Q_OBJECT

public:
    // Units with a serial number above this caption the room check box "First Room Off".
    static constexpr quint32 kPowerLineLastSerial = 3000;

    CDebugVentaro100(CMainDialogNew* mainDlg, quint32 serialNumber, QWidget* parent = nullptr);

public slots:
    void ReloadTestFile() override;
    void slotCalcHum();
    void slotButtonSetValues();
    void slotTimerTimeOutAll() override;
    void comboTestCase_curIndexChanged(int nIndex) override;
    void onButonMoveVent_clicked(int iVent);
    void on_ButtonGetVentInfo_clicked();

protected:
    void showTestCase(int row) override;
    void storeTestResults() override;

private:
    void buildForm(quint32 serialNumber);

    QLineEdit* m_TOutdoor = nullptr;
    QLineEdit* m_TExtract = nullptr;
    QLineEdit* m_TExhaust = nullptr;
    QLineEdit* m_TSupply = nullptr;
    QLineEdit* m_RelHumOut = nullptr;
    QLineEdit* m_RelHumExt = nullptr;
    QLineEdit* m_CO2 = nullptr;
    QLineEdit* m_AbsHumOut = nullptr;
    QLineEdit* m_AbsHumExt = nullptr;
    QLineEdit* m_AveHumExt = nullptr;
    QLineEdit* m_AveTempOut = nullptr;
    QLineEdit* m_ComfortLevel = nullptr;
    QCheckBox* m_HumReduction = nullptr;
    QComboBox* m_RoomArea = nullptr;
    QComboBox* m_SumCool = nullptr;
    QComboBox* m_Flow = nullptr;
    QCheckBox* m_RoomCheck = nullptr;
    QButtonGroup* m_VentPosition = nullptr;
};
