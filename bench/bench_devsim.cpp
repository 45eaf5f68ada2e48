// Simulated-unit figures: identification exchanges and the WiFi image upload, in-process on
// the loopback wire (CPU time and virtual time) and through the ventaro-devsim process on a
// real pseudo-terminal (wall time), as the device object runs them.
#include "engine/devsimloopback.h"
#include "firmware/flashimagelist.h"
#include "link/llprotocol.h"
#include "link/llprotocolwirewin.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[size_t(p * double(v.size() - 1))];
}

bool send(CLLProtocolWire& wire, const QByteArray& data, UINT8 flags)
{
    CLLProtocolPacket p;
    p.SetPacket(LLC_HLP, flags & LLF_APP, false, flags & LLF_REPEAT, UINT16(data.size()),
                data.constData());
    CLLProtocol proto(wire);
    return proto.Send(p) == CLLProtocol::RC_OK;
}

bool identify(CLLProtocolWire& wire)
{
    if (!send(wire, QByteArray(1, char(1)), 0))
        return false;
    CLLProtocolPacket reply;
    CLLProtocol proto(wire);
    return proto.Receive(reply) == CLLProtocol::RC_OK && reply.GetPacketId() == 0x0102;
}

// The image as the device object sends it; returns the number of packets, -1 on failure.
int upload(CLLProtocolWire& wire, const CFlashImage& image)
{
    int packets = 0;
    auto step = [&](const QByteArray& data, UINT8 flags) {
        ++packets;
        return send(wire, data, flags);
    };
    if (!step(QByteArray(1, char(4)), LLF_REPEAT))
        return -1;
    for (const SMemBlock& b : image.m_MemBlocks) {
        QByteArray h(16, '\0');
        auto* p = reinterpret_cast<UINT8*>(h.data());
        p[0] = 7;
        le::put32(p + 1, b.m_MemAdr);
        le::put16(p + 5, UINT16(b.m_PlainLen));
        p[7] = UINT8(((b.m_PlainLen >> 16) << 4) | 4);
        p[8] = image.m_MainVer;
        p[9] = image.m_SubVer;
        le::put32(p + 10, UINT32(image.m_StartAdr));
        le::put16(p + 14, b.m_CRC16);
        if (!step(h, LLF_REPEAT))
            return -1;
        for (int pos = 0; pos < b.m_BlockData.size(); pos += 192) {
            const int n = std::min(192, b.m_BlockData.size() - pos);
            QByteArray c(200, '\0');
            auto* q = reinterpret_cast<UINT8*>(c.data());
            q[0] = 8;
            q[1] = pos + n > int(b.m_PlainLen) ? UINT8(pos + n - int(b.m_PlainLen)) : 0;
            le::put16(q + 2, UINT16(n));
            le::put32(q + 4, b.m_MemAdr + UINT32(pos));
            std::copy_n(b.m_BlockData.constData() + pos, n, c.data() + 8);
            if (!step(c, LLF_REPEAT | LLF_APP))
                return -1;
        }
        if (!step(QByteArray(1, char(9)), LLF_REPEAT))
            return -1;
    }
    return step(QByteArray(1, char(5)), LLF_REPEAT) ? packets : -1;
}

void inProcess(const CFlashImage& wifi)
{
    constexpr int kRounds = 5000;
    CDevSimLoopback unit;
    CLoopbackWire wire;
    unit.attach(wire);
    QElapsedTimer clock;
    clock.start();
    int ok = 0;
    for (int i = 0; i < kRounds; ++i)
        ok += identify(wire) ? 1 : 0;
    const double us = double(clock.nsecsElapsed()) / 1e3 / kRounds;
    std::printf("in-process identification: %d/%d ok, %.1f us CPU and %.1f virtual ms each\n", ok,
                kRounds, us, double(wire.now()) / kRounds);

    const qint64 before = wire.now();
    clock.restart();
    const int packets = upload(wire, wifi);
    std::printf("in-process WiFi image upload (%d packets): %.1f ms CPU, %lld virtual ms\n",
                packets, double(clock.nsecsElapsed()) / 1e6,
                static_cast<long long>(wire.now() - before));
}

void overPty(const CFlashImage& wifi)
{
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath("../tools/devsim/ventaro-devsim");
    if (!QFile::exists(program)) {
        std::printf("over pty: %s not built\n", qPrintable(program));
        return;
    }
    QTemporaryDir dir;
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(program, {"--port-dir", dir.path(), "--name", "bench", "--quiet"});
    const QString portFile = dir.filePath("bench.port");
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(portFile) && wait.elapsed() < 10000)
        QThread::msleep(5);
    QFile f(portFile);
    if (!f.open(QIODevice::ReadOnly)) {
        std::printf("over pty: no port file\n");
        return;
    }
    const QString path = QString::fromUtf8(f.readLine()).trimmed().mid(5);
    QSerialPort port(path);
    if (!port.open(QIODevice::ReadWrite)) {
        std::printf("over pty: cannot open %s\n", qPrintable(path));
        return;
    }
    CLLProtocolWireWin wire(&port);

    constexpr int kRounds = 300;
    std::vector<double> ms;
    QElapsedTimer clock;
    int ok = 0;
    for (int i = 0; i < kRounds; ++i) {
        clock.start();
        ok += identify(wire) ? 1 : 0;
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("over pty identification: %d/%d ok, median %.2f ms, p99 %.2f ms\n", ok, kRounds,
                percentile(ms, 0.5), percentile(ms, 0.99));

    clock.start();
    const int packets = upload(wire, wifi);
    const double s = double(clock.nsecsElapsed()) / 1e9;
    std::printf("over pty WiFi image upload (%d packets, %d plain bytes): %.2f s, %.2f ms per "
                "packet\n",
                packets, int(wifi.m_MemBlocks.value(0).m_PlainLen), s,
                packets > 0 ? s * 1000 / packets : 0.0);
    port.close();
    sim.terminate();
    sim.waitForFinished(5000);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silent);
    const CFlashImageList images;
    const CFlashImage* wifi = images.find(4, CFlashImage::ESystem100);
    if (!wifi) {
        std::printf("no WiFi image built in\n");
        return 1;
    }
    inProcess(*wifi);
    overPty(*wifi);
    return 0;
}
