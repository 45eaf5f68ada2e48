#include "singleinstance.h"

#include <QDebug>
#include <QFile>
#include <QSharedMemory>

#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// What the system knows of the segment under a key.
struct SSegment
{
    int id = -1;
    pid_t creator = 0;
    unsigned long attached = 0;
    uid_t owner = 0;
    time_t made = 0;
};

// The segment under `key` from /proc/sysvipc/shm, which every user may read (IPC_STAT needs
// read permission on the segment); false when there is none.
bool segmentFromProc(key_t key, SSegment& out)
{
    QFile file(QStringLiteral("/proc/sysvipc/shm"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    file.readLine(); // the column names
    while (!file.atEnd()) {
        // key shmid perms size cpid lpid nattch uid gid cuid cgid atime dtime ctime ...
        const QList<QByteArray> f = file.readLine().simplified().split(' ');
        if (f.size() < 14 || f[0].toLongLong() != qint64(key))
            continue;
        out.id = f[1].toInt();
        out.creator = pid_t(f[4].toInt());
        out.attached = f[6].toULong();
        out.owner = uid_t(f[9].toUInt());
        out.made = time_t(f[13].toLongLong());
        return true;
    }
    return false;
}

bool findSegment(key_t key, SSegment& out)
{
    out.id = ::shmget(key, 0, 0);
    if (out.id == -1)
        return errno == EACCES && segmentFromProc(key, out);
    shmid_ds info{};
    if (::shmctl(out.id, IPC_STAT, &info) != 0)
        return errno == EACCES && segmentFromProc(key, out);
    out.creator = info.shm_cpid;
    out.attached = info.shm_nattch;
    out.owner = info.shm_perm.cuid;
    out.made = info.shm_ctime;
    return true;
}

// The segment's creator has ended: no process of that number runs, or the one that does
// started after the segment was made (the number was handed on).
bool creatorGone(const SSegment& segment)
{
    if (::kill(segment.creator, 0) != 0 && errno == ESRCH)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(segment.creator));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    // "pid (name) state ppid ...": the name may hold spaces; the start time is field 22.
    const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (rest.size() < 20 || ticks <= 0)
        return false;
    const double startedAgoS =
        uptime.readAll().split(' ').value(0).toDouble() - rest[19].toDouble() / double(ticks);
    const double madeAgoS = double(std::time(nullptr) - segment.made);
    return startedAgoS + 1 < madeAgoS;
}

enum class ELeftBehind {
    ENone,    // no segment, or one a process is attached to or is still making
    ERemoved, // one that was left behind, removed
    EKept,    // one that was left behind by another user, which this user cannot remove
};

// Removes the segment under the key `keyFile` gives when no process is attached to it and its
// creator has ended. Never by its age: a creator stopped between making the segment and
// attaching to it keeps it however long that takes. The removal goes by the segment's id, so a
// segment another instance makes meanwhile under the same key is never touched.
ELeftBehind removeAbandonedSegment(const QString& keyFile, SSegment& segment)
{
    const key_t key = ::ftok(QFile::encodeName(keyFile).constData(), 'Q');
    if (key == -1 || !findSegment(key, segment) || segment.attached != 0 || !creatorGone(segment))
        return ELeftBehind::ENone;
    if (::shmctl(segment.id, IPC_RMID, nullptr) != 0)
        return errno == EPERM ? ELeftBehind::EKept : ELeftBehind::ENone;
    qDebug() << "Single-instance lock: removed a segment left behind by process"
             << int(segment.creator);
    return ELeftBehind::ERemoved;
}

// The lock file beside the segment's key file: every instance holds it with the segment, so an
// instance that must go on without the segment still keeps the others out.
int lockFile(const QString& keyFile)
{
    const QByteArray path = QFile::encodeName(keyFile + QStringLiteral(".lock"));
    const int fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
#endif

} // namespace

CSingleInstanceGuard::CSingleInstanceGuard(const QString& key) : m_Key(key) {}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    delete m_Memory;
#ifdef Q_OS_UNIX
    if (m_LockFd >= 0)
        ::close(m_LockFd);
#endif
}

bool CSingleInstanceGuard::acquire()
{
    if (m_Memory || m_LockFd >= 0)
        return true;
#ifdef Q_OS_UNIX
    const QString keyFile = QSharedMemory(m_Key).nativeKey();
    m_LockFd = lockFile(keyFile);
    if (create())
        return true;
    // The key may lead to a segment a killed holder left behind, under this key file or under
    // a removed one whose inode the key file now has.
    SSegment segment;
    switch (removeAbandonedSegment(keyFile, segment)) {
    case ELeftBehind::ERemoved:
        if (create())
            return true;
        break;
    case ELeftBehind::EKept:
        if (m_LockFd >= 0) {
            qDebug().noquote()
                << QStringLiteral("Single-instance lock: the segment %1 was left behind by "
                                  "process %2 of user %3, which has ended, and this user cannot "
                                  "remove it (`ipcrm -m %1` as that user or root does); going on "
                                  "with the lock file %4.lock")
                       .arg(segment.id)
                       .arg(segment.creator)
                       .arg(segment.owner)
                       .arg(keyFile);
            return true;
        }
        break;
    case ELeftBehind::ENone:
        break;
    }
    if (m_LockFd >= 0) {
        ::close(m_LockFd);
        m_LockFd = -1;
    }
    return false;
#else
    return create();
#endif
}

bool CSingleInstanceGuard::create()
{
    auto memory = std::make_unique<QSharedMemory>(m_Key);
    if (!memory->create(1, QSharedMemory::ReadWrite)) {
        qDebug() << "Single-instance lock not taken:" << memory->errorString();
        return false;
    }
    m_Memory = memory.release();
    return true;
}
