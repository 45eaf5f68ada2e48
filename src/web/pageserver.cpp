#include "pageserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>

namespace {

// Hardly ever anything from a client: the page sends nothing.
constexpr quint64 kMaxIncomingBytes = 1024;
// What the system holds for one connection on top of what waits in the process: fixed, so the
// bounds on what is queued for a client hold, not four more megabytes each.
constexpr int kSendBufferBytes = 128 * 1024;

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 414:
        return "URI Too Long";
    case 421:
        return "Misdirected Request";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Error";
    }
}

} // namespace

CPageServer::EResource CPageServer::resolve(const httprequest::SRequest& request,
                                            const CPageNames& names)
{
    // A name that is not this station's: another site's page that resolved its own name to this
    // machine, whatever it asks for. (HTTP/1.0 may come without a Host; no browser sends that.)
    const QByteArray host = request.header("host");
    if (!(host.isEmpty() && request.version == "HTTP/1.0") && !names.hostAllowed(host))
        return EMisdirected;
    const bool known =
        request.path == "/" || request.path == "/api/state" || request.path == "/api/events";
    if (request.method != "GET")
        return known ? ENotAllowed : ENotFound;
    if (request.path == "/")
        return EPage;
    if (request.path == "/api/state")
        return EState;
    if (request.path != "/api/events")
        return ENotFound;
    if (!request.wantsWebSocket())
        return ENeedsUpgrade;
    // A page of another site open in the same browser must not read the station.
    const QByteArray origin = request.header("origin");
    if (!origin.isEmpty() && !names.originAllowed(origin, host))
        return EForbidden;
    // The WebSocket server reads its handshake only up to CR LF CR LF: a head that ended
    // otherwise would wait there.
    if (request.bareLineFeeds)
        return EBadUpgrade;
    return EEvents;
}

CPageServer::CPageServer(SContent content, const SLimits& limits, CPageNames names, QObject* parent)
    : QObject(parent), m_Content(std::move(content)), m_Limits(limits), m_Names(std::move(names)),
      m_Server(new QTcpServer(this)),
      m_WebSockets(new QWebSocketServer(QStringLiteral("ventaro-cli"),
                                        QWebSocketServer::NonSecureMode, this))
{
    m_Server->setMaxPendingConnections(m_Limits.maxClients);
    m_WebSockets->setHandshakeTimeout(std::chrono::milliseconds(m_Limits.idleMs));
    connect(m_Server, &QTcpServer::newConnection, this, &CPageServer::accept);
    connect(m_WebSockets, &QWebSocketServer::newConnection, this, &CPageServer::webSocketOpened);
    m_Batch.setSingleShot(true);
    connect(&m_Batch, &QTimer::timeout, this, &CPageServer::sendQueue);
    m_Ping.setInterval(m_Limits.pingMs);
    connect(&m_Ping, &QTimer::timeout, this, &CPageServer::ping);
    m_Clock.start();
}

CPageServer::~CPageServer()
{
    close(0);
}

bool CPageServer::listen(const QHostAddress& address, quint16 port, QString& error)
{
    if (m_Server->listen(address, port))
        return true;
    error = m_Server->errorString();
    return false;
}

quint16 CPageServer::port() const
{
    return m_Server->serverPort();
}

int CPageServer::connections()
{
    m_Connections.erase(std::remove(m_Connections.begin(), m_Connections.end(), nullptr),
                        m_Connections.end());
    return int(m_Connections.size());
}

void CPageServer::accept()
{
    while (QTcpSocket* socket = m_Server->nextPendingConnection()) {
        // Counted while it lives: as a request, in its handshake, or inside its WebSocket.
        // (Watched by pointer, not by signal: the WebSocket classes cut a socket's connections.)
        m_Connections.push_back(socket);
        socket->setProperty("unanswered", true);
        // A peer that vanished without a word is noticed by the system as well.
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSendBufferBytes);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (connections() > m_Limits.maxClients) {
            answer(socket, 503, "text/plain", "too many clients\n");
            continue;
        }
        auto* idle = new QTimer(socket);
        idle->setObjectName(QStringLiteral("idle"));
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [this, socket] {
            answer(socket, 408, "text/plain", "the request took too long\n");
        });
        idle->start(m_Limits.idleMs);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void CPageServer::readRequest(QTcpSocket* socket)
{
    if (!socket->property("unanswered").toBool())
        return; // answered already; what else comes is not read
    // Only peeked: an upgrade leaves the bytes to the WebSocket server.
    const QByteArray head = socket->peek(m_Limits.request.maxBytes + 1);
    const httprequest::SRequest request = httprequest::parse(head, m_Limits.request);
    if (request.state == httprequest::SRequest::EIncomplete)
        return;
    if (request.state == httprequest::SRequest::EBad) {
        answer(socket, request.status, "text/plain", reason(request.status) + '\n');
        return;
    }
    switch (resolve(request, m_Names)) {
    case EPage:
        answer(socket, 200, "text/html; charset=utf-8", m_Content.page());
        break;
    case EState:
        answer(socket, 200, "application/json", m_Content.state());
        break;
    case EEvents:
        upgrade(socket);
        break;
    case ENotFound:
        answer(socket, 404, "text/plain", "not found\n");
        break;
    case ENotAllowed:
        answer(socket, 405, "text/plain", "only GET\n", "Allow: GET\r\n");
        break;
    case ENeedsUpgrade:
        answer(socket, 426, "text/plain", "a WebSocket\n", "Upgrade: websocket\r\n");
        break;
    case EForbidden:
        answer(socket, 403, "text/plain", "not from another site\n");
        break;
    case EMisdirected:
        answer(socket, 421, "text/plain", "not a name of this station\n");
        break;
    case EBadUpgrade:
        answer(socket, 400, "text/plain", "a WebSocket handshake ends its lines in CR LF\n");
        break;
    }
}

void CPageServer::answer(QTcpSocket* socket, int status, const QByteArray& type,
                         const QByteArray& body, const QByteArray& extraHeaders)
{
    socket->setProperty("unanswered", false);
    if (QTimer* idle = socket->findChild<QTimer*>(QStringLiteral("idle")))
        idle->stop();
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) +
                          "\r\nContent-Type: " + type +
                          "\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\nCache-Control: no-store"
                          "\r\nX-Content-Type-Options: nosniff"
                          "\r\nX-Frame-Options: DENY"
                          "\r\nReferrer-Policy: no-referrer"
                          "\r\nContent-Security-Policy: default-src 'none'; "
                          "script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                          "connect-src 'self'; img-src data:"
                          "\r\nConnection: close\r\n" +
                          extraHeaders + "\r\n";
    response += body;
    // Nothing more is read from it; the bytes already there are dropped.
    socket->readAll();
    socket->write(response);
    socket->disconnectFromHost();
    // A client that does not take its answer keeps its connection (closing, with the bytes
    // queued) only for so long.
    if (socket->state() != QAbstractSocket::UnconnectedState)
        QTimer::singleShot(m_Limits.answerMs, socket, [socket] { socket->abort(); });
}

void CPageServer::upgrade(QTcpSocket* socket)
{
    socket->setProperty("unanswered", false);
    delete socket->findChild<QTimer*>(QStringLiteral("idle"));
    // The WebSocket server reads the request itself and owns the socket from now on; its own
    // handshake timer is not armed for a socket handed to it, so this one is. Once the
    // WebSocket is open, the pings take over.
    auto* handshake = new QTimer(socket);
    handshake->setObjectName(QStringLiteral("handshake"));
    handshake->setSingleShot(true);
    connect(handshake, &QTimer::timeout, socket, [socket] { socket->abort(); });
    handshake->start(m_Limits.handshakeMs);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    m_WebSockets->handleConnection(socket);
}

void CPageServer::webSocketOpened()
{
    while (QWebSocket* ws = m_WebSockets->nextPendingConnection()) {
        ws->setParent(this);
        ws->setMaxAllowedIncomingFrameSize(kMaxIncomingBytes);
        ws->setMaxAllowedIncomingMessageSize(kMaxIncomingBytes);
        // Its connection's handshake is over (the same peer, still counted in m_Connections).
        for (const QPointer<QTcpSocket>& socket : m_Connections)
            if (socket && socket->peerPort() == ws->peerPort() &&
                socket->peerAddress() == ws->peerAddress())
                delete socket->findChild<QTimer*>(QStringLiteral("handshake"));
        m_Sockets.push_back(ws);
        connect(ws, &QWebSocket::pong, ws, [ws] { ws->setProperty("missedPongs", 0); });
        if (!m_Ping.isActive())
            m_Ping.start();
        connect(ws, &QWebSocket::disconnected, this, [this, ws] {
            m_Sockets.erase(std::remove(m_Sockets.begin(), m_Sockets.end(), ws), m_Sockets.end());
            ws->deleteLater();
        });
        ws->sendTextMessage(QString::fromUtf8('[' + m_Content.hello() + ']'));
    }
}

void CPageServer::ping()
{
    // A laptop that slept or roamed away says nothing: a peer that has not answered the last
    // pings is taken for gone, and its slot is free again.
    for (QWebSocket* ws : std::vector<QWebSocket*>(m_Sockets)) {
        const int missed = ws->property("missedPongs").toInt();
        if (missed >= m_Limits.missedPongs) {
            ws->abort();
            continue;
        }
        ws->setProperty("missedPongs", missed + 1);
        ws->ping();
    }
    if (m_Sockets.empty())
        m_Ping.stop();
}

void CPageServer::broadcast(const QByteArray& frame)
{
    if (m_Sockets.empty())
        return; // a page that connects takes the snapshot
    m_Queue.append(frame);
    if (!m_Batch.isActive())
        m_Batch.start(int(qMax<qint64>(0, m_LastBatch + kBatchMs - m_Clock.elapsed())));
}

void CPageServer::sendQueue()
{
    m_LastBatch = m_Clock.elapsed();
    if (m_Queue.isEmpty())
        return;
    const QString message = QString::fromUtf8('[' + m_Queue.join(',') + ']');
    m_Queue.clear();
    for (QWebSocket* ws : std::vector<QWebSocket*>(m_Sockets)) {
        if (ws->bytesToWrite() > m_Limits.maxQueuedBytes) {
            ws->abort();
            continue;
        }
        ws->sendTextMessage(message);
    }
}

void CPageServer::close(int waitMs)
{
    m_Batch.stop();
    m_Ping.stop();
    sendQueue();
    m_Server->close();
    for (QWebSocket* ws : std::vector<QWebSocket*>(m_Sockets)) {
        ws->flush();
        ws->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("the station ended"));
    }
    if (waitMs > 0) {
        QElapsedTimer clock;
        clock.start();
        while (!m_Sockets.empty() && clock.elapsed() < waitMs) {
            // The close frames go out and the browsers' answers come in.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }
    for (QWebSocket* ws : std::vector<QWebSocket*>(m_Sockets))
        ws->abort();
}
