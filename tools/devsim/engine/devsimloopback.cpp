#include "devsimloopback.h"

#include <algorithm>

CDevSimLoopback::CDevSimLoopback(const SDevSimIdentity& identity, const SDevSimBehaviour& behaviour)
    : m_Engine(identity, behaviour)
{}

void CDevSimLoopback::attach(CLoopbackWire& wire)
{
    wire.setPeer(this);
    pump(wire);
}

void CDevSimLoopback::powerCycle(CLoopbackWire& wire)
{
    m_Engine.powerCycle(wire.now());
    pump(wire);
}

void CDevSimLoopback::hostSent(CLoopbackWire& wire, const QByteArray& bytes)
{
    m_Engine.hostBytes(bytes, wire.now());
    pump(wire);
}

void CDevSimLoopback::timeAdvanced(CLoopbackWire& wire)
{
    m_Engine.advanceTo(wire.now());
    pump(wire);
}

void CDevSimLoopback::pump(CLoopbackWire& wire)
{
    for (auto& out : m_Engine.takeOutput()) {
        auto pos = std::upper_bound(m_Due.begin(), m_Due.end(), out.at,
                                    [](qint64 t, const SDevSimOutput& o) { return t < o.at; });
        m_Due.insert(pos, std::move(out));
    }
    if (!m_Engine.present()) {
        m_Due.clear();
        wire.setUnplugged(true);
        return;
    }
    wire.setUnplugged(false);
    // Outputs arrive in due order; an output due later than the wire's clock waits here so
    // that a power cycle in between can still drop it.
    while (!m_Due.empty() && m_Due.front().at <= wire.now()) {
        wire.deliver(m_Due.front().bytes);
        m_Due.pop_front();
    }
}
