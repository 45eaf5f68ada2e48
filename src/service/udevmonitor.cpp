#include "udevmonitor.h"

#include <QFile>
#include <QSocketNotifier>

#include <libudev.h>
#include <sys/stat.h>

CUdevMonitor::CUdevMonitor(QObject* parent) : QObject(parent) {}

CUdevMonitor::~CUdevMonitor()
{
    stop();
}

bool CUdevMonitor::udevAvailable()
{
    if (!qEnvironmentVariableIsEmpty("UMOCKDEV_DIR"))
        return true;
    // udevd's control socket, not a file left behind. A container may still see the host's
    // socket without its events: discovery's backup scan notices that and polls instead.
    struct stat st = {};
    return ::stat(kUdevControlPath, &st) == 0 && S_ISSOCK(st.st_mode);
}

QString CUdevMonitor::portProperty(const QString& portName, const QString& key)
{
    const QString sysName = portName.mid(portName.lastIndexOf(QLatin1Char('/')) + 1);
    udev* context = udev_new();
    if (!context)
        return {};
    QString value;
    udev_device* device = udev_device_new_from_subsystem_sysname(
        context, "tty", QFile::encodeName(sysName).constData());
    if (device) {
        const char* raw = udev_device_get_property_value(device, key.toLatin1().constData());
        value = QString::fromLocal8Bit(raw ? raw : "");
        udev_device_unref(device);
    }
    udev_unref(context);
    return value;
}

bool CUdevMonitor::start(QString& reason)
{
    if (isRunning())
        return true;
    if (!udevAvailable()) {
        reason = QStringLiteral("udev is not running (no %1)").arg(QLatin1String(kUdevControlPath));
        return false;
    }
    m_Udev = udev_new();
    if (m_Udev)
        m_Monitor = udev_monitor_new_from_netlink(m_Udev, "udev");
    if (!m_Monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_Monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_Monitor) < 0) {
        reason = QStringLiteral("the udev monitor could not be set up");
        stop();
        return false;
    }
    const int fd = udev_monitor_get_fd(m_Monitor);
    if (fd < 0) {
        reason = QStringLiteral("the udev monitor has no socket");
        stop();
        return false;
    }
    m_Notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_Notifier.get(), &QSocketNotifier::activated, this, [this] { receive(); });
    return true;
}

void CUdevMonitor::receive()
{
    // One device per wake-up: the notifier fires again while more are queued.
    udev_device* device = udev_monitor_receive_device(m_Monitor);
    if (!device) {
        // Nothing readable although the socket woke us: the queue overflowed (ENOBUFS) and
        // notifications were lost, or one could not be read. The ports are read again.
        Q_EMIT portsChanged(QString(), QString());
        return;
    }
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    const QString actionText = QString::fromLatin1(action ? action : "");
    const QString nodeText = QString::fromLocal8Bit(node ? node : "");
    udev_device_unref(device);
    Q_EMIT portsChanged(actionText, nodeText);
}

void CUdevMonitor::stop()
{
    m_Notifier.reset();
    if (m_Monitor)
        udev_monitor_unref(m_Monitor);
    m_Monitor = nullptr;
    if (m_Udev)
        udev_unref(m_Udev);
    m_Udev = nullptr;
}
