#include "devsimengine.h"

#include <algorithm>

namespace {
constexpr UINT8 kSyncFirst = 't'; // a stray byte must not start a false sync pattern
constexpr int kMaxStrayBytes = 3;
constexpr qint32 kDebugNumber = -4711;

QByteArray toWire(CLLProtocolPacket& packet)
{
    QByteArray out;
    for (int chunk = 0;; ++chunk) {
        UINT16 len = 0;
        const UINT8* p = packet.GetChunk(chunk, len);
        if (!p)
            break;
        out.append(reinterpret_cast<const char*>(p), len);
    }
    return out;
}
} // namespace

bool SDevSimFault::parse(const QString& text, SDevSimFault& out)
{
    bool ok = false;
    const QString t = text.trimmed();
    if (t.contains(QLatin1Char('.')) || t == QLatin1String("0")) {
        const double p = t.toDouble(&ok);
        if (!ok || p < 0.0 || p > 1.0)
            return false;
        out.probability = p;
        out.count = 0;
        return true;
    }
    const int n = t.toInt(&ok);
    if (!ok || n < 0)
        return false;
    out.probability = 0.0;
    out.count = n;
    return true;
}

CDevSimEngine::CDevSimEngine(const SDevSimIdentity& identity, const SDevSimBehaviour& behaviour)
    : m_Unit(identity, behaviour)
{}

void CDevSimEngine::setFaults(const SDevSimFaults& faults, quint32 seed)
{
    m_Faults = faults;
    m_Rng.seed(seed);
}

void CDevSimEngine::setLogger(std::function<void(const QString&)> logger)
{
    m_Log = logger;
    m_Unit.setLogger(std::move(logger));
}

void CDevSimEngine::log(const QString& line) const
{
    if (m_Log)
        m_Log(line);
}

bool CDevSimEngine::fire(SDevSimFault& fault, int& tally)
{
    bool hit = false;
    if (fault.count > 0) {
        --fault.count;
        hit = true;
    } else if (fault.probability > 0.0) {
        hit = std::uniform_real_distribution<double>(0.0, 1.0)(m_Rng) < fault.probability;
    }
    if (hit) {
        ++m_Stats.faults;
        ++tally;
    }
    return hit;
}

void CDevSimEngine::emitBytes(qint64 at, const QByteArray& bytes)
{
    // Keep due order; equal times keep their order of production.
    auto pos = std::upper_bound(m_Out.begin(), m_Out.end(), at,
                                [](qint64 t, const SDevSimOutput& o) { return t < o.at; });
    m_Out.insert(pos, SDevSimOutput{at, bytes});
}

void CDevSimEngine::emitPacket(qint64 at, UINT8 cmd, UINT8 flags, const QByteArray& data,
                               bool corruptCrc)
{
    if (fire(m_Faults.strayBytes, m_Stats.strayBytes)) {
        const int n = 1 + int(m_Rng() % kMaxStrayBytes);
        QByteArray noise;
        for (int i = 0; i < n; ++i) {
            UINT8 b = UINT8(m_Rng());
            noise.append(char(b == kSyncFirst ? b + 1 : b));
        }
        log(QStringLiteral("fault: %1 stray bytes").arg(n));
        emitBytes(at, noise);
    }
    CLLProtocolPacket packet;
    packet.SetPacket(cmd, flags & LLF_APP, flags & LLF_ACK, flags & LLF_REPEAT, UINT16(data.size()),
                     data.isEmpty() ? nullptr : data.constData());
    QByteArray wire = toWire(packet);
    if (corruptCrc && wire.size() >= 2)
        wire[wire.size() - 1] = char(wire[wire.size() - 1] ^ 0x5A);
    emitBytes(at, wire);
}

void CDevSimEngine::sendAck(UINT8 cmd, qint64 at)
{
    if (fire(m_Faults.lostAck, m_Stats.lostAck)) {
        log(QStringLiteral("fault: acknowledgement lost"));
        return;
    }
    ++m_Stats.acksSent;
    emitPacket(at, cmd, LLF_ACK, {}, false);
}

void CDevSimEngine::sendReply(qint64 at)
{
    QByteArray data = m_Pending.replies[m_Pending.next];
    if (m_Pending.sends > 0) {
        ++m_Stats.resends;
        log(QStringLiteral("reply %1 sent again").arg(UINT8(data[0])));
    } else {
        if (fire(m_Faults.slowReply, m_Stats.slowReply)) {
            at += m_Faults.slowDelayMs;
            log(QStringLiteral("fault: reply %1 ms late").arg(m_Faults.slowDelayMs));
        }
        if (fire(m_Faults.wrongId, m_Stats.wrongId)) {
            data[0] = char(UINT8(data[0]) + 1);
            log(QStringLiteral("fault: reply with id %1").arg(0x100 + UINT8(data[0]), 0, 16));
        }
        if (data.size() > 1 && fire(m_Faults.wrongLength, m_Stats.wrongLength)) {
            data.chop(1);
            log(QStringLiteral("fault: reply of %1 bytes").arg(data.size()));
        }
        // A faulty reply stays faulty when it is sent again.
        m_Pending.replies[m_Pending.next] = data;
    }
    if (fire(m_Faults.debugMessage, m_Stats.debugMessage)) {
        QByteArray text(1, char(2));
        text += QByteArrayLiteral("devsim: reply ") + QByteArray::number(UINT8(data[0])) + "\n";
        text.append('\0');
        emitPacket(at, LLC_DEBUG, 0, text, false);
        QByteArray number(5, '\0');
        number[0] = 1;
        le::put32(reinterpret_cast<UINT8*>(number.data()) + 1, UINT32(kDebugNumber));
        emitPacket(at, LLC_DEBUG, 0, number, false);
        log(QStringLiteral("fault: debug messages before the reply"));
    }
    const bool corrupt = fire(m_Faults.corruptCrc, m_Stats.corruptCrc);
    if (corrupt)
        log(QStringLiteral("fault: reply with a corrupt CRC"));
    emitPacket(at, LLC_HLP, 0, data, corrupt);
    ++m_Stats.repliesSent;
    ++m_Pending.sends;
    m_Pending.deadline = at + devsim::kReplyAckTimeoutMs;
    m_Waiting = true;
}

void CDevSimEngine::trainFinished(qint64 nowMs)
{
    const int reboot = m_Pending.rebootAfterMs;
    m_Pending = SPending{};
    m_Waiting = false;
    if (reboot >= 0)
        m_RebootAt = nowMs + reboot;
}

void CDevSimEngine::hostBytes(const UINT8* data, int len, qint64 nowMs)
{
    advanceTo(nowMs);
    if (!data || len <= 0 || !m_Present)
        return;
    m_LastRxAt = nowMs;
    int used = 0;
    while (used < len) {
        UINT16 left = UINT16(std::min(len - used, 0xFFFF));
        const UINT16 before = left;
        m_Rx.PacketFromBuffer(data + used, left);
        used += before - left;
        if (m_Rx.IsComplete())
            packetComplete(nowMs);
        else if (left == before)
            break; // nothing consumed: cannot happen with a non-empty buffer, but never spin
        if (!m_Present)
            return;
    }
}

void CDevSimEngine::packetComplete(qint64 nowMs)
{
    CLLProtocolPacket packet = m_Rx;
    m_Rx.Reset();
    if (packet.GetReadState() != CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_CORRECT) {
        ++m_Stats.corrupt;
        m_Unit.recordViolation(
            QStringLiteral("corrupt packet from the tool (command %1, %2 bytes): not acknowledged")
                .arg(packet.Cmd())
                .arg(packet.DataLen()));
        return;
    }
    ++m_Stats.packets;
    if (packet.IsAck()) {
        if (!m_Waiting) {
            log(QStringLiteral("acknowledgement without a reply in flight ignored"));
            return;
        }
        ++m_Pending.next;
        m_Pending.sends = 0;
        if (m_Pending.next < m_Pending.replies.size())
            sendReply(nowMs + m_Unit.behaviour().replyLatencyMs);
        else
            trainFinished(nowMs);
        return;
    }
    requestArrived(packet, nowMs);
}

void CDevSimEngine::requestArrived(const CLLProtocolPacket& packet, qint64 nowMs)
{
    if (m_Faults.unplugAfterPackets > 0 && m_Requests >= m_Faults.unplugAfterPackets) {
        log(QStringLiteral("fault: cable pulled after %1 requests").arg(m_Requests));
        const int replug = m_Unit.behaviour().replugAfterMs;
        m_Faults.unplugAfterPackets = 0;
        ++m_Stats.cablePulls;
        goAway(nowMs, replug >= 0 ? nowMs + replug : -1, false);
        return;
    }
    ++m_Requests;
    const QByteArray request(reinterpret_cast<const char*>(packet.Data()), packet.DataLen());
    if (m_Waiting && packet.Cmd() == LLC_HLP && !request.isEmpty() &&
        request == m_Pending.request && m_Pending.next == 0) {
        // The tool missed the acknowledgement and took the reply for something else: the same
        // request again is a repeat. It is acknowledged and answered again, not carried out
        // twice (a second swap would undo the first).
        ++m_Stats.repeatsAnswered;
        log(QStringLiteral("request %1 repeated; answered again").arg(UINT8(request[0])));
        if (!packet.IsNoAckExpected())
            sendAck(packet.Cmd(), nowMs);
        sendReply(nowMs + m_Unit.behaviour().replyLatencyMs);
        return;
    }
    if (m_Waiting) {
        ++m_Stats.repliesDropped;
        log(QStringLiteral("reply %1 not acknowledged; dropped for a new request")
                .arg(UINT8(m_Pending.replies[m_Pending.next][0])));
        trainFinished(nowMs);
    }
    if (packet.Cmd() != LLC_HLP) {
        log(QStringLiteral("packet on channel %1 ignored").arg(packet.Cmd()));
        if (!packet.IsNoAckExpected())
            sendAck(packet.Cmd(), nowMs);
        return;
    }
    CDevSimUnit::SOutcome out =
        m_Unit.handle(packet.Data(), packet.DataLen(), packet.Flags(), nowMs);
    if (out.ack && !packet.IsNoAckExpected())
        sendAck(packet.Cmd(), nowMs);
    if (!out.replies.isEmpty()) {
        m_Pending.request = request;
        m_Pending.replies = out.replies;
        m_Pending.rebootAfterMs = out.rebootAfterMs;
        sendReply(nowMs + m_Unit.behaviour().replyLatencyMs);
    } else if (out.rebootAfterMs >= 0) {
        m_RebootAt = nowMs + out.rebootAfterMs;
    }
}

qint64 CDevSimEngine::nextTimerAt() const
{
    qint64 next = -1;
    auto take = [&next](qint64 t) {
        if (t >= 0 && (next < 0 || t < next))
            next = t;
    };
    if (!m_Present) {
        take(m_ReturnAt);
        return next;
    }
    take(m_RebootAt);
    if (m_Waiting)
        take(m_Pending.deadline);
    if (m_Rx.GetReadState() != CLLProtocolPacket::RS_READING_NOT_STARTED)
        take(m_LastRxAt + devsim::kRxStallResetMs);
    return next;
}

void CDevSimEngine::advanceTo(qint64 nowMs)
{
    for (;;) {
        const qint64 t = nextTimerAt();
        if (t < 0 || t > nowMs)
            return;
        if (!m_Present) {
            m_Present = true;
            m_ReturnAt = -1;
            resetLink();
            if (m_RestartOnReturn)
                m_Unit.powerCycle(t);
            log(QStringLiteral("port back"));
            continue;
        }
        if (m_RebootAt >= 0 && m_RebootAt <= t) {
            log(QStringLiteral("power cycle"));
            goAway(t, t + m_Unit.behaviour().rebootPauseMs, true);
            continue;
        }
        if (m_Waiting && m_Pending.deadline <= t) {
            if (m_Pending.sends <= devsim::kReplyResends) {
                sendReply(t);
            } else {
                ++m_Stats.repliesDropped;
                log(QStringLiteral("reply %1 never acknowledged; given up")
                        .arg(UINT8(m_Pending.replies[m_Pending.next][0])));
                trainFinished(t);
            }
            continue;
        }
        // A packet stalled half-way: the rest is not coming.
        log(QStringLiteral("incomplete packet from the tool discarded (%1 bytes)")
                .arg(m_Rx.BytesRead()));
        m_Rx.Reset();
    }
}

void CDevSimEngine::goAway(qint64 nowMs, qint64 returnAt, bool restart)
{
    (void)nowMs;
    m_Present = false;
    ++m_Absences;
    m_ReturnAt = returnAt;
    m_RestartOnReturn = restart;
    m_RebootAt = -1;
    resetLink();
    m_Out.clear();
}

void CDevSimEngine::resetLink()
{
    m_Rx.Reset();
    m_Pending = SPending{};
    m_Waiting = false;
}

void CDevSimEngine::powerCycle(qint64 nowMs)
{
    advanceTo(nowMs);
    log(QStringLiteral("power cycle requested"));
    if (!m_Present) {
        // Already away: it comes back as a restarted unit.
        m_RestartOnReturn = true;
        if (m_ReturnAt < 0)
            m_ReturnAt = nowMs + m_Unit.behaviour().rebootPauseMs;
        return;
    }
    goAway(nowMs, nowMs + m_Unit.behaviour().rebootPauseMs, true);
}

QVector<SDevSimOutput> CDevSimEngine::takeOutput()
{
    QVector<SDevSimOutput> out(m_Out.begin(), m_Out.end());
    m_Out.clear();
    return out;
}
