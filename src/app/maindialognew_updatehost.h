#pragma once

#include "app/maindialognew.h"
#include "console/progressbarobserver.h"

#include <QCoreApplication>

// The main dialog as the place the update reports to (maindialognew_update.cpp).
class CMainDialogNew::CUpdateHostAdapter : public CUpdateHost
{
public:
    explicit CUpdateHostAdapter(CMainDialogNew& dialog) : d(dialog) {}

    CFanBase* device() override;
    SUpdateFlags& updateFlags() override { return d.m_Flags; }
    int comPartner() const override { return d.m_ComPartner; }
    bool plusDevice() const override { return d.m_Plus; }
    SUnitIdentity identifiedUnit() const override { return d.m_Identity; }
    int serialNumber() const override { return d.m_SerialNumber; }
    void setSerialNumber(int serialNumber) override { d.m_SerialNumber = serialNumber; }
    int enteredSerialNumber() const override { return d.serialFieldValue(); }
    bool manufacturing() const override { return d.m_Manufacturing; }
    bool identifyAgain() override;
    // Reserved in the plant's record named in $VENTARO_RECORD (a postgresql:// URI or a file).
    bool serialNumberFree(int serial, QString& refusal) override;
    SHLP_IdentData identData() const override { return d.m_Ident; }

    void showState(EDialogState state) override { d.showState(state); }
    void refreshState() override { d.refreshState(); }
    void setStatus(const QString& text) override { d.setStatus(text); }
    void showMessage(const SUpdateMessage& message) override;
    SUploadObserver uploadObserver() override { return progressBarObserver(d.m_Progress); }
    int identificationCount() const override { return d.m_Discoveries; }
    bool waitForIdentification(int count, int windowMs) override;
    void updateSucceeded() override;
    void updateRunning(bool running) override;
    void stepStarted(EUpdateStep step) override;
    void verified(const SVerifyOutcome& outcome) override;

private:
    // The line of a recorded update, once it ended.
    void recordEnd();
    static QString tr(const char* text)
    {
        return QCoreApplication::translate("CMainDialogNew", text);
    }

    CMainDialogNew& d;
};
