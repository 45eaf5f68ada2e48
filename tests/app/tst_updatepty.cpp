#include "firmware/flashimagelist.h"
#include "firmware/partitiontable.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The real korvath-update in automatic mode against the real ventaro-devsim on a pty.
namespace {

// A plus update waits 750 ms after each of its 20 blocks; the rest is link time.
constexpr int kUpdateTimeoutMs = 120000;
constexpr int kStartTimeoutMs = 15000;

QString binary(const char* relative)
{
    return QDir(qEnvironmentVariable("VENTARO_BUILD_DIR")).filePath(QLatin1String(relative));
}

// flashed.txt: one line of key=value fields per image and per block.
QHash<QString, QString> fields(const QString& line)
{
    QHash<QString, QString> out;
    for (const QString& item : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq > 0)
            out.insert(item.left(eq), item.mid(eq + 1));
    }
    return out;
}

} // namespace

class tst_UpdatePty : public QObject
{
    Q_OBJECT

private slots:
    void automaticUpdateOfPlusUnit();
};

void tst_UpdatePty::automaticUpdateOfPlusUnit()
{
    QTemporaryDir dir;
    const QString ports = dir.filePath(QStringLiteral("ports"));
    const QString flashOut = dir.filePath(QStringLiteral("flash"));
    QDir().mkpath(ports);
    QDir().mkpath(flashOut);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VENTARO_PORT_DIR"), ports);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcess sim;
    sim.setProcessEnvironment(env);
    sim.setStandardOutputFile(QProcess::nullDevice());
    sim.setStandardErrorFile(dir.filePath(QStringLiteral("sim.log")));
    sim.start(binary("tools/devsim/ventaro-devsim"),
              {"--port-dir", ports, "--name", "unit", "--model", "plus", "--partner", "1",
               "--boot-version", "2.20", "--appl-version", "2.20", "--flash-out", flashOut});
    QVERIFY(sim.waitForStarted(kStartTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(ports).filePath("unit.port")), kStartTimeoutMs);

    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(dir.path());
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(dir.filePath(QStringLiteral("tool.log")));
    tool.start(binary("src/korvath-update"), {"-ap"});
    QVERIFY(tool.waitForStarted(kStartTimeoutMs));
    const bool finished = tool.waitForFinished(kUpdateTimeoutMs);
    if (!finished)
        tool.kill();
    sim.terminate();
    sim.waitForFinished(kStartTimeoutMs);
    QFile log(dir.filePath(QStringLiteral("tool.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray console = log.readAll();
    QVERIFY2(finished, console.right(2000).constData());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 100);

    // What the unit received: the plus application, then the idle bootloader copy (2), each
    // exactly as built in, block by block.
    QFile flashed(QDir(flashOut).filePath(QStringLiteral("flashed.txt")));
    QVERIFY(flashed.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(flashed.readAll()).split('\n', Qt::SkipEmptyParts);
    const CFlashImageList builtIn;
    const int types[] = {CPartitionTable::EApplication, CPartitionTable::EBootloader2};
    int image = -1;
    int block = 0;
    const CFlashImage* want = nullptr;
    for (const QString& line : lines) {
        const auto f = fields(line);
        if (f.contains("image")) {
            ++image;
            QVERIFY2(image < 2, qPrintable(line));
            want = builtIn.find(types[image], CFlashImage::ESystemPlus);
            QVERIFY(want);
            QCOMPARE(f.value("type").toInt(), types[image]);
            QCOMPARE(f.value("complete"), QStringLiteral("1"));
            QCOMPARE(f.value("blocks").toInt(), want->m_MemBlocks.size());
            block = 0;
        } else if (f.contains("block")) {
            QVERIFY(want && block < want->m_MemBlocks.size());
            const SMemBlock& b = want->m_MemBlocks[block++];
            QCOMPARE(f.value("adr").toUInt(), b.m_MemAdr);
            QCOMPARE(f.value("plain").toUInt(), b.m_PlainLen);
            QFile bytes(QDir(flashOut).filePath(f.value("file")));
            QVERIFY2(bytes.open(QIODevice::ReadOnly), qPrintable(line));
            QVERIFY2(bytes.readAll() == b.m_BlockData, qPrintable(line));
        }
    }
    QCOMPARE(image, 1);
    QVERIFY(want && block == want->m_MemBlocks.size());
    QFile violations(QDir(flashOut).filePath(QStringLiteral("violations.txt")));
    QVERIFY(!violations.open(QIODevice::ReadOnly) || violations.readAll().trimmed().isEmpty());
}

QTEST_GUILESS_MAIN(tst_UpdatePty)
#include "tst_updatepty.moc"
