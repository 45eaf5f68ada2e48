#include "workerend.h"

#include "station/stationprotocol.h"

#include <QFileInfo>

#include <poll.h>

QString CWorkerEnd::handedPort(int wait)
{
    read(wait);
    return m_HandedWait == wait && QFileInfo::exists(m_HandedPort) ? m_HandedPort : QString();
}

void CWorkerEnd::read(int current)
{
    pollfd fd{m_Fd, POLLIN, 0};
    while (::poll(&fd, 1, 0) > 0 && (fd.revents & POLLIN)) {
        char chunk[256];
        const ssize_t got = ::read(m_Fd, chunk, sizeof chunk);
        if (got <= 0)
            break;
        m_Buffer.append(chunk, int(got));
    }
    for (const QByteArray& line : stationprotocol::takeLines(m_Buffer)) {
        int wait = 0;
        QString port;
        if (stationprotocol::parseHandOver(line, wait, port) && wait == current) {
            m_HandedWait = wait;
            m_HandedPort = port;
        }
    }
}
