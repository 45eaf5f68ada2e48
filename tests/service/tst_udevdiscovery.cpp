// Discovery and the set-up check on the real Linux device path: a mocked USB unit in a
// umockdev test bed (runs under umockdev-wrapper).

// First: glib's headers use names that Qt defines as macros.
#include "mockbed.h"

#include "cli/clidoctor.h"
#include "service/exitcodes.h"
#include "service/identityview.h"
#include "service/portdoctor.h"
#include "service/portenumerator.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>

#include <memory>

namespace {
// udev reports a port at once; the polling fallback would take up to a second.
constexpr int kNoticedWithinMs = 300;

void writeFile(const QString& path, const QByteArray& content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}
// The port of that name among the spy's signals; empty when it was not signalled.
SPortInfo signalled(const QSignalSpy& spy, const QString& name)
{
    for (const QList<QVariant>& args : spy) {
        const auto port = args.at(0).value<SPortInfo>();
        if (port.portName == name)
            return port;
    }
    return {};
}
} // namespace

class tst_UdevDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unitFoundAndLostByUevent();
    void doctorOnInaccessibleNode();

private:
    std::unique_ptr<MockBed> m_Bed;
};

void tst_UdevDiscovery::initTestCase()
{
    m_Bed = std::make_unique<MockBed>();
    QVERIFY2(MockBed::active(), "run this test under umockdev-wrapper");
}

void tst_UdevDiscovery::unitFoundAndLostByUevent()
{
    CPortEnumerator enumerator;
    enumerator.setPortDir(QString());
    enumerator.setUpNotifications();
    QVERIFY(enumerator.usesUdev());
    QSignalSpy found(&enumerator, &CPortEnumerator::deviceDiscovered);
    QSignalSpy lost(&enumerator, &CPortEnumerator::deviceRemoved);

    m_Bed->plug(QStringLiteral("ttyACM3"), 0x0403, 0x6001); // other equipment
    QTRY_VERIFY_WITH_TIMEOUT(signalled(found, "ttyACM3").portName == "ttyACM3", kNoticedWithinMs);
    QVERIFY(selectDevicePort(enumerator.getPorts(), QString()).isEmpty());
    m_Bed->plug(QStringLiteral("ttyACM0"));
    QTRY_VERIFY_WITH_TIMEOUT(signalled(found, "ttyACM0").portName == "ttyACM0", kNoticedWithinMs);
    const SPortInfo unit = signalled(found, "ttyACM0");
    QCOMPARE(unit.vendorID, kDeviceVendorId);
    QCOMPARE(unit.productID, kDeviceProductId);
    QCOMPARE(selectDevicePort(enumerator.getPorts(), QString()), QStringLiteral("ttyACM0"));

    m_Bed->unplug(QStringLiteral("ttyACM0"));
    QTRY_VERIFY_WITH_TIMEOUT(signalled(lost, "ttyACM0").portName == "ttyACM0", kNoticedWithinMs);
    QVERIFY(selectDevicePort(enumerator.getPorts(), QString()).isEmpty());
    m_Bed->unplug(QStringLiteral("ttyACM3"));
}

// The node belongs to root with mode 0600: a user outside dialout without a seat cannot open
// it, ModemManager holds it and is not told to keep away. Then the same unit as the udev rule
// sets it up, for a user in dialout: all is well.
void tst_UdevDiscovery::doctorOnInaccessibleNode()
{
    const QString port = QStringLiteral("ttyACM5");
    m_Bed->plug(port);
    QTemporaryDir dir;
    const QByteArray rule = [] {
        QFile file(qEnvironmentVariable("VENTARO_SOURCE_DIR") + "/packaging/60-ventaro.rules");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QVERIFY(!rule.isEmpty());
    writeFile(dir.filePath("lib/60-ventaro.rules"), rule);
    writeFile(dir.filePath("proc/812/comm"), "ModemManager\n");
    QVERIFY(QDir().mkpath(dir.filePath("proc/812/fd")));
    QVERIFY(QFile::link("/dev/" + port, dir.filePath("proc/812/fd/9")));
    const group* dialout = ::getgrnam("dialout");
    QVERIFY(dialout);
    // The node as the preloaded process sees it is a file below the bed's root.
    const QByteArray node = QFile::encodeName(m_Bed->root() + "/dev/" + port);
    QCOMPARE(::chown(node.constData(), 0, 0), 0);
    QCOMPARE(::chmod(node.constData(), 0600), 0);

    SDoctorInput in = SDoctorInput::system();
    in.rulesDirs = QStringList{dir.filePath("etc"), dir.filePath("lib")};
    in.procRoot = dir.filePath("proc");
    in.uid = 4242;
    in.groups = {4242};
    in.hasSeat = false;
    QCOMPARE(in.ports.size(), 1);
    QCOMPARE(in.ports.at(0).portName, port);

    QList<SDoctorCheck> checks = portdoctor::runAll(in);
    QCOMPARE(checks.size(), 5);
    QCOMPARE(checks.at(0).status, SDoctorCheck::EOk); // the rule
    QCOMPARE(checks.at(1).status, SDoctorCheck::EOk); // udev (the bed stands in for it)
    const SDoctorCheck& access = checks.at(2);
    QCOMPARE(access.id, "access:" + port);
    QCOMPARE(access.status, SDoctorCheck::EProblem);
    QVERIFY2(access.text.contains("mode 0600") && access.text.contains("not in the dialout") &&
                 access.text.contains("no local seat"),
             qPrintable(access.text));
    QVERIFY(access.fix.contains("adduser"));
    QCOMPARE(checks.at(3).status, SDoctorCheck::EProblem);
    QCOMPARE(checks.at(3).text, port + " is open in ModemManager (pid 812)");
    QCOMPARE(checks.at(4).status, SDoctorCheck::EProblem); // ModemManager does not ignore it

    QString text;
    QTextStream out(&text);
    QCOMPARE(runDoctor(in, true, out), cliexit::kDoctorProblem);
    out.flush();
    QVERIFY2(text.startsWith("{\"checks\":[") && text.endsWith("\"ok\":false}\n"),
             qPrintable(text));

    // A rule left over from an older package keeps ModemManager's hands free.
    writeFile(dir.filePath("etc/60-ventaro.rules"),
              "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0409\", ATTRS{idProduct}==\"01d9\", "
              "GROUP=\"dialout\", MODE=\"0660\", TAG+=\"uaccess\"\n");
    QCOMPARE(::chown(node.constData(), 0, dialout->gr_gid), 0);
    QCOMPARE(::chmod(node.constData(), 0660), 0);
    QVERIFY(QFile::remove(dir.filePath("proc/812/fd/9")));
    QVERIFY(QFile::remove(dir.filePath("proc/812/comm")));
    in.groups << uint(dialout->gr_gid);
    checks = portdoctor::runAll(in);
    QCOMPARE(checks.at(0).status, SDoctorCheck::EProblem);
    QVERIFY2(checks.at(0).text.contains("ID_MM_DEVICE_IGNORE"), qPrintable(checks.at(0).text));

    QVERIFY(QFile::remove(dir.filePath("etc/60-ventaro.rules")));
    text.clear();
    QCOMPARE(runDoctor(in, false, out), cliexit::kOk);
    out.flush();
    QVERIFY2(text.endsWith("All is well.\n"), qPrintable(text));
    m_Bed->unplug(port);
}

QTEST_MAIN(tst_UdevDiscovery)
#include "tst_udevdiscovery.moc"
