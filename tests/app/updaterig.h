#pragma once

// Before any Qt header: the engine has a member named like a Qt keyword macro.
#include "engine/devsimloopback.h"

#include "dialogfixture.h"
#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"

#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <QtTest>

#include <algorithm>

// A dialog updating simulated units in-process, on the virtual clock.

inline const QString kPort = QStringLiteral("/dev/ttyACM0");
inline constexpr int kBridgeWire = CPartitionTable::ECC3200; // a bridge image is flashed as type 4

inline QString status(const QDialog& d)
{
    return d.findChild<QLabel*>(QStringLiteral("Status"))->text();
}
template <typename W>
inline W* widget(const QDialog& d, const char* name)
{
    return d.findChild<W*>(QLatin1String(name));
}
inline QString model(QString text, const char* name = "ventaro100")
{
    return text.replace(QLatin1String("%1"), QLatin1String(name));
}

// A unit whose bootloader copy 1 runs; the built-in images are bootloader and application 2.24.
inline SDevSimIdentity bootUnit(bool plus, int applSub, int bootSub = 20, UINT32 serial = 50123)
{
    SDevSimIdentity id;
    id.model = plus ? SDevSimIdentity::EModelPlus : SDevSimIdentity::EModel100;
    id.serial = serial;
    id.partner = 1;
    id.bootSub = UINT8(bootSub);
    id.applSub = UINT8(applSub);
    return id;
}

// Plays the operating system's part around a simulated unit: its clock runs on while the tool
// waits for events, and its port is announced gone or back as the unit goes away and returns.
class PortFollower
{
public:
    PortFollower(FakeEnumerator& e, CLoopbackWire& wire, CDevSimLoopback& sim, QString port)
        : m_Enumerator(e), m_Wire(wire), m_Sim(sim), m_Port(std::move(port))
    {
        m_Timer.setInterval(1);
        QObject::connect(&m_Timer, &QTimer::timeout, [this] { follow(); });
        m_Timer.start();
    }

private:
    void follow()
    {
        m_Wire.advance(kStepMs);
        bool listed = std::any_of(m_Enumerator.ports.cbegin(), m_Enumerator.ports.cend(),
                                  [this](const SPortInfo& p) { return p.portName == m_Port; });
        // A unit that went away and came back between two looks is a new device to the
        // system: the old port is gone all the same.
        const int absences = m_Sim.engine().absences();
        const bool wentAway = absences != m_Absences;
        m_Absences = absences;
        if (listed && (wentAway || !m_Sim.engine().present())) {
            m_Enumerator.unplug(m_Port);
            listed = false;
        }
        if (!listed && m_Sim.engine().present())
            m_Enumerator.plug(devicePort(m_Port));
    }

    static constexpr int kStepMs = 50;
    FakeEnumerator& m_Enumerator;
    CLoopbackWire& m_Wire;
    CDevSimLoopback& m_Sim;
    QString m_Port;
    int m_Absences = m_Sim.engine().absences();
    QTimer m_Timer;
};

// A dialog on one simulated unit that is plugged in at start.
struct UpdateRig
{
    CDevSimLoopback sim;
    BoxRecorder boxes;
    std::unique_ptr<DialogOnLoopback<>> t;
    CLoopbackWire* wire = nullptr;

    UpdateRig(const SDevSimIdentity& id, const DialogOptions& o = {},
              const SDevSimBehaviour& behaviour = {})
        : sim(id, behaviour)
    {
        t = std::make_unique<DialogOnLoopback<>>(o, [&](FakeEnumerator& e, LoopbackConnector& c) {
            wire = &c.addPort(kPort, nullptr);
            sim.attach(*wire);
            e.ports << devicePort(kPort);
        });
    }
    CMainDialogNew& d() { return *t->dialog; }
    // Partition types as the unit received them, complete images only.
    QVector<int> flashedTypes()
    {
        QVector<int> types;
        for (const SDevSimFlashedImage& image : sim.unit().flash().images())
            types << (image.complete ? image.type : -image.type);
        return types;
    }
};

// The unit's record of an image against the built-in image, block by block: empty when they
// agree, else what differs first.
inline QString differenceFromBuiltIn(const SDevSimFlashedImage& flashed, int type, int system)
{
    const CFlashImageList images;
    const CFlashImage* image = images.find(type, system);
    if (!image)
        return QStringLiteral("no built-in image of type %1").arg(type);
    if (!flashed.complete)
        return QStringLiteral("image of type %1 incomplete").arg(flashed.type);
    if (flashed.mainVer != image->m_MainVer || flashed.subVer != image->m_SubVer)
        return QStringLiteral("version %1.%2").arg(flashed.mainVer).arg(flashed.subVer);
    if (flashed.blocks.size() != image->m_MemBlocks.size())
        return QStringLiteral("%1 blocks").arg(flashed.blocks.size());
    for (int k = 0; k < flashed.blocks.size(); ++k) {
        const SDevSimFlashedBlock& got = flashed.blocks[k];
        const SMemBlock& want = image->m_MemBlocks[k];
        if (got.memAdr != want.m_MemAdr || got.plainLen != want.m_PlainLen ||
            got.crc16 != want.m_CRC16 || got.data != want.m_BlockData || !got.complete)
            return QStringLiteral("block %1 of type %2 differs").arg(k).arg(type);
    }
    return {};
}

inline void compareWithBuiltIn(const SDevSimFlashedImage& flashed, int type, int system)
{
    const QString difference = differenceFromBuiltIn(flashed, type, system);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

Q_DECLARE_METATYPE(SDevSimIdentity)
