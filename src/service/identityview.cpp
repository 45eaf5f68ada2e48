#include "identityview.h"

namespace {
// The system lists a device node by its short name (ttyACM0) and the user may type it either
// way, so a name in /dev stands for its node there; nodes elsewhere keep their full path.
QString nodeName(const QString& port)
{
    static const QString kDevDir = QStringLiteral("/dev/");
    return port.startsWith(kDevDir) ? port.mid(kDevDir.size()) : port;
}
} // namespace

bool samePortName(const QString& a, const QString& b)
{
    return nodeName(a).compare(nodeName(b), Qt::CaseInsensitive) == 0;
}

bool isDevicePort(const SPortInfo& port, const QString& excludedName)
{
    return port.vendorID == kDeviceVendorId && port.productID == kDeviceProductId &&
           (excludedName.isEmpty() || !samePortName(port.portName, excludedName));
}

QString selectDevicePort(const QList<SPortInfo>& ports, const QString& excludedName)
{
    QString selected;
    for (const SPortInfo& port : ports) {
        if (isDevicePort(port, excludedName))
            selected = port.portName;
    }
    return selected;
}

QString versionText(int mainVer, int subVer)
{
    return QStringLiteral("%1.%2").arg(mainVer).arg(subVer, 2, 10, QLatin1Char('0'));
}

QString applVersionText(const SHLP_IdentData& ident)
{
    return versionText(ident.m_ApplMainVer, ident.m_ApplSubVer);
}

QString bootloaderText(const SHLP_IdentData& ident)
{
    static const char* const kPartnerLetters[] = {"-", "A", "B", "C"};
    const char* letter = ident.m_ComPartner < 4 ? kPartnerLetters[ident.m_ComPartner] : "-";
    return QStringLiteral("%1.%2.%3%4")
        .arg(ident.m_BootMainVer)
        .arg(ident.m_BootSubVer, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(letter))
        .arg(ident.m_ComPartnerX != 0 ? QStringLiteral("X") : QString());
}

QString wifiVersionText(const SHLP_IdentData& ident)
{
    return versionText(ident.wifiMainVer(), ident.wifiSubVer());
}
