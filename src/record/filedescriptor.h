#pragma once

#include <unistd.h>

// Owns a file descriptor and closes it on every path out (and with it any lock it holds).
class CFd
{
public:
    explicit CFd(int fd) : m_Fd(fd) {}
    ~CFd()
    {
        if (m_Fd >= 0)
            ::close(m_Fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int get() const { return m_Fd; }

private:
    int m_Fd = -1;
};
