#include "firmwarebundle.h"

#include "firmware/trustedkeys_builtin.h"
#include "firmware/ustarreader.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

const QString kManifestName = QStringLiteral("manifest.json");
const QString kSignatureName = QStringLiteral("manifest.json.minisig");

SBundleVerdict refuse(EBundleOutcome outcome, const QString& detail)
{
    return SBundleVerdict{outcome, detail};
}

// The partition type each image name must carry in its file.
int expectedType(const QString& image)
{
    if (image == QLatin1String("Bootloader1"))
        return CPartitionTable::EBootloader1;
    if (image == QLatin1String("Bootloader2"))
        return CPartitionTable::EBootloader2;
    if (image == QLatin1String("Application") || image == QLatin1String("ventaroplus"))
        return CPartitionTable::EApplication;
    if (image == QLatin1String("cc3200"))
        return CPartitionTable::ECC3200;
    return CPartitionTable::ECC3200Bridge;
}

QString version(const CFlashImage& image)
{
    return QStringLiteral("%1.%2")
        .arg(image.m_MainVer)
        .arg(image.m_SubVer, 2, 10, QLatin1Char('0'));
}

// The image a bootloader copy gets: the bundle's, or else the built-in one. The update rules
// refuse every unit while the two copies differ, so such a bundle is refused at once.
SBundleVerdict checkBootloaders(const QVector<CFirmwareBundle::SImage>& images)
{
    CFlashImage copies[2];
    const char* names[2] = {"Bootloader1", "Bootloader2"};
    for (int i = 0; i < 2; ++i) {
        const QString name = QLatin1String(names[i]);
        const auto it =
            std::find_if(images.cbegin(), images.cend(),
                         [&](const CFirmwareBundle::SImage& b) { return b.entry.image == name; });
        if (it != images.cend()) {
            copies[i] = it->image;
            continue;
        }
        const CFlashImageList::SResource& r =
            CFlashImageList::kResources[CFlashImageList::resourceIndex(name)];
        if (CFlashImageList::loadImage(copies[i], QString::fromLatin1(r.path), r.system) !=
            CFlashImageList::ELoadOk)
            return {};
    }
    if (copies[0].m_MainVer != copies[1].m_MainVer || copies[0].m_SubVer != copies[1].m_SubVer)
        return refuse(EBundleOutcome::Image,
                      QStringLiteral("Bootloader1 would be %1 and Bootloader2 %2; both copies "
                                     "must have one version")
                          .arg(version(copies[0]), version(copies[1])));
    return {};
}

// Every entry a regular file with a safe name, each name once, the manifest and its signature
// first.
SBundleVerdict checkEntries(const ustar::SArchive& archive)
{
    QSet<QString> seen;
    for (const ustar::SEntry& entry : archive.entries) {
        const QString name = QString::fromUtf8(entry.name);
        if (!bundlemanifest::safeEntryName(name))
            return refuse(EBundleOutcome::Entry,
                          QStringLiteral("entry \"%1\" has an unsafe name").arg(name));
        if (entry.typeFlag != '0' && entry.typeFlag != '\0')
            return refuse(EBundleOutcome::Entry,
                          QStringLiteral("entry \"%1\" is not a regular file (type '%2')")
                              .arg(name, QString(QLatin1Char(entry.typeFlag))));
        if (seen.contains(name.toLower()))
            return refuse(EBundleOutcome::Entry,
                          QStringLiteral("entry \"%1\" is there twice").arg(name));
        seen << name.toLower();
    }
    const auto& e = archive.entries;
    if (e.size() < 2 || QString::fromUtf8(e.at(0).name) != kManifestName ||
        QString::fromUtf8(e.at(1).name) != kSignatureName)
        return refuse(EBundleOutcome::Entry,
                      QStringLiteral("the bundle must begin with manifest.json and "
                                     "manifest.json.minisig, in this order"));
    return {};
}

} // namespace

QString bundleOutcomeWord(EBundleOutcome outcome)
{
    switch (outcome) {
    case EBundleOutcome::Accepted:
        return QStringLiteral("accepted");
    case EBundleOutcome::Format:
        return QStringLiteral("bundle-format");
    case EBundleOutcome::TooLarge:
        return QStringLiteral("bundle-too-large");
    case EBundleOutcome::Entry:
        return QStringLiteral("bundle-entry");
    case EBundleOutcome::Signature:
        return QStringLiteral("bundle-signature");
    case EBundleOutcome::Key:
        return QStringLiteral("bundle-key");
    case EBundleOutcome::Manifest:
        return QStringLiteral("bundle-manifest");
    case EBundleOutcome::Image:
        return QStringLiteral("bundle-image");
    case EBundleOutcome::Rollback:
        return QStringLiteral("bundle-rollback");
    }
    return {};
}

QString bundleOutcomeText(EBundleOutcome outcome, bool german)
{
    struct SText
    {
        const char* en;
        const char* de;
    };
    static const SText texts[] = {
        {"The firmware bundle was accepted.", "Das Firmware-Paket wurde angenommen."},
        {"The file is not a firmware bundle (an uncompressed ustar tar of this format).",
         "Die Datei ist kein Firmware-Paket (unkomprimiertes ustar-tar dieses Formats)."},
        {"The firmware bundle is too large.", "Das Firmware-Paket ist zu groß."},
        {"The firmware bundle holds an entry it must not hold.",
         "Das Firmware-Paket enthält einen unzulässigen Eintrag."},
        {"The signature of the firmware bundle is not valid.",
         "Die Signatur des Firmware-Pakets ist ungültig."},
        {"The firmware bundle is signed with a key this tool does not trust.",
         "Das Firmware-Paket ist mit einem nicht vertrauenswürdigen Schlüssel signiert."},
        {"The manifest of the firmware bundle is not valid.",
         "Das Manifest des Firmware-Pakets ist ungültig."},
        {"An image of the firmware bundle does not match its manifest.",
         "Ein Abbild des Firmware-Pakets passt nicht zu seinem Manifest."},
        {"The firmware bundle is older than one accepted before (rollback).",
         "Das Firmware-Paket ist älter als ein bereits angenommenes (Rückschritt)."},
    };
    const SText& t = texts[int(outcome)];
    return QString::fromUtf8(german ? t.de : t.en);
}

QString SBundleVerdict::message(bool german) const
{
    const QString head = bundleOutcomeText(outcome, german);
    if (detail.isEmpty())
        return head;
    QString sentence = detail;
    sentence[0] = sentence.at(0).toUpper();
    if (!sentence.endsWith(QLatin1Char('.')))
        sentence += QLatin1Char('.');
    return QStringLiteral("%1 %2").arg(head, sentence);
}

SBundleVerdict CFirmwareBundle::load(const QString& path, const SBundlePolicy& policy)
{
    *this = CFirmwareBundle();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(EBundleOutcome::Format,
                      QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    // One read, bounded: the checked bytes are the ones used.
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes)
        return refuse(EBundleOutcome::TooLarge,
                      QStringLiteral("%1 is larger than 64 MiB").arg(path));
    return loadBytes(bytes, policy);
}

SBundleVerdict CFirmwareBundle::loadBytes(const QByteArray& bytes, const SBundlePolicy& policy)
{
    *this = CFirmwareBundle();
    if (bytes.size() > kMaxFileBytes)
        return refuse(EBundleOutcome::TooLarge, QStringLiteral("the bundle is larger than 64 MiB"));
    if (bytes.isEmpty())
        return refuse(EBundleOutcome::Format, QStringLiteral("the file is empty, or no file"));
    ustar::SArchive archive;
    QString detail;
    if (ustar::read(bytes, archive, detail) != ustar::EOk)
        return refuse(EBundleOutcome::Format, detail);
    if (SBundleVerdict v = checkEntries(archive); !v.accepted())
        return v;
    const QByteArray& manifestBytes = archive.entries.at(0).data;
    const QByteArray& signatureBytes = archive.entries.at(1).data;
    if (manifestBytes.size() > kMaxManifestBytes)
        return refuse(EBundleOutcome::TooLarge,
                      QStringLiteral("manifest.json has %1 bytes, more than 64 KiB")
                          .arg(manifestBytes.size()));
    if (signatureBytes.size() > kMaxSignatureBytes)
        return refuse(EBundleOutcome::Signature,
                      QStringLiteral("manifest.json.minisig is larger than 4 KiB"));
    if (SBundleVerdict v = checkSignature(manifestBytes, signatureBytes, policy); !v.accepted())
        return v;

    // Signed: only now is the manifest read.
    SBundleManifest manifest;
    switch (bundlemanifest::parse(manifestBytes, manifest, detail)) {
    case bundlemanifest::EOk:
        break;
    case bundlemanifest::EFormat:
        return refuse(EBundleOutcome::Format, detail);
    case bundlemanifest::EInvalid:
        return refuse(EBundleOutcome::Manifest, detail);
    }

    QHash<QString, const ustar::SEntry*> files;
    for (int i = 2; i < archive.entries.size(); ++i)
        files.insert(QString::fromUtf8(archive.entries.at(i).name), &archive.entries.at(i));
    QSet<QString> listed;
    for (const SBundleManifest::SImage& m : manifest.images)
        listed << m.file;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        if (!listed.contains(it.key()))
            return refuse(EBundleOutcome::Entry,
                          QStringLiteral("entry \"%1\" is not in the manifest").arg(it.key()));

    QVector<SImage> images;
    for (const SBundleManifest::SImage& m : manifest.images) {
        const ustar::SEntry* entry = files.value(m.file);
        if (!entry)
            return refuse(EBundleOutcome::Image,
                          QStringLiteral("%1: file %2 is missing").arg(m.image, m.file));
        if (entry->data.size() != m.size)
            return refuse(EBundleOutcome::Image,
                          QStringLiteral("%1: file %2 has %3 bytes, the manifest says %4")
                              .arg(m.image, m.file)
                              .arg(entry->data.size())
                              .arg(m.size));
        const QString actual = minisign::sha256Hex(entry->data);
        if (actual != m.sha256)
            return refuse(EBundleOutcome::Image,
                          QStringLiteral("%1: file %2 has SHA-256 %3, the manifest says %4")
                              .arg(m.image, m.file, actual, m.sha256));
        const int resource = CFlashImageList::resourceIndex(m.image);
        SImage image{m, CFlashImage()};
        const int read = CFlashImageList::loadImageBytes(
            image.image, entry->data, CFlashImageList::kResources[resource].system);
        if (read != CFlashImageList::ELoadOk)
            return refuse(EBundleOutcome::Image,
                          QStringLiteral("%1: file %2 is not a readable image (code %3)")
                              .arg(m.image, m.file)
                              .arg(read));
        if (image.image.m_Type != expectedType(m.image))
            return refuse(EBundleOutcome::Image,
                          QStringLiteral("%1: file %2 holds an image of partition type %3, not %4")
                              .arg(m.image, m.file)
                              .arg(image.image.m_Type)
                              .arg(expectedType(m.image)));
        images << image;
    }
    if (SBundleVerdict v = checkBootloaders(images); !v.accepted())
        return v;
    if (manifest.securityCounter < policy.highestCounter)
        return refuse(EBundleOutcome::Rollback,
                      QStringLiteral("its security counter is %1, but %2 was accepted before")
                          .arg(manifest.securityCounter)
                          .arg(policy.highestCounter));

    m_Manifest = manifest;
    m_Images = images;
    m_ManifestSha256 = minisign::sha256Hex(manifestBytes);
    m_FileSha256 = minisign::sha256Hex(bytes);
    return {};
}

SBundleVerdict CFirmwareBundle::checkSignature(const QByteArray& manifest,
                                               const QByteArray& signatureBytes,
                                               const SBundlePolicy& policy)
{
    minisign::SSignature signature;
    QString detail;
    if (minisign::parseSignature(signatureBytes, signature, detail) != minisign::ESigOk)
        return refuse(EBundleOutcome::Signature, detail);
    const QString keyId = minisign::keyIdText(signature.keyId);
    const minisign::SPublicKey* key = nullptr;
    QStringList trusted;
    for (const minisign::SPublicKey& k : policy.trustedKeys) {
        trusted << minisign::keyIdText(k.keyId);
        if (k.keyId == signature.keyId && !key)
            key = &k;
    }
    if (!key)
        return refuse(EBundleOutcome::Key,
                      QStringLiteral("It is signed with key %1; trusted here: %2.")
                          .arg(keyId, trusted.isEmpty() ? QStringLiteral("none")
                                                        : trusted.join(QStringLiteral(", "))));
    switch (minisign::verify(manifest, signature, *key)) {
    case minisign::EVerifyOk:
        break;
    case minisign::EVerifyBadSignature:
        return refuse(
            EBundleOutcome::Signature,
            QStringLiteral("manifest.json does not match its signature by key %1").arg(keyId));
    case minisign::EVerifyBadComment:
        return refuse(EBundleOutcome::Signature,
                      QStringLiteral("the trusted comment does not match its signature by key %1")
                          .arg(keyId));
    }
    m_KeyId = keyId;
    m_TrustedComment = signature.trustedComment;
    return {};
}

QList<CFlashImageList::SBundleImage> CFirmwareBundle::flashImages() const
{
    QList<CFlashImageList::SBundleImage> out;
    for (const SImage& image : m_Images)
        out << CFlashImageList::SBundleImage{CFlashImageList::resourceIndex(image.entry.image),
                                             image.image};
    return out;
}

namespace bundletrust {

QString keysFolder()
{
    const QString dir = qEnvironmentVariable("VENTARO_TRUSTED_KEYS_DIR");
    return dir.isEmpty() ? QStringLiteral("/etc/ventaro/trusted-keys") : dir;
}

QList<minisign::SPublicKey> trustedKeys(QStringList& problems)
{
    QList<minisign::SPublicKey> keys;
    QString error;
    if (!minisign::parsePublicKeys(QByteArray(kBuiltInTrustedKeys), QStringLiteral("built in"),
                                   keys, error))
        problems << error;
    const QDir folder(keysFolder());
    for (const QFileInfo& info :
         folder.entryInfoList({QStringLiteral("*.pub")}, QDir::Files, QDir::Name)) {
        QFile file(info.filePath());
        QList<minisign::SPublicKey> fromFile;
        // A key file is two short lines; anything much larger is not one.
        if (!file.open(QIODevice::ReadOnly) ||
            !minisign::parsePublicKeys(file.read(64 * 1024), info.filePath(), fromFile, error) ||
            fromFile.isEmpty()) {
            problems << (error.isEmpty() ? QStringLiteral("%1 holds no key").arg(info.filePath())
                                         : error);
            error.clear();
            continue;
        }
        keys << fromFile;
    }
    return keys;
}

} // namespace bundletrust
