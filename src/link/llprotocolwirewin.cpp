#include "llprotocolwirewin.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

CLLProtocolWireWin::CLLProtocolWireWin(QIODevice* port) : m_Port(port)
{
    if (m_Port)
        pushOutgoing();
}

void CLLProtocolWireWin::Flush()
{
    if (m_Port)
        pushOutgoing();
    m_Buffer.clear();
}

bool CLLProtocolWireWin::Send(const void* data, UINT16 len)
{
    if (!data || !m_Port)
        return false;
    if (m_Port->write(static_cast<const char*>(data), len) < 0)
        return false;
    return pushOutgoing();
}

const UINT8* CLLProtocolWireWin::Read(UINT16& len)
{
    len = m_Buffer.takeKept();
    if (len)
        return m_Buffer.data();
    if (!m_Port)
        return nullptr;
    const qint64 available = BytesAvailable();
    if (available <= 0)
        return nullptr;
    const qint64 got =
        m_Port->read(reinterpret_cast<char*>(m_Buffer.data()), qMin<qint64>(available, kMaxRead));
    if (got <= 0)
        return nullptr;
    len = UINT16(got);
    return m_Buffer.data();
}

UINT16 CLLProtocolWireWin::PutBack(UINT16 received, UINT16 kept)
{
    return m_Buffer.putBack(received, kept);
}

void CLLProtocolWireWin::Sleep(UINT16 ms)
{
    QThread::msleep(ms);
}

void CLLProtocolWireWin::WaitReadable(UINT16 ms)
{
    QElapsedTimer clock;
    clock.start();
    if (m_Buffer.hasKept() || BytesAvailable() > 0)
        return;
    if (m_Port && m_Port->isOpen()) {
        if (m_Port->waitForReadyRead(ms))
            return;
        clearTimeout();
    }
    // Nothing arrived, or the port failed at once (a vanished device): the poll still takes
    // its full time.
    const qint64 leftUs = qint64(ms) * 1000 - clock.nsecsElapsed() / 1000;
    if (leftUs > 0)
        QThread::usleep(quint64(leftUs));
}

bool CLLProtocolWireWin::Lost() const
{
    const auto* serial = qobject_cast<const QSerialPort*>(m_Port);
    return serial && (serial->error() == QSerialPort::ReadError ||
                      serial->error() == QSerialPort::ResourceError);
}

qint64 CLLProtocolWireWin::BytesAvailable()
{
    if (!m_Port)
        return 0;
    if (m_Port->bytesAvailable() == 0)
        pullIncoming();
    return m_Port->bytesAvailable();
}

// Without an event loop a serial port only takes in bytes inside its waitFor… calls; a zero
// timeout pulls what is waiting without blocking.
void CLLProtocolWireWin::pullIncoming()
{
    if (!m_Port->isOpen())
        return;
    m_Port->waitForReadyRead(0);
    clearTimeout();
}

// A timeout is sticky until cleared and would make every later check fail.
void CLLProtocolWireWin::clearTimeout()
{
    auto* serial = qobject_cast<QSerialPort*>(m_Port);
    if (serial && serial->error() == QSerialPort::TimeoutError)
        serial->clearError();
}

// write() only queues; push until the port has taken every byte. A vanished device makes
// waitForBytesWritten fail at once, so this never hangs on an unplugged port.
bool CLLProtocolWireWin::pushOutgoing()
{
    if (!m_Port->isOpen())
        return false;
    QElapsedTimer clock;
    clock.start();
    while (m_Port->bytesToWrite() > 0) {
        const qint64 left = kWriteTimeoutMs - clock.elapsed();
        if (left <= 0 || !m_Port->waitForBytesWritten(int(left))) {
            qDebug() << "Serial write failed:" << m_Port->errorString();
            dropOutgoing();
            return false;
        }
    }
    return true;
}

// A failed write is over: its rest must not reach the unit later, after the caller has
// retried it or moved on to the next request. Discards the port's buffer and the driver's
// output queue.
void CLLProtocolWireWin::dropOutgoing()
{
    auto* serial = qobject_cast<QSerialPort*>(m_Port);
    if (!serial)
        return;
    if (!serial->clear(QSerialPort::Output))
        qDebug() << "Serial output not discarded:" << serial->errorString();
    serial->clearError();
}
