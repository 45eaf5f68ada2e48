#include "workerend.h"

#include "station/stationprotocol.h"

#include <QFileInfo>

#include <poll.h>

QString CWorkerEnd::handedPort()
{
    read();
    return m_Wait > 0 && m_HandedWait == m_Wait && QFileInfo::exists(m_HandedPort) ? m_HandedPort
                                                                                   : QString();
}

bool CWorkerEnd::stopAsked()
{
    read();
    return m_Stop;
}

void CWorkerEnd::read()
{
    pollfd fd{m_Fd, POLLIN, 0};
    while (::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
        char chunk[256];
        const ssize_t got = ::read(m_Fd, chunk, sizeof chunk);
        if (got <= 0)
            break; // the coordinator is gone: the update goes on to its end
        m_Buffer.append(chunk, int(got));
    }
    for (const QByteArray& line : stationprotocol::takeLines(m_Buffer)) {
        int wait = 0;
        QString port;
        if (stationprotocol::isStop(line, &m_DuplicateText)) {
            m_Stop = true;
        } else if (stationprotocol::parseHandOver(line, wait, port) && wait == m_Wait) {
            // Lines for earlier waits are stale.
            m_HandedWait = wait;
            m_HandedPort = port;
        }
    }
}
