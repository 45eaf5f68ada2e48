#include "scriptedpeer.h"

QByteArray wirePacket(UINT8 cmd, UINT8 flags, const QByteArray& data)
{
    QByteArray out("tolv");
    out.append(char(cmd));
    out.append(char(flags));
    out.append(char(data.size() & 0xFF));
    out.append(char((data.size() >> 8) & 0xFF));
    out.append(data);
    const UINT16 crc = CLLProtocolPacket::CalcCrc16(data.constData(), UINT32(data.size()));
    out.append(char(crc & 0xFF));
    out.append(char(crc >> 8));
    return out;
}

QByteArray ackPacket(UINT8 cmd)
{
    return wirePacket(cmd, LLF_ACK, {});
}

QByteArray hlpReply(UINT8 code, const QByteArray& payload)
{
    return wirePacket(LLC_HLP, 0, QByteArray(1, char(code)) + payload);
}

QByteArray debugTextPacket(const QByteArray& text, bool terminate)
{
    QByteArray data(1, char(2));
    data += text;
    if (terminate)
        data.append('\0');
    return wirePacket(LLC_DEBUG, 0, data);
}

QByteArray debugNumberPacket(qint32 number)
{
    QByteArray data(5, 0);
    data[0] = 1;
    le::put32(reinterpret_cast<UINT8*>(data.data()) + 1, UINT32(number));
    return wirePacket(LLC_DEBUG, 0, data);
}

void ScriptedPeer::hostSent(CLoopbackWire& wire, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    UINT16 left = UINT16(bytes.size());
    while (left > 0) {
        const UINT16 before = left;
        m_Packet.PacketFromBuffer(p + (bytes.size() - left), left);
        if (!m_Packet.IsComplete()) {
            if (left == before)
                break;
            continue;
        }
        HostPacket packet;
        packet.cmd = m_Packet.Cmd();
        packet.flags = m_Packet.Flags();
        packet.data =
            QByteArray(reinterpret_cast<const char*>(m_Packet.Data()), m_Packet.DataLen());
        packet.crcOk =
            m_Packet.GetReadState() == CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_CORRECT;
        packet.at = wire.now();
        m_Packet.Reset();
        received << packet;
        if (autoAck && packet.crcOk && !packet.isAck() && !(packet.flags & LLF_NO_ACK))
            wire.deliver(ackPacket(packet.cmd));
        if (onPacket)
            onPacket(wire, packet);
    }
}

int ScriptedPeer::countCode(UINT8 code) const
{
    int n = 0;
    for (const auto& p : received)
        n += (!p.isAck() && p.code() == code) ? 1 : 0;
    return n;
}

int ScriptedPeer::acksReceived() const
{
    int n = 0;
    for (const auto& p : received)
        n += p.isAck() ? 1 : 0;
    return n;
}
