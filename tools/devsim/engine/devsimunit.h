#pragma once

#include "devsimconfig.h"
#include "devsimflash.h"
#include "devsimrecords.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>
#include <functional>

// One secondary-log ring: `size` slots, `used` of them filled, the oldest at slot `oldest`.
struct SDevSimSecRing
{
    UINT16 size = 0;
    UINT16 used = 0;
    UINT16 oldest = 0;
    QVector<QByteArray> slots; // `size` entries of 32 bytes
};

// Statistics of one vent (flap) as the unit counts them.
struct SDevSimVentStats
{
    UINT32 speedSumOpen = 0;
    UINT32 speedSumClose = 0;
    UINT8 stops = 0;        // 0-15
    UINT8 shakeLoose = 0;   // 0-15
    UINT8 runTimeOpen = 0;  // x 0.25 s
    UINT8 runTimeClose = 0; // x 0.25 s
    UINT16 maxIMean = 0;
    int moves = 0;
};

// The high-level side of the simulated unit: its state and the answer to every request code.
// It knows nothing of framing or acknowledgements (CDevSimEngine does that): `handle` takes the
// data of one request packet and says whether to acknowledge it and which reply payloads to
// send, in order, each waiting for the tool's acknowledgement of the previous one.
class CDevSimUnit
{
public:
    struct SOutcome
    {
        bool ack = true;             // acknowledge the request
        QVector<QByteArray> replies; // reply payloads (data of command-1 packets)
        int rebootAfterMs = -1;      // power cycle this long after the replies are through
    };

    explicit CDevSimUnit(const SDevSimIdentity& identity = {},
                         const SDevSimBehaviour& behaviour = {});

    // `flags` are the request packet's link-layer flags (LLF_APP marks encrypted chunks).
    SOutcome handle(const UINT8* data, UINT16 len, UINT8 flags, qint64 nowMs);
    // The software restarts as the behaviour says; an upload in progress is lost.
    void powerCycle(qint64 nowMs);

    // Diagnostic lines (one per request, violations); none when unset.
    void setLogger(std::function<void(const QString&)> logger) { m_Log = std::move(logger); }

    // --- state, readable and settable by the owner (tests, command line) ---
    // The identity as reported now. Bootloader versions are kept per copy: change them with
    // setBootVersion, not through identity(), or a swap brings back the old value.
    const SDevSimIdentity& identity() const { return m_Id; }
    SDevSimIdentity& identity() { return m_Id; }
    SDevSimBehaviour& behaviour() { return m_Behaviour; }
    // Version of a bootloader copy (1 or 2) as main * 100 + sub.
    int bootVersion(int copy) const;
    void setBootVersion(int copy, UINT8 mainVer, UINT8 subVer);
    QVector<UINT32>& counters() { return m_Counters; }
    SDevSimLive& live() { return m_Live; }
    QVector<QByteArray>& primaryLog() { return m_PrimLog; }
    SDevSimSecRing& secRing(int span) { return m_SecRings[size_t(span)]; }
    // Rebuilds a ring with generated entries (see devsim::makeSecEntry for their marks).
    void fillSecRing(int span, UINT16 size, UINT16 used, UINT16 oldest);
    // Fills the primary log with `count` generated entries around the current state.
    void fillPrimaryLog(int count);
    void setSecLogCheckResult(int span, UINT8 result) { m_SecCheck[size_t(span)] = result; }
    SDevSimVentStats& ventStats(int vent) { return m_Vents[size_t(vent)]; }
    qint8& rssi() { return m_Rssi; }
    // Device clock at boot time, in ms; the timer reports this plus the time since boot.
    void setClockMs(qint64 ms, qint64 nowMs);
    qint64 clockMs(qint64 nowMs) const { return m_ClockAtBoot + (nowMs - m_BootAt); }
    UINT8 startupMode() const { return m_StartupMode; }
    int startRequests() const { return m_StartRequests; }
    const QByteArray& lastSimulation() const { return m_LastSimulation; }
    int simulationCount() const { return m_SimulationCount; }
    const QByteArray& networkCredentials() const { return m_Credentials; }
    const CDevSimFlash& flash() const { return m_Flash; }
    int requestCount(UINT8 code) const { return m_RequestCounts[code]; }
    int powerCycles() const { return m_PowerCycles; }

    // Bad input seen by the unit or its link; kept with the flash violations.
    void recordViolation(const QString& text);

    // The records as the unit would report them now.
    QByteArray identRecord() const;
    QByteArray currentStateRecord() const;

private:
    void log(const QString& line) const;
    bool bootloaderRuns() const { return m_Id.partner == 1 || m_Id.partner == 2; }
    void applySimulation(const UINT8* d, UINT16 len);
    void react();
    void adoptFlashed(const SDevSimFlashedImage& image, SOutcome& out);

    void replyCounters(SOutcome& out) const;
    void replyPrimLog(SOutcome& out) const;
    void replySecLog(const UINT8* d, UINT16 len, SOutcome& out) const;
    void replyPartitionTable(SOutcome& out) const;
    void replyMemory(const UINT8* d, UINT16 len, SOutcome& out) const;
    void replyTimer(qint64 nowMs, SOutcome& out) const;
    void replyCounter(const UINT8* d, UINT16 len, SOutcome& out);
    void replyVentInfo(SOutcome& out) const;
    void swapBootloaders(SOutcome& out);
    void handleFlash(UINT8 code, const UINT8* d, UINT16 len, UINT8 flags, SOutcome& out);

    SDevSimIdentity m_Id;
    SDevSimBehaviour m_Behaviour;
    std::array<int, 3> m_BootVer{}; // index 1 and 2: main * 100 + sub
    QVector<UINT32> m_Counters;
    SDevSimLive m_Live;
    QVector<QByteArray> m_PrimLog;
    std::array<SDevSimSecRing, 3> m_SecRings;
    std::array<UINT8, 3> m_SecCheck{};
    std::array<SDevSimVentStats, 4> m_Vents;
    qint8 m_Rssi = -58;
    qint64 m_ClockAtBoot = 0;
    qint64 m_BootAt = 0;
    UINT8 m_StartupMode = 0;
    int m_StartRequests = 0;
    QByteArray m_LastSimulation;
    int m_SimulationCount = 0;
    QByteArray m_Credentials;
    CDevSimFlash m_Flash;
    std::array<int, 256> m_RequestCounts{};
    int m_PowerCycles = 0;
    std::function<void(const QString&)> m_Log;
};
