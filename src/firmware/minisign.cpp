#include "minisign.h"

#include <QCryptographicHash>

#include <sodium.h>

namespace minisign {

namespace {

constexpr int kAlgBytes = 2;
constexpr int kPublicKeyFileBytes = kAlgBytes + kKeyIdBytes + kPublicKeyBytes; // 42
constexpr int kSignatureLineBytes = kAlgBytes + kKeyIdBytes + kSignatureBytes; // 74
constexpr int kSaltBytes = 32;
constexpr int kLimitBytes = 8;
constexpr int kChecksumBytes = 32;
// sig_alg, kdf_alg, chk_alg, salt, opslimit, memlimit, then key id, secret key and checksum.
constexpr int kSecretKeyFileBytes = 3 * kAlgBytes + kSaltBytes + 2 * kLimitBytes + kKeyIdBytes +
                                    kSecretKeyBytes + kChecksumBytes; // 158
const QByteArray kUntrusted = QByteArrayLiteral("untrusted comment:");
const QByteArray kTrusted = QByteArrayLiteral("trusted comment: ");

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// Strict base64: only the alphabet and its padding, and a length the encoding can give.
bool decodeBase64(const QByteArray& text, QByteArray& out)
{
    for (char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
        if (!ok)
            return false;
    }
    if (text.isEmpty() || text.size() % 4 != 0)
        return false;
    out = QByteArray::fromBase64(text);
    return out.toBase64() == text;
}

QByteArray blake2b512(const QByteArray& message)
{
    QByteArray hash(crypto_generichash_BYTES_MAX, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(hash.data()), size_t(hash.size()),
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       size_t(message.size()), nullptr, 0);
    return hash;
}

bool verifyDetached(const QByteArray& signature, const QByteArray& message, const QByteArray& key)
{
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char*>(signature.constData()),
               reinterpret_cast<const unsigned char*>(message.constData()),
               (unsigned long long)message.size(),
               reinterpret_cast<const unsigned char*>(key.constData())) == 0;
}

QByteArray signDetached(const QByteArray& message, const QByteArray& secretKey)
{
    QByteArray signature(kSignatureBytes, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(message.constData()),
                         (unsigned long long)message.size(),
                         reinterpret_cast<const unsigned char*>(secretKey.constData()));
    return signature;
}

QList<QByteArray> lines(const QByteArray& text)
{
    QList<QByteArray> out = text.split('\n');
    for (QByteArray& line : out)
        if (line.endsWith('\r'))
            line.chop(1);
    while (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

} // namespace

QString keyIdText(const QByteArray& keyId)
{
    QByteArray reversed;
    for (int i = keyId.size() - 1; i >= 0; --i)
        reversed += keyId.at(i);
    return QString::fromLatin1(reversed.toHex().toUpper());
}

bool parsePublicKeys(const QByteArray& text, const QString& source, QList<SPublicKey>& keys,
                     QString& error)
{
    int number = 0;
    for (const QByteArray& raw : lines(text)) {
        ++number;
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(kUntrusted))
            continue;
        QByteArray bytes;
        if (!decodeBase64(line, bytes) || bytes.size() != kPublicKeyFileBytes ||
            !bytes.startsWith("Ed")) {
            error =
                QStringLiteral("%1, line %2: not a minisign public key").arg(source).arg(number);
            return false;
        }
        keys << SPublicKey{bytes.mid(kAlgBytes, kKeyIdBytes),
                           bytes.mid(kAlgBytes + kKeyIdBytes, kPublicKeyBytes), source};
    }
    return true;
}

ESignatureResult parseSignature(const QByteArray& text, SSignature& out, QString& error)
{
    const QList<QByteArray> l = lines(text);
    QByteArray sig;
    QByteArray global;
    if (l.size() != 4 || !l.at(0).startsWith(kUntrusted) || !l.at(2).startsWith(kTrusted) ||
        !decodeBase64(l.at(1), sig) || sig.size() != kSignatureLineBytes ||
        !decodeBase64(l.at(3), global) || global.size() != kSignatureBytes) {
        error = QStringLiteral("manifest.json.minisig is not a minisign signature");
        return ESigMalformed;
    }
    const QByteArray algorithm = sig.left(kAlgBytes);
    if (algorithm == "Ed") {
        error = QStringLiteral("manifest.json.minisig uses the legacy algorithm Ed (the message "
                               "itself signed); sign with minisign 0.8 or later (algorithm ED)");
        return ESigLegacy;
    }
    if (algorithm != "ED") {
        error = QStringLiteral("manifest.json.minisig uses an unknown algorithm \"%1\"")
                    .arg(QString::fromLatin1(algorithm.toHex()));
        return ESigAlgorithm;
    }
    out.keyId = sig.mid(kAlgBytes, kKeyIdBytes);
    out.signature = sig.mid(kAlgBytes + kKeyIdBytes);
    out.trustedComment = QString::fromUtf8(l.at(2).mid(kTrusted.size()));
    out.globalSignature = global;
    return ESigOk;
}

EVerifyResult verify(const QByteArray& message, const SSignature& signature, const SPublicKey& key)
{
    if (!sodiumReady() || key.key.size() != kPublicKeyBytes)
        return EVerifyBadSignature;
    if (!verifyDetached(signature.signature, blake2b512(message), key.key))
        return EVerifyBadSignature;
    if (!verifyDetached(signature.globalSignature,
                        signature.signature + signature.trustedComment.toUtf8(), key.key))
        return EVerifyBadComment;
    return EVerifyOk;
}

bool parseSecretKey(const QByteArray& text, SSecretKey& out, QString& error)
{
    const QList<QByteArray> l = lines(text);
    QByteArray bytes;
    if (l.size() != 2 || !l.at(0).startsWith(kUntrusted) || !decodeBase64(l.at(1), bytes) ||
        bytes.size() != kSecretKeyFileBytes || !bytes.startsWith("Ed")) {
        error = QStringLiteral("not a minisign secret key");
        return false;
    }
    if (bytes.mid(kAlgBytes, kAlgBytes) != QByteArray(kAlgBytes, '\0')) {
        error = QStringLiteral("the secret key is encrypted; make an unencrypted one with "
                               "minisign -G -W, or sign with minisign -Sm manifest.json");
        return false;
    }
    const int keyAt = 3 * kAlgBytes + kSaltBytes + 2 * kLimitBytes;
    out.keyId = bytes.mid(keyAt, kKeyIdBytes);
    out.key = bytes.mid(keyAt + kKeyIdBytes, kSecretKeyBytes);
    const QByteArray stored = bytes.mid(keyAt + kKeyIdBytes + kSecretKeyBytes, kChecksumBytes);
    if (!sodiumReady()) {
        error = QStringLiteral("libsodium could not be started");
        return false;
    }
    // The checksum is BLAKE2b-256 over the algorithm, the key id and the secret key; minisign
    // leaves it zero in an unencrypted key. Either way the secret key must give its own public
    // half, so a damaged key never signs.
    QByteArray computed(kChecksumBytes, '\0');
    const QByteArray checked = bytes.left(kAlgBytes) + out.keyId + out.key;
    crypto_generichash(reinterpret_cast<unsigned char*>(computed.data()), size_t(computed.size()),
                       reinterpret_cast<const unsigned char*>(checked.constData()),
                       size_t(checked.size()), nullptr, 0);
    QByteArray publicKey(kPublicKeyBytes, '\0');
    QByteArray secretKey(kSecretKeyBytes, '\0');
    crypto_sign_seed_keypair(reinterpret_cast<unsigned char*>(publicKey.data()),
                             reinterpret_cast<unsigned char*>(secretKey.data()),
                             reinterpret_cast<const unsigned char*>(out.key.constData()));
    if ((computed != stored && stored != QByteArray(kChecksumBytes, '\0')) ||
        secretKey != out.key) {
        error = QStringLiteral("the secret key is damaged (its checksum or its public half is "
                               "wrong)");
        return false;
    }
    return true;
}

QByteArray sign(const QByteArray& message, const SSecretKey& key, const QString& trustedComment)
{
    if (!sodiumReady())
        return {};
    const QByteArray signature = signDetached(blake2b512(message), key.key);
    const QByteArray comment = trustedComment.toUtf8();
    const QByteArray global = signDetached(signature + comment, key.key);
    return QByteArrayLiteral("untrusted comment: signature from minisign secret key\n") +
           (QByteArrayLiteral("ED") + key.keyId + signature).toBase64() + '\n' + kTrusted +
           comment + '\n' + global.toBase64() + '\n';
}

QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace minisign
