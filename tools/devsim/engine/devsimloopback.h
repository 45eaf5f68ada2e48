#pragma once

#include "devsimengine.h"

#include "link/loopbackwire.h"

#include <deque>

// A simulated ventaro unit on a CLoopbackWire, for tests and benchmarks that run the tool's
// device code in-process on the virtual clock:
//
//     CDevSimLoopback unit(identity);         // SDevSimIdentity: model, serial, versions ...
//     CLoopbackWire wire;
//     unit.attach(wire);                       // the unit is now the wire's peer
//     ... run CLLProtocol / the device object on `wire` ...
//     unit.unit().identity().partner;          // state: identity, counters, logs, flash ...
//     unit.unit().flash().images();            // what was flashed, block by block
//
// Everything the unit sends is delivered when it is due on the wire's clock. While the unit
// is away (power cycle, unplug fault) the wire is unplugged: reads see nothing and sends fail;
// what was due meanwhile is lost, as on a real line.
class CDevSimLoopback : public CLoopbackPeer
{
public:
    explicit CDevSimLoopback(const SDevSimIdentity& identity = {},
                             const SDevSimBehaviour& behaviour = {});

    void attach(CLoopbackWire& wire);
    CDevSimEngine& engine() { return m_Engine; }
    CDevSimUnit& unit() { return m_Engine.unit(); }

    // The user switches the unit off and on (the port is away for the reboot pause).
    void powerCycle(CLoopbackWire& wire);

    void hostSent(CLoopbackWire& wire, const QByteArray& bytes) override;
    void timeAdvanced(CLoopbackWire& wire) override;

private:
    void pump(CLoopbackWire& wire);

    CDevSimEngine m_Engine;
    std::deque<SDevSimOutput> m_Due;
};
