#pragma once

#include "devsimconfig.h"
#include "devsimunit.h"

#include "link/llprotocolpacket.h"

#include <QByteArray>
#include <QVector>

#include <deque>
#include <functional>
#include <random>

// Bytes the unit writes to the tool, due at a time in ms.
struct SDevSimOutput
{
    qint64 at = 0;
    QByteArray bytes;
};

// The link side of the simulated unit: a byte-stream state machine that is independent of
// transport and clock. It is fed the tool's bytes and told the time (ms); it produces the
// bytes for the tool, each with the time it is due.
//
// Link behaviour: every correct packet without LLF_NO_ACK is acknowledged (ten bytes, same
// command, LLF_ACK, CRC 0xFFFF) unless the bootloader refuses a flash step; replies go out
// one packet at a time, the next only after the tool acknowledged the previous one. An
// unacknowledged reply is sent again after devsim::kReplyAckTimeoutMs, at most
// devsim::kReplyResends times, then given up; a new request also ends the wait. Corrupt
// packets from the tool are dropped without acknowledgement.
//
// Presence: the unit's port can go away (power cycle, unplug fault) and come back; the
// transport asks present() and closes or re-announces its port accordingly.
class CDevSimEngine
{
public:
    explicit CDevSimEngine(const SDevSimIdentity& identity = {},
                           const SDevSimBehaviour& behaviour = {});

    CDevSimUnit& unit() { return m_Unit; }
    const CDevSimUnit& unit() const { return m_Unit; }
    void setFaults(const SDevSimFaults& faults, quint32 seed);
    // One line per request and per link event; none when unset.
    void setLogger(std::function<void(const QString&)> logger);

    // The tool's bytes, arrived at nowMs.
    void hostBytes(const UINT8* data, int len, qint64 nowMs);
    void hostBytes(const QByteArray& bytes, qint64 nowMs)
    {
        hostBytes(reinterpret_cast<const UINT8*>(bytes.constData()), bytes.size(), nowMs);
    }
    // Runs every timer due up to nowMs (resends, power cycles, a stalled receive).
    void advanceTo(qint64 nowMs);
    // Time of the next timer, or -1 when none is armed.
    qint64 nextTimerAt() const;
    // Output produced so far, in due order; the caller writes each at its time.
    QVector<SDevSimOutput> takeOutput();

    // Whether the port exists. It disappears on a power cycle for the reboot pause and on
    // the unplug fault (for good or for the replug delay).
    bool present() const { return m_Present; }
    // Requests answered so far (the unplug fault counts against this).
    int requests() const { return m_Requests; }
    // Counts every disappearance, so a transport notices one it did not see happen.
    int absences() const { return m_Absences; }
    // The user switches the unit off and on: port away for the reboot pause, then the
    // software a restart runs answers.
    void powerCycle(qint64 nowMs);

    struct SStats
    {
        int packets = 0; // correct packets from the tool (ACKs included)
        int corrupt = 0; // packets from the tool with a wrong CRC
        int acksSent = 0;
        int repliesSent = 0; // reply transmissions, resends included
        int resends = 0;
        int repliesDropped = 0;  // given up or superseded by a new request
        int repeatsAnswered = 0; // a request repeated while its reply was unacknowledged
        int faults = 0;          // faults injected in all
        int cablePulls = 0;      // by the unplug fault
        // Faults injected, by kind (as in SDevSimFaults).
        int strayBytes = 0;
        int corruptCrc = 0;
        int lostAck = 0;
        int slowReply = 0;
        int debugMessage = 0;
        int wrongId = 0;
        int wrongLength = 0;
    };
    const SStats& stats() const { return m_Stats; }

private:
    struct SPending
    {
        QByteArray request; // the request they answer
        QVector<QByteArray> replies;
        int next = 0;         // index of the reply in flight
        int sends = 0;        // transmissions of the reply in flight
        qint64 deadline = -1; // when to give up waiting for its acknowledgement
        int rebootAfterMs = -1;
    };

    void log(const QString& line) const;
    bool fire(SDevSimFault& fault, int& tally);
    void emitBytes(qint64 at, const QByteArray& bytes);
    void emitPacket(qint64 at, UINT8 cmd, UINT8 flags, const QByteArray& data, bool corruptCrc);
    void sendAck(UINT8 cmd, qint64 at);
    void sendReply(qint64 at);
    void packetComplete(qint64 nowMs);
    void requestArrived(const CLLProtocolPacket& packet, qint64 nowMs);
    void trainFinished(qint64 nowMs);
    void goAway(qint64 nowMs, qint64 returnAt, bool restart);
    void resetLink();

    CDevSimUnit m_Unit;
    SDevSimFaults m_Faults;
    std::mt19937 m_Rng{1};
    std::function<void(const QString&)> m_Log;

    CLLProtocolPacket m_Rx;
    qint64 m_LastRxAt = 0;
    SPending m_Pending;
    bool m_Waiting = false;
    std::deque<SDevSimOutput> m_Out;

    bool m_Present = true;
    int m_Absences = 0;
    qint64 m_ReturnAt = -1; // when an absent port comes back (-1: never)
    bool m_RestartOnReturn = false;
    qint64 m_RebootAt = -1; // scheduled power cycle
    int m_Requests = 0;
    SStats m_Stats;
};
