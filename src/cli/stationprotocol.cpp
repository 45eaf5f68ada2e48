#include "stationprotocol.h"

#include "cli/clitext.h"

#include <QJsonDocument>

namespace stationprotocol {

QByteArray handOverLine(int wait, const QString& port)
{
    return "port " + QByteArray::number(wait) + ' ' + port.toUtf8() + '\n';
}

bool parseHandOver(const QByteArray& line, int& wait, QString& port)
{
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith("port "))
        return false;
    const int space = trimmed.indexOf(' ', 5);
    if (space < 0)
        return false;
    bool ok = false;
    const int number = trimmed.mid(5, space - 5).toInt(&ok);
    const QString name = QString::fromUtf8(trimmed.mid(space + 1)).trimmed();
    if (!ok || number < 1 || name.isEmpty())
        return false;
    wait = number;
    port = name;
    return true;
}

QByteArray identLine(const SHLP_IdentData& ident)
{
    UINT8 bytes[SHLP_IdentData::kSize] = {};
    ident.toBytes(bytes);
    const QJsonObject event{
        {QLatin1String(kEvent), QLatin1String(kIdentifiedEvent)},
        {QLatin1String(kIdent),
         QString::fromLatin1(
             QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes).toHex())}};
    return clitext::jsonLine(event).toUtf8();
}

bool parseIdent(const QJsonObject& event, SHLP_IdentData& ident)
{
    if (event.value(QLatin1String(kEvent)).toString() != QLatin1String(kIdentifiedEvent))
        return false;
    const QByteArray bytes =
        QByteArray::fromHex(event.value(QLatin1String(kIdent)).toString().toLatin1());
    if (bytes.size() != SHLP_IdentData::kSize)
        return false;
    ident = SHLP_IdentData::fromBytes(reinterpret_cast<const UINT8*>(bytes.constData()));
    return true;
}

} // namespace stationprotocol
