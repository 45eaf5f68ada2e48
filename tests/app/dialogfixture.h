#pragma once

#include "app/maindialognew.h"
#include "app/messagebox.h"
#include "service/portconnector.h"
#include "service/portenumerator.h"
#include "device/fanbase.h"
#include "link/loopbackwire.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QVector>

#include <map>

#include <memory>

// Ports announced by the test instead of the system.
class FakeEnumerator : public CPortEnumerator
{
public:
    QList<SPortInfo> ports;
    int notificationSetUps = 0;

    QList<SPortInfo> getPorts() override { return ports; }
    void setUpNotifications() override { ++notificationSetUps; }

    void plug(const SPortInfo& port)
    {
        ports << port;
        emit deviceDiscovered(port);
    }
    void unplug(const QString& name)
    {
        for (int i = 0; i < ports.size(); ++i) {
            if (ports.at(i).portName == name) {
                const SPortInfo gone = ports.takeAt(i);
                emit deviceRemoved(gone);
                return;
            }
        }
    }
};

inline SPortInfo devicePort(const QString& name, int vid = 0x0409, int pid = 0x01D9)
{
    SPortInfo info;
    info.portName = name;
    info.vendorID = vid;
    info.productID = pid;
    return info;
}

// Forwards to a loopback wire the connector keeps, so a unit's clock and pending bytes
// survive the device object being replaced, as they would on a real port.
class WireProxy : public CLLProtocolWire
{
public:
    explicit WireProxy(CLoopbackWire& inner) : m_Inner(inner) {}
    void Flush() override { m_Inner.Flush(); }
    bool Send(const void* data, UINT16 len) override { return m_Inner.Send(data, len); }
    const UINT8* Read(UINT16& len) override { return m_Inner.Read(len); }
    UINT16 PutBack(UINT16 received, UINT16 kept) override
    {
        return m_Inner.PutBack(received, kept);
    }
    void Sleep(UINT16 ms) override { m_Inner.Sleep(ms); }

private:
    CLoopbackWire& m_Inner;
};

// Opens port names onto in-process loopback wires; a name without a wire cannot be opened.
class LoopbackConnector : public CPortConnector
{
public:
    // The wire of a port; `peer` may be null (a unit that never answers).
    CLoopbackWire& addPort(const QString& name, CLoopbackPeer* peer)
    {
        auto& slot = m_Wires[name];
        slot = std::make_unique<CLoopbackWire>(peer);
        return *slot;
    }
    CLoopbackWire* wire(const QString& name) const
    {
        auto it = m_Wires.find(name);
        return it == m_Wires.end() ? nullptr : it->second.get();
    }

    bool connectPort(CFanBase& fan, const QString& name) override
    {
        ++connectCalls;
        connected << name;
        if (!name.isEmpty() && m_Open.value(&fan) == name && fan.isConnected())
            return true;
        fan.disconnectDevice();
        m_Open.remove(&fan);
        CLoopbackWire* target = name.isEmpty() ? nullptr : wire(name);
        if (!target)
            return false;
        fan.connectWire(std::make_unique<WireProxy>(*target));
        m_Open.insert(&fan, name);
        return true;
    }
    QString portName(const CFanBase& fan) const override
    {
        return fan.isConnected() ? m_Open.value(&fan) : QString();
    }

    int connectCalls = 0;
    QStringList connected; // every name asked for, in order

private:
    std::map<QString, std::unique_ptr<CLoopbackWire>> m_Wires;
    QHash<const CFanBase*, QString> m_Open;
};

// Records every message box and answers it with its default.
class BoxRecorder
{
public:
    BoxRecorder()
    {
        m_Previous = setMessageBoxHook([this](const SMessageBox& box) {
            boxes << box;
            return box.defaultButton != QMessageBox::NoButton ? box.defaultButton : QMessageBox::Ok;
        });
    }
    ~BoxRecorder() { setMessageBoxHook(std::move(m_Previous)); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    QVector<SMessageBox> boxes;
    int count(const QString& title) const
    {
        int n = 0;
        for (const SMessageBox& b : boxes)
            n += b.title == title;
        return n;
    }

private:
    MessageBoxHook m_Previous;
};

struct DialogOptions
{
    bool manufacturing = false;
    bool forceBoot = false;
    bool forceAppl = false;
    bool owner = false;
    bool automatic = false;
    QString excluded;
    QString serialPreset;
    bool debug = false;
};

// A dialog on a fake enumerator and loopback ports, both reachable by the test.
template <typename Dialog = CMainDialogNew>
struct DialogOnLoopback
{
    FakeEnumerator* enumerator = nullptr;
    LoopbackConnector* connector = nullptr;
    std::unique_ptr<Dialog> dialog;

    // `setup` runs before the dialog exists: add ports (and plug them) there.
    template <typename Setup>
    DialogOnLoopback(const DialogOptions& o, Setup setup)
    {
        auto e = std::make_unique<FakeEnumerator>();
        auto c = std::make_unique<LoopbackConnector>();
        enumerator = e.get();
        connector = c.get();
        setup(*e, *c);
        dialog = std::make_unique<Dialog>(o.manufacturing, o.forceBoot, o.forceAppl, false, o.owner,
                                          o.automatic, o.excluded, o.serialPreset, o.debug,
                                          QStringLiteral("testvalues.csv"), nullptr, std::move(e),
                                          std::move(c));
    }
    explicit DialogOnLoopback(const DialogOptions& o = {})
        : DialogOnLoopback(o, [](FakeEnumerator&, LoopbackConnector&) {})
    {}
};
