#pragma once

#include <QString>

class QSharedMemory;

// The lock that keeps this tool and its sibling tool from running at the same time: a one-byte
// shared-memory segment held for the life of the process, with a lock file beside its key file
// (flock) that every instance of this tool holds as well. On Linux a segment outlives a killed
// holder, and a new key file can land on the inode of a removed one, so its key meets such a
// segment. acquire() removes a segment that no process is attached to and whose creator has
// ended, and creates again; a segment a live holder (this tool or the sibling) is attached to,
// or that its creator is still making, refuses. A segment left behind by another user, which
// this user may not remove, does not refuse for good: the lock file alone holds the lock then,
// and the debug log says so (with the `ipcrm` that clears it).
class CSingleInstanceGuard
{
public:
    static constexpr const char* kKey = "Korvath-prevent-multiple-instances";

    explicit CSingleInstanceGuard(const QString& key = QString::fromLatin1(kKey));
    ~CSingleInstanceGuard();
    CSingleInstanceGuard(const CSingleInstanceGuard&) = delete;
    CSingleInstanceGuard& operator=(const CSingleInstanceGuard&) = delete;

    // True when this process now holds the lock.
    [[nodiscard]] bool acquire();

private:
    bool create();

    QString m_Key;
    QSharedMemory* m_Memory = nullptr;
    int m_LockFd = -1; // the lock file, held with the segment
};
