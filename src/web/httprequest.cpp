#include "httprequest.h"

#include <cstring>

namespace httprequest {
namespace {

// RFC 9110 token characters (method and header names).
bool isTokenChar(char c)
{
    static const char kSpecials[] = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c != 0 && std::strchr(kSpecials, c) != nullptr);
}

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
        if (!isTokenChar(c))
            return false;
    return true;
}

// Printable ASCII without blanks: what a request target may hold.
bool isTarget(const QByteArray& text)
{
    if (!text.startsWith('/'))
        return false;
    for (char c : text)
        if (c <= 0x20 || c >= 0x7f)
            return false;
    return true;
}

bool isFieldValue(const QByteArray& text)
{
    for (char c : text)
        if ((c < 0x20 && c != '\t') || c == 0x7f)
            return false;
    return true;
}

SRequest bad(int status)
{
    SRequest r;
    r.state = SRequest::EBad;
    r.status = status;
    return r;
}

// The line ends at "\r\n" or a bare "\n".
QList<QByteArray> headLines(const QByteArray& head)
{
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

bool parseRequestLine(const QByteArray& line, SRequest& r)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]))
        return false;
    r.method = parts[0];
    const QByteArray& target = parts[1];
    if (!isTarget(target))
        return false;
    const int question = target.indexOf('?');
    r.path = question < 0 ? target : target.left(question);
    r.query = question < 0 ? QByteArray() : target.mid(question + 1);
    r.version = parts[2];
    return true;
}

} // namespace

QByteArray SRequest::header(const QByteArray& name) const
{
    for (const auto& h : headers)
        if (h.first == name)
            return h.second;
    return {};
}

bool SRequest::wantsWebSocket() const
{
    auto listed = [this](const QByteArray& name, const QByteArray& wanted) {
        for (const QByteArray& item : header(name).toLower().split(','))
            if (item.trimmed() == wanted)
                return true;
        return false;
    };
    return listed("upgrade", "websocket") && listed("connection", "upgrade");
}

QByteArray SRequest::queryValue(const QByteArray& key) const
{
    for (const QByteArray& pair : query.split('&')) {
        const int equals = pair.indexOf('=');
        if (equals > 0 && pair.left(equals) == key)
            return pair.mid(equals + 1);
    }
    return {};
}

SRequest parse(const QByteArray& data, const SLimits& limits)
{
    // A browser sends no blank lines before its request; anything else is not HTTP.
    int end = data.indexOf("\r\n\r\n");
    int endLength = 4;
    const int bare = data.indexOf("\n\n");
    if (bare >= 0 && (end < 0 || bare < end)) {
        end = bare;
        endLength = 2;
    }
    if (end < 0) {
        if (data.size() > limits.maxBytes) {
            // Still in the request line: its target is too long.
            return bad(data.indexOf('\n') < 0 ? 414 : 431);
        }
        const int firstLineEnd = data.indexOf('\n');
        if (firstLineEnd >= 0) {
            SRequest early;
            if (!parseRequestLine(headLines(data.left(firstLineEnd)).value(0), early))
                return bad(400);
        }
        return SRequest();
    }
    if (end + endLength > limits.maxBytes)
        return bad(431);
    const QByteArray head = data.left(end + endLength);
    const QList<QByteArray> lines = headLines(data.left(end));
    SRequest r;
    r.bareLineFeeds = head.count('\n') != head.count("\r\n");
    if (!parseRequestLine(lines.value(0), r))
        return bad(400);
    if (r.version != "HTTP/1.1" && r.version != "HTTP/1.0")
        return bad(r.version.startsWith("HTTP/") ? 505 : 400);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const int colon = line.indexOf(':');
        // No name, a blank before the colon, or a folded continuation line.
        if (colon <= 0 || !isToken(line.left(colon)))
            return bad(400);
        if (r.headers.size() == limits.maxHeaders)
            return bad(431);
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (!isFieldValue(value))
            return bad(400);
        r.headers.append({line.left(colon).toLower(), value});
    }
    if (r.version == "HTTP/1.1" && r.header("host").isEmpty())
        return bad(400);
    r.state = SRequest::EComplete;
    r.headBytes = end + endLength;
    return r;
}

} // namespace httprequest
