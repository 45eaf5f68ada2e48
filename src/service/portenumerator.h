#pragma once

#include "service/udevmonitor.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// One serial port as discovery sees it.
struct SPortInfo
{
    QString portName; // what connectPort opens: a device name or a full path
    int vendorID = 0;
    int productID = 0;
    // Which port of that name it is: it changes whenever the port is made anew (a unit
    // unplugged and back, another unit under a name the kernel handed on), never when only its
    // mode, owner or ACL change. Not part of the comparison: a port is its name.
    quint64 generation = 0;
    bool operator==(const SPortInfo& o) const
    {
        return portName == o.portName && vendorID == o.vendorID && productID == o.productID;
    }
};
Q_DECLARE_METATYPE(SPortInfo)

// Follows the serial ports the system adds and removes: real ports from QSerialPortInfo,
// rescanned whenever udev reports a tty device added or removed (or every second where udev
// does not run, which the log says once), plus virtual ports announced as NAME.port files (lines
// port=PATH, vid=0x0409, pid=0x01D9) in the folder named by VENTARO_PORT_DIR, watched for changes.
// deviceDiscovered / deviceRemoved are emitted only for real changes.
class CPortEnumerator : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRealPortScanMs = 1000; // without udev
    static constexpr int kPortDirPollMs = 1000;  // while the folder does not exist
    // With udev: a look at the tty nodes this often all the same. A change udev did not report
    // (lost notifications, or a udev whose events do not reach this container) is found there,
    // and discovery polls from then on.
    static constexpr int kUdevBackupScanMs = 5000;

    explicit CPortEnumerator(QObject* parent = nullptr);

    // Folder of virtual ports; defaults to $VENTARO_PORT_DIR (none when unset or empty).
    void setPortDir(const QString& dir);
    QString portDir() const { return m_PortDir; }

    virtual QList<SPortInfo> getPorts();
    virtual void setUpNotifications();
    // Whether real ports are followed through udev (false before setUpNotifications and in
    // the polling fallback).
    bool usesUdev() const { return m_Udev.isRunning() && !m_UdevMissed; }

    // Reads one NAME.port file; false (with a log line) when it is malformed.
    static bool readPortFile(const QString& path, SPortInfo& info);
    static QList<SPortInfo> virtualPorts(const QString& dir);
    static QList<SPortInfo> realPorts();
    // Real ports and the virtual ones announced in $VENTARO_PORT_DIR, read now.
    static QList<SPortInfo> systemPorts();
    // Names of the tty device nodes in /dev, sorted, each with its nodeStamp.
    static QStringList ttyNodes();
    // Where a port's device node is: a full path stays, a short name lives in /dev.
    static QString nodePath(const QString& portName);
    // Which node the port is now: its inode, device number and birth time, which change when
    // the node is made anew under the same name; 0 when there is none. Never its other times: a
    // changed mode, owner or ACL (logind handing a seat on, `udevadm trigger`) leaves the same
    // node.
    static quint64 nodeStamp(const QString& portName);

Q_SIGNALS:
    void deviceDiscovered(const SPortInfo& info);
    void deviceRemoved(const SPortInfo& info);

protected:
    // Compares the current ports with the last known list and emits the differences.
    void rescan();

private:
    // The ports known now, each with its generation.
    QList<SPortInfo> current() const;
    void watchPortDir();
    void scanTick();
    // With udev the timer only waits for a port folder that does not exist yet.
    void updateScanTimer();
    // The tty nodes changed since the last look: the real ports are read again.
    bool ttyNodesChanged();

    QString m_PortDir;
    QList<SPortInfo> m_Known;
    QList<SPortInfo> m_Real;
    QStringList m_TtyNodes;                // at the last full scan of real ports
    QHash<QString, quint64> m_KnownStamps; // generation of each port in m_Known
    QHash<QString, quint64> m_Plugs;       // per port name: how often it went away
    QFileSystemWatcher m_Watcher;
    QTimer m_RealScan;
    QTimer m_BackupScan;
    CUdevMonitor m_Udev;
    bool m_UdevMissed = false; // udev left a change unreported: polling from then on
    bool m_Notifying = false;
};
