#include "recordspool.h"

#include "record/filedescriptor.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kAttemptKey = QStringLiteral("attemptId");
const QString kHostKey = QStringLiteral("host");
const QString kRecordKey = QStringLiteral("record");
const QString kSentKey = QStringLiteral("sent");

QString systemError(const QString& path, const char* what)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

bool lock(int fd, int how)
{
    while (::flock(fd, how) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

bool readAll(int fd, QByteArray& out)
{
    out.clear();
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return false;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(chunk, int(got));
    }
}

// One write call at the end of the file (O_APPEND) and fsync; a short write is cut back. The
// descriptor must be open for reading too.
bool appendDurably(int fd, QByteArray bytes, const QString& path, QString& error, bool flush = true)
{
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        error = systemError(path, "cannot read the size of the record spool");
        return false;
    }
    // A line torn by a crash of another writer ends without its line break: ours starts on a
    // line of its own, so only the torn one is lost to a reader.
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
        bytes.prepend('\n');
    ssize_t written = -1;
    do {
        written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    } while (written < 0 && errno == EINTR);
    if (written != ssize_t(bytes.size())) {
        error = written < 0 ? systemError(path, "cannot write the record spool")
                            : QStringLiteral("the record spool %1 is full").arg(path);
        if (written > 0 && ::ftruncate(fd, st.st_size) != 0)
            error += QStringLiteral("; the partial line could not be removed");
        return false;
    }
    if (flush && ::fdatasync(fd) != 0) {
        error = systemError(path, "cannot flush the record spool");
        return false;
    }
    return true;
}

int openSpool(const QString& path, int flags)
{
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0600);
}

// Opens and locks the spool. The file is replaced by a compacted copy now and then: a
// descriptor that got its lock on the replaced file tries again on the new one, so no line is
// ever written where no reader looks. -1 with errno set on failure.
// The spool opened as `fd`, read whole; false with the reason when it could not be opened or
// read.
bool readOpened(const CFd& fd, const QString& path, QByteArray& bytes, QString& error)
{
    if (fd.get() < 0) {
        error = systemError(path, "cannot open the record spool");
        return false;
    }
    if (!readAll(fd.get(), bytes)) {
        error = systemError(path, "cannot read the record spool");
        return false;
    }
    return true;
}

int openLocked(const QString& path, int flags, int how)
{
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        const int fd = openSpool(path, flags);
        if (fd < 0)
            return -1;
        struct stat held = {}, named = {};
        if (!lock(fd, how) || ::fstat(fd, &held) != 0) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return -1;
        }
        const bool namedOk = ::stat(name.constData(), &named) == 0;
        const int namedErrno = errno;
        if (namedOk && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            return fd;
        ::close(fd);
        // Gone since it was opened (emptied and removed); replaced by a compacted copy: again.
        if (!namedOk && !(flags & O_CREAT) && namedErrno == ENOENT) {
            errno = ENOENT;
            return -1;
        }
    }
}

// The folder's entry for a file made or renamed in it must reach the disk too, or a power cut
// may take the whole file.
bool syncFolder(const QString& path)
{
    const CFd dir(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::fsync(dir.get()) == 0;
}

// Marks and replaced lines past this many (and past twice the waiting ones) make the next
// marking write a compacted copy, so a busy station's spool stays small.
constexpr int kCompactAfterLines = 64;

// An entry line, and its attempt as its start gives it (null when it does not start as this
// tool writes entries).
struct SSpoolCandidate
{
    QUuid quickId;
    QByteArray line;
};

// The spool's lines: the attempts marked sent, and every other line. Lines as this tool writes
// them are told apart by their start, so a busy spool's sent entries are never parsed; any other
// line is parsed whole.
void sortLines(const QByteArray& bytes, QVector<SSpoolCandidate>& candidates, QSet<QUuid>& sent)
{
    static constexpr char kSentStart[] = "{\"sent\":\"";
    static constexpr char kEntryStart[] = "{\"attemptId\":\"";
    constexpr int kUuidChars = 36;
    auto quickId = [](const QByteArray& line, const char* start, int length) {
        return line.startsWith(start) && line.size() > length + kUuidChars
                   ? QUuid::fromString(QLatin1String(line.constData() + length, kUuidChars))
                   : QUuid();
    };
    int from = 0;
    while (from < bytes.size()) {
        int end = bytes.indexOf('\n', from);
        if (end < 0)
            end = bytes.size();
        const QByteArray line = bytes.mid(from, end - from);
        from = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        QUuid id = quickId(line, kSentStart, int(sizeof kSentStart) - 1);
        if (id.isNull() && !line.startsWith(kEntryStart))
            id = QUuid::fromString(
                QJsonDocument::fromJson(line).object().value(kSentKey).toString());
        if (!id.isNull()) {
            sent.insert(id);
            continue;
        }
        candidates << SSpoolCandidate{quickId(line, kEntryStart, int(sizeof kEntryStart) - 1),
                                      line};
    }
}

// False for a line that is no entry (torn by a crash).
bool parseEntry(const QByteArray& line, SSpoolEntry& entry)
{
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    entry.attemptId = QUuid::fromString(object.value(kAttemptKey).toString());
    const QJsonValue record = object.value(kRecordKey);
    if (entry.attemptId.isNull() || !record.isObject())
        return false;
    entry.host = object.value(kHostKey).toString();
    const QJsonObject values = record.toObject();
    for (auto it = values.begin(); it != values.end(); ++it)
        entry.values.insert(it.key(), it.value().toString());
    return true;
}

} // namespace

namespace recordspool {

QByteArray entryLine(const SSpoolEntry& entry)
{
    QJsonObject values;
    for (auto it = entry.values.cbegin(); it != entry.values.cend(); ++it)
        values.insert(it.key(), it.value());
    const QJsonObject object{{kAttemptKey, entry.attemptId.toString(QUuid::WithoutBraces)},
                             {kHostKey, entry.host},
                             {kRecordKey, values}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray sentLine(const QUuid& attemptId)
{
    return QJsonDocument(QJsonObject{{kSentKey, attemptId.toString(QUuid::WithoutBraces)}})
               .toJson(QJsonDocument::Compact) +
           '\n';
}

QVector<SSpoolEntry> pending(const QByteArray& bytes, int* skipped)
{
    QVector<SSpoolCandidate> candidates;
    QSet<QUuid> sent;
    sortLines(bytes, candidates, sent);
    QVector<SSpoolEntry> out;
    QSet<QUuid> seen;
    int bad = 0;
    for (const SSpoolCandidate& candidate : candidates) {
        if (!candidate.quickId.isNull() &&
            (sent.contains(candidate.quickId) || seen.contains(candidate.quickId)))
            continue;
        SSpoolEntry entry;
        if (!parseEntry(candidate.line, entry)) {
            ++bad;
            continue;
        }
        // Written twice: the first one counts.
        if (sent.contains(entry.attemptId) || seen.contains(entry.attemptId))
            continue;
        seen.insert(entry.attemptId);
        out << entry;
    }
    if (skipped)
        *skipped = bad;
    return out;
}

QString defaultPath(const QString& databaseText)
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    const QByteArray hash =
        QCryptographicHash::hash(databaseText.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("%1/ventaro/record-spool-%2.jsonl")
        .arg(state, QString::fromLatin1(hash.left(12)));
}

} // namespace recordspool

bool CRecordSpool::check(QString& error) const
{
    const QString folder = QFileInfo(m_Path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot make the folder of the record spool %1").arg(m_Path);
        return false;
    }
    const bool existed = QFileInfo::exists(m_Path);
    const CFd fd(openSpool(m_Path, O_WRONLY | O_APPEND | O_CREAT));
    if (fd.get() < 0) {
        error = systemError(m_Path, "cannot open the record spool");
        return false;
    }
    if (!existed && !syncFolder(m_Path)) {
        error = systemError(folder, "cannot flush the folder of the record spool");
        return false;
    }
    return true;
}

bool CRecordSpool::append(const SSpoolEntry& entry, QString& error) const
{
    const bool existed = QFileInfo::exists(m_Path);
    const CFd fd(openLocked(m_Path, O_RDWR | O_APPEND | O_CREAT, LOCK_EX));
    if (fd.get() < 0) {
        error = systemError(m_Path, "cannot open the record spool");
        return false;
    }
    if (!appendDurably(fd.get(), recordspool::entryLine(entry), m_Path, error))
        return false;
    if (!existed && !syncFolder(m_Path)) {
        error = systemError(m_Path, "cannot flush the folder of the record spool");
        return false;
    }
    return true;
}

bool CRecordSpool::pending(QVector<SSpoolEntry>& entries, QString& error) const
{
    entries.clear();
    const CFd fd(openLocked(m_Path, O_RDONLY, LOCK_SH));
    if (fd.get() < 0 && errno == ENOENT)
        return true; // nothing was ever spooled
    QByteArray bytes;
    if (!readOpened(fd, m_Path, bytes, error))
        return false;
    entries = recordspool::pending(bytes);
    return true;
}

bool CRecordSpool::markSent(const QVector<QUuid>& attempts, QString& error) const
{
    if (attempts.isEmpty())
        return true;
    const CFd fd(openLocked(m_Path, O_RDWR | O_APPEND, LOCK_EX));
    QByteArray bytes;
    if (!readOpened(fd, m_Path, bytes, error))
        return false;
    QByteArray marks;
    for (const QUuid& attempt : attempts)
        marks += recordspool::sentLine(attempt);
    // Neither the marks nor the emptying need to reach the disk before the next line: lost in a
    // power cut, they only mean that lines the database has are sent once more, and it keeps
    // each attempt once.
    const QVector<SSpoolEntry> left = recordspool::pending(bytes + marks);
    if (left.isEmpty()) {
        // Everything written so far is in the database; other writers wait for the lock.
        if (::ftruncate(fd.get(), 0) != 0) {
            error = systemError(m_Path, "cannot empty the record spool");
            return false;
        }
        return true;
    }
    const int lines = bytes.count('\n') + attempts.size();
    if (lines - left.size() < std::max(kCompactAfterLines, 2 * int(left.size())))
        return appendDurably(fd.get(), marks, m_Path, error, false);
    // The waiting lines into a copy, on the disk before it takes the spool's name; until then
    // the spool as it was holds them all.
    QByteArray copy;
    for (const SSpoolEntry& entry : left)
        copy += recordspool::entryLine(entry);
    const QString temporary = m_Path + QStringLiteral(".new");
    const CFd out(openSpool(temporary, O_WRONLY | O_CREAT | O_TRUNC));
    if (out.get() < 0 || !appendDurably(out.get(), copy, temporary, error) ||
        ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_Path).constData()) !=
            0) {
        error = systemError(m_Path, "cannot compact the record spool");
        return false;
    }
    // Lines appended from now on go to the copy: its name must be on the disk before any
    // writer gets the lock, or a power cut brings back the old file without them.
    if (!syncFolder(m_Path)) {
        error = systemError(m_Path, "cannot flush the folder of the record spool");
        return false;
    }
    return true;
}
