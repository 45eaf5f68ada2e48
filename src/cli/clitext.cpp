#include "clitext.h"

#include "service/identityview.h"
#include "station/stationprotocol.h"

#include <QJsonObject>

namespace {
QString hex4(int value)
{
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}
} // namespace

namespace clitext {

QString portList(const QList<SPortInfo>& ports)
{
    int width = 4;
    for (const SPortInfo& port : ports)
        width = qMax(width, port.portName.size());
    QString out = QStringLiteral("  %1  %2  %3\n")
                      .arg(QStringLiteral("port"), -width)
                      .arg(QStringLiteral("vid   "), QStringLiteral("pid"));
    for (const SPortInfo& port : ports)
        out += QStringLiteral("%1 %2  %3  %4%5\n")
                   .arg(isDevicePort(port, QString()) ? QLatin1Char('*') : QLatin1Char(' '))
                   .arg(port.portName, -width)
                   .arg(hex4(port.vendorID), hex4(port.productID))
                   .arg(isDevicePort(port, QString()) ? QStringLiteral("  ventaro") : QString());
    return out;
}

QString identity(const QString& port, const QString& model, const SHLP_IdentData& ident)
{
    const QString serial =
        ident.m_SerialNo ? QString::number(ident.m_SerialNo) : QStringLiteral("none");
    return QStringLiteral("port:        %1\n"
                          "model:       %2\n"
                          "serial:      %3\n"
                          "board:       %4\n"
                          "application: %5\n"
                          "wifi:        %6\n"
                          "bootloader:  %7\n")
        .arg(port, model, serial)
        .arg(ident.m_BoardVersion)
        .arg(applVersionText(ident), wifiVersionText(ident), bootloaderText(ident));
}

QString identityJson(const QString& port, const QString& model, const SHLP_IdentData& ident)
{
    const QJsonObject root{
        {QStringLiteral("port"), port},
        {QStringLiteral("model"), model},
        {QStringLiteral("plus"), ident.isModel70()},
        {QStringLiteral("serial"), qint64(ident.m_SerialNo)},
        {QStringLiteral("board"), ident.m_BoardVersion},
        {QStringLiteral("application"), applVersionText(ident)},
        {QStringLiteral("wifi"), wifiVersionText(ident)},
        {QStringLiteral("bootloader"), bootloaderText(ident)},
        {QStringLiteral("partner"), ident.m_ComPartner},
        {QStringLiteral("partnerX"), ident.m_ComPartnerX != 0},
    };
    return stationprotocol::jsonLine(root);
}

} // namespace clitext
