#include "singleinstance.h"

#include <QDebug>
#include <QFile>
#include <QSharedMemory>

#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <ctime>
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Removes the segment under the key `keyFile` gives when no process is attached to it and it
// was left behind (its creator is gone, or it is older than a creation takes). True when one
// was removed. Needs no lock between instances: a segment being created right now is young
// and its creator alive, and the removal goes by the segment's id, so a segment another
// instance makes meanwhile under the same key is never touched.
bool removeAbandonedSegment(const QString& keyFile)
{
    const key_t key = ::ftok(QFile::encodeName(keyFile).constData(), 'Q');
    if (key == -1)
        return false;
    const int id = ::shmget(key, 0, 0);
    if (id == -1)
        return false;
    shmid_ds info{};
    if (::shmctl(id, IPC_STAT, &info) != 0 || info.shm_nattch != 0)
        return false;
    const bool creatorGone = ::kill(info.shm_cpid, 0) != 0 && errno == ESRCH;
    const bool old = std::time(nullptr) - info.shm_ctime >= CSingleInstanceGuard::kAbandonedAfterS;
    if (!creatorGone && !old)
        return false;
    if (::shmctl(id, IPC_RMID, nullptr) != 0)
        return false;
    qDebug() << "Single-instance lock: removed a segment left behind by process"
             << int(info.shm_cpid);
    return true;
}
#endif

} // namespace

CSingleInstanceGuard::CSingleInstanceGuard(const QString& key) : m_Key(key) {}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    delete m_Memory;
}

bool CSingleInstanceGuard::acquire()
{
    if (m_Memory)
        return true;
    if (create())
        return true;
#ifdef Q_OS_UNIX
    // The key may lead to a segment a killed holder left behind, under this key file or under
    // a removed one whose inode the key file now has.
    return removeAbandonedSegment(QSharedMemory(m_Key).nativeKey()) && create();
#else
    return false;
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
