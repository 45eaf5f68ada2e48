// Arbitrary device replies to the log requests of both models, through the packet trains and
// the text reports. The replies are framed correctly (valid CRC), so the input reaches the
// record checks rather than the packet parser.
//
// Input: byte 0 chooses the model (bit 0), the operation (bits 1-2: primary report, secondary
// report, secondary log read) and, for the reports, the span and flags (bits 3-7). The rest is
// a list of reply payloads, each a length byte (taken modulo 201) followed by that many bytes.
// Every packet the tool sends (request or acknowledgement) is answered with the next payload.
#include "device/fan.h"
#include "device/fan_70_pc.h"
#include "device/seclogentry.h"
#include "link/llprotocolpacket.h"
#include "link/loopbackwire.h"

#include "fuzzsupport.h"

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <memory>

namespace {
QByteArray wireBytes(CLLProtocolPacket& packet)
{
    QByteArray out;
    UINT16 len = 0;
    for (int i = 0; const UINT8* chunk = packet.GetChunk(i, len); ++i)
        out.append(reinterpret_cast<const char*>(chunk), len);
    return out;
}

class ReplayPeer : public CLoopbackPeer
{
public:
    QVector<QByteArray> replies;

    void hostSent(CLoopbackWire& wire, const QByteArray& bytes) override
    {
        UINT16 left = UINT16(bytes.size());
        while (left > 0) {
            const UINT16 before = left;
            m_Rx.PacketFromBuffer(bytes.constData() + (bytes.size() - left), left);
            if (!m_Rx.IsComplete()) {
                if (left == before)
                    break;
                continue;
            }
            const bool isAck = m_Rx.IsAck();
            const bool wantsAck = !m_Rx.IsNoAckExpected();
            m_Rx.Reset();
            if (!isAck && wantsAck) {
                CLLProtocolPacket ack;
                ack.SetPacket(LLC_HLP, false, true, false, 0, nullptr);
                wire.deliver(wireBytes(ack));
            }
            if (m_Next < replies.size()) {
                CLLProtocolPacket reply;
                const QByteArray& r = replies[m_Next++];
                reply.SetPacket(LLC_HLP, false, false, false, UINT16(r.size()), r.constData());
                wire.deliver(wireBytes(reply));
            }
        }
    }

private:
    CLLProtocolPacket m_Rx;
    int m_Next = 0;
};

template <typename Model>
void run(ReplayPeer& peer, int op, int spanAndFlags)
{
    Model fan;
    fan.connectWire(std::make_unique<CLoopbackWire>(&peer));
    const auto span = CLogging::EMaxTimeSpan(spanAndFlags % 4); // 3 is not a span
    const int flags = spanAndFlags / 4;
    switch (op) {
    case 0:
        (void)fan.getPrimaryLog();
        break;
    case 1:
        (void)fan.secLogReport(span, flags & 1, flags & 2, flags & 4, flags & 8, "x");
        break;
    default: {
        UINT16 size[3], used[3], oldest[3];
        (void)fan.getSecLogCnt(size, used, oldest);
        (void)fan.secLogReport(span, false, false, false, false, QString());
        break;
    }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();
    if (size < 1)
        return 0;
    const int selector = data[0];
    ReplayPeer peer;
    size_t pos = 1;
    while (pos < size && peer.replies.size() < 64) {
        const int len = data[pos++] % (CLLProtocolPacket::kMaxDataLen + 1);
        QByteArray payload(len, '\0');
        for (int i = 0; i < len && pos < size; ++i)
            payload[i] = char(data[pos++]);
        peer.replies << payload;
    }
    const int op = (selector >> 1) & 3;
    const int spanAndFlags = selector >> 3;
    if (selector & 1)
        run<CFan_70_PC>(peer, op, spanAndFlags);
    else
        run<CFan>(peer, op, spanAndFlags);
    return 0;
}
