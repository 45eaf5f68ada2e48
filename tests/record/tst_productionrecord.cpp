#include "firmware/flashimagelist.h"
#include "record/productionrecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <sys/resource.h>

namespace {

SProductionRecord sample()
{
    SProductionRecord r;
    r.time = QDateTime(QDate(2026, 12, 7), QTime(22, 5, 9), Qt::UTC);
    r.port = QStringLiteral("/dev/pts/3");
    r.model = QStringLiteral("ventaro100");
    r.serial = 50123;
    r.bootBefore = QStringLiteral("2.20.A");
    r.applBefore = QStringLiteral("2.01");
    r.wifiBefore = QStringLiteral("3.05");
    r.bootAfter = QStringLiteral("2.24.B");
    r.applAfter = QStringLiteral("2.24");
    r.wifiAfter = QStringLiteral("3.11");
    r.images = {{QStringLiteral("application"), QStringLiteral("2.24"), "ab12"},
                {QStringLiteral("WiFi module"), QStringLiteral("3.11"), "cd34"}};
    r.durationMs = 12345;
    r.retries = 1;
    r.exitCode = 0;
    r.outcome = QStringLiteral("updated");
    r.verified = true;
    return r;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_ProductionRecord : public QObject
{
    Q_OBJECT

private slots:
    void lineAndQuoting();
    void headerOnceThenLines();
    void unwritableFileIsReported();
    void tornOrOlderFile();
    void concurrentWritersNeverTear_data();
    void concurrentWritersNeverTear();
    void shortWriteIsCutBack();
    void imageHashCoversTheBlocksInOrder();
};

void tst_ProductionRecord::lineAndQuoting()
{
    QCOMPARE(productionrecord::header(),
             "time,port,model,serial,boot_before,appl_before,wifi_before,boot_after,appl_after,"
             "wifi_after,images,duration_s,retries,exit_code,outcome,station,operator,verified,"
             "verify_detail,bundle,bundle_sha256,bundle_key,bundle_counter\n");
    SProductionRecord r = sample();
    QCOMPARE(
        productionrecord::line(r),
        "2026-12-07T22:05:09Z,/dev/pts/3,ventaro100,50123,2.20.A,2.01,3.05,2.24.B,2.24,3.11,"
        "application 2.24 sha256:ab12;WiFi module 3.11 sha256:cd34,12.3,1,0,updated,,,yes,,,,,\n");
    // Port names come from the command line: a comma, quote or line break is quoted.
    r.port = QStringLiteral("a,\"b\"\nc");
    r.images.clear();
    r.bootAfter.clear();
    QVERIFY(productionrecord::line(r).startsWith(
        "2026-12-07T22:05:09Z,\"a,\"\"b\"\"\nc\",ventaro100,50123,2.20.A,2.01,3.05,,2.24,3.11,,"));
    // The verification's detail names versions with commas between them.
    r.verified = false;
    r.verifyDetail = QStringLiteral("application: 2.10, 2.24 was written");
    QVERIFY(
        productionrecord::line(r).endsWith(",no,\"application: 2.10, 2.24 was written\",,,,\n"));
    // Images from a firmware bundle name it: release, manifest hash, key id, counter.
    r.bundle = QStringLiteral("2.30, plant B");
    r.bundleSha256 = QStringLiteral("2adf86d7");
    r.bundleKey = QStringLiteral("2B72F2132DA76F1B");
    r.bundleCounter = 0;
    QVERIFY2(productionrecord::line(r).endsWith(",\"2.30, plant B\",2adf86d7,2B72F2132DA76F1B,0\n"),
             productionrecord::line(r).constData());
}

void tst_ProductionRecord::headerOnceThenLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.csv"));
    QString error;
    QVERIFY(productionrecord::checkWritable(path, error));
    QVERIFY(QFile::exists(path)); // created empty: the header comes with the first line
    QVERIFY(productionrecord::append(path, "one\n", error));
    QVERIFY(productionrecord::append(path, "two\n", error));
    QCOMPARE(readAll(path), productionrecord::header() + "one\ntwo\n");
}

void tst_ProductionRecord::unwritableFileIsReported()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(!productionrecord::checkWritable(dir.path(), error));
    QVERIFY2(error.contains(QLatin1String("cannot open the production record")), qPrintable(error));
    error.clear();
    QVERIFY(
        !productionrecord::append(dir.filePath(QStringLiteral("no/such/dir.csv")), "x\n", error));
    QVERIFY(!error.isEmpty());
}

// A last line torn by a crash is ended before the next line, and said so. A file an older
// release began (fewer columns) is refused until `record init` brings it forward: every line
// kept, each with the columns added since, also one written with them already, one whose quoted
// field holds a line break, and a torn last one. A file that is no record is left alone.
void tst_ProductionRecord::tornOrOlderFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.csv"));
    QString error, notice;
    QVERIFY(productionrecord::append(path, "one\n", error, &notice));
    QVERIFY(notice.isEmpty());
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("tor");
    }
    QVERIFY(productionrecord::append(path, "two\n", error, &notice));
    QCOMPARE(readAll(path), productionrecord::header() + "one\ntor\ntwo\n");
    QVERIFY2(notice.contains(QLatin1String("torn line")), qPrintable(notice));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\"op,en"); // torn inside a quoted field: closed, or it swallows what follows
    }
    QVERIFY(productionrecord::append(path, "three\n", error, &notice));
    QCOMPARE(readAll(path), productionrecord::header() + "one\ntor\ntwo\n\"op,en\"\nthree\n");

    const QStringList all = productionrecord::columns();
    const int older = int(all.size()) - 2;
    const QByteArray olderHeader = all.mid(0, older).join(QLatin1Char(',')).toUtf8() + '\n';
    const QByteArray a = QByteArray(older - 1, ',') + "a\n";
    const QByteArray quoted = "\"x,\ny\"" + QByteArray(older - 1, ',') + '\n';
    const QByteArray full = QByteArray(all.size() - 1, ',') + "f\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(olderHeader + a + quoted + full + "cut,\"of");
    }
    QVERIFY(!productionrecord::checkWritable(path, error));
    QVERIFY2(error.contains(QStringLiteral("run 'ventaro-cli record init --record %1'").arg(path)),
             qPrintable(error));
    QStringList applied;
    QVERIFY2(productionrecord::upgradeFile(path, applied, error), qPrintable(error));
    QCOMPARE(applied.size(), 2);
    QVERIFY2(applied.first().contains(QLatin1String("4 lines kept")), qPrintable(applied.first()));
    QCOMPARE(readAll(path), productionrecord::header() + a.chopped(1) + ",,\n" + quoted.chopped(1) +
                                ",,\n" + full + "cut,\"of\"" + QByteArray(all.size() - 2, ',') +
                                '\n');
    QVERIFY(productionrecord::checkWritable(path, error));
    QVERIFY(productionrecord::upgradeFile(path, applied, error));
    QVERIFY(applied.isEmpty());
    QVERIFY(!QFile::exists(path + QStringLiteral(".new")));

    const QString foreign = dir.filePath(QStringLiteral("notes.csv"));
    {
        QFile file(foreign);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("name,phone\n");
    }
    QVERIFY(!productionrecord::checkWritable(foreign, error));
    QVERIFY(!productionrecord::upgradeFile(foreign, applied, error));
    QCOMPARE(readAll(foreign), QByteArray("name,phone\n"));
}

void tst_ProductionRecord::concurrentWritersNeverTear_data()
{
    QTest::addColumn<bool>("processes");
    QTest::addRow("threads") << false;
    // As the workers of `update --all` and `station` write: one process each.
    QTest::addRow("processes") << true;
}

void tst_ProductionRecord::concurrentWritersNeverTear()
{
    QFETCH(bool, processes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.csv"));
    constexpr int kWriters = 4;
    constexpr int kLines = 200;
    const auto write = [path](int w) {
        // Long lines, so that an unlocked or split write would interleave.
        const QByteArray body(3000, char('a' + w));
        for (int i = 0; i < kLines; ++i) {
            QString error;
            if (!productionrecord::append(path, QByteArray::number(w) + ',' + body + '\n', error))
                qFatal("append failed: %s", qPrintable(error));
        }
    };
    QVector<QThread*> threads;
    QVector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        if (processes) {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                write(w);
                ::_exit(0);
            }
            children << child;
            continue;
        }
        threads << QThread::create(write, w);
        threads.last()->start();
    }
    for (QThread* t : threads) {
        QVERIFY(t->wait(60000));
        delete t;
    }
    for (pid_t child : children) {
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 1 + kWriters * kLines + 1); // header, lines, empty after the last
    QCOMPARE(lines.first() + '\n', productionrecord::header());
    for (int i = 1; i <= kWriters * kLines; ++i) {
        const QByteArray& line = lines.at(i);
        QCOMPARE(line.size(), 2 + 3000);
        const char mark = char('a' + (line.at(0) - '0'));
        QCOMPARE(line.count(mark), 3000);
    }
}

void tst_ProductionRecord::shortWriteIsCutBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.csv"));
    QString error;
    QVERIFY(productionrecord::append(path, "first\n", error));
    const qint64 before = QFileInfo(path).size();

    // A file size limit just past the end: the next write comes up short, as on a full disk.
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved = {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(before + 10);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool ok = productionrecord::append(path, QByteArray(100, 'x') + '\n', error);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, previous);

    QVERIFY(!ok);
    QVERIFY2(error.contains(QLatin1String("full")), qPrintable(error));
    QCOMPARE(readAll(path), productionrecord::header() + "first\n");
    QVERIFY(productionrecord::append(path, "next\n", error));
    QCOMPARE(readAll(path), productionrecord::header() + "first\nnext\n");
}

void tst_ProductionRecord::imageHashCoversTheBlocksInOrder()
{
    CFlashImage image;
    SMemBlock a;
    a.m_BlockData = "a";
    SMemBlock bc;
    bc.m_BlockData = "bc";
    image.m_MemBlocks = {a, bc};
    // SHA-256 of "abc".
    QCOMPARE(productionrecord::imageSha256(image),
             "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

QTEST_GUILESS_MAIN(tst_ProductionRecord)
#include "tst_productionrecord.moc"
