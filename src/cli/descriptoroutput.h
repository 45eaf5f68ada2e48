#pragma once

#include <QIODevice>

// Writes to a file descriptor (stdout, stderr) and loses nothing: a write that a signal
// interrupts (a worker that ends while the reader of stdout lags) or cuts short is repeated,
// and a descriptor that another process made non-blocking is waited on. stdio drops what it
// had buffered when its write is interrupted, and every line after it went with it.
class CDescriptorOutput final : public QIODevice
{
public:
    explicit CDescriptorOutput(int fd) : m_Fd(fd) {}
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    int m_Fd;
};
