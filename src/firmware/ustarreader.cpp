#include "ustarreader.h"

#include <cstring>

namespace ustar {

namespace {

// Field offsets and lengths of a ustar header.
constexpr int kNameAt = 0, kNameLen = 100;
constexpr int kModeAt = 100, kModeLen = 8;
constexpr int kUidAt = 108, kGidAt = 116, kIdLen = 8;
constexpr int kSizeAt = 124, kSizeLen = 12;
constexpr int kMtimeAt = 136, kMtimeLen = 12;
constexpr int kChksumAt = 148, kChksumLen = 8;
constexpr int kTypeAt = 156;
constexpr int kMagicAt = 257;
constexpr int kPrefixAt = 345, kPrefixLen = 155;

// A NUL- or blank-terminated field as text.
QByteArray field(const char* block, int at, int len)
{
    const char* begin = block + at;
    int n = 0;
    while (n < len && begin[n] != '\0')
        ++n;
    return QByteArray(begin, n);
}

// An octal number as tar writes it: optional leading blanks, octal digits, then NULs or
// blanks. Base-256 numbers (a first byte with its high bit set) are not ustar.
bool octal(const char* block, int at, int len, qint64& value)
{
    const char* p = block + at;
    int i = 0;
    while (i < len && p[i] == ' ')
        ++i;
    value = 0;
    int digits = 0;
    for (; i < len && p[i] >= '0' && p[i] <= '7'; ++i, ++digits) {
        if (value > (qint64(1) << 54))
            return false;
        value = value * 8 + (p[i] - '0');
    }
    for (; i < len; ++i)
        if (p[i] != '\0' && p[i] != ' ')
            return false;
    return digits > 0;
}

bool allZero(const char* p, int len)
{
    for (int i = 0; i < len; ++i)
        if (p[i] != '\0')
            return false;
    return true;
}

qint64 checksum(const char* block)
{
    qint64 sum = 0;
    for (int i = 0; i < kBlockBytes; ++i) {
        const bool inField = i >= kChksumAt && i < kChksumAt + kChksumLen;
        sum += inField ? ' ' : (unsigned char)block[i];
    }
    return sum;
}

bool compressed(const QByteArray& a)
{
    return a.startsWith("\x1f\x8b") || a.startsWith("BZh") ||
           a.startsWith(QByteArray("\xfd"
                                   "7zXZ\0",
                                   6)) ||
           a.startsWith("\x28\xb5\x2f\xfd");
}

// POSIX ustar ("ustar\0" "00"), or GNU tar's older spelling ("ustar " " \0"), which has the
// same layout for the short names and sizes of a bundle.
bool ustarMagic(const char* block)
{
    return std::memcmp(block + kMagicAt,
                       "ustar\0"
                       "00",
                       8) == 0 ||
           std::memcmp(block + kMagicAt, "ustar  \0", 8) == 0;
}

void putOctal(char* block, int at, int len, qint64 value)
{
    // len - 1 digits and a NUL, as POSIX writes them.
    const QByteArray digits = QByteArray::number(value, 8).rightJustified(len - 1, '0');
    std::memcpy(block + at, digits.constData(), size_t(len - 1));
    block[at + len - 1] = '\0';
}

} // namespace

EResult read(const QByteArray& archive, SArchive& out, QString& detail)
{
    out = SArchive();
    if (compressed(archive)) {
        detail = QStringLiteral("the file is compressed; a bundle is an uncompressed tar");
        return ECompressed;
    }
    const char* base = archive.constData();
    const qint64 total = archive.size();
    qint64 at = 0;
    while (true) {
        if (at == total)
            return EOk; // ends at an entry boundary without its end blocks
        if (total - at < kBlockBytes) {
            detail = QStringLiteral("the archive ends inside the header at byte %1").arg(at);
            return ETruncated;
        }
        const char* block = base + at;
        if (allZero(block, kBlockBytes)) {
            out.endMarker =
                total - at >= 2 * kBlockBytes && allZero(block + kBlockBytes, kBlockBytes);
            return EOk;
        }
        qint64 sum = 0;
        qint64 size = 0;
        qint64 unused = 0;
        if (!ustarMagic(block) || !octal(block, kChksumAt, kChksumLen, sum) ||
            sum != checksum(block)) {
            detail = at == 0
                         ? QStringLiteral("the file is not a ustar tar archive")
                         : QStringLiteral("the header at byte %1 is not a ustar header").arg(at);
            return ENotTar;
        }
        if (!octal(block, kSizeAt, kSizeLen, size) || !octal(block, kModeAt, kModeLen, unused) ||
            !octal(block, kMtimeAt, kMtimeLen, unused)) {
            detail = QStringLiteral("the header at byte %1 has a bad size, mode or time").arg(at);
            return ENotTar;
        }
        SEntry entry;
        entry.offset = at;
        entry.typeFlag = block[kTypeAt];
        const QByteArray prefix = field(block, kPrefixAt, kPrefixLen);
        const QByteArray name = field(block, kNameAt, kNameLen);
        entry.name = prefix.isEmpty() ? name : prefix + '/' + name;
        const qint64 dataAt = at + kBlockBytes;
        if (size > total - dataAt) {
            detail = QStringLiteral("the archive ends inside \"%1\" (%2 of its %3 bytes are there)")
                         .arg(QString::fromUtf8(entry.name))
                         .arg(total - dataAt)
                         .arg(size);
            return ETruncated;
        }
        entry.data = archive.mid(int(dataAt), int(size));
        out.entries << entry;
        const qint64 padded = (size + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
        at = dataAt + qMin(padded, total - dataAt);
    }
}

QByteArray header(const QByteArray& name, qint64 size, qint64 mtime)
{
    QByteArray block(kBlockBytes, '\0');
    char* b = block.data();
    std::memcpy(b + kNameAt, name.constData(), size_t(qMin(name.size(), kNameLen)));
    putOctal(b, kModeAt, kModeLen, 0644);
    putOctal(b, kUidAt, kIdLen, 0);
    putOctal(b, kGidAt, kIdLen, 0);
    putOctal(b, kSizeAt, kSizeLen, size);
    putOctal(b, kMtimeAt, kMtimeLen, mtime);
    b[kTypeAt] = '0';
    std::memcpy(b + kMagicAt,
                "ustar\0"
                "00",
                8);
    // The checksum is six octal digits, a NUL and a blank.
    const QByteArray sum = QByteArray::number(checksum(b), 8).rightJustified(6, '0');
    std::memcpy(b + kChksumAt, sum.constData(), 6);
    b[kChksumAt + 6] = '\0';
    b[kChksumAt + 7] = ' ';
    return block;
}

QByteArray padding(qint64 size)
{
    const int rest = int(size % kBlockBytes);
    return QByteArray(rest == 0 ? 0 : kBlockBytes - rest, '\0');
}

QByteArray endOfArchive()
{
    return QByteArray(2 * kBlockBytes, '\0');
}

} // namespace ustar
