// The page server's deadlines: clients that hold a connection in one of its states (a head
// never ended, a handshake the WebSocket server cannot end, an answer never read, a WebSocket
// peer that vanished) lose it, so a page still gets in. Each case with more clients than the
// server has room for, and deadlines made short.

#include "web/pageserver.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QWebSocket>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

constexpr int kClients = 40;
constexpr int kDeadlineMs = 1000;
constexpr int kPingMs = 400;

const QByteArray kUpgrade = "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                            "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                            "Sec-WebSocket-Version: 13\r\n\r\n";

CPageServer::SLimits shortLimits()
{
    CPageServer::SLimits limits;
    limits.idleMs = kDeadlineMs;
    limits.handshakeMs = kDeadlineMs;
    limits.answerMs = kDeadlineMs;
    limits.pingMs = kPingMs;
    return limits;
}

CPageServer::SContent content()
{
    CPageServer::SContent content;
    // More than the connection takes while its client does not read.
    content.page = [] { return QByteArray(1 << 20, 'x'); };
    content.state = [] { return QByteArray("{}"); };
    content.hello = [] { return QByteArray("{\"event\":\"snapshot\"}"); };
    return content;
}

// A page as a browser runs it: refused, it connects again a moment later. True once it has its
// first message.
bool pageConnects(quint16 port, QWebSocket& page, int withinMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < withinMs) {
        QSignalSpy messages(&page, &QWebSocket::textMessageReceived);
        page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events").arg(port)));
        const bool answered = QTest::qWaitFor(
            [&] {
                return messages.count() > 0 || page.state() == QAbstractSocket::UnconnectedState;
            },
            2000);
        if (answered && messages.count() > 0)
            return true;
        page.abort();
        QTest::qWait(100);
    }
    return false;
}

} // namespace

class tst_PageServer : public QObject
{
    Q_OBJECT

private slots:
    void slotsComeBack_data();
    void slotsComeBack();
};

void tst_PageServer::slotsComeBack_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer"); // how the answer to each held client begins

    QTest::newRow("a head never ended")
        << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n") << QByteArray("HTTP/1.1 408");
    QTest::newRow("a handshake in bare line feeds")
        << QByteArray(kUpgrade).replace("\r\n", "\n") << QByteArray("HTTP/1.1 400");
    QTest::newRow("an answer never read")
        << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") << QByteArray("HTTP/1.1 200");
    QTest::newRow("a WebSocket peer gone") << kUpgrade << QByteArray("HTTP/1.1 101");
}

void tst_PageServer::slotsComeBack()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    CPageServer server(content(), shortLimits(), CPageNames({}, {}));
    QString error;
    QVERIFY2(server.listen(QHostAddress::LocalHost, 0, error), qPrintable(error));

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        QTcpSocket& client = *clients.back();
        // It takes no more than this, and never answers a ping.
        client.setReadBufferSize(1024);
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(client.waitForConnected(5000));
        client.write(request);
    }
    // The room was taken: those beyond it are turned away, the others are answered as asked.
    int refused = 0, held = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            refused = held = 0;
            for (const auto& client : clients) {
                const QByteArray begin = client->peek(12);
                refused += begin == "HTTP/1.1 503";
                held += begin == answer;
            }
            return refused + held == kClients;
        },
        3 * kDeadlineMs));
    QCOMPARE(refused, kClients - CPageServer::SLimits().maxClients);

    QWebSocket page;
    QVERIFY2(pageConnects(server.port(), page, 15000), "the page did not get in");
    // Each held client lost its connection (one that does not read cannot see that itself).
    QVERIFY(QTest::qWaitFor([&] { return server.connections() == 1; }, 3 * kDeadlineMs));
    // A page that answers the pings keeps its connection.
    QTest::qWait(5 * kPingMs);
    QCOMPARE(page.state(), QAbstractSocket::ConnectedState);
    QCOMPARE(server.webSockets(), 1);
}

QTEST_GUILESS_MAIN(tst_PageServer)
#include "tst_pageserver.moc"
