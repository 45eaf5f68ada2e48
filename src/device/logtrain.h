#pragma once

#include "link/llprotocolpacket.h"
#include "link/lltypes.h"

#include <QDebug>
#include <QVector>

// Where the entries sit in one packet of a log train. Every packet carries a fixed number of
// entry slots and the number of entries still to be delivered, its own included.
struct SLogTrainLayout
{
    int remainingOffset;
    int slotsOffset;
    int slotsPerPacket;
};

// A train can announce at most this many entries (its count is 16 bits); a device that keeps
// sending beyond it is cut off instead of holding the caller forever.
constexpr int kMaxLogTrainEntries = 0xFFFF;

// Reads packets with `receive` (which receives one packet and checks it, logging its own
// failures) until a packet says that no more than its own slots remain, appending the announced
// entries of each packet. `entries` keeps the complete packets appended before a failure.
// Entry::fromBytes reads Entry::kSize bytes of a slot.
template <typename Entry, typename Receive>
[[nodiscard]] bool readLogTrain(QVector<Entry>& entries, const SLogTrainLayout& layout,
                                Receive&& receive, const char* tooLongMessage)
{
    for (;;) {
        CLLProtocolPacket reply;
        if (!receive(reply))
            return false;
        const int remaining = le::u16(reply.Data() + layout.remainingOffset);
        const int take = qMin(remaining, layout.slotsPerPacket);
        if (entries.size() + take > kMaxLogTrainEntries) {
            qDebug() << tooLongMessage;
            return false;
        }
        for (int i = 0; i < take; ++i)
            entries.append(Entry::fromBytes(reply.Data() + layout.slotsOffset + i * Entry::kSize));
        if (remaining <= layout.slotsPerPacket)
            return true;
    }
}
