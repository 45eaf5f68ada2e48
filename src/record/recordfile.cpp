// The CSV record file: written by several processes at once (a station's workers), each line on
// the disk before an outcome is given, and brought forward when a release adds columns.

#include "record/filedescriptor.h"
#include "record/productionrecord.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest header line looked at; a record's header is far shorter.
constexpr int kHeaderLimit = 4096;

QString systemError(const QString& path, const char* what)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

int openRecord(const QString& path, int flags)
{
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0644);
}

bool lockWaiting(int fd)
{
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Opens `path` for appending and locks it. `record init` replaces the file by a copy now and
// then: a descriptor that got its lock on the replaced file tries again on the new one, so no
// line is written where no reader looks. -1 with errno set on failure.
int openLocked(const QString& path)
{
    for (;;) {
        const int fd = openRecord(path, O_RDWR | O_APPEND | O_CREAT);
        if (fd < 0)
            return -1;
        struct stat held = {}, named = {};
        if (!lockWaiting(fd) || ::fstat(fd, &held) != 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return -1;
        }
        if (::stat(QFile::encodeName(path).constData(), &named) == 0 &&
            named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            return fd;
        ::close(fd);
    }
}

bool syncFolder(const QString& path)
{
    const CFd dir(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::fsync(dir.get()) == 0;
}

// One write call; what it wrote, -1 with errno set.
ssize_t writeOnce(int fd, const QByteArray& bytes)
{
    ssize_t written = -1;
    do {
        written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    } while (written < 0 && errno == EINTR);
    return written;
}

// The file's first line, without its line break; empty for an empty file.
QByteArray firstLine(int fd)
{
    QByteArray line(kHeaderLimit, Qt::Uninitialized);
    const ssize_t got = ::pread(fd, line.data(), size_t(line.size()), 0);
    line.truncate(int(std::max<ssize_t>(got, 0)));
    const int end = line.indexOf('\n');
    return end >= 0 ? line.left(end) : line;
}

// The end of the file after its last line break, when it does not end in one: a line a crash
// tore. Looked at up to kHeaderLimit bytes back, which is more than any record line.
QByteArray tornTail(int fd, off_t size)
{
    char last = '\n';
    if (size == 0 || ::pread(fd, &last, 1, size - 1) != 1 || last == '\n')
        return {};
    const off_t from = std::max<off_t>(0, size - kHeaderLimit);
    QByteArray tail(int(size - from), Qt::Uninitialized);
    const ssize_t got = ::pread(fd, tail.data(), size_t(tail.size()), from);
    tail.truncate(int(std::max<ssize_t>(got, 0)));
    return tail.isEmpty() ? QByteArray(1, last) : tail.mid(tail.lastIndexOf('\n') + 1);
}

enum class EHeader { ENone, ECurrent, EOlder, EForeign };

EHeader headerOf(const QByteArray& line, int& columns)
{
    if (line.isEmpty())
        return EHeader::ENone;
    const QByteArray current = productionrecord::header().trimmed();
    // A later release's file has more columns at the end: this one's lines are read there too.
    if (line.trimmed() == current || line.startsWith(current + ','))
        return EHeader::ECurrent;
    columns = line.count(',') + 1;
    // Columns are only ever added at the end: an older header is the start of this one.
    return current.startsWith(line.trimmed() + ',') ? EHeader::EOlder : EHeader::EForeign;
}

QString olderText(const QString& path, int columns)
{
    return QStringLiteral("the production record %1 was begun by an older release (%2 columns, "
                          "this one writes %3): run 'ventaro-cli record init --record %1' to "
                          "bring it forward")
        .arg(path)
        .arg(columns)
        .arg(productionrecord::columns().size());
}

QString foreignText(const QString& path)
{
    return QStringLiteral("%1 is no production record of this tool (its first line is not the "
                          "record's header); give another file")
        .arg(path);
}

} // namespace

namespace productionrecord {

// A row with fewer fields gets empty ones, as a column added later is empty for older lines; a
// field in quotes may hold commas and line breaks, and one a tear left open is closed.
QByteArray padRows(const QByteArray& bytes, int from, int columns, int& rows, int& torn)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16);
    bool quoted = false;
    int fields = 1;
    int start = from;
    rows = torn = 0;
    auto endRow = [&](int end) {
        out += bytes.mid(start, end - start);
        if (end > start) {
            out += QByteArray(std::max(0, columns - fields), ',');
            out += '\n';
            ++rows;
        }
        fields = 1;
        start = end + 1;
    };
    for (int i = from; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            ++fields;
        else if (c == '\n' && !quoted)
            endRow(i);
    }
    if (start < bytes.size()) {
        ++torn;
        if (quoted) {
            out += bytes.mid(start);
            out += '"';
            start = bytes.size();
            ++rows;
            out += QByteArray(std::max(0, columns - fields), ',');
            out += '\n';
        } else {
            endRow(bytes.size());
        }
    }
    return out;
}

bool checkWritable(const QString& path, QString& error)
{
    const CFd fd(openRecord(path, O_RDWR | O_APPEND | O_CREAT));
    if (fd.get() < 0) {
        error = systemError(path, "cannot open the production record");
        return false;
    }
    int columns = 0;
    switch (headerOf(firstLine(fd.get()), columns)) {
    case EHeader::ENone:
    case EHeader::ECurrent:
        return true;
    case EHeader::EOlder:
        error = olderText(path, columns);
        return false;
    case EHeader::EForeign:
        error = foreignText(path);
        return false;
    }
    return false;
}

bool append(const QString& path, const QByteArray& text, QString& error, QString* notice)
{
    const CFd fd(openLocked(path));
    if (fd.get() < 0) {
        error = systemError(path, "cannot open the production record");
        return false;
    }
    // Other writers (a second station on a shared folder) take the same lock, so the size
    // read here stays the end of the file until the line is out.
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0) {
        error = systemError(path, "cannot read the size of the production record");
        return false;
    }
    QByteArray bytes = st.st_size == 0 ? header() + text : text;
    const QByteArray tail = tornTail(fd.get(), st.st_size);
    if (!tail.isEmpty()) {
        // A writer died half-way through its line: that line stays torn, ours is whole. A
        // quoted field the tear left open is closed, or a reader would take the lines after it
        // for that field.
        bytes.prepend(tail.count('"') % 2 ? "\"\n" : "\n");
        if (notice)
            *notice = QStringLiteral("the production record %1 ended in a torn line (a crash "
                                     "while it was written); it was ended before this one")
                          .arg(path);
    }
    const ssize_t written = writeOnce(fd.get(), bytes);
    if (written != ssize_t(bytes.size())) {
        error = written < 0 ? systemError(path, "cannot write the production record")
                            : QStringLiteral("the production record %1 is full").arg(path);
        if (written > 0 && ::ftruncate(fd.get(), st.st_size) != 0)
            error += QStringLiteral("; the partial line could not be removed");
        return false;
    }
    // Once this returns the unit's outcome is given: the line must survive a power cut, and so
    // must the name of a file made for it.
    if (::fdatasync(fd.get()) != 0 || (st.st_size == 0 && !syncFolder(path))) {
        error = systemError(path, "cannot flush the production record");
        return false;
    }
    return true;
}

bool upgradeFile(const QString& path, QStringList& applied, QString& error)
{
    applied.clear();
    const CFd fd(openLocked(path));
    if (fd.get() < 0) {
        error = systemError(path, "cannot open the production record");
        return false;
    }
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        error = QStringLiteral("cannot read the production record %1").arg(path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    int had = 0;
    switch (headerOf(bytes.left(bytes.indexOf('\n')), had)) {
    case EHeader::ENone:
    case EHeader::ECurrent:
        return true;
    case EHeader::EForeign:
        error = foreignText(path);
        return false;
    case EHeader::EOlder:
        break;
    }
    int rows = 0, torn = 0;
    const int from = bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n') + 1;
    const QByteArray copy = header() + padRows(bytes, from, int(columns().size()), rows, torn);
    // The copy is on the disk under its own name before it takes the record's; writers wait for
    // the lock held here and then append to the copy.
    const QString temporary = path + QStringLiteral(".new");
    {
        const CFd out(openRecord(temporary, O_WRONLY | O_CREAT | O_TRUNC));
        if (out.get() < 0 || writeOnce(out.get(), copy) != ssize_t(copy.size()) ||
            ::fsync(out.get()) != 0) {
            error = systemError(temporary, "cannot write the copy of the production record");
            ::unlink(QFile::encodeName(temporary).constData());
            return false;
        }
    }
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) !=
            0 ||
        !syncFolder(path)) {
        error = systemError(path, "cannot replace the production record by its copy");
        return false;
    }
    applied << QStringLiteral("%1 columns instead of %2, %3 lines kept")
                   .arg(columns().size())
                   .arg(had)
                   .arg(rows);
    if (torn > 0)
        applied << QStringLiteral("a torn last line ended");
    return true;
}

} // namespace productionrecord
