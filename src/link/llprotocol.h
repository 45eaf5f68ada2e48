#pragma once

#include "llprotocolpacket.h"

class CLLProtocolWire;
class QTextEdit;

// Stop-and-wait exchange of packets over a wire: the sender of a packet waits for an
// acknowledgement, the receiver answers with one. Synchronous and polling; device debug
// messages arriving meanwhile are shown and dropped. A short-lived value: every request
// builds its own.
class CLLProtocol
{
public:
    enum EReturnCode { RC_OK = 0, RC_FAILED = 3 };

    // Longest wait of one receive poll; bytes arriving end it early (WaitReadable).
    static constexpr UINT16 kPollSleepMs = 1;
    static constexpr UINT16 kIdleLimitPolls = 1000;
    static constexpr UINT16 kChunkRetrySleepMs = 1000;
    static constexpr int kRepeatAttempts = 3;
    // Longest wait of one Send, Receive or RecSinglePacketNoAck call, in milliseconds of the
    // wire's waits (every poll counts kPollSleepMs, also when arriving bytes end it sooner;
    // every retry pause its length). The idle
    // limit alone cannot end a wait while the unit keeps sending debug packets. The longest
    // legitimate Send, three attempts of three chunks with two failed writes each and a full
    // silence before each ACK, waits about 21 s; debug output during a wait adds to that.
    static constexpr int kExchangeLimitMs = 60000;
    // Most bytes the drain after a failed Send discards, so a unit that never stops sending
    // cannot hold it.
    static constexpr int kDrainLimitBytes = 65536;

    explicit CLLProtocol(CLLProtocolWire& wire) : m_Wire(wire) {}
    CLLProtocol(CLLProtocolWire& wire, QTextEdit* debugOutput)
        : m_Wire(wire), m_DebugOutput(debugOutput)
    {}

    // Receives one packet without acknowledging it; gives up after `timeout` empty polls.
    [[nodiscard]] EReturnCode RecSinglePacketNoAck(CLLProtocolPacket& packet, UINT16 timeout);
    // Sends a filled packet and, unless it carries LLF_NO_ACK, waits for its acknowledgement.
    [[nodiscard]] EReturnCode Send(CLLProtocolPacket& packet);
    // Receives one packet and acknowledges it.
    [[nodiscard]] EReturnCode Receive(CLLProtocolPacket& packet);

private:
    EReturnCode receivePacket(CLLProtocolPacket& packet, UINT16 timeout);
    bool sendAttempt(CLLProtocolPacket& packet, int attempts);
    void drain();
    bool limitReached() const { return m_WaitedMs >= kExchangeLimitMs; }

    CLLProtocolWire& m_Wire;
    QTextEdit* m_DebugOutput = nullptr;
    int m_WaitedMs = 0; // waits of the running call
};
