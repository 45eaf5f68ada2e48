#pragma once

#include "lltypes.h"

// Link-layer channels.
enum : UINT8 {
    LLC_HLP = 1,   // high-level request or reply
    LLC_DEBUG = 2, // device debug message
};

// Link-layer flags.
enum : UINT8 {
    LLF_APP = 0x01,
    LLF_REPEAT = 0x10,
    LLF_ACK = 0x20,
    LLF_NO_ACK = 0x40,
};

// One framed packet: "tolv", command, flags, UINT16 length N <= 200, N data bytes and the
// CRC-16/CCITT-FALSE of the data, low byte first. The object is at once the builder of a packet
// to send and the incremental parser of a received one; it is a plain stack value.
class CLLProtocolPacket
{
public:
    static constexpr UINT16 kMaxDataLen = 200;
    static constexpr UINT16 kHeaderLen = 8;
    static constexpr UINT16 kCrcLen = 2;

    enum EReadState {
        RS_READING_NOT_STARTED = 0,
        RS_HEADER_STARTED = 1,
        RS_HEADER_COMPLETED = 2,
        RS_DATA_STARTED = 3,
        RS_DATA_COMPLETED = 4,
        RS_CRC_STARTED = 5,
        RS_PACKET_COMPLETED_CRC_CORRECT = 6,
        RS_PACKET_COMPLETED_CRC_INCORRECT = 7,
    };

    CLLProtocolPacket() { Reset(); }

    // Sync, command, flags, length, CRC and parser state back to their start; data untouched.
    void Reset();

    void SetPacket(UINT8 cmd, bool app, bool ack, bool repeat, UINT16 len, const void* data);
    void SetPacketByte(UINT8 cmd, bool repeat, UINT8 byte);
    void SetNoAckExpected();

    UINT16 GetPacketId() const;
    bool IsAck() const { return m_Flags & LLF_ACK; }
    bool IsRepeat() const { return m_Flags & LLF_REPEAT; }
    bool IsNoAckExpected() const { return m_Flags & LLF_NO_ACK; }
    bool IsAppFlag() const { return m_Flags & LLF_APP; }

    // The index-th non-empty wire chunk (header, data, CRC), or null with len 0.
    const UINT8* GetChunk(int index, UINT16& len);

    // Consumes bytes from the start of buf; on return len holds the count not consumed, which
    // belong to whatever follows this packet.
    void PacketFromBuffer(const void* buf, UINT16& len);
    EReadState GetReadState() const;
    bool IsComplete() const { return GetReadState() > RS_CRC_STARTED; }

    static UINT16 CalcCrc16(const void* data, UINT32 len);
    static const char* ReadStateName(EReadState state);

    UINT8 Cmd() const { return m_Cmd; }
    UINT8 Flags() const { return m_Flags; }
    UINT16 DataLen() const { return m_DataLen; }
    UINT16 Crc() const { return m_Crc; }
    UINT16 RxCrc() const { return m_RxCrc; }
    const UINT8* Data() const { return m_Data; }
    UINT16 BytesRead() const { return m_BytesRead; }

private:
    void storeHeaderByte(UINT16 index, UINT8 byte);

    UINT8 m_Sync[4];
    UINT8 m_Cmd;
    UINT8 m_Flags;
    UINT16 m_DataLen;
    UINT16 m_Crc;
    UINT8 m_Data[kMaxDataLen] = {};
    UINT16 m_BytesRead;
    UINT16 m_RxCrc;

    // Wire images of the header and CRC chunks, refreshed by GetChunk.
    UINT8 m_HeaderChunk[kHeaderLen] = {};
    UINT8 m_CrcChunk[kCrcLen] = {};
};
