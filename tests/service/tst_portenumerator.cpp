#include "logcapture.h"
#include "service/portenumerator.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <utime.h>

namespace {
void announce(const QString& dir, const QString& name, const QString& path,
              const QString& vid = "0x0409", const QString& pid = "0x01D9")
{
    const QString tmp = dir + "/." + name + ".tmp";
    QFile file(tmp);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString("port=%1\nvid=%2\npid=%3\n").arg(path, vid, pid).toUtf8());
    file.close();
    // rename(2) replaces an existing file atomically, as the simulated unit does.
    QCOMPARE(::rename(QFile::encodeName(tmp).constData(),
                      QFile::encodeName(dir + "/" + name + ".port").constData()),
             0);
}
// A stand-in for a device node, inside the test's folder.
QString node(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(QStringLiteral("dev-") + name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create %s", qPrintable(path));
    return path;
}
} // namespace

class tst_PortEnumerator : public QObject
{
    Q_OBJECT

private slots:
    void readsPortFiles();
    void noticesVirtualPortsQuickly();
    void onlyRealChangesAreSignalled();
    void portOfADeadUnitIsGone();
    void nodeUnderTheSameName_data();
    void nodeUnderTheSameName();
};

void tst_PortEnumerator::readsPortFiles()
{
    QTemporaryDir dir;
    const QString a = node(dir, "7");
    announce(dir.path(), "a", a);
    announce(dir.path(), "b", node(dir, "9"), "1033", "473");
    announce(dir.path(), "c", dir.filePath("no-such-node"));
    QFile bad(dir.path() + "/broken.port");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("port=/dev/pts/3\nvid=zz\n");
    bad.close();
    QFile other(dir.path() + "/notes.txt");
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("port=/dev/pts/4\nvid=0x0409\npid=0x01D9\n");
    other.close();

    LogCapture log;
    const auto ports = CPortEnumerator::virtualPorts(dir.path());
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports[0].portName, a);
    QCOMPARE(ports[0].vendorID, 0x0409);
    QCOMPARE(ports[0].productID, 0x01D9);
    QCOMPARE(ports[1].vendorID, 1033);
    QCOMPARE(ports[1].productID, 473);
    QVERIFY(log.contains("malformed port file"));
    QVERIFY(CPortEnumerator::virtualPorts(dir.path() + "/missing").isEmpty());
}

void tst_PortEnumerator::noticesVirtualPortsQuickly()
{
    QTemporaryDir dir;
    CPortEnumerator enumerator;
    enumerator.setPortDir(dir.path());
    enumerator.setUpNotifications();
    QSignalSpy found(&enumerator, &CPortEnumerator::deviceDiscovered);
    QSignalSpy gone(&enumerator, &CPortEnumerator::deviceRemoved);

    const QString pts42 = node(dir, "42");
    QElapsedTimer clock;
    clock.start();
    announce(dir.path(), "unit", pts42);
    QVERIFY(found.wait(1000));
    QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(found.takeFirst().at(0).value<SPortInfo>().portName, pts42);
    QVERIFY(enumerator.getPorts().contains(SPortInfo{pts42, 0x0409, 0x01D9}));

    clock.restart();
    QVERIFY(QFile::remove(dir.path() + "/unit.port"));
    QVERIFY(gone.wait(1000));
    QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(gone.takeFirst().at(0).value<SPortInfo>().portName, pts42);
}

void tst_PortEnumerator::onlyRealChangesAreSignalled()
{
    QTemporaryDir dir;
    const QString pts42 = node(dir, "42");
    const QString pts43 = node(dir, "43");
    CPortEnumerator enumerator;
    enumerator.setPortDir(dir.path());
    announce(dir.path(), "unit", pts42);
    enumerator.setUpNotifications();
    QSignalSpy found(&enumerator, &CPortEnumerator::deviceDiscovered);
    QSignalSpy gone(&enumerator, &CPortEnumerator::deviceRemoved);

    // An unrelated file changing in the folder is no device change.
    QFile other(dir.path() + "/readme");
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QTest::qWait(1300); // also spans one scan of the real ports
    QCOMPARE(found.size(), 0);
    QCOMPARE(gone.size(), 0);

    // The unit restarts on a new pseudo-terminal under the same file name.
    announce(dir.path(), "unit", pts43);
    QVERIFY(found.wait(1000));
    QCOMPARE(gone.size(), 1);
    QCOMPARE(gone[0].at(0).value<SPortInfo>().portName, pts42);
    QCOMPARE(found[0].at(0).value<SPortInfo>().portName, pts43);
}

// A unit killed outright leaves its port file behind, but its pseudo-terminal is gone: the
// port counts as removed at the next scan, and a new unit under the same file name is found.
void tst_PortEnumerator::portOfADeadUnitIsGone()
{
    QTemporaryDir dir;
    const QString pts = node(dir, "5");
    CPortEnumerator enumerator;
    enumerator.setPortDir(dir.path());
    announce(dir.path(), "unit", pts);
    enumerator.setUpNotifications();
    QSignalSpy found(&enumerator, &CPortEnumerator::deviceDiscovered);
    QSignalSpy gone(&enumerator, &CPortEnumerator::deviceRemoved);

    QVERIFY(QFile::remove(pts));
    QVERIFY(gone.wait(2500));
    QCOMPARE(gone[0].at(0).value<SPortInfo>().portName, pts);
    QVERIFY(CPortEnumerator::virtualPorts(dir.path()).isEmpty());

    const QString next = node(dir, "6");
    announce(dir.path(), "unit", next);
    QVERIFY(found.wait(1000));
    QCOMPARE(found[0].at(0).value<SPortInfo>().portName, next);
}

// A unit unplugged and plugged in again between two scans gets the same name but a new device
// node: it went away and came back, and both are told.
void tst_PortEnumerator::nodeUnderTheSameName_data()
{
    QTest::addColumn<bool>("madeAnew");
    // A unit back under the same name within one scan: it went and came, both are told.
    QTest::addRow("made anew") << true;
    // A new mode, owner or ACL (logind's uaccess on a seat change, `udevadm trigger`) or a
    // touch leaves the same port: nothing is told, and its generation stays.
    QTest::addRow("touched and given another mode") << false;
}

void tst_PortEnumerator::nodeUnderTheSameName()
{
    QFETCH(bool, madeAnew);
    QTemporaryDir dir;
    const QString pts = node(dir, "5");
    CPortEnumerator enumerator;
    enumerator.setPortDir(dir.path());
    announce(dir.path(), "unit", pts);
    enumerator.setUpNotifications();
    auto generationOf = [&] {
        for (const SPortInfo& port : enumerator.getPorts())
            if (port.portName == pts)
                return port.generation;
        return quint64(0);
    };
    const quint64 generation = generationOf();
    QVERIFY(generation != 0);
    QSignalSpy found(&enumerator, &CPortEnumerator::deviceDiscovered);
    QSignalSpy gone(&enumerator, &CPortEnumerator::deviceRemoved);

    if (madeAnew) {
        QVERIFY(QFile::remove(pts));
        QCOMPARE(node(dir, "5"), pts);
    } else {
        QVERIFY(QFile::setPermissions(pts, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(::utime(QFile::encodeName(pts).constData(), nullptr) == 0);
    }
    QCOMPARE(found.wait(madeAnew ? 2500 : 1500), madeAnew); // 1.5 s: more than a scan
    QCOMPARE(gone.size(), madeAnew ? 1 : 0);
    QCOMPARE(generationOf() != generation, madeAnew);
    if (madeAnew) {
        QCOMPARE(gone[0].at(0).value<SPortInfo>().portName, pts);
        QCOMPARE(found[0].at(0).value<SPortInfo>().portName, pts);
    }
}

QTEST_GUILESS_MAIN(tst_PortEnumerator)
#include "tst_portenumerator.moc"
