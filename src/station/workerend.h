#pragma once

#include <QByteArray>
#include <QString>

#include <unistd.h>

// The update worker's end of the station protocol: the hand-over lines its coordinator writes
// to its stdin. Only the coordinator knows which port belongs to which unit now, and it hands
// over a port once it no longer looks at it, naming the wait it answers: one found for an
// earlier wait is never used for a later one.
class CWorkerEnd
{
public:
    explicit CWorkerEnd(int fd = STDIN_FILENO) : m_Fd(fd) {}

    // Reads what has come meanwhile (never blocks), and gives the port handed to wait number
    // `wait` while it is there; empty before the hand-over, or when its port has gone.
    QString handedPort(int wait);

private:
    // Takes the hand-overs of wait number `current`; others are stale.
    void read(int current);

    int m_Fd;
    int m_HandedWait = 0; // the wait m_HandedPort answers
    QString m_HandedPort;
    QByteArray m_Buffer; // a line not yet complete
};
