#include "recorduri.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr const char* kSchemes[] = {"postgresql://", "postgres://"};
// The libpq parameters a record URI may carry; the connection's own fields have their places.
constexpr const char* kParameters[] = {"sslmode",     "connect_timeout",      "application_name",
                                       "sslrootcert", "target_session_attrs", "tcp_user_timeout"};
// A server that does not answer is given up after this long (seconds), so a station hears of an
// outage at once instead of waiting for the system's TCP timeout.
constexpr int kDefaultConnectTimeoutS = 3;
// A statement whose bytes the server stops acknowledging (the network went away under an open
// connection) fails after this long (milliseconds) instead of the system's retransmission time.
constexpr int kDefaultTcpUserTimeoutMs = 10000;

int schemeLength(const QString& text)
{
    for (const char* scheme : kSchemes)
        if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return int(qstrlen(scheme));
    return 0;
}

// Percent-decoding; false on a broken escape.
bool decode(const QString& in, QString& out)
{
    const QByteArray bytes = in.toUtf8();
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) != '%')
            continue;
        if (i + 2 >= bytes.size() || !isxdigit(uchar(bytes.at(i + 1))) ||
            !isxdigit(uchar(bytes.at(i + 2))))
            return false;
    }
    out = QString::fromUtf8(QByteArray::fromPercentEncoding(bytes));
    return true;
}

// A connect option's value goes into libpq's conninfo string as it is: no blanks, quotes,
// backslashes or separators.
bool plainValue(const QString& value)
{
    if (value.isEmpty())
        return false;
    for (const QChar c : value)
        if (c.isSpace() || c == QLatin1Char('\'') || c == QLatin1Char('\\') ||
            c == QLatin1Char(';') || c.unicode() < 0x20)
            return false;
    return true;
}

bool knownParameter(const QString& key)
{
    for (const char* name : kParameters)
        if (key == QLatin1String(name))
            return true;
    return false;
}

// The user of `rest` ("user@host:port"), taken off its front.
bool parseUser(const QString& text, QString& rest, SRecordUri& uri, QString& error)
{
    if (const int at = rest.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = rest.left(at);
        rest = rest.mid(at + 1);
        if (userInfo.contains(QLatin1Char(':'))) {
            error = QStringLiteral("the record URI %1 holds a password: leave it out and give it "
                                   "in PGPASSWORD or ~/.pgpass")
                        .arg(recorduri::masked(text));
            return false;
        }
        if (!decode(userInfo, uri.user) || uri.user.isEmpty()) {
            error = QStringLiteral("the record URI %1 has a bad user name")
                        .arg(recorduri::masked(text));
            return false;
        }
    }
    return true;
}

// The host and the port of `rest` ("host:port", "[v6]:port").
bool parseHostPort(const QString& text, QString rest, SRecordUri& uri, QString& error)
{
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const int close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) {
            error =
                QStringLiteral("the record URI %1 has an unclosed [").arg(recorduri::masked(text));
            return false;
        }
        uri.host = rest.mid(1, close - 1);
        rest = rest.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':'))) {
            error = QStringLiteral("the record URI %1 has a bad host").arg(recorduri::masked(text));
            return false;
        }
        portText = rest.mid(1);
        if (rest.startsWith(QLatin1Char(':')) && portText.isEmpty())
            portText = QStringLiteral("-");
    } else {
        const int colon = rest.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            portText = rest.mid(colon + 1);
            if (portText.isEmpty())
                portText = QStringLiteral("-");
            rest.truncate(colon);
        }
        if (!decode(rest, uri.host)) {
            error = QStringLiteral("the record URI %1 has a bad host").arg(recorduri::masked(text));
            return false;
        }
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        uri.port = portText.toInt(&ok);
        if (!ok || uri.port < 1 || uri.port > 65535 || !portText.at(0).isDigit()) {
            error = QStringLiteral("the record URI %1 has a bad port").arg(recorduri::masked(text));
            return false;
        }
    }
    return true;
}

// The parameters after "?", and the time limits this tool sets when they are not given.
bool parseParameters(const QString& text, const QString& query, SRecordUri& uri, QString& error)
{
    bool timeoutGiven = false;
    bool tcpTimeoutGiven = false;
    for (const QString& pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        QString key, value;
        if (eq < 0 || !decode(pair.left(eq), key) || !decode(pair.mid(eq + 1), value)) {
            error = QStringLiteral("the record URI %1 has a bad parameter")
                        .arg(recorduri::masked(text));
            return false;
        }
        if (key == QLatin1String("password")) {
            error = QStringLiteral("the record URI holds a password: leave it out and give it in "
                                   "PGPASSWORD or ~/.pgpass");
            return false;
        }
        if (!knownParameter(key)) {
            error = QStringLiteral("the record URI %1 has the unknown parameter \"%2\"")
                        .arg(recorduri::masked(text), key);
            return false;
        }
        if (!plainValue(value)) {
            error = QStringLiteral("the record URI %1 has a bad value for %2")
                        .arg(recorduri::masked(text), key);
            return false;
        }
        timeoutGiven = timeoutGiven || key == QLatin1String("connect_timeout");
        tcpTimeoutGiven = tcpTimeoutGiven || key == QLatin1String("tcp_user_timeout");
        uri.connectOptions << key + QLatin1Char('=') + value;
    }
    if (!timeoutGiven)
        uri.connectOptions << QStringLiteral("connect_timeout=%1").arg(kDefaultConnectTimeoutS);
    if (!tcpTimeoutGiven)
        uri.connectOptions << QStringLiteral("tcp_user_timeout=%1").arg(kDefaultTcpUserTimeoutMs);
    return true;
}

} // namespace

QString SRecordUri::text() const
{
    QString out = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        out += QString::fromLatin1(QUrl::toPercentEncoding(user)) + QLatin1Char('@');
    out += host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host)
                                           : QString::fromLatin1(QUrl::toPercentEncoding(host));
    if (port > 0)
        out += QStringLiteral(":%1").arg(port);
    out += QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(database));
    return out;
}

QString SRecordUri::identity() const
{
    auto given = [](const QString& value, const char* variable, const QString& fallback) {
        if (!value.isEmpty())
            return value;
        const QString environment = qEnvironmentVariable(variable);
        return environment.isEmpty() ? fallback : environment;
    };
    const passwd* login = ::getpwuid(::geteuid());
    const QString name =
        given(user, "PGUSER", login ? QString::fromLocal8Bit(login->pw_name) : QString());
    const QString where = given(host, "PGHOST", QStringLiteral("/var/run/postgresql")).toLower();
    const int number = port > 0 ? port : given(QString(), "PGPORT", QStringLiteral("5432")).toInt();
    return QStringLiteral("%1@%2:%3/%4")
        .arg(name, where)
        .arg(number)
        .arg(given(database, "PGDATABASE", name));
}

namespace recorduri {

bool isDatabase(const QString& record)
{
    return schemeLength(record) > 0;
}

QString masked(const QString& text)
{
    const int start = schemeLength(text);
    if (start == 0)
        return text;
    // Whatever stands between the first ':' and the last '@' may be a password, even one with
    // a '/' in it that libpq would have wanted percent-encoded.
    QString out = text;
    const int query = out.indexOf(QLatin1Char('?'), start);
    const int at = out.lastIndexOf(QLatin1Char('@'), query < 0 ? -1 : query - 1);
    const int colon = out.indexOf(QLatin1Char(':'), start);
    if (at > start && colon >= 0 && colon < at)
        out = out.left(colon + 1) + QStringLiteral("***") + out.mid(at);
    const QRegularExpression password(QStringLiteral("([?&]password=)[^&]*"),
                                      QRegularExpression::CaseInsensitiveOption);
    out.replace(password, QStringLiteral("\\1***"));
    return out;
}

bool parse(const QString& text, SRecordUri& uri, QString& error)
{
    uri = SRecordUri();
    const int start = schemeLength(text);
    if (start == 0) {
        error = QStringLiteral("\"%1\" is not a postgresql:// URI").arg(masked(text));
        return false;
    }
    QString rest = text.mid(start);
    QString query;
    if (const int q = rest.indexOf(QLatin1Char('?')); q >= 0) {
        query = rest.mid(q + 1);
        rest.truncate(q);
    }
    QString path;
    if (const int slash = rest.indexOf(QLatin1Char('/')); slash >= 0) {
        path = rest.mid(slash + 1);
        rest.truncate(slash);
    }
    if (!parseUser(text, rest, uri, error) || !parseHostPort(text, rest, uri, error))
        return false;
    if (!decode(path, uri.database) || uri.database.contains(QLatin1Char('/'))) {
        error = QStringLiteral("the record URI %1 has a bad database name").arg(masked(text));
        return false;
    }
    return parseParameters(text, query, uri, error);
}

} // namespace recorduri
