#pragma once

#include "service/singleinstance.h"

#include <QFile>
#include <QSharedMemory>
#include <QSystemSemaphore>

namespace locklefts {

// Removes what a tool killed while it held the single-instance lock `key` leaves behind: its
// segment (taking the lock clears it, letting it go removes it and its key file), Qt's
// semaphore for the key. Only for keys no live process holds.
inline void remove(const QString& key)
{
    {
        CSingleInstanceGuard guard(key);
        (void)guard.acquire();
    }
    {
        QSystemSemaphore semaphore(key, 1, QSystemSemaphore::Create); // removed when destroyed
    }
    QFile::remove(QSharedMemory(key).nativeKey() + QStringLiteral(".lock"));
}

} // namespace locklefts
