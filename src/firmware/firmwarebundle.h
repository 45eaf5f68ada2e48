#pragma once

#include "firmware/bundlemanifest.h"
#include "firmware/flashimagelist.h"
#include "firmware/minisign.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

// Why a bundle was refused; each has its own outcome word and message. The order is the order
// of the checks.
enum class EBundleOutcome {
    Accepted,
    Format,    // not a ustar tar, compressed, not this format or an unknown formatVersion
    TooLarge,  // the file over 64 MiB or its manifest over 64 KiB
    Entry,     // entries out of order, duplicated, not regular, unsafe names, not in the manifest
    Signature, // a malformed or legacy signature, or one that does not match
    Key,       // signed by a key that is not trusted here
    Manifest,  // the manifest is invalid
    Image,     // an image missing, of the wrong size or hash, or not a readable image
    Rollback,  // a security counter below the highest accepted here
};

// The outcome word of the command line ("bundle-image") and a one-line headline in English or
// German (`german`).
QString bundleOutcomeWord(EBundleOutcome outcome);
QString bundleOutcomeText(EBundleOutcome outcome, bool german);

struct SBundleVerdict
{
    EBundleOutcome outcome = EBundleOutcome::Accepted;
    QString detail; // what exactly, naming the entry, field, key or file (English)

    bool accepted() const { return outcome == EBundleOutcome::Accepted; }
    // Headline and detail, for the user.
    QString message(bool german = false) const;
};

// What a bundle must satisfy to be accepted.
struct SBundlePolicy
{
    QList<minisign::SPublicKey> trustedKeys;
    qint64 highestCounter = 0; // the highest security counter accepted before
};

// A firmware release loaded from a signed bundle (.vfw): an uncompressed ustar archive with
// manifest.json, its minisign signature manifest.json.minisig and the image files. The
// signature is checked against the trusted keys over the exact stored manifest before the
// manifest is parsed; then every image is checked against the manifest's size and SHA-256 and
// read from those verified bytes, which stay in memory. The file is read once.
class CFirmwareBundle
{
public:
    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
    static constexpr qint64 kMaxManifestBytes = 64 * 1024;
    static constexpr qint64 kMaxSignatureBytes = 4096;

    struct SImage
    {
        SBundleManifest::SImage entry; // as the manifest lists it
        CFlashImage image;             // read from the verified bytes
    };

    // Reads and checks the file; on refusal the bundle stays empty.
    [[nodiscard]] SBundleVerdict load(const QString& path, const SBundlePolicy& policy);
    // The same over bytes already read (tests, the fuzz target).
    [[nodiscard]] SBundleVerdict loadBytes(const QByteArray& bytes, const SBundlePolicy& policy);

    bool isLoaded() const { return !m_Images.isEmpty(); }
    const SBundleManifest& manifest() const { return m_Manifest; }
    const QVector<SImage>& images() const { return m_Images; }
    QString release() const { return m_Manifest.release; }
    qint64 securityCounter() const { return m_Manifest.securityCounter; }
    QString keyId() const { return m_KeyId; } // minisign's form, 16 hex digits
    QString manifestSha256() const { return m_ManifestSha256; }
    QString fileSha256() const { return m_FileSha256; } // of the whole .vfw
    QString trustedComment() const { return m_TrustedComment; }

    // The images in the form the image list takes them (CFlashImageList::useBundle).
    QList<CFlashImageList::SBundleImage> flashImages() const;

private:
    SBundleVerdict checkSignature(const QByteArray& manifest, const QByteArray& signature,
                                  const SBundlePolicy& policy);

    SBundleManifest m_Manifest;
    QVector<SImage> m_Images;
    QString m_KeyId;
    QString m_ManifestSha256;
    QString m_FileSha256;
    QString m_TrustedComment;
};

// The trusted keys: those built in (-DVENTARO_TRUSTED_KEYS) and every *.pub file of the keys
// folder, /etc/ventaro/trusted-keys or $VENTARO_TRUSTED_KEYS_DIR. A file that holds no valid
// key adds nothing and is named in `problems`.
namespace bundletrust {
QString keysFolder();
QList<minisign::SPublicKey> trustedKeys(QStringList& problems);
} // namespace bundletrust
