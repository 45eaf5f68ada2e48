#include "descriptoroutput.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

qint64 CDescriptorOutput::writeData(const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t written = ::write(m_Fd, data + done, size_t(size - done));
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // As a blocking descriptor would: until the reader takes some.
            pollfd ready{m_Fd, POLLOUT, 0};
            if (::poll(&ready, 1, -1) < 0 && errno != EINTR)
                break;
            continue;
        }
        break; // no reader any more (or no room on a disk): the rest has nowhere to go
    }
    return done > 0 || size == 0 ? done : -1;
}
