#pragma once

#include "link/loopbackwire.h"
#include "scriptedpeer.h"

#include <QByteArray>
#include <QList>
#include <QMap>
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

    // Every request with `code` is answered (after the automatic ACK) by the given packets;
    // each code keeps its own answer.
    void answer(UINT8 code, const QList<QByteArray>& replies)
    {
        m_Answers[code] = replies;
        peer.onPacket = [this](CLoopbackWire& w, const HostPacket& p) {
            if (p.isAck())
                return;
            for (const QByteArray& r : m_Answers.value(p.code()))
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

private:
    QMap<int, QList<QByteArray>> m_Answers;
};

// The raw bytes of a record, as a reply payload.
template <typename Record>
QByteArray recordBytes(const Record& r)
{
    return QByteArray(reinterpret_cast<const char*>(r.bytes()), Record::kSize);
}
