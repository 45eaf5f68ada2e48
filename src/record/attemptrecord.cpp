#include "attemptrecord.h"

#include "firmware/flashimagelist.h"
#include "service/identityview.h"
#include "service/updateverify.h"

#include <QDateTime>
#include <QUuid>

CAttemptRecord::CAttemptRecord(const QString& port, const QString& model,
                               const SHLP_IdentData& before, const SPlace& place)
{
    m_Line.attemptId = QUuid::createUuid();
    m_Line.time = QDateTime::currentDateTimeUtc();
    m_Line.port = port;
    m_Line.model = model;
    m_Line.serial = before.m_SerialNo;
    m_Line.bootBefore = bootloaderText(before);
    m_Line.applBefore = applVersionText(before);
    m_Line.wifiBefore = wifiVersionText(before);
    m_Line.station = place.station;
    m_Line.operatorName = place.operatorName;
    const CFlashImageList::SBundleTag& bundle = CFlashImageList::bundleTag();
    m_Line.bundle = bundle.release;
    m_Line.bundleSha256 = bundle.manifestSha256;
    m_Line.bundleKey = bundle.keyId;
    m_Line.bundleCounter = bundle.counter;
}

void CAttemptRecord::begunAt(const QUuid& attemptId, const QDateTime& start)
{
    if (!attemptId.isNull())
        m_Line.attemptId = attemptId;
    if (start.isValid())
        m_Line.time = start.toUTC();
}

void CAttemptRecord::imageWritten(const QString& name, const CFlashImage& image)
{
    m_Line.images << SProductionRecord::SImage{name, versionText(image.m_MainVer, image.m_SubVer),
                                               productionrecord::imageSha256(image)};
}

void CAttemptRecord::verified(const SVerifyOutcome& outcome, const SHLP_IdentData& after)
{
    m_Line.verified = outcome.passed();
    m_Line.verifyDetail = outcome.detail();
    if (!outcome.back)
        return;
    // What the unit runs now, as it reported it to the verification.
    m_Line.bootAfter = bootloaderText(after);
    m_Line.applAfter = applVersionText(after);
    m_Line.wifiAfter = wifiVersionText(after);
    m_Line.serial = after.m_SerialNo;
}

void CAttemptRecord::unchanged()
{
    m_Line.bootAfter = m_Line.bootBefore;
    m_Line.applAfter = m_Line.applBefore;
    m_Line.wifiAfter = m_Line.wifiBefore;
}

const SProductionRecord& CAttemptRecord::finish(int exitCode, const QString& outcome,
                                                qint64 durationMs, int retries, quint32 serialSent)
{
    if (m_Line.serial == 0)
        m_Line.serial = serialSent;
    m_Line.durationMs = durationMs;
    m_Line.retries = retries;
    m_Line.exitCode = exitCode;
    m_Line.outcome = outcome;
    return m_Line;
}
