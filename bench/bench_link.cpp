// Link-layer figures: CRC and parser throughput, and the time of one acknowledged 200-byte
// packet over a real pseudo-terminal next to the 1 ms poll sleep measured in the same run.
#include "link/llprotocol.h"
#include "link/llprotocolwirewin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
// The poll wakes on arriving bytes, so an exchange costs what the pty and the peer take.
constexpr double kPacketTargetMs = 0.3;

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1))];
}

void crcAndParser()
{
    std::vector<UINT8> data(64 << 20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = UINT8(i * 131 + 7);
    QElapsedTimer clock;
    clock.start();
    volatile UINT16 crc = CLLProtocolPacket::CalcCrc16(data.data(), UINT32(data.size()));
    (void)crc;
    const double crcMBs = double(data.size()) / 1e6 / (double(clock.nsecsElapsed()) / 1e9);

    // A stream of 200-byte packets, fed in 256-byte reads as the receive loop does.
    CLLProtocolPacket builder;
    UINT8 payload[200];
    for (int i = 0; i < 200; ++i)
        payload[i] = UINT8(i);
    builder.SetPacket(LLC_HLP, false, false, false, 200, payload);
    std::vector<UINT8> stream;
    for (int c = 0; c < 3; ++c) {
        UINT16 len = 0;
        const UINT8* p = builder.GetChunk(c, len);
        stream.insert(stream.end(), p, p + len);
    }
    const size_t one = stream.size();
    while (stream.size() < (32u << 20))
        stream.insert(stream.end(), stream.begin(), stream.begin() + long(one));
    clock.restart();
    CLLProtocolPacket packet;
    size_t packets = 0;
    for (size_t pos = 0; pos < stream.size();) {
        UINT16 len = UINT16(std::min<size_t>(256, stream.size() - pos));
        const UINT16 offered = len;
        while (len > 0) {
            packet.PacketFromBuffer(stream.data() + pos + (offered - len), len);
            if (packet.IsComplete()) {
                ++packets;
                packet.Reset();
            }
        }
        pos += offered;
    }
    const double parseMBs = double(stream.size()) / 1e6 / (double(clock.nsecsElapsed()) / 1e9);
    std::printf("CRC-16 throughput:    %8.1f MB/s\n", crcMBs);
    std::printf("parser throughput:    %8.1f MB/s (%zu packets of 210 bytes)\n", parseMBs, packets);
}

void acknowledgedPacketsOverPty()
{
    int master = -1, slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::printf("openpty failed\n");
        return;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    ::close(slave);

    // The peer answers every complete packet with an ACK at once.
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        CLLProtocolPacket packet;
        CLLProtocolPacket ack;
        ack.SetPacket(LLC_HLP, false, true, false, 0, nullptr);
        UINT8 ackBytes[10];
        UINT16 l0 = 0, l1 = 0;
        const UINT8* h = ack.GetChunk(0, l0);
        std::copy(h, h + l0, ackBytes);
        const UINT8* c = ack.GetChunk(1, l1);
        std::copy(c, c + l1, ackBytes + l0);
        UINT8 buf[512];
        while (!stop) {
            pollfd pfd{master, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN))
                continue;
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                continue;
            UINT16 left = UINT16(n);
            while (left > 0) {
                packet.PacketFromBuffer(buf + (n - left), left);
                if (packet.IsComplete()) {
                    if (::write(master, ackBytes, sizeof ackBytes) < 0)
                        return;
                    packet.Reset();
                }
            }
        }
    });

    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(name));
    if (!port.open(QIODevice::ReadWrite)) {
        std::printf("cannot open %s\n", name);
        stop = true;
        peer.join();
        return;
    }
    CLLProtocolWireWin wire(&port);
    CLLProtocol protocol(wire);
    UINT8 payload[200] = {};
    const int runs = 500;
    std::vector<double> exchange, sleeps;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        CLLProtocolPacket packet;
        payload[0] = UINT8(i);
        packet.SetPacket(LLC_HLP, false, false, false, 200, payload);
        QElapsedTimer clock;
        clock.start();
        if (protocol.Send(packet) != CLLProtocol::RC_OK)
            ++failures;
        exchange.push_back(double(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        QThread::msleep(1);
        sleeps.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    stop = true;
    peer.join();
    ::close(master);
    const double pollMedian = percentile(sleeps, 0.5);
    const double median = percentile(exchange, 0.5);
    std::printf("poll sleep (msleep 1): median %.3f ms, p99 %.3f ms\n", pollMedian,
                percentile(sleeps, 0.99));
    std::printf("acknowledged 200-byte packet over a pty: median %.3f ms, p99 %.3f ms "
                "(%d runs, %d failed)\n",
                median, percentile(exchange, 0.99), runs, failures);
    std::printf("per packet: %.2f poll intervals; the receive poll ends when the ACK arrives "
                "(target: median at most %.1f ms)\n",
                median / pollMedian, kPacketTargetMs);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silent);
    crcAndParser();
    acknowledgedPacketsOverPty();
    return 0;
}
