// The page's request reader and where each request goes: what a browser sends is served, and
// what a scanner, a confused proxy or an attacker sends is refused with the right status.

#include "web/httprequest.h"
#include "web/pageserver.h"

#include <QHostInfo>
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

// The station as started with --http-name station --http-origin https://station.plant.
const CPageNames kNames({QStringLiteral("station")}, {QStringLiteral("https://station.plant")});

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
    void origins_data();
    void origins();
};

void tst_HttpRequest::requests_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("status");   // for EBad
    QTest::addColumn<int>("resource"); // for EComplete

    const int complete = SRequest::EComplete, bad = SRequest::EBad;
    auto getFrom = [](const QByteArray& host, const QByteArray& target,
                      const QByteArray& more = QByteArray()) {
        return "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n" + more + "\r\n";
    };
    auto get = [&](const QByteArray& target, const QByteArray& more = QByteArray()) {
        return getFrom("station:8080", target, more);
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
    QTest::newRow("events through a proxy of a given origin")
        << getFrom("127.0.0.1:8080", "/api/events", kUpgrade + "Origin: https://station.plant\r\n")
        << complete << 0 << int(CPageServer::EEvents);
    QTest::newRow("events from the proxy's name unencrypted")
        << getFrom("station.plant", "/api/events", kUpgrade + "Origin: http://station.plant\r\n")
        << complete << 0 << int(CPageServer::EMisdirected);
    QTest::newRow("events from a page of another proxy")
        << getFrom("127.0.0.1:8080", "/api/events", kUpgrade + "Origin: https://other.plant\r\n")
        << complete << 0 << int(CPageServer::EForbidden);
    // The WebSocket server would wait for a CR LF CR LF that never comes.
    QTest::newRow("events in bare line feeds") << get("/api/events", kUpgrade).replace("\r\n", "\n")
                                               << complete << 0 << int(CPageServer::EBadUpgrade);
    QTest::newRow("events with one bare line feed")
        << get("/api/events", "X-A: 1\n" + kUpgrade) << complete << 0
        << int(CPageServer::EBadUpgrade);
    // DNS rebinding: another site's name resolved to this machine, its Origin and Host agree.
    for (const char* path : {"/", "/api/state", "/api/nothing"})
        QTest::addRow("%s under a rebound name", path)
            << getFrom("rebind.attacker.example", path) << complete << 0
            << int(CPageServer::EMisdirected);
    QTest::newRow("events under a rebound name")
        << getFrom("rebind.attacker.example", "/api/events",
                   kUpgrade + "Origin: http://rebind.attacker.example\r\n")
        << complete << 0 << int(CPageServer::EMisdirected);
    QTest::newRow("a name ending in the station's")
        << getFrom("evilstation", "/") << complete << 0 << int(CPageServer::EMisdirected);
    QTest::newRow("the station's name in another domain")
        << getFrom("station.attacker.example", "/") << complete << 0
        << int(CPageServer::EMisdirected);
    QTest::newRow("a port that is none")
        << getFrom("station:80x", "/") << complete << 0 << int(CPageServer::EMisdirected);
    QTest::newRow("an IPv6 address without brackets")
        << getFrom("::1", "/") << complete << 0 << int(CPageServer::EMisdirected);
    for (const char* host : {"10.0.0.5", "10.0.0.5:8080", "[::1]:8080", "[fe80::1]", "localhost",
                             "LOCALHOST:8080", "Station.:8080", "station"})
        QTest::addRow("the page under %s", host)
            << getFrom(host, "/") << complete << 0 << int(CPageServer::EPage);
    const QByteArray machine = QHostInfo::localHostName().toLower().toLatin1();
    QTest::newRow("the page under the machine's name")
        << getFrom(machine + ":8080", "/") << complete << 0 << int(CPageServer::EPage);
    if (machine.contains('.'))
        QTest::newRow("the page under the machine's short name")
            << getFrom(machine.left(machine.indexOf('.')), "/") << complete << 0
            << int(CPageServer::EPage);
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
    QTest::newRow("POST") << QByteArray(
                                 "POST / HTTP/1.1\r\nHost: station\r\nContent-Length: 2\r\n\r\nhi")
                          << complete << 0 << int(CPageServer::ENotAllowed);
    QTest::newRow("HEAD") << QByteArray("HEAD /api/state HTTP/1.1\r\nHost: station\r\n\r\n")
                          << complete << 0 << int(CPageServer::ENotAllowed);
    QTest::newRow("DELETE elsewhere") << QByteArray("DELETE /x HTTP/1.1\r\nHost: station\r\n\r\n")
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
        QCOMPARE(int(CPageServer::resolve(request, kNames)), resource);
        QVERIFY(request.headBytes <= data.size());
    }
    if (data.contains("?lang=de"))
        QCOMPARE(request.queryValue("lang"), QByteArray("de"));
}

void tst_HttpRequest::origins_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("origin"); // as a browser sends it; empty: refused
    // A browser leaves out the default port and writes names in lower case.
    QTest::newRow("https") << "https://Station.Plant/"
                           << "https://station.plant";
    QTest::newRow("default port") << "https://station.plant:443"
                                  << "https://station.plant";
    QTest::newRow("http default port") << "http://10.0.0.5:80"
                                       << "http://10.0.0.5";
    QTest::newRow("another port") << "https://station.plant:8443"
                                  << "https://station.plant:8443";
    QTest::newRow("IPv6") << "http://[::1]:8080"
                          << "http://[::1]:8080";
    QTest::newRow("a path") << "https://station.plant/page"
                            << "";
    QTest::newRow("a query") << "https://station.plant/?x=1"
                             << "";
    QTest::newRow("another scheme") << "ftp://station.plant"
                                    << "";
    QTest::newRow("no scheme") << "station.plant"
                               << "";
    QTest::newRow("a user") << "https://ann@station.plant"
                            << "";
}

void tst_HttpRequest::origins()
{
    QFETCH(QString, given);
    QFETCH(QString, origin);
    QCOMPARE(CPageNames::origin(given), origin);
}

QTEST_GUILESS_MAIN(tst_HttpRequest)
#include "tst_httprequest.moc"
