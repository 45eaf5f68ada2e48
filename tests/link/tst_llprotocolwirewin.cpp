#include "link/llprotocol.h"
#include "link/llprotocolwirewin.h"
#include "logcapture.h"
#include "scriptedpeer.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
// A pseudo-terminal whose master side the test drives; the slave is opened as a serial port.
struct Pty
{
    int master = -1;
    QString slavePath;

    Pty()
    {
        int slave = -1;
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios raw{};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
        slavePath = QString::fromLocal8Bit(name);
        ::close(slave);
    }
    ~Pty() { closeMaster(); }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    void write(const QByteArray& bytes) const
    {
        qint64 done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                return;
            done += n;
        }
    }
    // Reads until `count` bytes arrived or the timeout passed.
    QByteArray read(int count, int timeoutMs) const
    {
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (out.size() < count && clock.elapsed() < timeoutMs) {
            pollfd pfd{master, POLLIN, 0};
            if (::poll(&pfd, 1, 10) <= 0 || !(pfd.revents & POLLIN))
                continue;
            char buf[512];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, int(n));
        }
        return out;
    }
};

bool openPort(QSerialPort& port, const QString& path)
{
    port.setPortName(path);
    port.setBaudRate(QSerialPort::Baud9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}
} // namespace

class tst_LLProtocolWireWin : public QObject
{
    Q_OBJECT

private slots:
    void readsAtMost256Bytes();
    void putBack();
    void sendWritesEverything();
    void timedOutSendLeavesNothingQueued();
    void waitsEndEarlyOnlyWhenTheyMay_data();
    void waitsEndEarlyOnlyWhenTheyMay();
    void exchangeOverPty();
    void masterClosedMidExchange();
};

void tst_LLProtocolWireWin::readsAtMost256Bytes()
{
    Pty pty;
    QSerialPort port;
    QVERIFY(openPort(port, pty.slavePath));
    CLLProtocolWireWin wire(&port);
    QByteArray bytes(300, 0);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i);
    pty.write(bytes);
    QThread::msleep(20);
    UINT16 len = 0;
    const UINT8* p = wire.Read(len);
    QVERIFY(p);
    QCOMPARE(int(len), 256);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(p), len), bytes.left(256));
    p = wire.Read(len);
    QVERIFY(p);
    QCOMPARE(int(len), 44);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(p), len), bytes.mid(256));
    QVERIFY(!wire.Read(len));
    QCOMPARE(int(len), 0);
}

void tst_LLProtocolWireWin::putBack()
{
    Pty pty;
    QSerialPort port;
    QVERIFY(openPort(port, pty.slavePath));
    CLLProtocolWireWin wire(&port);
    pty.write("0123456789");
    QThread::msleep(20);
    UINT16 len = 0;
    QVERIFY(wire.Read(len));
    QCOMPARE(int(len), 10);
    QCOMPARE(int(wire.PutBack(10, 3)), 7);
    pty.write("abc");
    QThread::msleep(20);
    const UINT8* p = wire.Read(len);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(p), len), QByteArray("789"));
    p = wire.Read(len);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(p), len), QByteArray("abc"));

    // Nothing kept, and inconsistent counts are ignored.
    QCOMPARE(int(wire.PutBack(3, 0)), 3);
    QVERIFY(!wire.Read(len));
    QCOMPARE(int(wire.PutBack(2, 3)), 3);
    QCOMPARE(int(wire.PutBack(300, 3)), 3);
    QVERIFY(!wire.Read(len));
}

void tst_LLProtocolWireWin::sendWritesEverything()
{
    Pty pty;
    QSerialPort port;
    QVERIFY(openPort(port, pty.slavePath));
    CLLProtocolWireWin wire(&port);
    QVERIFY(!wire.Send(nullptr, 4));
    QByteArray big(4000, 'z');
    QVERIFY(wire.Send(big.constData(), UINT16(big.size())));
    // Every byte is on its way before Send returns, without an event loop.
    QCOMPARE(port.bytesToWrite(), qint64(0));
    QCOMPARE(pty.read(big.size(), 2000), big);
}

void tst_LLProtocolWireWin::timedOutSendLeavesNothingQueued()
{
    Pty pty;
    QSerialPort port;
    QVERIFY(openPort(port, pty.slavePath));
    CLLProtocolWireWin wire(&port);
    // The unit stops reading: more than the pty takes in cannot be written.
    const QByteArray big(40000, 'x');
    LogCapture log;
    QVERIFY(!wire.Send(big.constData(), UINT16(big.size())));
    QCOMPARE(port.bytesToWrite(), qint64(0));

    // The unit reads again: whatever of the failed write got through, none of it follows
    // later, and the next write arrives on its own.
    pty.read(big.size(), 300);
    QVERIFY(wire.Send("NEXT", 4));
    QCOMPARE(pty.read(big.size(), 300), QByteArray("NEXT"));
}

void tst_LLProtocolWireWin::waitsEndEarlyOnlyWhenTheyMay_data()
{
    QTest::addColumn<bool>("poll");        // WaitReadable, else Sleep
    QTest::addColumn<int>("bytesAfterMs"); // -1: none
    QTest::addColumn<bool>("vanished");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<bool>("full"); // lasts its full time, else ends soon after the bytes
    QTest::addRow("poll ends when bytes arrive") << true << 30 << false << 2000 << false;
    QTest::addRow("empty poll") << true << -1 << false << 150 << true;
    QTest::addRow("poll on a vanished port") << true << -1 << true << 150 << true;
    QTest::addRow("pause while bytes arrive") << false << 30 << false << 300 << true;
}

void tst_LLProtocolWireWin::waitsEndEarlyOnlyWhenTheyMay()
{
    QFETCH(bool, poll);
    QFETCH(int, bytesAfterMs);
    QFETCH(bool, vanished);
    QFETCH(int, waitMs);
    QFETCH(bool, full);
    Pty pty;
    QSerialPort port;
    QVERIFY(openPort(port, pty.slavePath));
    CLLProtocolWireWin wire(&port);
    if (vanished)
        pty.closeMaster();
    std::thread peer([&] {
        if (bytesAfterMs < 0)
            return;
        QThread::msleep(ulong(bytesAfterMs));
        pty.write("ACK");
    });
    QElapsedTimer clock;
    clock.start();
    if (poll)
        wire.WaitReadable(UINT16(waitMs));
    else
        wire.Sleep(UINT16(waitMs));
    const qint64 took = clock.elapsed();
    peer.join();
    if (full)
        QVERIFY2(took >= waitMs - 1, qPrintable(QString::number(took)));
    else
        QVERIFY2(took >= bytesAfterMs - 1 && took < waitMs / 2, qPrintable(QString::number(took)));
    UINT16 len = 0;
    QCOMPARE(wire.Read(len) != nullptr, bytesAfterMs >= 0);
}

void tst_LLProtocolWireWin::exchangeOverPty()
{
    Pty pty;
    QSerialPort port;
    QVERIFY(openPort(port, pty.slavePath));
    CLLProtocolWireWin wire(&port);

    // The peer: expects the request, answers ACK and reply in one write, then expects the ACK.
    std::atomic<bool> gotAck{false};
    const QByteArray expectedRequest = wirePacket(LLC_HLP, LLF_REPEAT, QByteArray(1, '\x0E'));
    std::thread peer([&] {
        const QByteArray req = pty.read(expectedRequest.size(), 3000);
        if (req != expectedRequest)
            return;
        pty.write(ackPacket() + hlpReply(0x0E, QByteArray(7, '\x21')));
        gotAck = pty.read(10, 3000) == ackPacket();
    });

    LogCapture log;
    CLLProtocol protocol(wire);
    CLLProtocolPacket request;
    request.SetPacketByte(LLC_HLP, true, 14);
    const auto sent = protocol.Send(request);
    CLLProtocolPacket reply;
    const auto received = protocol.Receive(reply);
    peer.join();
    QCOMPARE(sent, CLLProtocol::RC_OK);
    QCOMPARE(received, CLLProtocol::RC_OK);
    QCOMPARE(int(reply.GetPacketId()), 0x010E);
    QCOMPARE(int(reply.DataLen()), 8);
    QVERIFY(gotAck);
}

void tst_LLProtocolWireWin::masterClosedMidExchange()
{
    Pty pty;
    QSerialPort port;
    QVERIFY(openPort(port, pty.slavePath));
    CLLProtocolWireWin wire(&port);

    // The unit vanishes after taking the request and sending half an ACK.
    std::thread peer([&] {
        pty.read(11, 3000);
        pty.write(ackPacket().left(4));
        pty.closeMaster();
    });
    LogCapture log;
    QElapsedTimer clock;
    clock.start();
    CLLProtocol protocol(wire);
    CLLProtocolPacket request;
    request.SetPacketByte(LLC_HLP, false, 13);
    QCOMPARE(protocol.Send(request), CLLProtocol::RC_FAILED);
    peer.join();
    CLLProtocolPacket reply;
    QCOMPARE(protocol.Receive(reply), CLLProtocol::RC_FAILED);
    // Writes to the vanished port fail instead of blocking.
    QCOMPARE(protocol.Send(request), CLLProtocol::RC_FAILED);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(tst_LLProtocolWireWin)
#include "tst_llprotocolwirewin.moc"
