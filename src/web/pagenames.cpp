#include "pagenames.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The name of a Host header without its port, lower case; empty when it is malformed.
QByteArray hostOnly(const QByteArray& host)
{
    QByteArray name = host.toLower();
    if (name.startsWith('[')) {
        const int close = name.indexOf(']');
        if (close < 0)
            return {};
        const QByteArray rest = name.mid(close + 1);
        name = name.mid(1, close - 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return {};
        const QByteArray port = rest.mid(1);
        for (char c : port)
            if (c < '0' || c > '9')
                return {};
        // Only an IPv6 literal goes in brackets.
        return QHostAddress(QString::fromLatin1(name)).protocol() == QAbstractSocket::IPv6Protocol
                   ? name
                   : QByteArray();
    }
    const int colon = name.indexOf(':');
    if (colon >= 0) {
        const QByteArray port = name.mid(colon + 1);
        if (port.isEmpty() || port.size() > 5)
            return {};
        for (char c : port)
            if (c < '0' || c > '9')
                return {};
        name.truncate(colon);
    }
    if (name.endsWith('.'))
        name.chop(1); // the root of DNS, "station." is "station"
    return name;
}

bool isIpLiteral(const QByteArray& name)
{
    // Only the dotted form: a name of digits ("10", "0x7f") is not taken as an address.
    static const QRegularExpression ipv4(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
    const QString text = QString::fromLatin1(name);
    if (text.contains(QLatin1Char(':')))
        return QHostAddress(text).protocol() == QAbstractSocket::IPv6Protocol;
    return ipv4.match(text).hasMatch() && !QHostAddress(text).isNull();
}

} // namespace

CPageNames::CPageNames(const QStringList& names, const QStringList& origins)
{
    const QString machine = hostName(QHostInfo::localHostName());
    if (!machine.isEmpty()) {
        m_Names << machine.toLatin1();
        const int dot = machine.indexOf(QLatin1Char('.'));
        if (dot > 0)
            m_Names << machine.left(dot).toLatin1();
    }
    for (const QString& name : names) {
        const QString known = hostName(name);
        if (!known.isEmpty())
            m_Names << known.toLatin1();
    }
    for (const QString& url : origins) {
        const QString known = origin(url);
        if (!known.isEmpty())
            m_Origins << known.toLatin1();
    }
}

bool CPageNames::hostAllowed(const QByteArray& host) const
{
    const QByteArray name = hostOnly(host);
    if (name.isEmpty())
        return false;
    return isIpLiteral(name) || name == "localhost" || m_Names.contains(name);
}

bool CPageNames::originAllowed(const QByteArray& origin, const QByteArray& host) const
{
    const QByteArray given = origin.toLower();
    return given == "http://" + host.toLower() || m_Origins.contains(given);
}

QString CPageNames::origin(const QString& url)
{
    const QUrl parsed(url.trimmed(), QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    if (parsed.host().isEmpty() || !parsed.userInfo().isEmpty() || parsed.hasQuery() ||
        parsed.hasFragment() || (!parsed.path().isEmpty() && parsed.path() != QLatin1String("/")))
        return {};
    // As a browser sends it: no default port, brackets around an IPv6 address.
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    const QString host = parsed.host().toLower();
    QString text =
        scheme + QStringLiteral("://") +
        (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host);
    if (parsed.port() >= 0 && parsed.port() != defaultPort)
        text += QLatin1Char(':') + QString::number(parsed.port());
    return text;
}

QString CPageNames::hostName(const QString& name)
{
    static const QRegularExpression label(QStringLiteral("^[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?$"));
    QString text = name.trimmed().toLower();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.isEmpty() || text.size() > 253)
        return {};
    for (const QString& part : text.split(QLatin1Char('.')))
        if (!label.match(part).hasMatch())
            return {};
    return text;
}
