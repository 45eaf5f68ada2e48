// `ventaro-cli bundle make|verify` and `update --bundle` against the simulated unit: a release
// made in two steps with Debian's minisign updates a unit to the bundle's versions, one made in
// one step updates it through `station` (its workers, its page), and a refused bundle touches
// no unit.

#include "cliprocess.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>

using namespace clitest;

namespace {

constexpr int kUpdateTimeoutMs = 120000;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool run(const QString& program, const QStringList& args, const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The plus application at another version, as the firmware team would release it.
QByteArray plusApplication(int subVer)
{
    QByteArray ini = readAll(QStringLiteral("%1/images/ventaroplus.ini")
                                 .arg(qEnvironmentVariable("VENTARO_SOURCE_DIR")));
    return ini.replace("SubVer=24", "SubVer=" + QByteArray::number(subVer));
}

QJsonObject pageState(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(kTimeoutMs))
        return {};
    socket.write("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(kTimeoutMs))
        answer += socket.readAll();
    answer += socket.readAll();
    return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
}

QJsonObject lastJson(const QString& out)
{
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.isEmpty() ? QJsonObject()
                           : QJsonDocument::fromJson(lines.last().toUtf8()).object();
}

} // namespace

class tst_CliBundle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void releaseSignedWithMinisignUpdatesAUnit();
    void releaseSignedInOneStepThroughTheStation();
    void refusedBundleTouchesNoUnit_data();
    void refusedBundleTouchesNoUnit();

private:
    // A folder with the plus application at 2.`subVer`.
    QString releaseFolder(const QString& name, int subVer);

    QTemporaryDir m_Dir;
    QString m_Key, m_OtherKey;
};

void tst_CliBundle::initTestCase()
{
    QVERIFY2(QFile::exists(cliPath()), qPrintable(cliPath()));
    const QString keys = m_Dir.filePath(QStringLiteral("trusted"));
    QDir().mkpath(keys);
    m_Key = m_Dir.filePath(QStringLiteral("release.key"));
    m_OtherKey = m_Dir.filePath(QStringLiteral("other.key"));
    QVERIFY(run(QStringLiteral("minisign"), {"-G", "-W", "-s", m_Key, "-p", keys + "/release.pub"},
                m_Dir.path()));
    QVERIFY(run(QStringLiteral("minisign"),
                {"-G", "-W", "-s", m_OtherKey, "-p", m_Dir.filePath("other.pub")}, m_Dir.path()));
    // The tool run by the tests (and its workers) trusts the release key only, and keeps its
    // counter of accepted bundles here.
    qputenv("VENTARO_TRUSTED_KEYS_DIR", keys.toUtf8());
    qputenv("VENTARO_BUNDLE_STATE", m_Dir.filePath(QStringLiteral("counter")).toUtf8());
}

QString tst_CliBundle::releaseFolder(const QString& name, int subVer)
{
    const QString dir = m_Dir.filePath(name);
    QDir().mkpath(dir);
    writeAll(dir + "/ventaroplus.ini", plusApplication(subVer));
    return dir;
}

void tst_CliBundle::releaseSignedWithMinisignUpdatesAUnit()
{
    Bench bench;
    const QString dir = releaseFolder(QStringLiteral("r230"), 30);
    CliResult r = bench.run({"bundle", "make", dir, "--release", "2.30", "--counter", "3",
                             "--notes-en", "Quieter fans", "--notes-de", "Leisere Lüfter"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(run(QStringLiteral("minisign"), {"-S", "-s", m_Key, "-m", "manifest.json"}, dir));
    const QString vfw = m_Dir.filePath(QStringLiteral("r230.vfw"));
    r = bench.run({"bundle", "make", dir, "--out", vfw});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));

    r = bench.run({"bundle", "verify", vfw, "--json"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    const QJsonObject v = lastJson(r.out);
    QCOMPARE(v.value("release").toString(), QStringLiteral("2.30"));
    QCOMPARE(v.value("securityCounter").toInt(), 3);
    const QJsonObject image = v.value("images").toArray().first().toObject();
    QCOMPARE(image.value("image").toString(), QStringLiteral("ventaroplus"));
    QCOMPARE(image.value("version").toString(), QStringLiteral("2.30"));
    QCOMPARE(v.value("notes").toObject().value("de").toString(), QStringLiteral("Leisere Lüfter"));

    QVERIFY(bench.startSim(kOlderPlus));
    // The plan names the bundle's version and accepts nothing for good.
    r = bench.run({"plan", "--json", "--bundle", vfw});
    QVERIFY2(r.exitCode == 0 && r.out.contains(QLatin1String("2.30")), qPrintable(r.out + r.err));
    QVERIFY(!QFile::exists(m_Dir.filePath(QStringLiteral("counter"))));
    const QString record = bench.path(QStringLiteral("record.csv"));
    r = bench.run({"update", "--bundle", vfw, "--record", record}, kUpdateTimeoutMs);
    QVERIFY2(r.exitCode == 0, qPrintable(r.out + r.err));
    // The record names the release, its manifest, its key and its counter.
    const QString line = QString::fromUtf8(readAll(record)).trimmed().section('\n', -1);
    QVERIFY2(
        line.endsWith(QStringLiteral(",2.30,%1,%2,3")
                          .arg(v.value("manifestSha256").toString(), v.value("keyId").toString())),
        qPrintable(line));
    QVERIFY2(bench.simLog().contains(QLatin1String("image of type 3 written, version 2.30")),
             qPrintable(bench.simLog()));
    // The bootloader is not in the bundle: the built-in one is written.
    QVERIFY(bench.simLog().contains(QLatin1String("image of type 2 written, version 2.24")));
    QVERIFY(bench.run({"identify"}).out.contains(QLatin1String("application: 2.30\n")));
    QCOMPARE(readAll(m_Dir.filePath(QStringLiteral("counter"))).trimmed(), QByteArray("3"));
}

void tst_CliBundle::releaseSignedInOneStepThroughTheStation()
{
    Bench bench;
    const QString dir = releaseFolder(QStringLiteral("r231"), 31);
    const QString vfw = m_Dir.filePath(QStringLiteral("r231.vfw"));
    CliResult r = bench.run({"bundle", "make", dir, "--release", "2.31", "--counter", "4", "--sign",
                             m_Key, "--out", vfw});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QProcess station;
    station.setProcessEnvironment(bench.environment());
    station.start(cliPath(), {"station", "--json", "--http", "0", "--bundle", vfw});
    QVERIFY(station.waitForStarted(kTimeoutMs));
    QString err;
    const QRegularExpression at(QStringLiteral("the page is at http://127.0.0.1:(\\d+)/"));
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     err += QString::fromUtf8(station.readAllStandardError());
                     return at.match(err).hasMatch();
                 },
                 kTimeoutMs),
             qPrintable(err));
    // The page names the release being flashed.
    QCOMPARE(pageState(quint16(at.match(err).captured(1).toUInt())).value("release").toString(),
             QStringLiteral("2.31"));
    QVERIFY(bench.startSim(kOlderPlus));
    QString out;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     out += QString::fromUtf8(station.readAllStandardOutput());
                     return out.contains(QLatin1String("\"event\":\"done\""));
                 },
                 kUpdateTimeoutMs),
             qPrintable(out));
    ::kill(pid_t(station.processId()), SIGINT);
    QVERIFY(station.waitForFinished(kTimeoutMs));
    QCOMPARE(station.exitCode(), 0);
    QVERIFY2(bench.simLog().contains(QLatin1String("image of type 3 written, version 2.31")),
             qPrintable(bench.simLog()));

    // An older release is refused from now on, also when only verified.
    const QString oldDir = releaseFolder(QStringLiteral("r229"), 29);
    const QString old = m_Dir.filePath(QStringLiteral("r229.vfw"));
    QCOMPARE(bench
                 .run({"bundle", "make", oldDir, "--release", "2.29", "--counter", "2", "--sign",
                       m_Key, "--out", old})
                 .exitCode,
             0);
    r = bench.run({"bundle", "verify", old});
    QCOMPARE(r.exitCode, 16);
    QVERIFY2(r.out.startsWith(QLatin1String("bundle-rollback: ")), qPrintable(r.out));
}

void tst_CliBundle::refusedBundleTouchesNoUnit_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("bundle");
    QTest::addColumn<QString>("word");
    const QString dir = releaseFolder(QStringLiteral("r240"), 40);
    const QString foreign = m_Dir.filePath(QStringLiteral("foreign.vfw"));
    Bench bench;
    QCOMPARE(bench
                 .run({"bundle", "make", dir, "--release", "2.40", "--counter", "9", "--sign",
                       m_OtherKey, "--out", foreign})
                 .exitCode,
             0);
    const QString text = m_Dir.filePath(QStringLiteral("notes.vfw"));
    writeAll(text, "release notes\n");
    QTest::addRow("update, untrusted key") << QStringList{"update"} << foreign << "bundle-key";
    QTest::addRow("update --all, not a tar")
        << QStringList{"update", "--all"} << text << "bundle-format";
    QTest::addRow("station, untrusted key") << QStringList{"station"} << foreign << "bundle-key";
}

void tst_CliBundle::refusedBundleTouchesNoUnit()
{
    QFETCH(QStringList, command);
    QFETCH(QString, bundle);
    QFETCH(QString, word);
    Bench bench;
    QVERIFY(bench.startSim(kOlderPlus));
    const CliResult r = bench.run(command + QStringList{"--bundle", bundle});
    QCOMPARE(r.exitCode, 16);
    QVERIFY2(r.out.startsWith(word + QStringLiteral(": ")), qPrintable(r.out + r.err));
    QVERIFY2(!bench.simLog().contains(QLatin1String("request code")), qPrintable(bench.simLog()));
    const CliResult json = bench.run(command + QStringList{"--bundle", bundle, "--json"});
    QCOMPARE(lastJson(json.out).value("outcome").toString(), word);
    QCOMPARE(lastJson(json.out).value("exitCode").toInt(), 16);
}

QTEST_GUILESS_MAIN(tst_CliBundle)
#include "tst_clibundle.moc"
