#pragma once

#include <QString>

class QSharedMemory;

// The lock that keeps this tool and its sibling tool from running at the same time: a one-byte
// shared-memory segment held for the life of the process. On Linux a segment outlives a
// crashed holder; acquire() clears such a stale segment first, under a system semaphore, so a
// crash never locks the tool out while a live holder is still refused.
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
    QString m_Key;
    QSharedMemory* m_Memory = nullptr;
};
