#pragma once

#include "device/hlprecords.h"
#include "record/serialclaim.h"
#include "service/updateattempt.h"

#include <QString>
#include <QUuid>

#include <memory>

class CAttemptRecord;
class CRecordSink;

// The dialog's production record. With $VENTARO_RECORD set (a CSV file, or a postgresql:// URI
// with its spool), every update the dialog runs gets the line ventaro-cli writes for one, with
// $VENTARO_STATION and $VENTARO_OPERATOR as its station and operator. The line goes into the
// file or the spool; a database is then sent to by `ventaro-cli record sync` running on its
// own, so the dialog never waits for a server.
class CDialogRecord
{
public:
    CDialogRecord();
    ~CDialogRecord();
    CDialogRecord(const CDialogRecord&) = delete;
    CDialogRecord& operator=(const CDialogRecord&) = delete;

    bool enabled() const { return !m_Record.isEmpty(); }
    const QString& record() const { return m_Record; }
    const QString& station() const { return m_Station; }
    // Before an update: false with the reason when its line could not be written.
    [[nodiscard]] bool ready(QString& why);

    // Reserves the number the update is about to write (see CRecordSink::reserveSerial); free
    // when no record is set.
    int reserveSerial(const SSerialClaim& claim, QString& text);

    // The update of the unit on `port` starts.
    void begin(const QString& port, const QString& model, const SHLP_IdentData& before);
    bool active() const { return bool(m_Line); }
    // The attempt's key, also of the serial number it reserves; null when none runs.
    QUuid attemptId() const;
    void stepStarted(EUpdateStep step, int comPartner, bool plus);
    void verified(const SVerifyOutcome& outcome, const SHLP_IdentData& after);
    // The end of the update: its line written; false with the reason when it could not be.
    [[nodiscard]] bool finish(const updateattempt::SEnd& end, quint32 serialSent, QString& why);

private:
    void completeStep();

    QString m_Record, m_Station, m_Operator;
    std::unique_ptr<CRecordSink> m_Sink;
    std::unique_ptr<CAttemptRecord> m_Line;
    qint64 m_StartMs = 0;
    int m_StepImageType = 0; // of the step running, 0 for none
    bool m_Plus = false;
};
