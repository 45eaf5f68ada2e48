// The doctor's findings on a machine described in a temporary folder: rule files and the
// processes that hold a port open.

#include "service/portdoctor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

const QByteArray kRule =
    "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0409\", ATTRS{idProduct}==\"01d9\", "
    "GROUP=\"dialout\", MODE=\"0660\", TAG+=\"uaccess\", "
    "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n";

} // namespace

class tst_PortDoctor : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void holdersNotLookedAt();
};

void tst_PortDoctor::rule_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("status");
    QTest::addRow("the rule") << kRule << int(SDoctorCheck::EOk);
    QTest::addRow("commented out") << "# " + kRule << int(SDoctorCheck::EProblem);
    QTest::addRow("indented comment") << "   #" + kRule << int(SDoctorCheck::EProblem);
}

void tst_PortDoctor::rule()
{
    QFETCH(QByteArray, content);
    QFETCH(int, status);
    QTemporaryDir dir;
    writeFile(dir.filePath("rules/60-ventaro.rules"), content);
    SDoctorInput in;
    in.rulesDirs = QStringList{dir.filePath("rules")};
    in.procRoot = dir.filePath("proc");
    const SDoctorCheck rule = portdoctor::runAll(in).value(0);
    QCOMPARE(rule.id, QStringLiteral("udev-rule"));
    QCOMPARE(int(rule.status), status);
}

// A process whose open files cannot be read is no proof that nothing holds the port.
void tst_PortDoctor::holdersNotLookedAt()
{
    QTemporaryDir dir;
    const QString node = dir.filePath("ttyACM0");
    writeFile(node, "");
    writeFile(dir.filePath("proc/812/comm"), "picocom\n");
    writeFile(dir.filePath("proc/812/fd"), ""); // not a folder that can be listed
    SDoctorInput in;
    in.procRoot = dir.filePath("proc");
    int unseen = 0;
    QVERIFY(portdoctor::holders(in, node, &unseen).isEmpty());
    QCOMPARE(unseen, 1);
    const SDoctorCheck held = portdoctor::portChecks(in, node).value(1);
    QCOMPARE(held.id, "in-use:" + node);
    QCOMPARE(held.status, SDoctorCheck::ENote);
    QVERIFY(!held.fix.isEmpty());
}

QTEST_GUILESS_MAIN(tst_PortDoctor)
#include "tst_portdoctor.moc"
