#pragma once

#include "lltypes.h"

// The byte wire under the link layer. Read returns whatever is waiting (at most
// kMaxRead bytes); PutBack keeps the tail of the last read that the parser did not consume,
// so the next Read returns it first. Sleep is the only way the link layer waits, so a wire
// with a virtual clock makes every timeout run in no time.
class CLLProtocolWire
{
public:
    static constexpr UINT16 kMaxRead = 256;

    virtual ~CLLProtocolWire() = default;
    // Push out pending output and forget the put-back bytes.
    virtual void Flush() = 0;
    virtual bool Send(const void* data, UINT16 len) = 0;
    // The bytes read, or null with len 0 when nothing is waiting.
    virtual const UINT8* Read(UINT16& len) = 0;
    // Keep the last `kept` of the `received` bytes of the last read; returns the count consumed.
    virtual UINT16 PutBack(UINT16 received, UINT16 kept)
    {
        (void)received;
        return kept;
    }
    virtual void Sleep(UINT16 ms) = 0;
    // The poll wait of a receive loop: at most `ms`, ending early once Read has bytes to
    // return. It never ends early without bytes, so a count of empty polls measures silence.
    // Every other pause is a Sleep, which lasts its full time whatever arrives. A wire that
    // cannot tell when bytes arrive waits the full time.
    virtual void WaitReadable(UINT16 ms) { Sleep(ms); }
    // The far end is gone for good (a device unplugged under its open port): nothing more
    // arrives, and every wait on this wire would only run into its timeout.
    virtual bool Lost() const { return false; }
};

// The read buffer with put-back store that every wire implementation shares.
class CWireReadBuffer
{
public:
    UINT8* data() { return m_Buffer; }
    // The kept bytes, if any, moved out of the store: returns their count (0 = none kept).
    UINT16 takeKept()
    {
        const UINT16 kept = m_Kept;
        m_Kept = 0;
        return kept;
    }
    void clear() { m_Kept = 0; }
    bool hasKept() const { return m_Kept > 0; }
    UINT16 putBack(UINT16 received, UINT16 kept);

private:
    UINT8 m_Buffer[CLLProtocolWire::kMaxRead] = {};
    UINT8 m_Kept = 0;
};
