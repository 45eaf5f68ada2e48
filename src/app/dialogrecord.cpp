#include "dialogrecord.h"

#include "firmware/flashimagelist.h"
#include "record/attemptrecord.h"
#include "record/recordstore.h"
#include "record/recorduri.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>

CDialogRecord::CDialogRecord()
    : m_Record(qEnvironmentVariable("VENTARO_RECORD")),
      m_Station(qEnvironmentVariable("VENTARO_STATION")),
      m_Operator(qEnvironmentVariable("VENTARO_OPERATOR"))
{}

CDialogRecord::~CDialogRecord() = default;

bool CDialogRecord::ready(QString& why)
{
    if (!enabled())
        return true;
    if (!m_Sink)
        m_Sink = recordstore::open(m_Record, QString(), why);
    // The spool is written first: the database is not needed until the line is sent.
    return m_Sink && m_Sink->check(CRecordSink::ELocal, why);
}

int CDialogRecord::reserveSerial(const SSerialClaim& claim, QString& text)
{
    if (!enabled())
        return CRecordSink::ESerialFree;
    if (!m_Sink && !ready(text))
        return CRecordSink::ESerialUnknown;
    return m_Sink->reserveSerial(claim, text);
}

void CDialogRecord::begin(const QString& port, const QString& model, const SHLP_IdentData& before)
{
    m_Line.reset();
    if (!m_Sink)
        return;
    m_Line = std::make_unique<CAttemptRecord>(port, model, before,
                                              CAttemptRecord::SPlace{m_Station, m_Operator});
    m_StartMs = QDateTime::currentMSecsSinceEpoch();
    m_StepImageType = 0;
}

QUuid CDialogRecord::attemptId() const
{
    return m_Line ? m_Line->line().attemptId : QUuid();
}

void CDialogRecord::stepStarted(EUpdateStep step, int comPartner, bool plus)
{
    if (!m_Line)
        return;
    completeStep();
    m_StepImageType = updateattempt::stepImageType(step, comPartner);
    m_Plus = plus;
}

void CDialogRecord::completeStep()
{
    if (m_StepImageType == 0)
        return;
    const CFlashImageList list;
    const CFlashImage* image =
        list.find(m_StepImageType, m_Plus ? CFlashImage::ESystemPlus : CFlashImage::ESystem100);
    if (image)
        m_Line->imageWritten(updateattempt::partitionName(m_StepImageType), *image);
    m_StepImageType = 0;
}

void CDialogRecord::verified(const SVerifyOutcome& outcome, const SHLP_IdentData& after)
{
    if (m_Line)
        m_Line->verified(outcome, after);
}

bool CDialogRecord::finish(const updateattempt::SEnd& end, quint32 serialSent, QString& why)
{
    if (!m_Line)
        return true;
    // The step it ended in wrote its image only when the update got past it.
    if (end.exitCode == 0)
        completeStep();
    m_StepImageType = 0;
    const SProductionRecord& line = m_Line->finish(
        end.exitCode, end.outcome, QDateTime::currentMSecsSinceEpoch() - m_StartMs, 0, serialSent);
    const bool written = m_Sink->write(line, why);
    m_Line.reset();
    if (written && recorduri::isDatabase(m_Record)) {
        // Sent by a process of its own: a server that does not answer holds up nothing here,
        // and the line waits in the spool until a send gets through.
        QProcess::startDetached(
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ventaro-cli")),
            {QStringLiteral("record"), QStringLiteral("sync"), QStringLiteral("--record"),
             m_Record});
    }
    return written;
}
