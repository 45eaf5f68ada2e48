#pragma once

#include "device/hlprecords.h"
#include "scriptedpeer.h"

#include <QByteArray>
#include <QVector>

#include <cstring>

// Hand-built device replies of the log requests.

// A primary-log packet: code 15, alignment byte, remaining count, `slotCount` entry slotCount of which
// the first entries.size() are filled (the rest zero).
template <typename Entry>
QByteArray primLogPacket(int remaining, const QVector<Entry>& entries, int slotCount = 7)
{
    QByteArray payload(3 + slotCount * Entry::kSize, 0);
    auto* p = reinterpret_cast<UINT8*>(payload.data());
    le::put16(p + 1, UINT16(remaining));
    for (int i = 0; i < entries.size() && i < slotCount; ++i)
        std::memcpy(p + 3 + i * Entry::kSize, entries[i].bytes(), Entry::kSize);
    return hlpReply(HLP_GET_PRIM_LOG, payload);
}

// A secondary-log packet of 166 bytes: code 20, span, two unread bytes, remaining, five slotCount.
template <typename Entry>
QByteArray secLogPacket(int span, int remaining, const QVector<Entry>& entries, int size = 166)
{
    QByteArray payload(size - 1, 0);
    auto* p = reinterpret_cast<UINT8*>(payload.data());
    p[0] = UINT8(span);
    le::put16(p + 1, 0xBEEF);
    le::put16(p + 3, UINT16(remaining));
    for (int i = 0; i < entries.size() && i < 5 && 5 + (i + 1) * Entry::kSize <= size - 1; ++i)
        std::memcpy(p + 5 + i * Entry::kSize, entries[i].bytes(), Entry::kSize);
    return hlpReply(HLP_GET_SEC_LOG, payload);
}

// The ring counters reply: every span gets the same size, used and oldest values.
inline QByteArray secLogCntReply(int logSize, int used, int oldest)
{
    QByteArray payload(19, 0);
    auto* p = reinterpret_cast<UINT8*>(payload.data());
    for (int span = 0; span < 3; ++span) {
        le::put16(p + 1 + 2 * span, UINT16(logSize));
        le::put16(p + 7 + 2 * span, UINT16(used));
        le::put16(p + 13 + 2 * span, UINT16(oldest));
    }
    return hlpReply(HLP_GET_SEC_LOG_CNT, payload);
}
