#include "clibundle.h"

#include "cli/clicommandline.h"
#include "firmware/bundlemanifest.h"
#include "firmware/firmwarebundle.h"
#include "firmware/minisign.h"
#include "firmware/ustarreader.h"
#include "service/bundleuse.h"
#include "service/exitcodes.h"
#include "station/stationprotocol.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>
#include <QTextStream>

namespace {

const QString kManifest = QStringLiteral("manifest.json");
const QString kSignature = QStringLiteral("manifest.json.minisig");

QString version(const CFlashImage& image)
{
    return QStringLiteral("%1.%2")
        .arg(image.m_MainVer)
        .arg(image.m_SubVer, 2, 10, QLatin1Char('0'));
}

int refused(const SBundleVerdict& verdict, bool json, QTextStream& out)
{
    const QString word = bundleOutcomeWord(verdict.outcome);
    if (json)
        out << stationprotocol::jsonLine({{QStringLiteral("event"), QStringLiteral("result")},
                                          {QStringLiteral("exitCode"), cliexit::kBundleRefused},
                                          {QStringLiteral("outcome"), word},
                                          {QStringLiteral("text"), verdict.message()}});
    else
        out << word << ": " << verdict.message() << '\n';
    out.flush();
    return cliexit::kBundleRefused;
}

int failMake(QTextStream& err, const QString& text)
{
    err << "ventaro-cli: bundle make: " << text << '\n';
    err.flush();
    return cliexit::kBundleRefused;
}

void printBundle(const QString& path, const CFirmwareBundle& b, QTextStream& out)
{
    out << "bundle:   " << path << '\n'
        << "release:  " << b.release() << '\n'
        << "counter:  " << b.securityCounter() << '\n'
        << "created:  " << b.manifest().created << '\n'
        << "key:      " << b.keyId() << '\n'
        << "manifest: sha256:" << b.manifestSha256() << '\n'
        << "comment:  " << b.trustedComment() << '\n'
        << "images:\n";
    for (const CFirmwareBundle::SImage& i : b.images())
        out << QStringLiteral("  %1 %2 %3 sha256:%4\n")
                   .arg(i.entry.image, -14)
                   .arg(version(i.image), -6)
                   .arg(i.entry.file, -20)
                   .arg(i.entry.sha256);
}

QJsonObject bundleJson(const QString& path, const CFirmwareBundle& b)
{
    QJsonArray images;
    for (const CFirmwareBundle::SImage& i : b.images())
        images << QJsonObject{{QStringLiteral("image"), i.entry.image},
                              {QStringLiteral("file"), i.entry.file},
                              {QStringLiteral("version"), version(i.image)},
                              {QStringLiteral("size"), double(i.entry.size)},
                              {QStringLiteral("sha256"), i.entry.sha256}};
    return {{QStringLiteral("outcome"), QStringLiteral("accepted")},
            {QStringLiteral("file"), path},
            {QStringLiteral("release"), b.release()},
            {QStringLiteral("securityCounter"), double(b.securityCounter())},
            {QStringLiteral("created"), b.manifest().created},
            {QStringLiteral("keyId"), b.keyId()},
            {QStringLiteral("manifestSha256"), b.manifestSha256()},
            {QStringLiteral("trustedComment"), b.trustedComment()},
            {QStringLiteral("notes"), QJsonObject{{QStringLiteral("en"), b.manifest().notesEn},
                                                  {QStringLiteral("de"), b.manifest().notesDe}}},
            {QStringLiteral("images"), images}};
}

int runVerify(const SCliOptions& o, QTextStream& out)
{
    CFirmwareBundle bundle;
    const bundleuse::SLoad load = bundleuse::load(o.bundlePath, bundleuse::ECheckOnly, bundle);
    if (!load.verdict.accepted())
        return refused(load.verdict, o.json, out);
    if (o.json)
        out << stationprotocol::jsonLine(bundleJson(o.bundlePath, bundle));
    else
        printBundle(o.bundlePath, bundle, out);
    return cliexit::kOk;
}

// The image files of the folder, by the six names (Application.ini, ...), each checked to be
// an image of its kind.
bool folderImages(const QDir& folder, QVector<SBundleManifest::SImage>& images,
                  QVector<QByteArray>& contents, QString& error)
{
    for (const char* name : bundlemanifest::kImageNames) {
        const QString fileName = QLatin1String(name) + QStringLiteral(".ini");
        QFile file(folder.filePath(fileName));
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly)) {
            error =
                QStringLiteral("%1 cannot be read: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        const QByteArray bytes = file.readAll();
        CFlashImage image;
        const int index = CFlashImageList::resourceIndex(QLatin1String(name));
        if (const int code = CFlashImageList::loadImageBytes(
                image, bytes, CFlashImageList::kResources[index].system)) {
            error = QStringLiteral("%1 is not a readable image (code %2)").arg(fileName).arg(code);
            return false;
        }
        images << SBundleManifest::SImage{QLatin1String(name), fileName, bytes.size(),
                                          minisign::sha256Hex(bytes)};
        contents << bytes;
    }
    if (images.isEmpty()) {
        error = QStringLiteral("%1 holds none of Application.ini, Bootloader1.ini, "
                               "Bootloader2.ini, ventaroplus.ini, cc3200.ini, cc3200_bridge.ini")
                    .arg(folder.path());
        return false;
    }
    return true;
}

bool writeFile(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool readFile(const QString& path, QByteArray& bytes, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return false;
    }
    bytes = file.read(CFirmwareBundle::kMaxFileBytes + 1);
    return true;
}

void appendEntry(QByteArray& archive, const QString& name, const QByteArray& data, qint64 mtime)
{
    archive += ustar::header(name.toUtf8(), data.size(), mtime);
    archive += data;
    archive += ustar::padding(data.size());
}

// Packs the folder's manifest.json, its signature and the images it lists (checked against
// it) into `outFile`.
int pack(const QDir& folder, const QString& outFile, QTextStream& out, QTextStream& err)
{
    QString error;
    QByteArray manifestBytes;
    QByteArray signature;
    if (!readFile(folder.filePath(kManifest), manifestBytes, error) ||
        !readFile(folder.filePath(kSignature), signature, error))
        return failMake(err, error + QStringLiteral(" (sign it with: minisign -Sm manifest.json)"));
    SBundleManifest manifest;
    if (bundlemanifest::parse(manifestBytes, manifest, error) != bundlemanifest::EOk)
        return failMake(err, error);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QByteArray archive;
    appendEntry(archive, kManifest, manifestBytes, now);
    appendEntry(archive, kSignature, signature, now);
    for (const SBundleManifest::SImage& image : manifest.images) {
        QByteArray bytes;
        if (!readFile(folder.filePath(image.file), bytes, error))
            return failMake(err, error);
        if (bytes.size() != image.size || minisign::sha256Hex(bytes) != image.sha256)
            return failMake(err, QStringLiteral("%1 was changed after manifest.json was written; "
                                                "write the manifest again")
                                     .arg(image.file));
        appendEntry(archive, image.file, bytes, now);
    }
    archive += ustar::endOfArchive();
    if (archive.size() > CFirmwareBundle::kMaxFileBytes)
        return failMake(err, QStringLiteral("the bundle would be larger than 64 MiB"));
    if (!writeFile(outFile, archive, error))
        return failMake(err, error);
    out << "bundle: " << outFile << " (" << manifest.images.size() << " images, release "
        << manifest.release << ", counter " << manifest.securityCounter << ")\n";
    return cliexit::kOk;
}

int runMake(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    const QDir folder(o.bundlePath);
    if (!folder.exists())
        return failMake(err, QStringLiteral("%1 is no folder").arg(o.bundlePath));
    QString error;
    if (o.counter >= 0) {
        SBundleManifest manifest;
        manifest.release = o.release.trimmed();
        manifest.created = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
        manifest.securityCounter = o.counter;
        manifest.notesEn = o.notesEn;
        manifest.notesDe = o.notesDe;
        QVector<QByteArray> contents;
        if (!folderImages(folder, manifest.images, contents, error))
            return failMake(err, error);
        const QByteArray bytes = bundlemanifest::write(manifest);
        if (!writeFile(folder.filePath(kManifest), bytes, error))
            return failMake(err, error);
        out << "manifest: " << folder.filePath(kManifest) << '\n';
        if (!o.signKey.isEmpty()) {
            QByteArray keyText;
            minisign::SSecretKey key;
            if (!readFile(o.signKey, keyText, error) ||
                !minisign::parseSecretKey(keyText, key, error))
                return failMake(err, QStringLiteral("%1: %2").arg(o.signKey, error));
            const QString comment = QStringLiteral("timestamp:%1\tfile:%2\thashed")
                                        .arg(QDateTime::currentSecsSinceEpoch())
                                        .arg(kManifest);
            if (!writeFile(folder.filePath(kSignature), minisign::sign(bytes, key, comment), error))
                return failMake(err, error);
            out << "signed:   by key " << minisign::keyIdText(key.keyId) << '\n';
        } else if (o.outFile.isEmpty()) {
            out << "next:     cd " << folder.path()
                << " && minisign -Sm manifest.json, then ventaro-cli bundle make " << folder.path()
                << " --out RELEASE.vfw\n";
            return cliexit::kOk;
        }
    }
    return pack(folder, o.outFile, out, err);
}

} // namespace

int runBundle(const SCliOptions& o, QTextStream& out, QTextStream& err)
{
    return o.bundleAction == SCliOptions::EBundleVerify ? runVerify(o, out) : runMake(o, out, err);
}

int useBundle(const SCliOptions& o, CFirmwareBundle& bundle, QTextStream& out, qint64 plantCounter)
{
    if (o.bundleFile.isEmpty())
        return 0;
    // A plan writes nothing: it accepts no bundle for good.
    const bundleuse::EMode mode =
        o.command == SCliOptions::EPlan ? bundleuse::EPreview : bundleuse::EUse;
    bundleuse::SLoad load = bundleuse::load(o.bundleFile, mode, bundle, plantCounter);
    if (load.verdict.accepted() && !o.bundleSha256.isEmpty() &&
        bundle.fileSha256() != o.bundleSha256) {
        CFlashImageList::useBuiltIn();
        load.verdict = SBundleVerdict{
            EBundleOutcome::Image,
            QStringLiteral("%1 was changed after the station checked it (SHA-256 %2, not %3)")
                .arg(o.bundleFile, bundle.fileSha256(), o.bundleSha256)};
    }
    if (!load.verdict.accepted())
        return refused(load.verdict, o.json, out);
    return 0;
}
