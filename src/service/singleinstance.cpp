#include "singleinstance.h"

#include <QDebug>
#include <QSharedMemory>
#include <QSystemSemaphore>

CSingleInstanceGuard::CSingleInstanceGuard(const QString& key) : m_Key(key) {}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    delete m_Memory;
}

bool CSingleInstanceGuard::acquire()
{
    QSystemSemaphore lock(m_Key + QStringLiteral("-guard"), 1);
    lock.acquire();
#ifdef Q_OS_UNIX
    {
        // Attaching to a segment nobody holds any more and detaching again removes it; a
        // segment a live process holds stays.
        QSharedMemory stale(m_Key);
        if (stale.attach())
            stale.detach();
    }
#endif
    auto* memory = new QSharedMemory(m_Key);
    const bool created = memory->create(1, QSharedMemory::ReadWrite);
    if (!created) {
        qDebug() << "Single-instance lock not taken:" << memory->errorString();
        delete memory;
    } else {
        m_Memory = memory;
    }
    lock.release();
    return created;
}
