#pragma once

#include "link/loopbackwire.h"
#include "scriptedpeer.h"

#include <QByteArray>
#include <QList>
#include <QVector>

#include <memory>

// A device-model object (CFan, CFan_70_PC) on a loopback wire whose peer is scripted by the
// test.
template <typename Model>
struct ModelOnLoopback
{
    ScriptedPeer peer;
    CLoopbackWire* wire = nullptr; // owned by the model
    Model fan;

    ModelOnLoopback()
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

// The raw bytes of a record, as a reply payload.
template <typename Record>
QByteArray recordBytes(const Record& r)
{
    return QByteArray(reinterpret_cast<const char*>(r.bytes()), Record::kSize);
}
