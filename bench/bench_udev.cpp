// Plug-in latency on the real Linux device path: from the uevent of a mocked USB unit (a
// umockdev test bed) to the first byte the service tool sends it. Run under umockdev-wrapper:
//     umockdev-wrapper build/bench/bench_udev [RUNS]

// First: glib's headers use names that Qt defines as macros, and the engine has a member named
// like one.
#include "mockbed.h"

#include "app/maindialognew.h"
#include "service/updateflags.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kDefaultRuns = 30;
constexpr qint64 kGiveUpMs = 5000;

// Spins the event loop until `done` or the time is up.
template <typename F>
bool waitFor(F done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < kGiveUpMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultRuns;

    MockBed bed;
    if (!MockBed::active()) {
        std::fprintf(stderr, "bench_udev: run it under umockdev-wrapper\n");
        return 2;
    }
    SDevSimIdentity id;
    id.model = SDevSimIdentity::EModelPlus;
    UnitBridge unit(id);
    CMainDialogNew dialog(false, false, false, false, false, false, QString(), QString(), false,
                          QStringLiteral("testvalues.csv"));

    std::vector<double> latencies;
    for (int i = 0; i < runs; ++i) {
        const QString name = bed.freshName();
        const qint64 pluggedAt = unit.clock().elapsed();
        bed.plug(name);
        unit.setMaster(bed.master(name));
        if (!waitFor([&] { return unit.firstByteAtMs() >= 0; })) {
            std::fprintf(stderr, "bench_udev: run %d: no byte from the tool\n", i);
            return 1;
        }
        latencies.push_back(double(unit.firstByteAtMs() - pluggedAt));
        waitFor([&] { return dialog.state() == EStateReady; });
        unit.setMaster(-1);
        bed.unplug(name);
        waitFor([&] { return dialog.state() == EStateIdle; });
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("plug-in (uevent) to the tool's first byte, %d runs: median %.0f ms, max %.0f ms\n",
                runs, latencies[latencies.size() / 2], latencies.back());
    return 0;
}
