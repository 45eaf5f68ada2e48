#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Tells when the system adds or removes a serial port: a libudev netlink monitor on the "tty"
// subsystem, its socket watched by a QSocketNotifier in the thread that starts it. It only
// says "something changed"; the port list itself is read elsewhere, so vendor and product IDs
// come from the same source with or without udev.
//
// udev's notifications come from udevd after it applied its rules (device node, owner, mode),
// so a port announced here can be opened at once. Without udevd (containers, chroots) a
// monitor can be created but never hears anything; start() refuses then, and the caller
// falls back to polling.
class CUdevMonitor : public QObject
{
    Q_OBJECT

public:
    // Where udevd keeps its control socket while it runs.
    static constexpr const char* kUdevControlPath = "/run/udev/control";

    explicit CUdevMonitor(QObject* parent = nullptr);
    ~CUdevMonitor() override;
    CUdevMonitor(const CUdevMonitor&) = delete;
    CUdevMonitor& operator=(const CUdevMonitor&) = delete;

    // Whether notifications can arrive here: udevd runs, or a umockdev test bed (which sends
    // its uevents itself) stands in for it.
    static bool udevAvailable();

    // A udev property of a tty port ("ttyACM0" or "/dev/ttyACM0"); empty when the port or
    // the property is unknown to udev.
    static QString portProperty(const QString& portName, const QString& key);

    // Starts listening; false with `reason` set when udev is not available or the monitor
    // could not be set up. Calling it again while running does nothing and returns true.
    [[nodiscard]] bool start(QString& reason);
    bool isRunning() const { return m_Notifier != nullptr; }

Q_SIGNALS:
    // A tty device was added, removed or changed; `action` is udev's ("add", "remove", ...).
    void portsChanged(const QString& action, const QString& devNode);

private:
    void receive();
    void stop();

    udev* m_Udev = nullptr;
    udev_monitor* m_Monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_Notifier;
};
