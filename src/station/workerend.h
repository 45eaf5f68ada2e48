#pragma once

#include <QByteArray>
#include <QString>

#include <unistd.h>

// The update worker's end of the station protocol: the lines its coordinator writes to its
// stdin. Only the coordinator knows which port belongs to which unit now, and it hands over a
// port once it no longer looks at it, naming the wait it answers: one found for an earlier wait
// is never used for a later one. The coordinator also asks the worker to stop.
class CWorkerEnd
{
public:
    explicit CWorkerEnd(int fd = STDIN_FILENO) : m_Fd(fd) {}

    // The worker waits for its unit again: wait number `wait` (from 1).
    void waitBegins(int wait) { m_Wait = wait; }
    // Reads what has come meanwhile (never blocks), and gives the port handed to the current
    // wait while it is there; empty before the hand-over, or when its port has gone.
    QString handedPort();
    // Reads what has come meanwhile: whether the coordinator asked the worker to stop.
    bool stopAsked();
    // Why, when it was since the unit's twin turned up: the text saying so; empty otherwise.
    const QString& duplicateText() const { return m_DuplicateText; }

private:
    void read();

    int m_Fd;
    int m_Wait = 0;
    int m_HandedWait = 0; // the wait m_HandedPort answers
    QString m_HandedPort;
    bool m_Stop = false;
    QString m_DuplicateText;
    QByteArray m_Buffer; // a line not yet complete
};
