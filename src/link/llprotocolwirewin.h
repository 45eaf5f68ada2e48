#pragma once

#include "llprotocolwire.h"

#include <QtGlobal>

class QIODevice;

// The wire over the device object's serial port (not owned; the wire never opens or closes
// it). The port is used without an event loop, so the wire pulls incoming bytes and pushes
// outgoing ones itself.
class CLLProtocolWireWin : public CLLProtocolWire
{
public:
    // Longest time Send waits for the port to take all bytes before it reports failure; a
    // failed Send leaves none of its bytes queued.
    static constexpr int kWriteTimeoutMs = 2000;

    explicit CLLProtocolWireWin(QIODevice* port);

    void Flush() override;
    bool Send(const void* data, UINT16 len) override;
    const UINT8* Read(UINT16& len) override;
    UINT16 PutBack(UINT16 received, UINT16 kept) override;
    void Sleep(UINT16 ms) override;
    void WaitReadable(UINT16 ms) override;
    // The port reported a read or resource error: its device went away.
    bool Lost() const override;
    virtual qint64 BytesAvailable();

private:
    void pullIncoming();
    void clearTimeout();
    bool pushOutgoing();
    void dropOutgoing();

    QIODevice* m_Port;
    CWireReadBuffer m_Buffer;
};
