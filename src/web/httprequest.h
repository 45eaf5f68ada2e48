#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// The head of an HTTP/1.x request as a browser sends it, read from the bytes received so far.
// Strict where leniency would only help an attacker: one request line, header names without
// blanks, no folded lines, bounded size and count. A body is never read (only GET is served).
namespace httprequest {

struct SLimits
{
    int maxBytes = 8192; // the whole head, request line and headers
    int maxHeaders = 32;
};

struct SRequest
{
    enum EState {
        EIncomplete, // the head has not ended yet; more bytes may come
        EComplete,
        EBad, // `status` says why: 400, 414, 431 or 505
    };
    EState state = EIncomplete;
    int status = 0;
    int headBytes = 0;          // the head's length with its empty line, once complete
    bool bareLineFeeds = false; // a line of the head ended in "\n" alone, not "\r\n"
    QByteArray method;
    QByteArray path;  // the target up to '?', as sent (no decoding)
    QByteArray query; // after '?', without it
    QByteArray version;
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed

    // The value of the first header `name` (lower case), empty when none.
    QByteArray header(const QByteArray& name) const;
    // "websocket" among the Upgrade header's protocols and "upgrade" in Connection.
    bool wantsWebSocket() const;
    // The value of `key` in the query ("lang=de&x=1"), empty when none.
    QByteArray queryValue(const QByteArray& key) const;
};

SRequest parse(const QByteArray& data, const SLimits& limits = SLimits());

} // namespace httprequest
