#pragma once

// A ventaro unit on the real Linux device path without hardware: a umockdev test bed holds a
// USB CDC-ACM device (sysfs, udev properties, uevents, a kernel pty as its /dev node) and a
// simulated unit answers on the pty's master side from a thread of its own, on a real clock.
// The process must run under umockdev-wrapper, with one bed per process.

// First: glib's headers use names that Qt defines as macros, and the engine has a member named
// like one.
#include <umockdev.h>

#include "engine/devsimengine.h"

#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

class MockBed
{
public:
    MockBed() : m_Bed(umockdev_testbed_new()) {}
    ~MockBed()
    {
        g_object_unref(m_Bed);
        for (const int fd : m_HeldSlaves)
            ::close(fd);
    }
    MockBed(const MockBed&) = delete;
    MockBed& operator=(const MockBed&) = delete;

    static bool active() { return umockdev_in_mock_environment(); }
    QString root() const
    {
        gchar* dir = umockdev_testbed_get_root_dir(m_Bed);
        const QString path = QString::fromLocal8Bit(dir);
        g_free(dir);
        return path;
    }

    // Adds a USB device with its interface and its tty `name` (ttyACMn) and announces the tty.
    void plug(const QString& name, int vid = 0x0409, int pid = 0x01D9)
    {
        const int n = number(name);
        const QByteArray usbName = QByteArray("1-") + QByteArray::number(n + 1);
        const QByteArray vidText = QString::asprintf("%04x", vid).toLatin1();
        const QByteArray pidText = QString::asprintf("%04x", pid).toLatin1();
        gchar* usb = umockdev_testbed_add_device(
            m_Bed, "usb", usbName.constData(), nullptr, "idVendor", vidText.constData(),
            "idProduct", pidText.constData(), nullptr, "ID_VENDOR_ID", vidText.constData(),
            "ID_MODEL_ID", pidText.constData(), "DEVTYPE", "usb_device", nullptr);
        gchar* iface = umockdev_testbed_add_device(m_Bed, "usb", (usbName + ":1.0").constData(),
                                                   usb, "bInterfaceClass", "02", nullptr, "DEVTYPE",
                                                   "usb_interface", nullptr);
        const QByteArray devPath =
            QByteArray(iface).mid(int(qstrlen("/sys"))) + "/tty/" + name.toLatin1();
        const QByteArray description =
            "P: " + devPath + "\nN: " + name.toLatin1() + "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" +
            name.toLatin1() + "\nE: ID_BUS=usb\nE: ID_VENDOR_ID=" + vidText +
            "\nE: ID_MODEL_ID=" + pidText + "\nA: dev=166:" + QByteArray::number(n) + "\n";
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(m_Bed, description.constData(), &error))
            qFatal("umockdev: %s", error ? error->message : "cannot add the tty");
        m_Devices[name] = {QByteArray(usb), QByteArray(iface), "/sys" + devPath};
        g_free(usb);
        g_free(iface);
    }

    // The cable pulled: the tty is announced gone, the devices leave sysfs and the pty's
    // master closes, so the tool's reads and writes on it fail.
    void unplug(const QString& name)
    {
        const SDevices d = m_Devices.take(name);
        if (d.tty.isEmpty())
            return;
        const int fd = master(name);
        umockdev_testbed_uevent(m_Bed, d.tty.constData(), "remove");
        umockdev_testbed_remove_device(m_Bed, d.tty.constData());
        umockdev_testbed_remove_device(m_Bed, d.iface.constData());
        umockdev_testbed_remove_device(m_Bed, d.usb.constData());
        // The bed keeps the master after the device is gone (and closes it at its end): its
        // number is made to refer to an unused pipe, which closes the pty's master. An open
        // slave kept here stops the kernel from handing the pty's number out again, which the
        // bed, remembering it, would refuse.
        if (fd >= 0) {
            const int peer = ::ioctl(fd, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (peer >= 0)
                m_HeldSlaves << peer;
        }
        int spare[2] = {-1, -1};
        if (fd >= 0 && ::pipe(spare) == 0) {
            ::dup2(spare[0], fd);
            ::close(spare[0]);
            ::close(spare[1]);
        }
    }

    // A tty name not used before in this bed, which never hands out a node name twice.
    QString freshName() { return QStringLiteral("ttyACM%1").arg(m_NextNumber++); }

    // The master side of the tty's pty, owned by the bed; -1 when the tty is not there.
    int master(const QString& name)
    {
        return umockdev_testbed_get_dev_fd(m_Bed, ("/dev/" + name).toLatin1().constData());
    }

private:
    struct SDevices
    {
        QByteArray usb, iface, tty; // sysfs paths
    };
    static int number(const QString& name)
    {
        int i = name.size();
        while (i > 0 && name.at(i - 1).isDigit())
            --i;
        return name.mid(i).toInt();
    }

    UMockdevTestbed* m_Bed;
    QMap<QString, SDevices> m_Devices;
    int m_NextNumber = 0;
    QVector<int> m_HeldSlaves;
};

// A simulated unit answering on a pty master from its own thread. Every use of the engine from
// another thread goes through with().
class UnitBridge
{
public:
    explicit UnitBridge(const SDevSimIdentity& id, const SDevSimBehaviour& behaviour = {})
        : m_Engine(id, behaviour)
    {
        m_Clock.start();
        m_Thread = std::thread([this] { run(); });
    }
    ~UnitBridge()
    {
        m_Stop = true;
        m_Thread.join();
    }
    UnitBridge(const UnitBridge&) = delete;
    UnitBridge& operator=(const UnitBridge&) = delete;

    // The master the unit talks on; -1 while its port is gone. Returns once the thread no
    // longer uses the previous one.
    void setMaster(int fd)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Master = fd;
        m_AbsencesAtAttach = m_Engine.absences();
        m_Due.clear();
        m_FirstByteAtMs = -1;
        if (fd >= 0)
            ++m_Attachments;
    }
    // Runs in the unit's thread after the tool's bytes were handled and before the unit's
    // answer goes out; given the number of masters attached so far and the time (ms).
    void onStep(std::function<void(CDevSimEngine&, int attachments, qint64 nowMs)> hook)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Hook = std::move(hook);
    }
    template <typename F>
    auto with(F f)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return f(m_Engine);
    }
    bool present()
    {
        return with([](CDevSimEngine& e) { return e.present(); });
    }
    int absences()
    {
        return with([](CDevSimEngine& e) { return e.absences(); });
    }
    // The user switches the unit off and on.
    void powerCycle()
    {
        with([this](CDevSimEngine& e) { e.powerCycle(m_Clock.elapsed()); });
    }
    // When the tool's first byte arrived on the current master (ms on clock()), or -1.
    qint64 firstByteAtMs() const { return m_FirstByteAtMs; }
    const QElapsedTimer& clock() const { return m_Clock; }

private:
    void run()
    {
        char buffer[4096];
        while (!m_Stop) {
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                step(buffer, sizeof buffer);
            }
            // Outside the lock, so the test thread gets its turn.
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }

    void step(char* buffer, size_t size)
    {
        const qint64 now = m_Clock.elapsed();
        // A unit that went away since its port was attached comes back on a new port only.
        const bool attached =
            m_Master >= 0 && m_Engine.present() && m_Engine.absences() == m_AbsencesAtAttach;
        if (attached) {
            pollfd p{m_Master, POLLIN, 0};
            // The master reports a hang-up while the tool has the port closed.
            if (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
                const ssize_t n = ::read(m_Master, buffer, size);
                if (n > 0) {
                    if (m_FirstByteAtMs < 0)
                        m_FirstByteAtMs = m_Clock.elapsed();
                    m_Engine.hostBytes(reinterpret_cast<const UINT8*>(buffer), int(n), now);
                }
            }
        }
        if (m_Hook)
            m_Hook(m_Engine, m_Attachments, now);
        m_Engine.advanceTo(now);
        for (SDevSimOutput& out : m_Engine.takeOutput())
            m_Due.push_back(std::move(out));
        while (!m_Due.empty() && m_Due.front().at <= now) {
            if (attached && m_Engine.present())
                (void)!::write(m_Master, m_Due.front().bytes.constData(),
                               size_t(m_Due.front().bytes.size()));
            m_Due.pop_front();
        }
    }

    std::mutex m_Mutex;
    CDevSimEngine m_Engine;
    QElapsedTimer m_Clock;
    int m_Master = -1;
    int m_Attachments = 0;
    int m_AbsencesAtAttach = 0;
    std::function<void(CDevSimEngine&, int, qint64)> m_Hook;
    std::deque<SDevSimOutput> m_Due;
    std::atomic<qint64> m_FirstByteAtMs{-1};
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

// Plays the kernel's part for a bridged unit: its tty goes away when the unit does and comes
// back under the next name (ttyACM0, ttyACM1, ...), as a CDC-ACM device that re-enumerates
// while its old node is still held open would.
class BedFollower
{
public:
    BedFollower(MockBed& bed, UnitBridge& unit) : m_Bed(bed), m_Unit(unit)
    {
        m_Timer.setInterval(1);
        QObject::connect(&m_Timer, &QTimer::timeout, [this] { follow(); });
    }
    ~BedFollower() { unplug(); }

    // Plugs the unit in now and follows it from then on.
    void start()
    {
        follow();
        m_Timer.start();
    }
    // The cable pulled: the unit's tty goes away until start() plugs it in again.
    void stop()
    {
        m_Timer.stop();
        unplug();
    }
    QString current() const { return m_Current; }
    const QStringList& names() const { return m_Names; }

private:
    void follow()
    {
        const int absences = m_Unit.absences();
        const bool present = m_Unit.present();
        if (!m_Current.isEmpty() && (!present || absences != m_Absences))
            unplug();
        m_Absences = absences;
        if (m_Current.isEmpty() && present) {
            m_Current = m_Bed.freshName();
            m_Names << m_Current;
            m_Bed.plug(m_Current);
            m_Unit.setMaster(m_Bed.master(m_Current));
        }
    }
    void unplug()
    {
        if (m_Current.isEmpty())
            return;
        m_Unit.setMaster(-1);
        m_Bed.unplug(m_Current);
        m_Current.clear();
    }

    MockBed& m_Bed;
    UnitBridge& m_Unit;
    QTimer m_Timer;
    QString m_Current;
    QStringList m_Names;
    int m_Absences = 0;
};
