#include "llprotocolwire.h"

#include <cstring>

UINT16 CWireReadBuffer::putBack(UINT16 received, UINT16 kept)
{
    // A read never exceeds kMaxRead bytes and the parser consumes at least one byte of a
    // read that starts a packet, so a consistent call keeps at most 255 bytes.
    if (received > CLLProtocolWire::kMaxRead || received < kept ||
        kept >= CLLProtocolWire::kMaxRead)
        return kept;
    std::memmove(m_Buffer, m_Buffer + (received - kept), kept);
    m_Kept = UINT8(kept);
    return UINT16(received - kept);
}
