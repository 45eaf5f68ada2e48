// The page's request reader and where each request goes: what a browser sends is served, and
// what a scanner, a confused proxy or an attacker sends is refused with the right status.

#include "web/httprequest.h"
#include "web/pageserver.h"

#include <QtTest>

using httprequest::SRequest;

namespace {

QByteArray headers(int count)
{
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += "X-H" + QByteArray::number(i) + ": v\r\n";
    return lines;
}

const QByteArray kUpgrade = "Upgrade: websocket\r\nConnection: keep-alive, Upgrade\r\n"
                            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                            "Sec-WebSocket-Version: 13\r\n";

} // namespace

class tst_HttpRequest : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
};

void tst_HttpRequest::requests_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");   // for EBad
    QTest::addColumn<int>("resource"); // for EComplete

    const int complete = SRequest::EComplete, bad = SRequest::EBad;
    auto get = [](const QByteArray& target, const QByteArray& more = QByteArray()) {
        return "GET " + target + " HTTP/1.1\r\nHost: station:8080\r\n" + more + "\r\n";
    };
    QTest::newRow("the page") << get("/") << complete << 0 << int(CPageServer::EPage);
    QTest::newRow("the page in German")
        << get("/?lang=de") << complete << 0 << int(CPageServer::EPage);
    QTest::newRow("the snapshot") << get("/api/state") << complete << 0 << int(CPageServer::EState);
    QTest::newRow("bare line feeds")
        << QByteArray("GET /api/state HTTP/1.0\n\n") << complete << 0 << int(CPageServer::EState);
    QTest::newRow("head not ended yet")
        << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n") << int(SRequest::EIncomplete) << 0 << 0;
    QTest::newRow("events") << get("/api/events", kUpgrade) << complete << 0
                            << int(CPageServer::EEvents);
    QTest::newRow("events from the page's own origin")
        << get("/api/events", kUpgrade + "Origin: http://station:8080\r\n") << complete << 0
        << int(CPageServer::EEvents);
    QTest::newRow("events from another site's page")
        << get("/api/events", kUpgrade + "Origin: http://evil.example\r\n") << complete << 0
        << int(CPageServer::EForbidden);
    QTest::newRow("events without the upgrade")
        << get("/api/events") << complete << 0 << int(CPageServer::ENeedsUpgrade);
    // Only the three paths, compared as sent: nothing reaches the file system.
    QTest::newRow("traversal") << get("/../../etc/passwd") << complete << 0
                               << int(CPageServer::ENotFound);
    QTest::newRow("encoded traversal")
        << get("/%2e%2e/%2e%2e/etc/passwd") << complete << 0 << int(CPageServer::ENotFound);
    QTest::newRow("a path below a known one")
        << get("/api/state/x") << complete << 0 << int(CPageServer::ENotFound);
    QTest::newRow("a resource file name")
        << get("/station.html") << complete << 0 << int(CPageServer::ENotFound);
    QTest::newRow("POST") << QByteArray("POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 2\r\n\r\nhi")
                          << complete << 0 << int(CPageServer::ENotAllowed);
    QTest::newRow("HEAD") << QByteArray("HEAD /api/state HTTP/1.1\r\nHost: a\r\n\r\n") << complete
                          << 0 << int(CPageServer::ENotAllowed);
    QTest::newRow("DELETE elsewhere") << QByteArray("DELETE /x HTTP/1.1\r\nHost: a\r\n\r\n")
                                      << complete << 0 << int(CPageServer::ENotFound);
    QTest::newRow("32 headers") << get("/", headers(31)) << complete << 0
                                << int(CPageServer::EPage);
    QTest::newRow("33 headers") << get("/", headers(32)) << bad << 431 << 0;
    QTest::newRow("an oversized head")
        << get("/", "X-Big: " + QByteArray(9000, 'a') + "\r\n") << bad << 431 << 0;
    QTest::newRow("an oversized head not ended")
        << QByteArray("GET / HTTP/1.1\r\nX-Big: " + QByteArray(9000, 'a')) << bad << 431 << 0;
    QTest::newRow("an endless target") << "GET /" + QByteArray(9000, 'a') << bad << 414 << 0;
    QTest::newRow("a blank before the colon") << get("/", "Host : x\r\n") << bad << 400 << 0;
    QTest::newRow("a folded header") << get("/", "X-A: 1\r\n  more\r\n") << bad << 400 << 0;
    QTest::newRow("a control character in a value")
        << get("/", "X-A: a\x01z\r\n") << bad << 400 << 0;
    QTest::newRow("no Host in HTTP/1.1") << QByteArray("GET / HTTP/1.1\r\n\r\n") << bad << 400 << 0;
    QTest::newRow("HTTP/2") << QByteArray("GET / HTTP/2.0\r\nHost: a\r\n\r\n") << bad << 505 << 0;
    QTest::newRow("not HTTP") << QByteArray("GET / FTP\r\n\r\n") << bad << 400 << 0;
    QTest::newRow("an absolute target")
        << QByteArray("GET http://a/ HTTP/1.1\r\nHost: a\r\n\r\n") << bad << 400 << 0;
    // A first line that cannot be a request is refused as soon as it is there.
    QTest::newRow("garbage first line") << QByteArray("\x16\x03\x01 hello\r\n") << bad << 400 << 0;
    QTest::newRow("a target with a blank")
        << QByteArray("GET /a b HTTP/1.1\r\nHost: a\r\n\r\n") << bad << 400 << 0;
}

void tst_HttpRequest::requests()
{
    QFETCH(QByteArray, data);
    QFETCH(int, state);
    QFETCH(int, status);
    QFETCH(int, resource);
    const SRequest request = httprequest::parse(data);
    QCOMPARE(int(request.state), state);
    if (state == SRequest::EBad)
        QCOMPARE(request.status, status);
    if (state == SRequest::EComplete) {
        QCOMPARE(int(CPageServer::resolve(request)), resource);
        QVERIFY(request.headBytes <= data.size());
    }
    if (data.contains("?lang=de"))
        QCOMPARE(request.queryValue("lang"), QByteArray("de"));
}

QTEST_GUILESS_MAIN(tst_HttpRequest)
#include "tst_httprequest.moc"
