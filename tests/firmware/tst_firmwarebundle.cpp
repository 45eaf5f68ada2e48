// Firmware bundles: every refusal with its outcome and the detail it names, the accepted forms
// (minisign's own signature, GNU tar's archives, a second trusted key), and the station's
// counter of accepted bundles. Keys are made by `minisign -G -W` in a temporary folder.

#include "firmware/bundlecounter.h"
#include "firmware/bundlemanifest.h"
#include "firmware/firmwarebundle.h"
#include "firmware/minisign.h"
#include "firmware/ustarreader.h"
#include "service/bundleuse.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

struct SKeyPair
{
    minisign::SSecretKey secret;
    minisign::SPublicKey pub;
    QString pubFile;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool run(const QString& program, const QStringList& args, const QString& dir = QString())
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray builtInImage(const char* name)
{
    return readAll(QStringLiteral("%1/images/%2.ini")
                       .arg(qEnvironmentVariable("VENTARO_SOURCE_DIR"), QLatin1String(name)));
}

// An image file with another version, as a firmware team would release it.
QByteArray withVersion(QByteArray ini, int subVer)
{
    ini.replace("SubVer=24", "SubVer=" + QByteArray::number(subVer));
    return ini;
}

// A bundle taken apart, so that each row can break one thing before it is packed.
struct SParts
{
    struct SEntry
    {
        QByteArray name;
        QByteArray data;
        char type = '0';
    };
    QByteArray manifest;
    QByteArray signature;
    QVector<SEntry> images;
    bool endMarker = true;
    bool signatureFirst = false;

    QByteArray pack() const
    {
        QVector<SEntry> all = {{"manifest.json", manifest}, {"manifest.json.minisig", signature}};
        if (signatureFirst)
            std::swap(all[0], all[1]);
        all += images;
        QByteArray out;
        for (const SEntry& e : all) {
            QByteArray header = ustar::header(e.name, e.data.size(), 1796900000);
            if (e.type != '0' || e.name.size() > 100)
                header = rawHeader(e.name, e.data.size(), e.type);
            out += header + e.data + ustar::padding(e.data.size());
        }
        if (endMarker)
            out += ustar::endOfArchive();
        return out;
    }

    // A header written field by field, for names and types the writer never makes.
    static QByteArray rawHeader(const QByteArray& name, qint64 size, char type)
    {
        QByteArray h(512, '\0');
        h.replace(0, qMin(100, name.size()), name.left(100));
        h.replace(100, 8, QByteArray("0000644\0", 8));
        h.replace(108, 8, QByteArray("0000000\0", 8));
        h.replace(116, 8, QByteArray("0000000\0", 8));
        h.replace(124, 12, QByteArray::number(size, 8).rightJustified(11, '0') + '\0');
        h.replace(136, 12, QByteArray("00000000000\0", 12));
        h[156] = type;
        if (type == '2')
            h.replace(157, 6, "target");
        h.replace(257, 8,
                  QByteArray("ustar\0"
                             "00",
                             8));
        h.replace(148, 8, QByteArray(8, ' '));
        int sum = 0;
        for (char c : h)
            sum += (unsigned char)c;
        h.replace(148, 8, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0' + ' ');
        return h;
    }
};

} // namespace

class tst_FirmwareBundle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void refusedFiles_data();
    void refusedFiles();
    void signedByMinisignItself();
    void counterOfAcceptedBundles();
    void imagesReplaceOnlyTheirOwn();
    void imageBytesReadAnewEachTime();

private:
    SKeyPair makeKey(const QString& name);
    // A good bundle: the plus application 2.30 and both bootloaders 2.30, signed by `key`.
    SParts goodParts(const SKeyPair& key, qint64 counter = 3) const;
    void sign(SParts& parts, const SKeyPair& key) const;
    SBundlePolicy policy() const { return {{m_A.pub}, 0}; }

    QTemporaryDir m_Dir;
    SKeyPair m_A, m_B;
};

SKeyPair tst_FirmwareBundle::makeKey(const QString& name)
{
    SKeyPair k;
    const QString sec = m_Dir.filePath(name + ".key");
    k.pubFile = m_Dir.filePath(name + ".pub");
    if (!run(QStringLiteral("minisign"), {"-G", "-W", "-s", sec, "-p", k.pubFile}))
        return k;
    QString error;
    QList<minisign::SPublicKey> keys;
    if (!minisign::parseSecretKey(readAll(sec), k.secret, error) ||
        !minisign::parsePublicKeys(readAll(k.pubFile), k.pubFile, keys, error) || keys.size() != 1)
        qWarning() << error;
    else
        k.pub = keys.first();
    return k;
}

void tst_FirmwareBundle::initTestCase()
{
    m_A = makeKey(QStringLiteral("a"));
    m_B = makeKey(QStringLiteral("b"));
    QVERIFY2(!m_A.pub.key.isEmpty() && !m_B.pub.key.isEmpty(), "minisign -G failed");
    QCOMPARE(m_A.pub.keyId, m_A.secret.keyId);
    qputenv("VENTARO_BUNDLE_STATE", m_Dir.filePath(QStringLiteral("counter")).toUtf8());
}

void tst_FirmwareBundle::sign(SParts& parts, const SKeyPair& key) const
{
    parts.signature = minisign::sign(parts.manifest, key.secret,
                                     QStringLiteral("timestamp:1796900000\tfile:manifest.json"));
}

SParts tst_FirmwareBundle::goodParts(const SKeyPair& key, qint64 counter) const
{
    SParts parts;
    SBundleManifest m;
    m.release = QStringLiteral("2.30");
    m.created = QStringLiteral("2026-12-10T09:00:00Z");
    m.securityCounter = counter;
    m.notesEn = QStringLiteral("Faster fans");
    m.notesDe = QStringLiteral("Schnellere Lüfter");
    const std::pair<const char*, QByteArray> files[] = {
        {"ventaroplus", withVersion(builtInImage("ventaroplus"), 30)},
        {"Bootloader1", withVersion(builtInImage("Bootloader1"), 30)},
        {"Bootloader2", withVersion(builtInImage("Bootloader2"), 30)},
    };
    for (const auto& [name, data] : files) {
        const QByteArray file = QByteArray(name) + ".ini";
        m.images << SBundleManifest::SImage{QLatin1String(name), QString::fromLatin1(file),
                                            data.size(), minisign::sha256Hex(data)};
        parts.images << SParts::SEntry{file, data};
    }
    parts.manifest = bundlemanifest::write(m);
    sign(parts, key);
    return parts;
}

void tst_FirmwareBundle::accepted_data()
{
    QTest::addColumn<QByteArray>("bundle");
    QTest::addColumn<QString>("keyId");
    const SParts good = goodParts(m_A);
    QTest::addRow("as bundle make packs it") << good.pack() << minisign::keyIdText(m_A.pub.keyId);
    // A plant adds its next key before it signs with it: any trusted key may sign.
    QTest::addRow("signed by the second trusted key")
        << goodParts(m_B).pack() << minisign::keyIdText(m_B.pub.keyId);
    SParts noEnd = good;
    noEnd.endMarker = false;
    QTest::addRow("no end blocks after the last image")
        << noEnd.pack() << minisign::keyIdText(m_A.pub.keyId);

    // GNU tar's ustar and its own default format, from the files on disk.
    const QString dir = m_Dir.filePath(QStringLiteral("gnutar"));
    QDir().mkpath(dir);
    QStringList names = {"manifest.json", "manifest.json.minisig"};
    auto write = [&](const QString& name, const QByteArray& data) {
        QFile f(dir + '/' + name);
        f.open(QIODevice::WriteOnly);
        f.write(data);
    };
    write("manifest.json", good.manifest);
    write("manifest.json.minisig", good.signature);
    for (const SParts::SEntry& e : good.images) {
        write(QString::fromLatin1(e.name), e.data);
        names << QString::fromLatin1(e.name);
    }
    for (const char* format : {"ustar", "gnu"}) {
        const QString out = m_Dir.filePath(QStringLiteral("gnu-%1.vfw").arg(format));
        QVERIFY(run(QStringLiteral("tar"),
                    QStringList{QStringLiteral("--format=%1").arg(format), "-cf", out} + names,
                    dir));
        QTest::addRow("GNU tar --format=%s", format)
            << readAll(out) << minisign::keyIdText(m_A.pub.keyId);
    }
}

void tst_FirmwareBundle::accepted()
{
    QFETCH(QByteArray, bundle);
    QFETCH(QString, keyId);
    CFirmwareBundle b;
    const SBundleVerdict v = b.loadBytes(bundle, {{m_A.pub, m_B.pub}, 3});
    QVERIFY2(v.accepted(), qPrintable(v.message()));
    QCOMPARE(b.keyId(), keyId);
    QCOMPARE(b.release(), QStringLiteral("2.30"));
    QCOMPARE(b.securityCounter(), 3);
    QCOMPARE(b.images().size(), 3);
    QCOMPARE(b.images().first().image.m_SubVer, 30);
    QCOMPARE(b.images().first().image.m_System, int(CFlashImage::ESystemPlus));
    QCOMPARE(b.manifest().notesDe, QStringLiteral("Schnellere Lüfter"));
}

// Each row breaks one thing of a good bundle; the outcome and a part of the detail it must name.
void tst_FirmwareBundle::refused_data()
{
    QTest::addColumn<QByteArray>("bundle");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("detail");
    using O = EBundleOutcome;
    const SParts good = goodParts(m_A);
    auto row = [&](const char* name, const std::function<void(SParts&)>& change, O outcome,
                   const QString& detail) {
        SParts p = good;
        change(p);
        QTest::addRow("%s", name) << p.pack() << int(outcome) << detail;
    };
    auto resigned = [&](const std::function<void(QByteArray&)>& edit) {
        return [=](SParts& p) {
            edit(p.manifest);
            sign(p, m_A);
        };
    };

    // The archive itself.
    const QByteArray whole = good.pack();
    QTest::addRow("cut in the middle of an image")
        << whole.left(whole.size() - 1024 - 70000) << int(O::Format) << "ends inside";
    int lastImageAt = 0; // the header of Bootloader2.ini (the manifest names it as well)
    while ((lastImageAt = whole.indexOf("Bootloader2.ini", lastImageAt + 1)) % 512 != 0) {
    }
    QTest::addRow("cut exactly where the last image begins")
        << whole.left(lastImageAt) << int(O::Image)
        << "Bootloader2: file Bootloader2.ini is missing";
    QTest::addRow("not a tar") << QByteArray(2048, 'x') << int(O::Format) << "not a ustar tar";
    QTest::addRow("header checksum broken")
        << QByteArray(whole).replace(0, 1, "n") << int(O::Format) << "not a ustar tar";

    // Entries.
    row(
        "name climbing out", [](SParts& p) { p.images[0].name = "../x"; }, O::Entry,
        "\"../x\" has an unsafe name");
    row(
        "absolute name", [](SParts& p) { p.images[0].name = "/etc/x"; }, O::Entry,
        "\"/etc/x\" has an unsafe name");
    row(
        "symlink entry",
        [](SParts& p) {
            p.images << SParts::SEntry{"link", {}, '2'};
        },
        O::Entry, "\"link\" is not a regular file");
    row(
        "directory entry",
        [](SParts& p) {
            p.images << SParts::SEntry{"dir", {}, '5'};
        },
        O::Entry, "\"dir\" is not a regular file");
    row(
        "image twice", [](SParts& p) { p.images << p.images[0]; }, O::Entry,
        "\"ventaroplus.ini\" is there twice");
    row(
        "names differing only in case",
        [](SParts& p) {
            p.images << SParts::SEntry{"VENTAROPLUS.ini", p.images[0].data};
        },
        O::Entry, "is there twice");
    row(
        "signature before manifest", [](SParts& p) { p.signatureFirst = true; }, O::Entry,
        "must begin with manifest.json");
    row(
        "entry not in the manifest",
        [](SParts& p) {
            p.images << SParts::SEntry{"extra.ini", "x"};
        },
        O::Entry, "\"extra.ini\" is not in the manifest");
    row(
        "manifest over 64 KiB", [](SParts& p) { p.manifest.append(QByteArray(64 * 1024, ' ')); },
        O::TooLarge, "more than 64 KiB");

    // The signature.
    row(
        "signature not minisign's", [](SParts& p) { p.signature = "hello\n"; }, O::Signature,
        "not a minisign signature");
    row(
        "legacy algorithm Ed",
        [](SParts& p) {
            QList<QByteArray> lines = p.signature.split('\n');
            QByteArray sig = QByteArray::fromBase64(lines[1]);
            sig[1] = 'd';
            lines[1] = sig.toBase64();
            p.signature = lines.join('\n');
        },
        O::Signature, "legacy algorithm Ed");
    row(
        "signed by an untrusted key", [&](SParts& p) { sign(p, m_B); }, O::Key,
        QStringLiteral("signed with key %1; trusted here: %2")
            .arg(minisign::keyIdText(m_B.pub.keyId), minisign::keyIdText(m_A.pub.keyId)));
    row(
        "manifest edited after signing",
        [](SParts& p) { p.manifest.replace("\"securityCounter\": 3", "\"securityCounter\": 9"); },
        O::Signature, "does not match its signature");
    row(
        "trusted comment edited",
        [](SParts& p) { p.signature.replace("timestamp:1796900000", "timestamp:1796900001"); },
        O::Signature, "trusted comment does not match");

    // The manifest, signed as it is.
    row("unknown formatVersion",
        resigned([](QByteArray& m) { m.replace("\"formatVersion\": 1", "\"formatVersion\": 2"); }),
        O::Format, "formatVersion 2 is not known");
    row("another format",
        resigned([](QByteArray& m) { m.replace("ventaro-firmware-bundle", "fw"); }), O::Format,
        "is not a ventaro-firmware-bundle manifest");
    row("not JSON", resigned([](QByteArray& m) { m.chop(3); }), O::Manifest, "not a JSON object");
    row("negative counter", resigned([](QByteArray& m) {
            m.replace("\"securityCounter\": 3", "\"securityCounter\": -1");
        }),
        O::Manifest, "securityCounter");
    row("fractional counter", resigned([](QByteArray& m) {
            m.replace("\"securityCounter\": 3", "\"securityCounter\": 3.5");
        }),
        O::Manifest, "securityCounter");
    row("local time", resigned([](QByteArray& m) { m.replace("09:00:00Z", "09:00:00+01:00"); }),
        O::Manifest, "created");
    // Readers differ on which of two values they take: what was signed would be ambiguous.
    row("field twice", resigned([](QByteArray& m) {
            m.replace("\"securityCounter\": 3,",
                      "\"securityCounter\": 3, \"securityCount\\u0065r\": 0,");
        }),
        O::Manifest, "names \"securityCounter\" twice");
    row("misspelt field", resigned([](QByteArray& m) { m.replace("\"notes\"", "\"notez\""); }),
        O::Manifest, "unknown field \"notez\"");
    row("unknown image name", resigned([](QByteArray& m) {
            m.replace("\"image\": \"ventaroplus\"", "\"image\": \"plus\"");
        }),
        O::Manifest, "\"plus\" is none of");
    row("upper-case hash",
        resigned([](QByteArray& m) { m.replace("\"sha256\": \"", "\"sha256\": \"A"); }),
        O::Manifest, "lower-case hex");

    // The images against the manifest.
    row(
        "image one byte short", [](SParts& p) { p.images[0].data.chop(1); }, O::Image,
        "ventaroplus: file ventaroplus.ini has 130121 bytes, the manifest says 130122");
    row(
        "image changed", [](SParts& p) { p.images[1].data.replace("SubVer=30", "SubVer=31"); },
        O::Image,
        QStringLiteral("Bootloader1: file Bootloader1.ini has SHA-256 %1, the manifest says %2")
            .arg(minisign::sha256Hex(withVersion(builtInImage("Bootloader1"), 31)),
                 minisign::sha256Hex(withVersion(builtInImage("Bootloader1"), 30))));
    SParts notIni = good;
    {
        const QByteArray garbage = "[General]\nType=3\n";
        SBundleManifest m;
        QString error;
        QVERIFY(bundlemanifest::parse(good.manifest, m, error) == bundlemanifest::EOk);
        m.images[0].size = garbage.size();
        m.images[0].sha256 = minisign::sha256Hex(garbage);
        notIni.images[0].data = garbage;
        notIni.manifest = bundlemanifest::write(m);
        sign(notIni, m_A);
        QTest::addRow("image not readable")
            << notIni.pack() << int(O::Image) << "ventaroplus.ini is not a readable image";
        const QByteArray boot = withVersion(builtInImage("Bootloader1"), 30);
        m.images[0].size = boot.size();
        m.images[0].sha256 = minisign::sha256Hex(boot);
        notIni.images[0].data = boot;
        notIni.manifest = bundlemanifest::write(m);
        sign(notIni, m_A);
        QTest::addRow("bootloader under the application's name")
            << notIni.pack() << int(O::Image) << "partition type 1, not 3";
        m.images.removeLast();
        notIni.images.removeLast();
        notIni.images[0].data = withVersion(builtInImage("ventaroplus"), 30);
        m.images[0] =
            SBundleManifest::SImage{"ventaroplus", "ventaroplus.ini", notIni.images[0].data.size(),
                                    minisign::sha256Hex(notIni.images[0].data)};
        notIni.manifest = bundlemanifest::write(m);
        sign(notIni, m_A);
        QTest::addRow("one bootloader copy newer than the other")
            << notIni.pack() << int(O::Image) << "Bootloader1 would be 2.30 and Bootloader2 2.24";
    }

    // Policy.
    QTest::addRow("rollback") << goodParts(m_A, 2).pack() << int(O::Rollback)
                              << "security counter is 2, but 3 was accepted before";
}

void tst_FirmwareBundle::refused()
{
    QFETCH(QByteArray, bundle);
    QFETCH(int, outcome);
    QFETCH(QString, detail);
    CFirmwareBundle b;
    const SBundleVerdict v = b.loadBytes(bundle, {{m_A.pub}, 3});
    QCOMPARE(bundleOutcomeWord(v.outcome), bundleOutcomeWord(EBundleOutcome(outcome)));
    QVERIFY2(v.detail.contains(detail), qPrintable(v.detail));
    QVERIFY(!b.isLoaded());
}

// Refusals that need the file itself.
void tst_FirmwareBundle::refusedFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("word");
    const QString vfw = m_Dir.filePath(QStringLiteral("good.vfw"));
    QFile f(vfw);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(goodParts(m_A).pack());
    f.close();
    QVERIFY(run(QStringLiteral("gzip"), {"-k", "-f", vfw}));
    QTest::addRow("gzip'd") << vfw + ".gz"
                            << "bundle-format";
    const QString big = m_Dir.filePath(QStringLiteral("big.vfw"));
    QFile b(big);
    QVERIFY(b.open(QIODevice::WriteOnly) && b.resize(CFirmwareBundle::kMaxFileBytes + 1));
    QTest::addRow("over 64 MiB") << big << "bundle-too-large";
    QTest::addRow("missing") << m_Dir.filePath(QStringLiteral("none.vfw")) << "bundle-format";
    QTest::addRow("a folder") << m_Dir.path() << "bundle-format";
}

void tst_FirmwareBundle::refusedFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, word);
    CFirmwareBundle b;
    QCOMPARE(bundleOutcomeWord(b.load(file, policy()).outcome), word);
}

void tst_FirmwareBundle::signedByMinisignItself()
{
    SParts parts = goodParts(m_A);
    const QString dir = m_Dir.filePath(QStringLiteral("minisign"));
    QDir().mkpath(dir);
    QFile m(dir + "/manifest.json");
    QVERIFY(m.open(QIODevice::WriteOnly));
    m.write(parts.manifest);
    m.close();
    QVERIFY(run(QStringLiteral("minisign"),
                {"-S", "-s", m_Dir.filePath("a.key"), "-m", "manifest.json", "-t", "release 2.30"},
                dir));
    parts.signature = readAll(dir + "/manifest.json.minisig");
    CFirmwareBundle b;
    const SBundleVerdict v = b.loadBytes(parts.pack(), policy());
    QVERIFY2(v.accepted(), qPrintable(v.message()));
    QCOMPARE(b.trustedComment(), QStringLiteral("release 2.30"));
    QCOMPARE(b.manifestSha256(), minisign::sha256Hex(parts.manifest));
    // And minisign takes ours.
    QFile s(dir + "/manifest.json.minisig");
    QVERIFY(s.open(QIODevice::WriteOnly));
    s.write(goodParts(m_A).signature);
    s.close();
    QVERIFY(run(QStringLiteral("minisign"), {"-V", "-p", m_A.pubFile, "-m", "manifest.json"}, dir));
}

// The highest counter accepted for use is kept; a lower one is refused from then on, and a
// state file that cannot be read refuses every bundle rather than let a rollback through.
void tst_FirmwareBundle::counterOfAcceptedBundles()
{
    const QString keys = m_Dir.filePath(QStringLiteral("keys"));
    QDir().mkpath(keys);
    QVERIFY(QFile::copy(m_A.pubFile, keys + "/a.pub"));
    QFile junk(keys + "/junk.pub");
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a key\n");
    junk.close();
    qputenv("VENTARO_TRUSTED_KEYS_DIR", keys.toUtf8());
    QFile::remove(bundlecounter::path());
    auto file = [&](qint64 counter) {
        const QString path = m_Dir.filePath(QStringLiteral("c%1.vfw").arg(counter));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(goodParts(m_A, counter).pack());
        return path;
    };
    CFirmwareBundle b;
    bundleuse::SLoad load = bundleuse::load(file(5), bundleuse::ECheckOnly, b);
    QVERIFY2(load.verdict.accepted(), qPrintable(load.verdict.message()));
    QCOMPARE(load.trustedKeys, 1);
    QCOMPARE(load.keyProblems.size(), 1);
    QVERIFY(!QFile::exists(bundlecounter::path())); // verifying accepts nothing
    QVERIFY(bundleuse::load(file(5), bundleuse::EUse, b).verdict.accepted());
    QVERIFY(CFlashImageList::bundleInUse());
    CFlashImageList::useBuiltIn();
    QCOMPARE(bundleuse::load(file(4), bundleuse::ECheckOnly, b).verdict.outcome,
             EBundleOutcome::Rollback);
    QVERIFY(bundleuse::load(file(5), bundleuse::EUse, b).verdict.accepted()); // the same again
    QCOMPARE(bundleuse::load(file(6), bundleuse::ECheckOnly, b, 7).verdict.outcome,
             EBundleOutcome::Rollback); // the plant's record knows a higher one
    CFlashImageList::useBuiltIn();
    QFile state(bundlecounter::path());
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write("garbage\n");
    state.close();
    load = bundleuse::load(file(9), bundleuse::EUse, b);
    QCOMPARE(load.verdict.outcome, EBundleOutcome::Rollback);
    QVERIFY2(load.verdict.detail.contains(QLatin1String("damaged")),
             qPrintable(load.verdict.detail));
    QVERIFY(!CFlashImageList::bundleInUse());
    qunsetenv("VENTARO_TRUSTED_KEYS_DIR");
}

// A bundle that carries some images leaves the others built in.
void tst_FirmwareBundle::imagesReplaceOnlyTheirOwn()
{
    CFirmwareBundle b;
    QVERIFY(b.loadBytes(goodParts(m_A).pack(), policy()).accepted());
    CFlashImageList::useBundle(b.flashImages(), {});
    const CFlashImageList list;
    QCOMPARE(list.find(CPartitionTable::EApplication, CFlashImage::ESystemPlus)->m_SubVer, 30);
    QCOMPARE(list.find(CPartitionTable::EBootloader2, CFlashImage::ESystemPlus)->m_SubVer, 30);
    QCOMPARE(list.find(CPartitionTable::EApplication, CFlashImage::ESystem100)->m_SubVer, 24);
    QCOMPARE(list.images().size(), 6);
    CFlashImageList::useBuiltIn();
    QCOMPARE(
        CFlashImageList().find(CPartitionTable::EApplication, CFlashImage::ESystemPlus)->m_SubVer,
        24);
}

// Image files of one size loaded one after the other (releases 2.30, 2.31, ...) are each read
// as they are, never as the one before.
void tst_FirmwareBundle::imageBytesReadAnewEachTime()
{
    for (int subVer = 30; subVer < 36; ++subVer) {
        CFlashImage image;
        QCOMPARE(CFlashImageList::loadImageBytes(
                     image, withVersion(builtInImage("Bootloader1"), subVer), 3),
                 int(CFlashImageList::ELoadOk));
        QCOMPARE(int(image.m_SubVer), subVer);
    }
}

QTEST_GUILESS_MAIN(tst_FirmwareBundle)
#include "tst_firmwarebundle.moc"
