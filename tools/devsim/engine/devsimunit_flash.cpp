// CDevSimUnit: flashing through the bootloader and the bootloader swap.
#include "devsimcodes.h"
#include "devsimunit.h"

#include "link/llprotocolpacket.h"

using namespace devsim;

// The idle copy becomes the running one, unless it is incomplete: then the reply carries a
// non-zero return code and nothing changes.
void CDevSimUnit::swapBootloaders(SOutcome& out)
{
    QByteArray r = payload(kSwapReply, 4);
    le::put16(bytes(r) + 2, kSwapSecurityBits);
    const UINT8 idle = m_Id.runningCopy == 1 ? 2 : 1;
    if (!m_Flash.copyIntact(idle)) {
        recordViolation(QStringLiteral("swap refused: bootloader copy %1 is incomplete").arg(idle));
        r[1] = char(kSwapRefused);
        out.replies << r;
        return;
    }
    out.replies << r;
    out.rebootAfterMs = m_Behaviour.rebootAfterSwapMs;
    if (m_Behaviour.swapNotTaken) {
        log(QStringLiteral("bootloaders swapped (not taken): copy %1 keeps running")
                .arg(m_Id.runningCopy));
        return;
    }
    m_Id.runningCopy = idle;
    const int ver = m_BootVer[idle];
    m_Id.bootMain = UINT8(ver / 100);
    m_Id.bootSub = UINT8(ver % 100);
    if (bootloaderRuns())
        m_Id.partner = m_Id.runningCopy;
    log(QStringLiteral("bootloaders swapped: copy %1 runs, version %2.%3")
            .arg(m_Id.runningCopy)
            .arg(m_Id.bootMain)
            .arg(m_Id.bootSub, 2, 10, QLatin1Char('0')));
}

void CDevSimUnit::handleFlash(UINT8 code, const UINT8* d, UINT16 len, UINT8 flags, SOutcome& out)
{
    if (!bootloaderRuns()) {
        m_Flash.record(
            QStringLiteral("request %1 while partner %2 answers").arg(code).arg(m_Id.partner));
        out.ack = false;
    } else {
        CDevSimFlash::EResult result = CDevSimFlash::EAccepted;
        const SDevSimFlashedImage* finished = nullptr;
        switch (code) {
        case kFlashBegin:
            result = m_Flash.begin();
            break;
        case kPartHeader:
            result = m_Flash.header(d, len, m_Id.runningCopy);
            break;
        case kPartData:
            result = m_Flash.chunk(d, len, flags & LLF_APP);
            break;
        case kPartEnd:
            result = m_Flash.partitionEnd(m_Behaviour.checkBlockCrc);
            break;
        default:
            result = m_Flash.end(&finished);
            break;
        }
        out.ack = result == CDevSimFlash::EAccepted;
        if (finished)
            adoptFlashed(*finished, out);
    }
    if (!out.ack && !m_Flash.violations().isEmpty())
        log(QStringLiteral("refused: %1").arg(m_Flash.violations().last()));
}

void CDevSimUnit::adoptFlashed(const SDevSimFlashedImage& image, SOutcome& out)
{
    if (image.type == m_Behaviour.keepImageType) {
        log(QStringLiteral("image of type %1 acknowledged, old one kept").arg(image.type));
        if (image.type == 3)
            out.rebootAfterMs = m_Behaviour.rebootAfterUploadMs;
        return;
    }
    switch (image.type) {
    case 1:
    case 2:
        setBootVersion(image.type, image.mainVer, image.subVer);
        break;
    case 3:
        if (m_Counters.size() > kCounterVersion) {
            m_Counters[kCounterPrevVersion] = UINT32(packVersion(m_Id.applMain, m_Id.applSub));
            m_Counters[kCounterVersion] = UINT32(packVersion(image.mainVer, image.subVer));
        }
        m_Id.applMain = image.mainVer;
        m_Id.applSub = image.subVer;
        m_Id.partnerX = 0;
        m_Live.softwareVersion = packVersion(image.mainVer, image.subVer);
        out.rebootAfterMs = m_Behaviour.rebootAfterUploadMs;
        break;
    default:
        m_Id.wifiMain = UINT8(image.mainVer & 0x1F);
        m_Id.wifiSub = UINT8(image.subVer & 0x7F);
        break;
    }
    log(QStringLiteral("image of type %1 written, version %2.%3")
            .arg(image.type)
            .arg(image.mainVer)
            .arg(image.subVer, 2, 10, QLatin1Char('0')));
}
