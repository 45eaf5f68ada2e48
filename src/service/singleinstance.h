#pragma once

#include <QString>

class QSharedMemory;

// The lock that keeps this tool and its sibling tool from running at the same time: a one-byte
// shared-memory segment held for the life of the process. On Linux a segment outlives a
// killed holder, and a new key file can land on the inode of a removed one, so its key meets
// such a segment. acquire() removes a segment that no process is attached to and creates
// again; a segment a live holder (this tool or the sibling) is attached to still refuses.
class CSingleInstanceGuard
{
public:
    static constexpr const char* kKey = "Korvath-prevent-multiple-instances";
    // A segment nobody is attached to counts as left behind once its creator has gone or it
    // is this old: a holder attaches right after creating it.
    static constexpr int kAbandonedAfterS = 5;

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
};
