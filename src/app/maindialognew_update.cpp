#include "maindialognew.h"

#include <QDebug>
#include <QLineEdit>
#include <QPushButton>

#include "device/uitext.h"

// The update workflow, the current-information output and the de-icing switch build on the
// dialog's states; until they are in place these slots only say so in the log.

void CMainDialogNew::on_ButtonBurn_clicked()
{
    qDebug() << "on_ButtonBurn_clicked(): the update workflow is not available in this build";
    refreshState();
}

bool CMainDialogNew::on_ButtonAppl_clicked()
{
    return false;
}

bool CMainDialogNew::on_ButtonCC3200_clicked()
{
    return false;
}

bool CMainDialogNew::on_ButtonCC3200bridge_clicked()
{
    return false;
}

bool CMainDialogNew::on_ButtonBootLdr_clicked()
{
    return false;
}

void CMainDialogNew::onTimerCurrentInfo() {}

void CMainDialogNew::on_ButtonDeIce_clicked(bool bChecked)
{
    (void)bChecked;
}

void CMainDialogNew::on_TextEditedIdentData()
{
    if (serialFieldValue() == 0) {
        m_ButtonBurn->setEnabled(false);
        return;
    }
    m_ButtonBurn->setEnabled(true);
    setStatus(text(132));
}
