#pragma once

#include "link/llprotocolwire.h"

#include <QElapsedTimer>

// A pass-through wire that measures the time spent on it: the larger of the wall-clock time
// and the sum of its Sleep calls. On a real port the wall clock leads; on a wire with a
// virtual clock only the sleeps advance, so retry windows of seconds run in no time.
class CWireClock : public CLLProtocolWire
{
public:
    explicit CWireClock(CLLProtocolWire& inner) : m_Inner(inner) { m_Wall.start(); }

    void Flush() override { m_Inner.Flush(); }
    bool Send(const void* data, UINT16 len) override { return m_Inner.Send(data, len); }
    const UINT8* Read(UINT16& len) override { return m_Inner.Read(len); }
    UINT16 PutBack(UINT16 received, UINT16 kept) override
    {
        return m_Inner.PutBack(received, kept);
    }
    void Sleep(UINT16 ms) override
    {
        m_SleptMs += ms;
        m_Inner.Sleep(ms);
    }
    void WaitReadable(UINT16 ms) override
    {
        m_SleptMs += ms;
        m_Inner.WaitReadable(ms);
    }

    // Milliseconds since construction.
    qint64 elapsedMs() const { return qMax(m_Wall.elapsed(), m_SleptMs); }

private:
    CLLProtocolWire& m_Inner;
    QElapsedTimer m_Wall;
    qint64 m_SleptMs = 0;
};
