#include "portenumerator.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Two numbers into one that differs when either does.
quint64 mix(quint64 a, quint64 b)
{
    return (a ^ (b + 0x9e3779b97f4a7c15ull + (a << 6) + (a >> 2))) * 0xff51afd7ed558ccdull;
}

// Which file is at `path`: its device, inode, device number and, where the file system keeps
// it, its birth time (a file made anew may get the inode of a removed one). Never its other
// times. 0 when there is none.
quint64 fileStamp(const QString& path)
{
    struct statx st = {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_INO | STATX_BTIME, &st) !=
        0)
        return 0;
    quint64 stamp = mix(quint64(st.stx_dev_major) << 32 | st.stx_dev_minor, st.stx_ino);
    stamp = mix(stamp, quint64(st.stx_rdev_major) << 32 | st.stx_rdev_minor);
    if (st.stx_mask & STATX_BTIME)
        stamp = mix(stamp, quint64(st.stx_btime.tv_sec) * 1000000000u + st.stx_btime.tv_nsec);
    return stamp;
}
bool parseNumber(const QString& text, int& out)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 0); // 0x0409 and 1033 both read
    if (ok)
        out = value;
    return ok;
}

} // namespace

CPortEnumerator::CPortEnumerator(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<SPortInfo>();
    setPortDir(qEnvironmentVariable("VENTARO_PORT_DIR"));
    m_RealScan.setInterval(kRealPortScanMs);
    connect(&m_RealScan, &QTimer::timeout, this, [this] { scanTick(); });
    m_BackupScan.setInterval(kUdevBackupScanMs);
    connect(&m_BackupScan, &QTimer::timeout, this, [this] {
        if (!usesUdev() || !ttyNodesChanged())
            return;
        qDebug() << "*** udev did not report a change of the serial ports; looking for them every"
                 << kRealPortScanMs << "ms from now on";
        m_UdevMissed = true;
        m_Real = realPorts();
        rescan();
        updateScanTimer();
    });
    connect(&m_Watcher, &QFileSystemWatcher::directoryChanged, this, [this] { rescan(); });
    connect(&m_Udev, &CUdevMonitor::portsChanged, this,
            [this](const QString& action, const QString& node) {
                qDebug() << "*** udev:" << action << node;
                m_TtyNodes = ttyNodes();
                m_Real = realPorts();
                rescan();
            });
}

void CPortEnumerator::scanTick()
{
    // A full port scan takes milliseconds and runs in the middle of uploads; the tty nodes'
    // names are read in a fraction of that and change whenever a real port comes or goes.
    if (!usesUdev() && ttyNodesChanged())
        m_Real = realPorts();
    watchPortDir();
    rescan();
    updateScanTimer();
}

bool CPortEnumerator::ttyNodesChanged()
{
    const QStringList nodes = ttyNodes();
    if (nodes == m_TtyNodes)
        return false;
    m_TtyNodes = nodes;
    return true;
}

void CPortEnumerator::updateScanTimer()
{
    const bool waitingForFolder = !m_PortDir.isEmpty() && m_Watcher.directories().isEmpty();
    if (!usesUdev() || waitingForFolder) {
        if (!m_RealScan.isActive())
            m_RealScan.start();
    } else {
        m_RealScan.stop();
    }
    if (usesUdev() && !m_BackupScan.isActive())
        m_BackupScan.start();
    else if (!usesUdev())
        m_BackupScan.stop();
}

void CPortEnumerator::setPortDir(const QString& dir)
{
    if (!m_Watcher.directories().isEmpty())
        m_Watcher.removePaths(m_Watcher.directories());
    m_PortDir = dir;
    if (m_Notifying) {
        watchPortDir();
        updateScanTimer();
    }
}

void CPortEnumerator::watchPortDir()
{
    if (!m_PortDir.isEmpty() && m_Watcher.directories().isEmpty() && QDir(m_PortDir).exists())
        m_Watcher.addPath(m_PortDir);
}

bool CPortEnumerator::readPortFile(const QString& path, SPortInfo& info)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    SPortInfo read;
    bool hasPort = false, hasVid = false, hasPid = false;
    const QList<QByteArray> lines = file.read(4096).split('\n');
    for (const QByteArray& raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("port")) {
            read.portName = value;
            hasPort = !value.isEmpty();
        } else if (key == QLatin1String("vid")) {
            hasVid = parseNumber(value, read.vendorID);
        } else if (key == QLatin1String("pid")) {
            hasPid = parseNumber(value, read.productID);
        }
    }
    if (!hasPort || !hasVid || !hasPid) {
        qDebug() << "*** ignoring malformed port file" << path;
        return false;
    }
    info = read;
    return true;
}

QList<SPortInfo> CPortEnumerator::virtualPorts(const QString& dir)
{
    QList<SPortInfo> ports;
    if (dir.isEmpty())
        return ports;
    const QDir folder(dir);
    const QStringList files = folder.entryList({QStringLiteral("*.port")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        SPortInfo info;
        // A file left behind by a unit that died (its pseudo-terminal is gone) is no device,
        // as the system drops the node of a device that went away.
        const QString path = folder.filePath(name);
        if (!readPortFile(path, info) || !QFileInfo::exists(nodePath(info.portName)))
            continue;
        // A pseudo-terminal's number and inode are handed on to the next one; the file that
        // announces it is new each time.
        info.generation = mix(fileStamp(path), nodeStamp(info.portName));
        ports << info;
    }
    return ports;
}

QStringList CPortEnumerator::ttyNodes()
{
    QStringList nodes =
        QDir(QStringLiteral("/dev"))
            .entryList({QStringLiteral("tty*")}, QDir::System | QDir::Files, QDir::Name);
    // A unit unplugged and back under the same name between two looks has a new node.
    for (QString& node : nodes)
        node += QLatin1Char(' ') + QString::number(nodeStamp(node));
    return nodes;
}

QString CPortEnumerator::nodePath(const QString& portName)
{
    return portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

quint64 CPortEnumerator::nodeStamp(const QString& portName)
{
    return fileStamp(nodePath(portName));
}

QList<SPortInfo> CPortEnumerator::realPorts()
{
    QList<SPortInfo> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        SPortInfo port;
        port.portName = info.portName();
        port.vendorID = info.hasVendorIdentifier() ? info.vendorIdentifier() : 0;
        port.productID = info.hasProductIdentifier() ? info.productIdentifier() : 0;
        port.generation = nodeStamp(port.portName);
        ports << port;
    }
    return ports;
}

QList<SPortInfo> CPortEnumerator::systemPorts()
{
    return realPorts() + virtualPorts(qEnvironmentVariable("VENTARO_PORT_DIR"));
}

QList<SPortInfo> CPortEnumerator::getPorts()
{
    if (!m_Notifying)
        m_Real = realPorts();
    return current();
}

QList<SPortInfo> CPortEnumerator::current() const
{
    QList<SPortInfo> ports = m_Real + virtualPorts(m_PortDir);
    for (SPortInfo& port : ports) {
        // A real port read again after udev said it went away may have the same node.
        if (const quint64 plugs = m_Plugs.value(port.portName))
            port.generation = mix(port.generation, plugs);
    }
    return ports;
}

void CPortEnumerator::setUpNotifications()
{
    m_Notifying = true;
    QString reason;
    if (m_Udev.start(reason))
        qDebug() << "*** following serial ports through udev";
    else
        qDebug() << "*** no udev notifications:" << reason << "- looking for serial ports every"
                 << kRealPortScanMs << "ms";
    m_TtyNodes = ttyNodes();
    m_Real = realPorts();
    m_Known = current();
    m_KnownStamps.clear();
    for (const SPortInfo& port : m_Known)
        m_KnownStamps.insert(port.portName, port.generation);
    watchPortDir();
    updateScanTimer();
}

void CPortEnumerator::rescan()
{
    QList<SPortInfo> now = current();
    const QList<SPortInfo> before = m_Known;
    // A port gone since the last look is another one when it comes back, whatever its node.
    bool plugged = false;
    for (const SPortInfo& port : before) {
        if (!now.contains(port)) {
            ++m_Plugs[port.portName];
            plugged = true;
        }
    }
    if (plugged)
        now = current();
    QHash<QString, quint64> stamps;
    for (const SPortInfo& port : now)
        stamps.insert(port.portName, port.generation);
    const QHash<QString, quint64> known = m_KnownStamps;
    // A port whose node was made anew is a unit that went and came back: both are told.
    auto renewed = [&](const SPortInfo& port) {
        return known.value(port.portName) != stamps.value(port.portName);
    };
    m_Known = now;
    m_KnownStamps = stamps;
    for (const SPortInfo& port : before) {
        if (!now.contains(port) || renewed(port))
            Q_EMIT deviceRemoved(port);
    }
    for (const SPortInfo& port : now) {
        if (!before.contains(port) || renewed(port))
            Q_EMIT deviceDiscovered(port);
    }
}
