// `ventaro-cli update` against the simulated unit on a pty: the outcomes and their exit codes,
// the JSON progress lines and the production record.

#include "cliprocess.h"
#include "flashout.h"

#include "firmware/flashimagelist.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

using namespace clitest;

namespace {

constexpr int kUpdateTimeoutMs = 120000;

// Units whose update needs no slow WiFi-module upload.
const QStringList kPlusOlder = {"--model", "plus", "--serial", "60001"}; // application, bootloader
const QStringList kBootOnly = {"--serial", "50321", "--appl-version", "2.25"}; // bootloader only

QString sha256(int type, int system)
{
    const CFlashImageList list;
    const CFlashImage* image = list.find(type, system);
    if (!image)
        return {};
    QByteArray all;
    for (const SMemBlock& block : image->m_MemBlocks)
        all += block.m_BlockData;
    return QString::fromLatin1(QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex());
}

QVector<QJsonObject> jsonLines(const QString& out)
{
    QVector<QJsonObject> lines;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines << QJsonDocument::fromJson(line.toUtf8()).object();
    return lines;
}

// Requests the unit answered before it was asked to swap its bootloaders.
int requestsBeforeSwap(const QString& simLog)
{
    int count = 0;
    for (const QString& line : simLog.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("request code 6 ")))
            return count;
        if (line.contains(QLatin1String("request code ")))
            ++count;
    }
    return -1;
}

} // namespace

class tst_CliUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void plusUnitWithJsonProgress();
    void productionRecordAfterTwoUpdates();
    void followsItsUnitPastAnother();
    void transferFailed();
    void swapFailed();
    void unitDoesNotComeBack();
    void unitDoesNotConfirm_data();
    void unitDoesNotConfirm();
};

void tst_CliUpdate::initTestCase()
{
    QVERIFY2(QFile::exists(cliPath()), qPrintable(cliPath()));
}

// Units the update leaves alone: nothing is written, the reason is on stdout and in the record.
void tst_CliUpdate::refusals_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outcome");
    QTest::addRow("up to date") << QStringList{"--boot-version", "2.24", "--appl-version", "2.25"}
                                << QStringList{} << 7 << "up-to-date";
    QTest::addRow("serial too low")
        << QStringList{"--serial", "123"} << QStringList{} << 3 << "not-updatable";
    QTest::addRow("serial given too low")
        << QStringList{"--serial", "0"} << QStringList{"--serial", "4711"} << 3 << "not-updatable";
    QTest::addRow("no serial number")
        << QStringList{"--serial", "0"} << QStringList{} << 3 << "not-updatable";
    QTest::addRow("application running")
        << QStringList{"--partner", "3"} << QStringList{} << 3 << "not-updatable";
}

void tst_CliUpdate::refusals()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, outcome);
    Bench bench;
    QVERIFY(bench.startSim(simArgs));
    const QString record = bench.path(QStringLiteral("record.csv"));
    const CliResult r = bench.run(QStringList{"update", "--record", record} + args);
    QVERIFY2(r.exitCode == exitCode, describe(r));
    QVERIFY2(r.out.startsWith(outcome + QStringLiteral(": ")), describe(r));
    QVERIFY(!bench.simLog().contains(QLatin1String("request code 4 "))); // no upload began
    QVERIFY(!bench.simLog().contains(QLatin1String("request code 3 "))); // no serial written
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3);
    // No images, no versions after; duration, retries, exit code, outcome; no station, operator.
    const QRegularExpression tail(
        QStringLiteral(",,,,,\\d+\\.\\d,0,%1,%2,,,no,,,,,$").arg(exitCode).arg(outcome));
    QVERIFY2(QString::fromUtf8(lines.at(1)).contains(tail), lines.at(1));
}

void tst_CliUpdate::plusUnitWithJsonProgress()
{
    Bench bench;
    QVERIFY(bench.startSim(kPlusOlder));
    const CliResult r = bench.run({"update", "--json", "--startup-mode", "1"}, kUpdateTimeoutMs);
    QVERIFY2(r.exitCode == 0, describe(r));
    const QVector<QJsonObject> events = jsonLines(r.out);
    QStringList steps;
    int finished = 0; // blocks that reached 100 %
    for (const QJsonObject& e : events) {
        const QString kind = e.value(QStringLiteral("event")).toString();
        if (kind == QLatin1String("step"))
            steps << e.value(QStringLiteral("step")).toString();
        if (kind == QLatin1String("progress") && e.value(QStringLiteral("percent")).toInt() == 100)
            ++finished;
    }
    QCOMPARE(steps, (QStringList{"application", "bootloader", "swap", "startup-mode", "verify"}));
    const CFlashImageList list;
    const int blocks =
        list.find(CPartitionTable::EApplication, CFlashImage::ESystemPlus)->m_MemBlocks.size() +
        list.find(CPartitionTable::EBootloader2, CFlashImage::ESystemPlus)->m_MemBlocks.size();
    QCOMPARE(finished, blocks);
    const QJsonObject result = events.last();
    QCOMPARE(result.value(QStringLiteral("event")).toString(), QStringLiteral("result"));
    QCOMPARE(result.value(QStringLiteral("exitCode")).toInt(), 0);
    QCOMPARE(result.value(QStringLiteral("outcome")).toString(), QStringLiteral("updated"));

    const CliResult after = bench.run({"identify"});
    QVERIFY2(after.out.contains(QLatin1String("application: 2.24\n")) &&
                 after.out.contains(QLatin1String("bootloader:  2.24.")),
             describe(after));
    QVERIFY(bench.simLog().contains(QLatin1String("request code 18 length 2")));
}

void tst_CliUpdate::productionRecordAfterTwoUpdates()
{
    QTemporaryDir shared;
    const QString record = shared.filePath(QStringLiteral("line7.csv"));
    {
        Bench bench;
        // It restarts after its swap and is verified once it is back.
        QVERIFY(bench.startSim(kPlusOlder + QStringList{"--reboot-after-swap", "200"}));
        const CliResult r = bench.run({"update", "--record", record}, kUpdateTimeoutMs);
        QVERIFY2(r.exitCode == 0, describe(r));
    }
    {
        Bench bench;
        // No serial number stored: the one given is written first.
        QVERIFY(bench.startSim(kBootOnly + QStringList{"--partner", "2", "--serial", "0"}));
        const CliResult r =
            bench.run({"update", "--record", record, "--serial", "50321"}, kUpdateTimeoutMs);
        QVERIFY2(r.exitCode == 0, describe(r));
        QVERIFY(bench.simLog().contains(QLatin1String("request code 3 ")));
    }
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // header, two units, nothing after the last line break
    QCOMPARE(lines.at(0),
             "time,port,model,serial,boot_before,appl_before,wifi_before,boot_after,"
             "appl_after,wifi_after,images,duration_s,retries,exit_code,outcome,station,"
             "operator,verified,verify_detail,bundle,bundle_sha256,bundle_key,bundle_counter");
    QVERIFY(lines.at(3).isEmpty());

    const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"));
    const QStringList plus = QString::fromUtf8(lines.at(1)).split(QLatin1Char(','));
    QCOMPARE(plus.size(), 23);
    QVERIFY2(time.match(plus.at(0)).hasMatch(), qPrintable(plus.at(0)));
    QVERIFY(plus.at(1).startsWith(QLatin1String("/dev/pts/")));
    QCOMPARE(plus.mid(2, 8), (QStringList{"ventaro plus", "60001", "2.20.A", "2.20", "3.05",
                                          "2.24.B", "2.24", "3.05"}));
    QCOMPARE(plus.at(10),
             QStringLiteral("application 2.24 sha256:%1;bootloader copy 2 2.24 sha256:%2")
                 .arg(sha256(CPartitionTable::EApplication, CFlashImage::ESystemPlus),
                      sha256(CPartitionTable::EBootloader2, CFlashImage::ESystemPlus)));
    QVERIFY(plus.at(11).toDouble() > 0.0);
    // The built-in images: no bundle.
    QCOMPARE(plus.mid(12), (QStringList{"0", "0", "updated", "", "", "yes", "", "", "", "", ""}));

    // Copy B was running: copy 1 is written and swapped in.
    const QStringList hundred = QString::fromUtf8(lines.at(2)).split(QLatin1Char(','));
    QCOMPARE(hundred.size(), 23);
    QCOMPARE(hundred.mid(2, 8), (QStringList{"ventaro100", "50321", "2.20.B", "2.25", "3.05",
                                             "2.24.A", "2.25", "3.05"}));
    QCOMPARE(hundred.at(10),
             QStringLiteral("bootloader copy 1 2.24 sha256:%1")
                 .arg(sha256(CPartitionTable::EBootloader1, CFlashImage::ESystem100)));
    QCOMPARE(hundred.mid(12),
             (QStringList{"0", "0", "updated", "", "", "yes", "", "", "", "", ""}));
}

// Without --port, with two units attached: the one it updates restarts after its swap, and the
// other one, alone on the ports meanwhile, is neither written nor taken for it; the update is
// verified once its own unit is back.
void tst_CliUpdate::followsItsUnitPastAnother()
{
    Bench bench;
    Units units(bench);
    QVERIFY(units.start("a", {"--model", "plus", "--serial", "60002"}));
    // The last port, which is the one taken.
    QVERIFY(units.start(
        "z", kPlusOlder + QStringList{"--reboot-after-swap", "0", "--reboot-pause", "1500"}));
    const CliResult r = bench.run({"update", "--json"}, kUpdateTimeoutMs);
    QVERIFY2(r.exitCode == 0, describe(r));
    const QJsonObject result = jsonLines(r.out).last();
    QCOMPARE(result.value(QStringLiteral("outcome")).toString(), QStringLiteral("updated"));
    QCOMPARE(result.value(QStringLiteral("applAfter")).toString(), QStringLiteral("2.24"));
    QFile other(QDir(bench.path("a")).filePath(QStringLiteral("flashed.txt")));
    QVERIFY(!other.open(QIODevice::ReadOnly) || !other.readAll().contains("block="));
    flashout::verifyPlusUpdate(bench.path("z"));
}

void tst_CliUpdate::transferFailed()
{
    // The cable is pulled in the middle of the bootloader image.
    Bench bench;
    QVERIFY(bench.startSim(kBootOnly + QStringList{"--unplug-after", "30"}));
    const QString record = bench.path(QStringLiteral("record.csv"));
    const CliResult r = bench.run({"update", "--record", record}, kUpdateTimeoutMs);
    QVERIFY2(r.exitCode == 4, describe(r));
    QVERIFY2(r.out.contains(QLatin1String("transfer-failed: bootloader failed")), describe(r));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // Nothing was written completely, and the unit was not seen again.
    QVERIFY(file.readAll().contains(",2.20.A,2.25,3.05,,,,,"));
}

void tst_CliUpdate::swapFailed()
{
    // A first unit tells how many requests come before the swap; a second one finds the
    // cable pulled right then.
    int before = -1;
    {
        Bench bench;
        QVERIFY(bench.startSim(kBootOnly));
        const CliResult r = bench.run({"update"}, kUpdateTimeoutMs);
        QVERIFY2(r.exitCode == 0, describe(r));
        before = requestsBeforeSwap(bench.simLog());
        QVERIFY2(before > 1, qPrintable(bench.simLog().right(2000)));
    }
    Bench bench;
    QVERIFY(bench.startSim(kBootOnly + QStringList{"--unplug-after", QString::number(before)}));
    const CliResult r = bench.run({"update", "--json"}, kUpdateTimeoutMs);
    QVERIFY2(r.exitCode == 5, describe(r));
    const QJsonObject result = jsonLines(r.out).last();
    QCOMPARE(result.value(QStringLiteral("outcome")).toString(), QStringLiteral("swap-failed"));
    QCOMPARE(result.value(QStringLiteral("exitCode")).toInt(), 5);
}

void tst_CliUpdate::unitDoesNotComeBack()
{
    // Application 2.01 takes the bridge path: bridge, application, then the unit must restart;
    // this one is never switched off.
    Bench bench;
    QVERIFY(bench.startSim({"--appl-version", "2.01"}));
    const CliResult r = bench.run({"update", "--reboot-timeout", "2", "--json"}, kUpdateTimeoutMs);
    QVERIFY2(r.exitCode == 6, describe(r));
    QStringList steps;
    for (const QJsonObject& e : jsonLines(r.out))
        if (e.value(QStringLiteral("event")).toString() == QLatin1String("step"))
            steps << e.value(QStringLiteral("step")).toString();
    QCOMPARE(steps, (QStringList{"wifi-bridge", "application", "reboot-pause"}));
    QCOMPARE(jsonLines(r.out).last().value(QStringLiteral("outcome")).toString(),
             QStringLiteral("no-come-back"));
}

// Units that acknowledge everything but do not run what was written: never "updated".
void tst_CliUpdate::unitDoesNotConfirm_data()
{
    QTest::addColumn<QStringList>("simArgs");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("after"); // boot_after,appl_after in the record
    QTest::addRow("old bootloader copy after the swap and a restart")
        << (kBootOnly + QStringList{"--swap-not-taken", "--reboot-after-swap", "200"})
        << "bootloader: copy 1 answers, copy 2 was written"
        << "2.20.A,2.25";
    QTest::addRow("application acknowledged but kept")
        << QStringList{"--model",        "plus", "--serial",     "60001",
                       "--boot-version", "2.24", "--keep-image", "3"}
        << "application: 2.20, 2.24 was written"
        << "2.24.A,2.20";
    QTest::addRow("checksum error in the table")
        << (kBootOnly + QStringList{"--crc-ko", "2"})
        << "bootloader: partition table reports its checksum bad (CRC16KO)"
        << "2.24.B,2.25";
}

void tst_CliUpdate::unitDoesNotConfirm()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QString, detail);
    QFETCH(QString, after);
    Bench bench;
    QVERIFY(bench.startSim(simArgs));
    const QString record = bench.path(QStringLiteral("record.csv"));
    const CliResult r = bench.run({"update", "--record", record, "--json"}, kUpdateTimeoutMs);
    QVERIFY2(r.exitCode == 14, describe(r));
    const QJsonObject result = jsonLines(r.out).last();
    QCOMPARE(result.value(QStringLiteral("outcome")).toString(), QStringLiteral("verify-failed"));
    QVERIFY2(result.value(QStringLiteral("text")).toString().contains(detail), describe(r));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString line = QString::fromUtf8(file.readAll().split('\n').at(1));
    QVERIFY2(line.contains(QLatin1Char(',') + after + QLatin1Char(',')), qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral(",14,verify-failed,,,no,")), qPrintable(line));
    QVERIFY2(line.contains(detail), qPrintable(line));
}

QTEST_GUILESS_MAIN(tst_CliUpdate)
#include "tst_cliupdate.moc"
