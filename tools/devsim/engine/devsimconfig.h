#pragma once

#include "link/lltypes.h"

#include <QString>

// Settings of one simulated ventaro unit: who it is, how it behaves after a restart and which
// line faults it injects. Plain values; the command line of ventaro-devsim fills them and
// tests construct them directly.

// Timing of the simulated unit, all in milliseconds.
namespace devsim {
// Time from a request to its reply (the unit's processing time).
constexpr int kReplyLatencyMs = 1;
// How long the unit waits for the tool's acknowledgement of a reply before sending it again.
constexpr int kReplyAckTimeoutMs = 1000;
// Resends of an unacknowledged reply before the unit gives it up.
constexpr int kReplyResends = 2;
// A packet from the tool that stalls this long half-way is discarded.
constexpr int kRxStallResetMs = 200;
// Default time the port stays away during a simulated power cycle.
constexpr int kDefaultRebootPauseMs = 1500;
// Default delay of a "slow reply" fault: longer than the tool's 1000-poll silence limit.
constexpr int kDefaultSlowDelayMs = 1500;
} // namespace devsim

struct SDevSimIdentity
{
    enum EModel { EModel100 = 0, EModelPlus = 1 };

    EModel model = EModel100;
    UINT32 serial = 50123; // 0 = no serial number stored
    UINT8 board = 3;
    // The answering software: 1 or 2 a bootloader copy, 3 the application. Values from 4 up
    // are reported as they are (a corrupted sender address).
    UINT8 partner = 1;
    UINT8 partnerX = 0;
    // The bootloader copy that starts after a power cycle (1 or 2); follows `partner` when that
    // is 1 or 2 at construction.
    UINT8 runningCopy = 1;
    UINT8 bootMain = 2;
    UINT8 bootSub = 20;
    UINT8 applMain = 2;
    UINT8 applSub = 20;
    UINT8 wifiMain = 3; // 0-31
    UINT8 wifiSub = 5;  // 0-127
    // Number of persistent counters the unit reports (ids 0 .. count-1, at most 255).
    int counterCount = 74;
    bool plus() const { return model == EModelPlus; }
};

// What the unit runs after a power cycle.
enum class EDevSimRestart {
    Bootloader,  // the running bootloader copy answers (partner 1 or 2)
    Application, // the application answers (partner 3)
};

struct SDevSimBehaviour
{
    EDevSimRestart restart = EDevSimRestart::Bootloader;
    // Power cycle this long after the reply of a bootloader swap was acknowledged; -1: never.
    int rebootAfterSwapMs = -1;
    // Power cycle this long after an application or bridge upload ended; -1: never.
    int rebootAfterUploadMs = -1;
    // How long the port stays away during a power cycle.
    int rebootPauseMs = devsim::kDefaultRebootPauseMs;
    // After the "unplug after N packets" fault the port comes back after this long; -1: never.
    int replugAfterMs = -1;
    // Check each flashed block's CRC16 against its plain bytes (off for images whose checksum
    // is not CRC-16/CCITT-FALSE).
    bool checkBlockCrc = true;
    // Time from a request to its reply.
    int replyLatencyMs = devsim::kReplyLatencyMs;
    // Faults of a unit that does not take what it was sent:
    bool swapNotTaken = false; // a swap is answered as done, the old copy keeps running
    int keepImageType = 0;     // images of this partition type are acknowledged, not kept; 0: none
    int crcKoType = 0;         // its table entry reports CRC16KO; 0: none
};

// One fault: fires for the first `count` eligible packets, or else with `probability` per
// eligible packet.
struct SDevSimFault
{
    double probability = 0.0;
    int count = 0;
    bool enabled() const { return probability > 0.0 || count > 0; }
    // Parses "0.25" (a probability, needs a decimal point or is 0) or "3" (the first three).
    [[nodiscard]] static bool parse(const QString& text, SDevSimFault& out);
};

struct SDevSimFaults
{
    SDevSimFault strayBytes;   // 1-3 noise bytes before a packet the unit sends
    SDevSimFault corruptCrc;   // a reply with a wrong CRC
    SDevSimFault lostAck;      // the unit's acknowledgement of a request is lost
    SDevSimFault slowReply;    // a reply comes `slowDelayMs` late
    SDevSimFault debugMessage; // a debug text and a debug number before a reply
    SDevSimFault wrongId;      // a reply with another reply code
    SDevSimFault wrongLength;  // a reply one byte short
    int slowDelayMs = devsim::kDefaultSlowDelayMs;
    // The unit answers this many requests; the next one finds the cable pulled. 0: never.
    int unplugAfterPackets = 0;
};
