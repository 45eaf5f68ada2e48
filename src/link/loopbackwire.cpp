#include "loopbackwire.h"

#include <algorithm>
#include <cstring>

bool CLoopbackWire::Send(const void* data, UINT16 len)
{
    ++m_SendCalls;
    if (!data || m_Unplugged)
        return false;
    if (m_FailSends > 0) {
        --m_FailSends;
        return false;
    }
    const QByteArray bytes(static_cast<const char*>(data), len);
    m_Sent += bytes;
    if (m_Peer)
        m_Peer->hostSent(*this, bytes);
    return true;
}

const UINT8* CLoopbackWire::Read(UINT16& len)
{
    ++m_ReadCalls;
    len = m_Buffer.takeKept();
    if (len)
        return m_Buffer.data();
    if (m_Unplugged)
        return nullptr;
    // Deliveries are kept in time order; take what is due, at most kMaxRead bytes.
    while (!m_Incoming.empty() && m_Incoming.front().at <= m_Now && len < kMaxRead) {
        Delivery& next = m_Incoming.front();
        const int take = std::min<int>(next.bytes.size(), kMaxRead - len);
        std::memcpy(m_Buffer.data() + len, next.bytes.constData(), size_t(take));
        len = UINT16(len + take);
        if (take == next.bytes.size())
            m_Incoming.pop_front();
        else
            next.bytes.remove(0, take);
    }
    return len ? m_Buffer.data() : nullptr;
}

void CLoopbackWire::Sleep(UINT16 ms)
{
    advance(ms);
}

void CLoopbackWire::advance(qint64 ms)
{
    m_Now += ms;
    if (m_Peer)
        m_Peer->timeAdvanced(*this);
}

void CLoopbackWire::deliver(const QByteArray& bytes, qint64 delayMs)
{
    if (bytes.isEmpty())
        return;
    const qint64 at = m_Now + std::max<qint64>(0, delayMs);
    auto pos = std::upper_bound(m_Incoming.begin(), m_Incoming.end(), at,
                                [](qint64 t, const Delivery& d) { return t < d.at; });
    m_Incoming.insert(pos, Delivery{at, bytes});
}

QByteArray CLoopbackWire::takeSent()
{
    QByteArray out;
    out.swap(m_Sent);
    return out;
}

qint64 CLoopbackWire::pending() const
{
    qint64 total = 0;
    for (const auto& d : m_Incoming)
        total += d.bytes.size();
    return total;
}
