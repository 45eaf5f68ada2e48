// Log-report figures: reading and formatting the logs of both models from the simulated unit
// in-process (CPU time per report, virtual wire time), and formatting alone per entry line.
#include "engine/devsimloopback.h"

#include "device/fan.h"
#include "device/fan_70_pc.h"

#include <QElapsedTimer>

#include <cstdio>
#include <memory>

namespace {
void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

template <typename Model>
void measure(const char* name, SDevSimIdentity::EModel model)
{
    SDevSimIdentity id;
    id.model = model;
    id.partner = 3;
    CDevSimLoopback sim(id);
    auto owned = std::make_unique<CLoopbackWire>();
    CLoopbackWire* wire = owned.get();
    sim.attach(*wire);
    Model fan;
    fan.connectWire(std::move(owned));

    // A full month ring of 1000 entries, all of them read: 200 packets of five.
    constexpr int kRing = 1000;
    sim.unit().fillSecRing(CLogging::EMonth, kRing, kRing, 400);
    sim.unit().fillPrimaryLog(70);

    constexpr int kRuns = 20;
    QElapsedTimer cpu;
    const qint64 wireStart = wire->now();
    cpu.start();
    int chars = 0;
    for (int i = 0; i < kRuns; ++i)
        chars += fan.secLogReport(CLogging::EMonth, false, false, false, false, "month").size();
    const double secMs = double(cpu.nsecsElapsed()) / 1e6 / kRuns;
    const double secWireMs = double(wire->now() - wireStart) / kRuns;

    cpu.restart();
    for (int i = 0; i < kRuns; ++i)
        chars += fan.getPrimaryLog().size();
    const double primMs = double(cpu.nsecsElapsed()) / 1e6 / kRuns;

    std::printf("%-12s secondary report, %d entries: %.2f ms CPU, %.0f ms on the virtual wire; "
                "primary report, 70 entries: %.3f ms CPU (%d chars)\n",
                name, kRing, secMs, secWireMs, primMs, chars);
}
} // namespace

int main()
{
    qInstallMessageHandler(silent);
    measure<CFan>("ventaro100", SDevSimIdentity::EModel100);
    measure<CFan_70_PC>("ventaro plus", SDevSimIdentity::EModelPlus);
    return 0;
}
