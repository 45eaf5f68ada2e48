#pragma once

#include "link/llprotocolpacket.h"
#include "link/loopbackwire.h"

#include <QByteArray>
#include <QVector>

#include <functional>

// The wire bytes of one packet, built field by field.
QByteArray wirePacket(UINT8 cmd, UINT8 flags, const QByteArray& data);
// A ten-byte acknowledgement for a packet of the given command.
QByteArray ackPacket(UINT8 cmd = LLC_HLP);
// A reply on the high-level channel: code followed by the payload.
QByteArray hlpReply(UINT8 code, const QByteArray& payload = {});
QByteArray debugTextPacket(const QByteArray& text, bool terminate = true);
QByteArray debugNumberPacket(qint32 number);

// A packet the host sent, as the peer parsed it.
struct HostPacket
{
    UINT8 cmd = 0;
    UINT8 flags = 0;
    QByteArray data;
    bool crcOk = false;
    qint64 at = 0; // virtual time of arrival
    UINT8 code() const { return data.isEmpty() ? 0 : UINT8(data[0]); }
    bool isAck() const { return flags & LLF_ACK; }
};

// A peer whose answers are written by the test: every packet the host sends is parsed,
// recorded and handed to `onPacket`. With autoAck it acknowledges every packet that asks
// for it before calling onPacket.
class ScriptedPeer : public CLoopbackPeer
{
public:
    using Handler = std::function<void(CLoopbackWire&, const HostPacket&)>;

    bool autoAck = true;
    Handler onPacket;
    QVector<HostPacket> received;

    void hostSent(CLoopbackWire& wire, const QByteArray& bytes) override;
    int countCode(UINT8 code) const;
    int acksReceived() const;

private:
    CLLProtocolPacket m_Packet;
};
