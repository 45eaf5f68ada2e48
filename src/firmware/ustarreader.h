#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Reads an uncompressed POSIX ustar archive held in memory. It checks the archive's structure
// only (header checksums, octal fields, sizes against the bytes present) and hands every entry
// over as stored: names, types and order are judged by the caller, which knows which entries
// it expects. Entry data are shallow copies of the archive's bytes.
namespace ustar {

constexpr int kBlockBytes = 512;

struct SEntry
{
    QByteArray name;   // as stored: the prefix field, a '/' and the name field when a prefix is set
    char typeFlag = 0; // '0' (or NUL) for a regular file
    qint64 offset = 0; // of the header in the archive
    QByteArray data;   // the entry's bytes, for every type
};

enum EResult {
    EOk,
    ECompressed, // gzip, bzip2, xz or zstd magic at the start
    ENotTar,     // no ustar magic, a bad header checksum or a bad numeric field
    ETruncated,  // the archive ends inside a header or an entry's data
};

struct SArchive
{
    QVector<SEntry> entries;
    bool endMarker = false; // the two zero blocks that close an archive were there
};

// `detail` says what is wrong and where (for the user's message).
[[nodiscard]] EResult read(const QByteArray& archive, SArchive& out, QString& detail);

// One ustar header for a regular file of `size` bytes named `name` (at most 100 bytes),
// followed by nothing: the caller appends the data padded to whole blocks. Used to pack
// bundles.
QByteArray header(const QByteArray& name, qint64 size, qint64 mtime);
// Zero bytes up to the next block boundary after `size` bytes of data.
QByteArray padding(qint64 size);
// The two zero blocks that end an archive.
QByteArray endOfArchive();

} // namespace ustar
