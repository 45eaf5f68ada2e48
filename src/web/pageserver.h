#pragma once

// The web layer: the reader of HTTP request heads (pure, bounded), the server of the station's
// page (HTTP, its limits, the WebSocket of events) and the page itself, one HTML file with its
// style and script built in as a resource. It serves what it is given and decides nothing.

#include "web/httprequest.h"
#include "web/pagenames.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <vector>

class QTcpServer;
class QWebSocket;
class QWebSocketServer;

// A small read-only web server for one page: the page itself, a JSON snapshot and a WebSocket
// that pushes text frames. It serves the three fixed paths only and never the file system,
// answers GET only, only to the names it has (CPageNames), and holds every client to bounds, so
// a browser left open, a scanner or a slow client cannot take from the work the process is
// there for. Every connection has a deadline in every state: its request's head, its WebSocket
// handshake, an answer it does not read, a WebSocket peer that no longer answers pings. Every
// connection gets one answer and is closed. A WebSocket message is a JSON array of frames: the
// first holds the snapshot, each later one the frames since the one before; they go out at most
// every `kBatchMs`, so a browser gets tens of messages a second, not a message per event.
class CPageServer : public QObject
{
    Q_OBJECT

public:
    struct SLimits
    {
        int maxClients = 32;             // connections at once, WebSockets included
        int idleMs = 10000;              // for a request's head to arrive
        int handshakeMs = 10000;         // for a WebSocket handshake, once its head is read
        int answerMs = 10000;            // for the client to take an answer
        int pingMs = 15000;              // between pings to each WebSocket peer
        int missedPongs = 2;             // unanswered pings before the peer is dropped
        qint64 maxQueuedBytes = 1 << 20; // not yet taken by a WebSocket client: dropped
        httprequest::SLimits request;    // size and header count of a request's head
    };

    static constexpr int kBatchMs = 20;

    enum EResource {
        EPage,         // "/"
        EState,        // "/api/state"
        EEvents,       // "/api/events", a WebSocket upgrade
        ENotFound,     // 404
        ENotAllowed,   // 405: not a GET
        ENeedsUpgrade, // 426: /api/events without the upgrade
        EForbidden,    // 403: a WebSocket from another site's page
        EMisdirected,  // 421: a Host that is not one of this station's names
        EBadUpgrade,   // 400: a WebSocket handshake with lines not ended in CR LF
    };
    // Where a complete request goes.
    static EResource resolve(const httprequest::SRequest& request, const CPageNames& names);

    struct SContent
    {
        std::function<QByteArray()> page;  // HTML
        std::function<QByteArray()> state; // JSON
        std::function<QByteArray()> hello; // the first frame of each WebSocket (JSON object)
    };

    CPageServer(SContent content, const SLimits& limits, CPageNames names,
                QObject* parent = nullptr);
    ~CPageServer() override;

    // Listens on `address`:`port` (0: any free port); false with the reason.
    bool listen(const QHostAddress& address, quint16 port, QString& error);
    quint16 port() const;
    // One frame (a JSON object) to every WebSocket client, with the next message; a client that
    // has too much queued is dropped (its page connects again and takes the snapshot).
    void broadcast(const QByteArray& frame);
    // Sends what is queued (for at most `waitMs`) and closes every connection.
    void close(int waitMs);
    // WebSocket clients now (none: nothing needs to be broadcast).
    int webSockets() const { return int(m_Sockets.size()); }
    // Connections alive now: requests, handshakes and WebSockets.
    int connections();

private:
    void accept();
    void readRequest(QTcpSocket* socket);
    void answer(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body,
                const QByteArray& extraHeaders = QByteArray());
    void upgrade(QTcpSocket* socket);
    void webSocketOpened();
    void ping();
    void sendQueue();

    SContent m_Content;
    SLimits m_Limits;
    CPageNames m_Names;
    QTcpServer* m_Server = nullptr;
    QWebSocketServer* m_WebSockets = nullptr;
    std::vector<QPointer<QTcpSocket>> m_Connections; // every TCP connection (null once gone)
    std::vector<QWebSocket*> m_Sockets;
    QByteArrayList m_Queue; // frames for the next message
    QTimer m_Batch;
    QTimer m_Ping;
    QElapsedTimer m_Clock;
    qint64 m_LastBatch = -kBatchMs;
};
