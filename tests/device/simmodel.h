#pragma once

// A device model talking to the simulated unit in-process, over a loopback wire.
#include "engine/devsimloopback.h"

#include "link/loopbackwire.h"

#include <memory>

template <typename Model>
struct ModelOnSim
{
    CDevSimLoopback sim;
    Model fan;

    explicit ModelOnSim(const SDevSimIdentity& id) : sim(id)
    {
        auto wire = std::make_unique<CLoopbackWire>();
        sim.attach(*wire);
        fan.connectWire(std::move(wire));
    }
};

// A unit of `model` whose application answers.
inline SDevSimIdentity applicationIdentity(SDevSimIdentity::EModel model)
{
    SDevSimIdentity id;
    id.model = model;
    id.partner = 3;
    return id;
}
