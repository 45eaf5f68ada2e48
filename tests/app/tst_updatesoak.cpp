// Updates of simulated units under seeded link faults, and with the cable pulled at every
// request of an update. Every run must end either updated with the unit's flash identical to
// the built-in images, or failed with the dialog showing it; never "updated" with wrong or
// missing content, never stuck.
//
// CTest runs a short soak. The long one:
//     VENTARO_SOAK=long tst_updatesoak            (200 fault runs, every request of the sweep)
//     VENTARO_SOAK_RUNS=1000 VENTARO_SOAK_SEED=7 tst_updatesoak faultSoak
// A failing run prints its seed; VENTARO_SOAK_SEED=<seed> VENTARO_SOAK_RUNS=1 repeats it.

// Before any Qt header: the simulated unit's engine has a member named like a Qt keyword macro.
#include "updaterig.h"

#include "device/uitext.h"

#include <QElapsedTimer>
#include <QMap>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

bool longSoak()
{
    return qEnvironmentVariable("VENTARO_SOAK") == QLatin1String("long");
}

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

// A run that takes longer than this in real time is stuck.
constexpr qint64 kStuckAfterMs = 60000;
// Unit time one fault may add to an update.
constexpr qint64 kMaxMsPerFault = 4000;

// One unit and what an update of it must write.
struct SUnitKind
{
    const char* name;
    bool plus;
    int applSub;
    QVector<int> types;   // partition types in the order they go out (bridge as 4)
    QVector<int> builtIn; // the built-in image each of them must equal
    bool rebootPause;     // the unit restarts after its application
};

const QVector<SUnitKind>& unitKinds()
{
    static const QVector<SUnitKind> kinds = {
        {"plus",
         true,
         20,
         {CPartitionTable::EApplication, CPartitionTable::EBootloader2},
         {CPartitionTable::EApplication, CPartitionTable::EBootloader2},
         false},
        {"100",
         false,
         20,
         {CPartitionTable::EApplication, CPartitionTable::ECC3200, CPartitionTable::EBootloader2},
         {CPartitionTable::EApplication, CPartitionTable::ECC3200, CPartitionTable::EBootloader2},
         false},
        {"100 bridge",
         false,
         1,
         {kBridgeWire, CPartitionTable::EApplication, CPartitionTable::ECC3200,
          CPartitionTable::EBootloader2},
         {CPartitionTable::ECC3200Bridge, CPartitionTable::EApplication, CPartitionTable::ECC3200,
          CPartitionTable::EBootloader2},
         true},
    };
    return kinds;
}

SDevSimBehaviour behaviourOf(const SUnitKind& kind)
{
    SDevSimBehaviour behaviour;
    if (kind.rebootPause)
        behaviour.rebootAfterUploadMs = 200; // the unit restarts by itself
    return behaviour;
}

// Empty when the unit holds exactly the images an update of its kind writes, the new
// bootloader copy running; else what is wrong.
QString flashProblem(CDevSimUnit& unit, const SUnitKind& kind)
{
    QVector<const SDevSimFlashedImage*> complete;
    for (const SDevSimFlashedImage& image : unit.flash().images()) {
        if (image.complete)
            complete << &image;
    }
    // A cable pulled during an earlier update may have left complete images of that one.
    if (complete.size() < kind.types.size())
        return QStringLiteral("%1 complete images").arg(complete.size());
    complete = complete.mid(complete.size() - kind.types.size());
    const int system = kind.plus ? CFlashImage::ESystemPlus : CFlashImage::ESystem100;
    for (int i = 0; i < kind.types.size(); ++i) {
        if (complete[i]->type != kind.types[i])
            return QStringLiteral("image %1 has type %2").arg(i).arg(complete[i]->type);
        const QString difference = differenceFromBuiltIn(*complete[i], kind.builtIn[i], system);
        if (!difference.isEmpty())
            return difference;
    }
    if (unit.identity().runningCopy != 2 || unit.bootVersion(2) != 224)
        return QStringLiteral("bootloader copy %1 runs").arg(unit.identity().runningCopy);
    return {};
}

enum class EOutcome { Updated, Failed, FalseSuccess, Stuck, OtherState };

const char* outcomeName(EOutcome outcome)
{
    switch (outcome) {
    case EOutcome::Updated:
        return "updated, flash verified";
    case EOutcome::Failed:
        return "failed, shown";
    case EOutcome::FalseSuccess:
        return "FALSE SUCCESS";
    case EOutcome::Stuck:
        return "STUCK";
    case EOutcome::OtherState:
        return "UNEXPECTED STATE";
    }
    return "";
}

// A failed update leaves a text in the status line that tells the technician what happened:
// its step's own text, or the last one the device object reported; never one that reads as
// ready, up to date or updated.
bool isFailureText(const QString& status)
{
    if (status.trimmed().isEmpty())
        return false;
    for (int index : {132, 133, 136, 138}) {
        if (status == uiText(index))
            return false;
    }
    return true;
}

struct SRunResult
{
    EOutcome outcome = EOutcome::OtherState;
    QString detail; // the failure text, or what was wrong
    qint64 virtualMs = 0;
};

// Presses the update button and classifies how the update ended. A watchdog pulls the cable
// for good when the run takes too long, so a stuck run ends and is counted.
SRunResult runUpdate(UpdateRig& rig, const SUnitKind& kind)
{
    SRunResult result;
    bool stuck = false;
    QElapsedTimer clock;
    clock.start();
    QTimer watchdog;
    watchdog.setInterval(100);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (!stuck && clock.elapsed() > kStuckAfterMs) {
            stuck = true;
            SDevSimFaults gone;
            gone.unplugAfterPackets = 1;
            rig.sim.engine().setFaults(gone, 1);
            rig.wire->setUnplugged(true);
            rig.t->enumerator->unplug(kPort);
        }
    });
    watchdog.start();
    const qint64 start = rig.wire->now();
    rig.d().on_ButtonBurn_clicked();
    result.virtualMs = rig.wire->now() - start;

    CMainDialogNew& d = rig.d();
    const QString status = d.findChild<QLabel*>(QStringLiteral("Status"))->text();
    const bool closable = widget<QPushButton>(d, "ButtonClose")->isEnabled();
    if (stuck) {
        result.outcome = EOutcome::Stuck;
    } else if (d.updateRunning() || !closable) {
        result.outcome = EOutcome::OtherState;
        result.detail = QStringLiteral("still locked in state %1").arg(d.state());
    } else if (d.state() == EStateUpdated) {
        result.detail = flashProblem(rig.sim.unit(), kind);
        result.outcome = result.detail.isEmpty() ? EOutcome::Updated : EOutcome::FalseSuccess;
    } else if (d.state() == EStateIdle && isFailureText(status)) {
        result.outcome = EOutcome::Failed;
        result.detail = status;
    } else {
        result.detail = QStringLiteral("state %1, \"%2\"").arg(d.state()).arg(status);
    }
    return result;
}

// Outcomes and faults of many runs, printed as a table.
class SoakTable
{
public:
    // `run` names the run in the table (the seed, or the request of the pull) for the first
    // one of each failure text.
    void add(const SRunResult& r, quint32 run = 0)
    {
        ++m_Outcomes[int(r.outcome)];
        if (r.outcome == EOutcome::Failed) {
            SFailureText& text = m_FailureTexts[r.detail.left(60)];
            if (text.count++ == 0)
                text.firstRun = run;
        }
        m_VirtualMs << r.virtualMs;
        ++m_Runs;
    }
    void addFaults(const CDevSimEngine::SStats& s)
    {
        m_Faults[0] += s.strayBytes;
        m_Faults[1] += s.corruptCrc;
        m_Faults[2] += s.lostAck;
        m_Faults[3] += s.slowReply;
        m_Faults[4] += s.debugMessage;
        m_Faults[5] += s.wrongId;
        m_Faults[6] += s.wrongLength;
    }
    int count(EOutcome outcome) const { return m_Outcomes.value(int(outcome)); }

    void print(const char* title) const
    {
        std::printf("\n%s: %d runs\n", title, m_Runs);
        static const char* const kFaultNames[] = {"stray bytes", "corrupt CRC",    "lost ACK",
                                                  "slow reply",  "debug messages", "wrong reply id",
                                                  "wrong length"};
        int total = 0;
        for (int i = 0; i < 7; ++i) {
            if (m_Faults[i] == 0)
                continue;
            std::printf("  fault %-18s %7d\n", kFaultNames[i], m_Faults[i]);
            total += m_Faults[i];
        }
        if (total > 0)
            std::printf("  fault %-18s %7d\n", "(all)", total);
        for (auto it = m_Outcomes.cbegin(); it != m_Outcomes.cend(); ++it)
            std::printf("  outcome %-16s %7d\n", outcomeName(EOutcome(it.key())), it.value());
        for (auto it = m_FailureTexts.cbegin(); it != m_FailureTexts.cend(); ++it)
            std::printf("    %5d x \"%s\" (first: %u)\n", it.value().count,
                        qPrintable(QString(it.key()).replace(QLatin1Char('\n'), QLatin1Char(' '))),
                        it.value().firstRun);
        if (!m_VirtualMs.isEmpty()) {
            QVector<qint64> sorted = m_VirtualMs;
            std::sort(sorted.begin(), sorted.end());
            std::printf("  unit time per update: median %.1f s, max %.1f s\n",
                        sorted[sorted.size() / 2] / 1000.0, sorted.last() / 1000.0);
        }
        std::fflush(stdout);
    }

private:
    int m_Runs = 0;
    QMap<int, int> m_Outcomes;
    struct SFailureText
    {
        int count = 0;
        quint32 firstRun = 0;
    };
    QMap<QString, SFailureText> m_FailureTexts;
    int m_Faults[7] = {};
    QVector<qint64> m_VirtualMs;
};

// Seeded faults of every kind at rates a bad cable or a busy unit might show. An update has
// hundreds of acknowledged requests but only a handful of replies, so reply faults get
// higher rates.
SDevSimFaults randomFaults(std::mt19937& rng)
{
    auto pick = [&](std::initializer_list<double> rates) {
        SDevSimFault fault;
        fault.probability = *(rates.begin() + rng() % rates.size());
        return fault;
    };
    const auto link = {0.0, 0.002, 0.01, 0.03};
    const auto reply = {0.0, 0.05, 0.15, 0.3};
    SDevSimFaults faults;
    faults.strayBytes = pick(link);
    faults.corruptCrc = pick(reply); // the unit corrupts replies only
    faults.lostAck = pick(link);
    faults.slowReply = pick(reply);
    faults.debugMessage = pick(reply);
    faults.wrongId = pick(reply);
    faults.wrongLength = pick(reply);
    // Either side of the tool's silence limit of 1000 polls.
    faults.slowDelayMs = 900 + int(rng() % 250);
    return faults;
}

} // namespace

class tst_UpdateSoak : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void faultSoak();
    void unplugSweep_data();
    void unplugSweep();
};

void tst_UpdateSoak::init()
{
    // The dialog's message boxes and the application-running hints are answered with OK.
    setMessageBoxHook([](const SMessageBox&) { return QMessageBox::Ok; });
}

void tst_UpdateSoak::faultSoak()
{
    const int runs = envInt("VENTARO_SOAK_RUNS", longSoak() ? 200 : 20);
    const quint32 firstSeed = quint32(envInt("VENTARO_SOAK_SEED", 1));
    SoakTable table;
    QStringList bad;
    // Unit time of an update without faults, per kind of unit.
    QMap<const SUnitKind*, qint64> cleanMs;
    for (const SUnitKind& kind : unitKinds()) {
        UpdateRig rig(bootUnit(kind.plus, kind.applSub), {}, behaviourOf(kind));
        PortFollower follower(*rig.t->enumerator, *rig.wire, rig.sim, kPort);
        const SRunResult r = runUpdate(rig, kind);
        QVERIFY2(r.outcome == EOutcome::Updated, qPrintable(r.detail));
        cleanMs.insert(&kind, r.virtualMs);
    }
    for (int run = 0; run < runs; ++run) {
        const quint32 seed = firstSeed + quint32(run);
        std::mt19937 rng(seed);
        const SUnitKind& kind = unitKinds()[int(rng() % unitKinds().size())];
        UpdateRig rig(bootUnit(kind.plus, kind.applSub), {}, behaviourOf(kind));
        PortFollower follower(*rig.t->enumerator, *rig.wire, rig.sim, kPort);
        QCOMPARE(rig.d().state(), int(EStateReady));
        rig.sim.engine().setFaults(randomFaults(rng), seed);

        const SRunResult r = runUpdate(rig, kind);
        table.add(r, seed);
        table.addFaults(rig.sim.engine().stats());
        if (r.outcome != EOutcome::Updated && r.outcome != EOutcome::Failed)
            bad << QStringLiteral("seed %1 (%2): %3 %4")
                       .arg(seed)
                       .arg(QLatin1String(kind.name), QLatin1String(outcomeName(r.outcome)),
                            r.detail);
        // Each fault costs at most one failed attempt (a silence limit, a write retry, the
        // unit's reply resend); identifying a returning unit takes up to three 10-s windows.
        const qint64 limit =
            cleanMs.value(&kind) + kMaxMsPerFault * rig.sim.engine().stats().faults + 30000;
        if (r.virtualMs > limit)
            bad << QStringLiteral("seed %1 (%2): %3 ms, more than the %4 ms the faults explain")
                       .arg(seed)
                       .arg(QLatin1String(kind.name))
                       .arg(r.virtualMs)
                       .arg(limit);
    }
    table.print("fault soak");
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
    // The faults are mild enough that most updates go through.
    QVERIFY(table.count(EOutcome::Updated) > runs / 2);
}

void tst_UpdateSoak::unplugSweep_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("stride");
    // Every request of a plus update in the long soak; the 100-series bridge path (with its
    // reboot pause and slow WiFi upload) by a sample.
    QTest::addRow("plus") << 0 << (longSoak() ? 1 : 23);
    QTest::addRow("100 bridge") << 2 << (longSoak() ? 7 : 97);
}

// The cable is pulled at request i of an update and plugged in again half a second later:
// the update fails and says so, the unit is identified again, and a second update writes
// everything correctly. Stops at the first i the update gets through without meeting the
// pulled cable.
void tst_UpdateSoak::unplugSweep()
{
    QFETCH(int, kind);
    QFETCH(int, stride);
    const SUnitKind& unit = unitKinds()[kind];
    SDevSimBehaviour behaviour = behaviourOf(unit);
    behaviour.replugAfterMs = 500;
    SoakTable first, second;
    QStringList bad;
    int powerCycled = 0;
    for (int i = 0;; i += stride) {
        UpdateRig rig(bootUnit(unit.plus, unit.applSub), {}, behaviour);
        PortFollower follower(*rig.t->enumerator, *rig.wire, rig.sim, kPort);
        SDevSimFaults faults;
        faults.unplugAfterPackets = rig.sim.engine().requests() + i;
        rig.sim.engine().setFaults(faults, 1);

        const SRunResult r = runUpdate(rig, unit);
        if (rig.sim.engine().stats().cablePulls == 0) {
            QCOMPARE(r.outcome, EOutcome::Updated);
            break; // past the last request
        }
        first.add(r, quint32(i));           // the request the cable was pulled at
        if (r.outcome == EOutcome::Updated) // the pull fell into a step that recovers
            continue;
        if (r.outcome != EOutcome::Failed) {
            bad << QStringLiteral("request %1: %2 %3")
                       .arg(i)
                       .arg(QLatin1String(outcomeName(r.outcome)), r.detail);
            continue;
        }
        // The unit returns and is identified again. When it came back while the failing step
        // still ran, the technician switches it off and on, as the failure text asks.
        auto ready = [&] { return rig.d().state() == EStateReady && !rig.d().updateRunning(); };
        if (!QTest::qWaitFor(ready, 100)) {
            ++powerCycled;
            rig.sim.powerCycle(*rig.wire);
            if (!QTest::qWaitFor(ready, 20000)) {
                bad << QStringLiteral("request %1: state %2 after the unit returned")
                           .arg(i)
                           .arg(rig.d().state());
                continue;
            }
        }
        const SRunResult again = runUpdate(rig, unit);
        second.add(again);
        if (again.outcome != EOutcome::Updated)
            bad << QStringLiteral("request %1, second update: %2 %3")
                       .arg(i)
                       .arg(QLatin1String(outcomeName(again.outcome)), again.detail);
    }
    first.print(qPrintable(QStringLiteral("unplug sweep %1, first update").arg(unit.name)));
    second.print(qPrintable(QStringLiteral("unplug sweep %1, second update").arg(unit.name)));
    std::printf("  switched off and on before the second update: %d\n", powerCycled);
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QLatin1Char('\n'))));
    QVERIFY(first.count(EOutcome::Failed) > 0);
}

QTEST_MAIN(tst_UpdateSoak)
#include "tst_updatesoak.moc"
