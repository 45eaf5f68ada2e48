#pragma once

// Test helpers that play the tool's side against the simulated unit: requests and reply
// trains through CLLProtocol, and the partition upload as the device object performs it.

#include "link/llprotocol.h"
#include "link/llprotocolpacket.h"
#include "link/llprotocolwire.h"

#include <QByteArray>
#include <QVector>

#include <algorithm>
#include <initializer_list>

inline QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// The tool's side of an exchange with a simulated unit, through CLLProtocol on any wire.
struct DevSimClient
{
    CLLProtocolWire& line;
    explicit DevSimClient(CLLProtocolWire& w) : line(w) {}

    bool send(const QByteArray& data, UINT8 flags = 0)
    {
        CLLProtocolPacket p;
        p.SetPacket(LLC_HLP, flags & LLF_APP, false, flags & LLF_REPEAT, UINT16(data.size()),
                    data.constData());
        if (flags & LLF_NO_ACK)
            p.SetNoAckExpected();
        CLLProtocol proto(line);
        return proto.Send(p) == CLLProtocol::RC_OK;
    }
    bool receive(CLLProtocolPacket& p)
    {
        CLLProtocol proto(line);
        return proto.Receive(p) == CLLProtocol::RC_OK;
    }
    // Sends a request and receives `packets` replies; empty on any failure.
    QVector<QByteArray> exchange(const QByteArray& request, int packets = 1)
    {
        QVector<QByteArray> out;
        if (!send(request, LLF_REPEAT))
            return out;
        for (int i = 0; i < packets; ++i) {
            CLLProtocolPacket p;
            if (!receive(p))
                return {};
            out << QByteArray(reinterpret_cast<const char*>(p.Data()), p.DataLen());
        }
        return out;
    }
    // Reads a train whose remaining count sits at `offset` (u16 or u32) and whose packets
    // carry `perPacket` entries each.
    QVector<QByteArray> train(const QByteArray& request, int offset, int width, int perPacket)
    {
        QVector<QByteArray> out;
        if (!send(request, LLF_REPEAT))
            return out;
        for (;;) {
            CLLProtocolPacket p;
            if (!receive(p))
                return {};
            out << QByteArray(reinterpret_cast<const char*>(p.Data()), p.DataLen());
            const UINT32 r = width == 2 ? le::u16(p.Data() + offset) : le::u32(p.Data() + offset);
            if (r <= UINT32(perPacket))
                return out;
        }
    }
};

inline UINT32 u32At(const QByteArray& a, int offset)
{
    return le::u32(reinterpret_cast<const UINT8*>(a.constData()) + offset);
}
inline UINT16 u16At(const QByteArray& a, int offset)
{
    return le::u16(reinterpret_cast<const UINT8*>(a.constData()) + offset);
}

// The tool's partition upload: header, 192-byte chunks in 200-byte packets, end.
struct Block
{
    UINT32 adr = 0;
    UINT32 plainLen = 0;
    QByteArray data; // padded to a multiple of 8
    UINT16 crc = 0;
};

inline Block makeBlock(UINT32 adr, UINT32 plainLen, int seed)
{
    Block b;
    b.adr = adr;
    b.plainLen = plainLen;
    b.data.resize(int((plainLen + 7) & ~7u));
    for (int i = 0; i < b.data.size(); ++i)
        b.data[i] = char((i * 7 + seed) & 0xFF);
    b.crc = CLLProtocolPacket::CalcCrc16(b.data.constData(), plainLen);
    return b;
}

// The 16-byte partition header; a WiFi image (type 4, also the bridge) carries bits 16-19 of
// the plain length in the type byte's upper nibble.
inline QByteArray partitionHeader(UINT32 adr, UINT32 plainLen, UINT16 crc, int type, UINT8 mainVer,
                                  UINT8 subVer, UINT32 start)
{
    QByteArray h(16, '\0');
    auto* p = reinterpret_cast<UINT8*>(h.data());
    p[0] = 7;
    le::put32(p + 1, adr);
    le::put16(p + 5, UINT16(plainLen));
    p[7] = type >= 4 ? UINT8(((plainLen >> 16) << 4) | 4) : UINT8(type);
    p[8] = mainVer;
    p[9] = subVer;
    le::put32(p + 10, start);
    le::put16(p + 14, crc);
    return h;
}

inline QByteArray partitionHeader(const Block& b, int type, UINT8 mainVer, UINT8 subVer,
                                  UINT32 start)
{
    return partitionHeader(b.adr, b.plainLen, b.crc, type, mainVer, subVer, start);
}

inline QByteArray dataChunk(const Block& b, int pos, int n)
{
    QByteArray c(200, '\0');
    auto* p = reinterpret_cast<UINT8*>(c.data());
    p[0] = 8;
    const int sent = pos + n;
    p[1] = sent > int(b.plainLen) ? UINT8(sent - int(b.plainLen)) : 0;
    le::put16(p + 2, UINT16(n));
    le::put32(p + 4, b.adr + UINT32(pos));
    std::copy_n(b.data.constData() + pos, n, c.data() + 8);
    return c;
}

// One block as the device object uploads it: header, 192-byte chunks, partition end.
inline bool uploadBlock(DevSimClient& tool, UINT32 adr, UINT32 plainLen, const QByteArray& data,
                        UINT16 crc, int type, UINT8 mainVer, UINT8 subVer, UINT32 start,
                        bool encrypted = true)
{
    Block b;
    b.adr = adr;
    b.plainLen = plainLen;
    b.data = data;
    b.crc = crc;
    if (!tool.send(partitionHeader(b, type, mainVer, subVer, start), LLF_REPEAT))
        return false;
    for (int pos = 0; pos < b.data.size(); pos += 192) {
        const int n = std::min(192, b.data.size() - pos);
        if (!tool.send(dataChunk(b, pos, n), LLF_REPEAT | (encrypted ? LLF_APP : 0)))
            return false;
    }
    return tool.send(bytesOf({9}), LLF_REPEAT);
}

inline bool uploadBlock(DevSimClient& tool, const Block& b, int type, UINT8 mainVer, UINT8 subVer)
{
    return uploadBlock(tool, b.adr, b.plainLen, b.data, b.crc, type, mainVer, subVer, 1124);
}
