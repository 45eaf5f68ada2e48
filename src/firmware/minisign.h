#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Minisign's key and signature files, and checking and making its signatures (algorithm "ED":
// Ed25519 over the BLAKE2b-512 of the message, plus a global signature over the signature and
// its trusted comment). The legacy algorithm "Ed" (Ed25519 over the message itself) is refused.
namespace minisign {

constexpr int kKeyIdBytes = 8;
constexpr int kPublicKeyBytes = 32;
constexpr int kSecretKeyBytes = 64;
constexpr int kSignatureBytes = 64;

struct SPublicKey
{
    QByteArray keyId; // 8 bytes, as stored
    QByteArray key;   // 32 bytes
    QString source;   // where it was read from (a file, "built in")
};

struct SSignature
{
    QByteArray keyId; // 8 bytes
    QByteArray signature;
    QString trustedComment; // without "trusted comment: "
    QByteArray globalSignature;
};

struct SSecretKey
{
    QByteArray keyId;
    QByteArray key; // 64 bytes: libsodium's secret key (seed and public key)
};

// The key id as minisign prints it: 16 upper-case hex digits of the little-endian number.
QString keyIdText(const QByteArray& keyId);

// Every public key in `text`: minisign's two-line .pub files, one after the other (untrusted
// comment lines and blank lines are skipped). False with `error` on any other line.
[[nodiscard]] bool parsePublicKeys(const QByteArray& text, const QString& source,
                                   QList<SPublicKey>& keys, QString& error);

enum ESignatureResult {
    ESigOk,
    ESigMalformed, // not four lines of minisign's form, or bad base64 or lengths
    ESigLegacy,    // algorithm "Ed": the message itself was signed, not its hash
    ESigAlgorithm, // any other algorithm
};
[[nodiscard]] ESignatureResult parseSignature(const QByteArray& text, SSignature& out,
                                              QString& error);

enum EVerifyResult {
    EVerifyOk,
    EVerifyBadSignature, // the message does not match its signature
    EVerifyBadComment,   // the trusted comment does not match its global signature
};
[[nodiscard]] EVerifyResult verify(const QByteArray& message, const SSignature& signature,
                                   const SPublicKey& key);

// An unencrypted secret key file (`minisign -G -W`). False with `error` for an encrypted key,
// a failed checksum or a malformed file.
[[nodiscard]] bool parseSecretKey(const QByteArray& text, SSecretKey& out, QString& error);
// The .minisig text for `message`, as `minisign -S` writes it.
QByteArray sign(const QByteArray& message, const SSecretKey& key, const QString& trustedComment);

// SHA-256 of `bytes`, lower-case hex.
QString sha256Hex(const QByteArray& bytes);

} // namespace minisign
