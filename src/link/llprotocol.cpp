#include "llprotocol.h"

#include "debugmessage.h"
#include "llprotocolwire.h"

#include <QDebug>

CLLProtocol::EReturnCode CLLProtocol::RecSinglePacketNoAck(CLLProtocolPacket& packet,
                                                           UINT16 timeout)
{
    m_WaitedMs = 0;
    return receivePacket(packet, timeout);
}

CLLProtocol::EReturnCode CLLProtocol::receivePacket(CLLProtocolPacket& packet, UINT16 timeout)
{
    packet.Reset();
    UINT16 idle = 0;
    while (idle < timeout) {
        if (limitReached()) {
            qDebug() << "Exchange given up after" << m_WaitedMs << "ms of waiting.";
            break;
        }
        if (m_Wire.Lost()) {
            qDebug() << "The port is gone.";
            break;
        }
        m_Wire.WaitReadable(kPollSleepMs);
        m_WaitedMs += kPollSleepMs;
        UINT16 len = 0;
        const UINT8* bytes = m_Wire.Read(len);
        if (!bytes || len == 0) {
            ++idle;
            continue;
        }
        UINT16 rest = len;
        packet.PacketFromBuffer(bytes, rest);
        m_Wire.PutBack(len, rest);
        idle = 1; // the limit measures silence, not the whole wait
        if (!packet.IsComplete())
            continue;
        if (ProcessDebugMsg(packet, m_DebugOutput))
            continue;
        if (rest > 0)
            qDebug() << "Unused bytes left over!..." << rest;
        break;
    }

    const auto state = packet.GetReadState();
    if (state == CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_CORRECT)
        return RC_OK;
    if (state == CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_INCORRECT) {
        qDebug() << "Received packet corrupt.";
        return RC_FAILED;
    }
    qDebug() << "Packet not completlely received.";
    qDebug() << CLLProtocolPacket::ReadStateName(state);
    m_Wire.Flush();
    return RC_FAILED;
}

// Writes the chunks of one attempt; a failed chunk write is retried after a pause, at most
// `attempts` writes per chunk.
bool CLLProtocol::sendAttempt(CLLProtocolPacket& packet, int attempts)
{
    for (int chunk = 0;; ++chunk) {
        UINT16 len = 0;
        const UINT8* bytes = packet.GetChunk(chunk, len);
        if (!bytes)
            return true;
        int writes = 0;
        while (!m_Wire.Send(bytes, len)) {
            qDebug() << "CLLProtocol::Send: m_Wire.Send failed! Chunk: " << chunk;
            m_Wire.Sleep(kChunkRetrySleepMs);
            m_WaitedMs += kChunkRetrySleepMs;
            if (++writes >= attempts || m_Wire.Lost())
                return false;
        }
    }
}

CLLProtocol::EReturnCode CLLProtocol::Send(CLLProtocolPacket& packet)
{
    m_WaitedMs = 0;
    const int attempts = packet.IsRepeat() ? kRepeatAttempts : 1;
    for (int attempt = 0; attempt < attempts && !limitReached() && !m_Wire.Lost(); ++attempt) {
        qDebug() << "Sending packet...:" << attempt;
        if (!sendAttempt(packet, attempts))
            continue;
        if (packet.IsNoAckExpected())
            return RC_OK;
        qDebug() << "Sending completed, now waiting for ACK...";
        CLLProtocolPacket ack;
        if (receivePacket(ack, kIdleLimitPolls) != RC_OK)
            continue;
        qDebug() << "Received packet...";
        qDebug() << "Received complete and correct packet";
        if (ack.IsAck()) {
            qDebug() << "Received ACK packet";
            return RC_OK;
        }
        qDebug() << "Received non-ACK packet";
    }
    qDebug() << "Did not receive ACK packet\n";
    drain();
    return RC_FAILED;
}

void CLLProtocol::drain()
{
    int drained = 0;
    UINT16 len = 0;
    while (m_Wire.Read(len) && len > 0) {
        drained += len;
        if (drained >= kDrainLimitBytes) {
            qDebug() << "Drain stopped after" << drained << "bytes.";
            return;
        }
    }
}

CLLProtocol::EReturnCode CLLProtocol::Receive(CLLProtocolPacket& packet)
{
    qDebug() << "Try to receicve packet...";
    m_WaitedMs = 0;
    if (receivePacket(packet, kIdleLimitPolls) != RC_OK) {
        qDebug() << "Receive failed.";
        return RC_FAILED;
    }
    if (packet.IsAck()) {
        qDebug() << "Received out-of place ACK package.";
        return RC_FAILED;
    }
    CLLProtocolPacket ack;
    ack.SetPacket(packet.Cmd(), false, true, false, 0, nullptr);
    qDebug() << "Sending ACK...";
    bool sent = true;
    for (int chunk = 0; sent; ++chunk) {
        UINT16 len = 0;
        const UINT8* bytes = ack.GetChunk(chunk, len);
        if (!bytes)
            break;
        if (!m_Wire.Send(bytes, len)) {
            qDebug() << "Sending failed.";
            sent = false;
        }
    }
    qDebug() << "Sending completed with success code: " << sent;
    return sent ? RC_OK : RC_FAILED;
}
