#include "stationprotocol.h"

#include <QJsonDocument>

namespace stationprotocol {

QStringList updateArguments(const QString& port, const SUnitIdentity& unit, const QUuid& attempt,
                            const SWorkerSettings& s)
{
    QStringList args = {QStringLiteral("--port"),
                        port,
                        QStringLiteral("update"),
                        QStringLiteral("--worker"),
                        QStringLiteral("--json"),
                        QStringLiteral("--expect"),
                        expectText(unit),
                        QStringLiteral("--attempt"),
                        attempt.toString(QUuid::WithoutBraces)};
    if (s.verbose)
        args.prepend(QStringLiteral("--verbose"));
    if (s.forceBoot)
        args << QStringLiteral("--force-boot");
    if (s.forceAppl)
        args << QStringLiteral("--force-appl");
    if (s.startupMode >= 0)
        args << QStringLiteral("--startup-mode") << QString::number(s.startupMode);
    args << s.recordArguments;
    args << s.bundleArguments;
    args << QStringLiteral("--reboot-timeout") << QString::number(s.rebootTimeoutS);
    if (!s.stationName.isEmpty())
        args << QStringLiteral("--station") << s.stationName;
    if (!s.operatorName.isEmpty())
        args << QStringLiteral("--operator") << s.operatorName;
    return args;
}

QStringList probeArguments(const QString& port, bool verbose)
{
    QStringList args = {QStringLiteral("--port"), port, QStringLiteral("identify"),
                        QStringLiteral("--worker")};
    if (verbose)
        args.prepend(QStringLiteral("--verbose"));
    return args;
}

QString jsonLine(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
           QLatin1Char('\n');
}

QList<QByteArray> takeLines(QByteArray& buffer)
{
    QList<QByteArray> lines;
    int end = 0;
    while ((end = buffer.indexOf('\n')) >= 0) {
        lines << buffer.left(end);
        buffer.remove(0, end + 1);
    }
    return lines;
}

QString expectText(const SUnitIdentity& unit)
{
    return QStringLiteral("%1,%2,%3")
        .arg(unit.plus ? QStringLiteral("plus") : QStringLiteral("100"))
        .arg(unit.serial)
        .arg(unit.board);
}

bool parseExpect(const QString& text, SUnitIdentity& unit)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3 ||
        (parts[0] != QLatin1String("plus") && parts[0] != QLatin1String("100")))
        return false;
    bool serialOk = false, boardOk = false;
    const uint serial = parts[1].toUInt(&serialOk);
    const int board = parts[2].toInt(&boardOk);
    if (!serialOk || !boardOk || board < 0 || board > 255)
        return false;
    unit.plus = parts[0] == QLatin1String("plus");
    unit.serial = serial;
    unit.board = board;
    return true;
}

QByteArray stopLine(const QString& duplicate)
{
    // On one line; a text of white space alone names no twin.
    const QByteArray text = duplicate.simplified().toUtf8();
    return text.isEmpty() ? QByteArray("stop\n") : "stop duplicate " + text + '\n';
}

bool isStop(const QByteArray& line, QString* duplicate)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.startsWith("stop duplicate ")) {
        if (duplicate)
            *duplicate = QString::fromUtf8(trimmed.mid(15));
        return true;
    }
    return trimmed == "stop";
}

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
    return jsonLine(event).toUtf8();
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
