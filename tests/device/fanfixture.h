#pragma once

#include "device/fan.h"
#include "link/loopbackwire.h"
#include "scriptedpeer.h"

#include <QByteArray>

#include <memory>

// A CFan connected to a loopback wire whose peer is scripted by the test.
struct FanOnLoopback
{
    ScriptedPeer peer;
    CLoopbackWire* wire = nullptr; // owned by the fan
    CFan fan;

    FanOnLoopback()
    {
        auto owned = std::make_unique<CLoopbackWire>(&peer);
        wire = owned.get();
        fan.connectWire(std::move(owned));
    }

    // Every request with `code` is answered (after the automatic ACK) by the given packets.
    void answer(UINT8 code, const QList<QByteArray>& replies)
    {
        peer.onPacket = [code, replies](CLoopbackWire& w, const HostPacket& p) {
            if (p.isAck() || p.code() != code)
                return;
            for (const QByteArray& r : replies)
                w.deliver(r);
        };
    }
    void answer(UINT8 code, const QByteArray& reply) { answer(code, QList<QByteArray>{reply}); }
    // Host packets other than acknowledgements.
    QVector<HostPacket> requests() const
    {
        QVector<HostPacket> out;
        for (const auto& p : peer.received)
            if (!p.isAck())
                out << p;
        return out;
    }
};

inline QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}
