#include "llprotocolpacket.h"

#include <QDebug>

#include <cstring>

namespace {
constexpr UINT8 kSync[4] = {'t', 'o', 'l', 'v'};

// CRC-16/CCITT-FALSE, a nibble at a time: kCrcTable[i] is i times the polynomial 0x1021.
constexpr UINT16 kCrcTable[16] = {0x0000, 0x1021, 0x2042, 0x3063, 0x4084, 0x50A5, 0x60C6, 0x70E7,
                                  0x8108, 0x9129, 0xA14A, 0xB16B, 0xC18C, 0xD1AD, 0xE1CE, 0xF1EF};
} // namespace

void CLLProtocolPacket::Reset()
{
    std::memcpy(m_Sync, kSync, sizeof m_Sync);
    m_Cmd = 0;
    m_Flags = 0;
    m_DataLen = 0;
    m_Crc = 0;
    m_BytesRead = 0;
    m_RxCrc = 0;
}

void CLLProtocolPacket::SetPacket(UINT8 cmd, bool app, bool ack, bool repeat, UINT16 len,
                                  const void* data)
{
    if (!data)
        len = 0;
    else if (len > kMaxDataLen)
        return;
    m_Cmd = cmd;
    m_Flags = app ? LLF_APP : 0;
    if (ack)
        m_Flags |= LLF_ACK;
    if (repeat)
        m_Flags |= LLF_REPEAT;
    m_DataLen = len;
    if (len)
        std::memcpy(m_Data, data, len);
    m_Crc = CalcCrc16(m_Data, m_DataLen);
}

void CLLProtocolPacket::SetPacketByte(UINT8 cmd, bool repeat, UINT8 byte)
{
    SetPacket(cmd, false, false, repeat, 1, &byte);
}

void CLLProtocolPacket::SetNoAckExpected()
{
    m_Flags |= LLF_NO_ACK;
    m_Crc = CalcCrc16(m_Data, m_DataLen);
}

UINT16 CLLProtocolPacket::GetPacketId() const
{
    return UINT16(m_Cmd * 256 + (m_DataLen > 0 ? m_Data[0] : 0));
}

const UINT8* CLLProtocolPacket::GetChunk(int index, UINT16& len)
{
    std::memcpy(m_HeaderChunk, m_Sync, sizeof m_Sync);
    m_HeaderChunk[4] = m_Cmd;
    m_HeaderChunk[5] = m_Flags;
    le::put16(m_HeaderChunk + 6, m_DataLen);
    le::put16(m_CrcChunk, m_Crc);

    const bool hasData = m_DataLen > 0;
    if (index == 0) {
        len = kHeaderLen;
        return m_HeaderChunk;
    }
    if (index == 1 && hasData) {
        len = m_DataLen;
        return m_Data;
    }
    if ((index == 1 && !hasData) || (index == 2 && hasData)) {
        len = kCrcLen;
        return m_CrcChunk;
    }
    len = 0;
    return nullptr;
}

void CLLProtocolPacket::storeHeaderByte(UINT16 index, UINT8 byte)
{
    switch (index) {
    case 4:
        m_Cmd = byte;
        break;
    case 5:
        m_Flags = byte;
        break;
    case 6:
        m_DataLen = UINT16((m_DataLen & 0xFF00) | byte);
        break;
    default:
        m_DataLen = UINT16((m_DataLen & 0x00FF) | (UINT16(byte) << 8));
        break;
    }
}

void CLLProtocolPacket::PacketFromBuffer(const void* buf, UINT16& len)
{
    if (!buf || len == 0)
        return;
    const UINT8* in = static_cast<const UINT8*>(buf);
    UINT16 used = 0;
    while (used < len && m_BytesRead < m_DataLen + kHeaderLen + kCrcLen) {
        const UINT8 byte = in[used++];
        const UINT16 n = m_BytesRead;
        if (n < 4) {
            if (byte == m_Sync[n]) {
                ++m_BytesRead;
            } else {
                m_BytesRead = 0;
                qDebug() << "-------------------- Byte lost";
            }
        } else if (n < kHeaderLen) {
            storeHeaderByte(n, byte);
            ++m_BytesRead;
            if (m_BytesRead == kHeaderLen && m_DataLen > kMaxDataLen) {
                // A length no packet can have: the header is noise. Drop it and look for the
                // next sync pattern rather than run past the data area.
                qDebug() << "-------------------- Header dropped, data length" << m_DataLen
                         << "exceeds" << kMaxDataLen;
                Reset();
            }
        } else if (n < kHeaderLen + m_DataLen) {
            m_Data[n - kHeaderLen] = byte;
            ++m_BytesRead;
        } else {
            if (n - m_DataLen - kHeaderLen == 0)
                m_RxCrc = UINT16((m_RxCrc & 0xFF00) | byte);
            else
                m_RxCrc = UINT16((m_RxCrc & 0x00FF) | (UINT16(byte) << 8));
            ++m_BytesRead;
        }
    }
    if (m_BytesRead == m_DataLen + kHeaderLen + kCrcLen)
        m_Crc = CalcCrc16(m_Data, m_DataLen);
    len = UINT16(len - used);
}

CLLProtocolPacket::EReadState CLLProtocolPacket::GetReadState() const
{
    const UINT32 n = m_BytesRead;
    const UINT32 N = m_DataLen;
    if (n == 0)
        return RS_READING_NOT_STARTED;
    if (n < kHeaderLen)
        return RS_HEADER_STARTED;
    if (n == kHeaderLen)
        return RS_HEADER_COMPLETED;
    if (n >= N + kHeaderLen + kCrcLen)
        return m_RxCrc == m_Crc ? RS_PACKET_COMPLETED_CRC_CORRECT
                                : RS_PACKET_COMPLETED_CRC_INCORRECT;
    if (n == N + kHeaderLen + 1)
        return RS_CRC_STARTED;
    if (n == N + kHeaderLen)
        return RS_DATA_COMPLETED;
    return RS_DATA_STARTED;
}

const char* CLLProtocolPacket::ReadStateName(EReadState state)
{
    switch (state) {
    case RS_READING_NOT_STARTED:
        return "CLLProtocolPacket::RS_READING_NOT_STARTED";
    case RS_HEADER_STARTED:
        return "CLLProtocolPacket::RS_HEADER_STARTED";
    case RS_HEADER_COMPLETED:
        return "CLLProtocolPacket::RS_HEADER_COMPLETED";
    case RS_DATA_STARTED:
        return "CLLProtocolPacket::RS_DATA_STARTED";
    case RS_DATA_COMPLETED:
        return "CLLProtocolPacket::RS_DATA_COMPLETED";
    case RS_CRC_STARTED:
        return "CLLProtocolPacket::RS_CRC_STARTED";
    case RS_PACKET_COMPLETED_CRC_CORRECT:
        return "CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_CORRECT";
    case RS_PACKET_COMPLETED_CRC_INCORRECT:
        return "CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_INCORRECT";
    }
    return "CLLProtocolPacket::?";
}

UINT16 CLLProtocolPacket::CalcCrc16(const void* data, UINT32 len)
{
    UINT16 crc = 0xFFFF;
    const UINT8* p = static_cast<const UINT8*>(data);
    if (!p)
        return crc;
    for (UINT32 i = 0; i < len; ++i) {
        const UINT8 b = p[i];
        crc = UINT16((crc << 4) ^ kCrcTable[(crc >> 12) ^ (b >> 4)]);
        crc = UINT16((crc << 4) ^ kCrcTable[(crc >> 12) ^ (b & 0x0F)]);
    }
    return crc;
}
