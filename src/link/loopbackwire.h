#pragma once

#include "llprotocolwire.h"

#include <QByteArray>

#include <deque>

class CLoopbackWire;

// The other end of a loopback wire: sees every byte the host sends and may answer at any
// virtual time. Used by the test suite's scripted peers and by the in-process simulated unit.
class CLoopbackPeer
{
public:
    virtual ~CLoopbackPeer() = default;
    // Bytes the host wrote with one Send.
    virtual void hostSent(CLoopbackWire& wire, const QByteArray& bytes) = 0;
    // The virtual clock moved to wire.now().
    virtual void timeAdvanced(CLoopbackWire& wire) { (void)wire; }
};

// A wire whose peer lives in the same process and whose Sleep advances a virtual clock in
// milliseconds, so timeouts of seconds run in microseconds.
class CLoopbackWire : public CLLProtocolWire
{
public:
    explicit CLoopbackWire(CLoopbackPeer* peer = nullptr) : m_Peer(peer) {}

    void setPeer(CLoopbackPeer* peer) { m_Peer = peer; }

    void Flush() override { m_Buffer.clear(); }
    bool Send(const void* data, UINT16 len) override;
    const UINT8* Read(UINT16& len) override;
    UINT16 PutBack(UINT16 received, UINT16 kept) override
    {
        return m_Buffer.putBack(received, kept);
    }
    void Sleep(UINT16 ms) override;

    // Peer side: bytes that become readable by the host `delayMs` from now.
    void deliver(const QByteArray& bytes, qint64 delayMs = 0);
    // Everything the host sent so far, and the same with the record cleared.
    const QByteArray& sent() const { return m_Sent; }
    QByteArray takeSent();

    qint64 now() const { return m_Now; }
    // Advances the clock without the host sleeping (a peer that works meanwhile).
    void advance(qint64 ms);
    // Bytes delivered but not read yet.
    qint64 pending() const;

    // Fault switches: the next `count` Send calls fail; an unplugged wire reads nothing and
    // fails every Send.
    void failNextSends(int count) { m_FailSends = count; }
    void setUnplugged(bool unplugged) { m_Unplugged = unplugged; }
    int sendCalls() const { return m_SendCalls; }
    int readCalls() const { return m_ReadCalls; }

private:
    struct Delivery
    {
        qint64 at;
        QByteArray bytes;
    };

    CLoopbackPeer* m_Peer = nullptr;
    CWireReadBuffer m_Buffer;
    std::deque<Delivery> m_Incoming;
    QByteArray m_Sent;
    qint64 m_Now = 0;
    int m_FailSends = 0;
    bool m_Unplugged = false;
    int m_SendCalls = 0;
    int m_ReadCalls = 0;
};
