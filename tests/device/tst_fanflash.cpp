// Flashing through the device object: partition and image upload, bootloader swap, partition
// table and start-up mode, checked byte for byte on a scripted peer.
#include "fanfixture.h"
#include "logcapture.h"

#include "console/progressbarobserver.h"
#include "firmware/flashimagelist.h"

#include <QPointer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

constexpr UINT8 kHeader = 7, kData = 8, kEnd = 9;

QByteArray pattern(int size)
{
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + 3);
    return bytes;
}

QStringList userInfos(const QSignalSpy& spy)
{
    QStringList out;
    for (const auto& args : spy)
        out << args.at(0).toString();
    return out;
}

QList<int> codes(const QVector<HostPacket>& packets)
{
    QList<int> out;
    for (const HostPacket& p : packets)
        out << p.code();
    return out;
}

UINT32 u32At(const QByteArray& b, int offset)
{
    return le::u32(reinterpret_cast<const UINT8*>(b.constData()) + offset);
}

UINT16 u16At(const QByteArray& b, int offset)
{
    return le::u16(reinterpret_cast<const UINT8*>(b.constData()) + offset);
}

// The bytes the data packets carried, in order, and a check of their framing.
QByteArray reassemble(const QVector<HostPacket>& packets, UINT32 memAdr)
{
    QByteArray out;
    for (const HostPacket& p : packets) {
        if (p.code() != kData)
            continue;
        const int len = u16At(p.data, 2);
        if (p.data.size() != 200 || len < 1 || len > 192 || u32At(p.data, 4) != memAdr + out.size())
            return "framing error";
        out += p.data.mid(8, len);
    }
    return out;
}

// A peer that acknowledges everything but the n-th packet with the given code (and its
// repeats).
void refuse(FanOnLoopback& f, UINT8 code, int nth)
{
    f.peer.autoAck = false;
    auto seen = std::make_shared<int>(0);
    auto refused = std::make_shared<bool>(false);
    f.peer.onPacket = [=](CLoopbackWire& w, const HostPacket& p) {
        if (p.isAck() || (p.flags & LLF_NO_ACK))
            return;
        if (p.code() == code && !*refused && ++*seen == nth)
            *refused = true;
        if (*refused && p.code() == code)
            return;
        w.deliver(ackPacket(p.cmd));
    };
}

} // namespace

class TestFanFlash : public QObject
{
    Q_OBJECT

private slots:
    void uploadPartitionPackets_data();
    void uploadPartitionPackets();
    void uploadPartitionPauses_data();
    void uploadPartitionPauses();
    void uploadPartitionFaults_data();
    void uploadPartitionFaults();
    void uploadStopsBetweenPackets_data();
    void uploadStopsBetweenPackets();
    void uploadPartitionRefusesOversizedBlocks_data();
    void uploadPartitionRefusesOversizedBlocks();
    void eventsDuringUpload_data();
    void eventsDuringUpload();
    void uploadBridgeImage();
    void uploadImageWithoutImage();
    void uploadImageFailure();
    void swapBootloaders_data();
    void swapBootloaders();
    void partitionTable();
    void partitionTableShortSecondPacket();
    void startupMode();
    void startupModeRefused();
};

void TestFanFlash::uploadPartitionPackets_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("plain");
    QTest::addColumn<uint>("memAdr");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<int>("typeByte");
    QTest::addColumn<int>("chunks");
    QTest::addColumn<int>("lastLen");
    QTest::addColumn<int>("lastPad");
    QTest::addRow("2 plain bytes stored as 8") << 8 << 2 << 0u << 1 << true << 0x01 << 1 << 8 << 6;
    QTest::addRow("28473 plain bytes stored as 28480")
        << 28480 << 28473 << 34816u << 3 << true << 0x03 << 149 << 64 << 7;
    QTest::addRow("WiFi module, length bits 16-19 in the type byte")
        << 94840 << 94838 << 0u << 4 << true << 0x14 << 494 << 184 << 2;
    QTest::addRow("plain, whole chunks")
        << 384 << 384 << 0x100u << 2 << false << 0x02 << 2 << 192 << 0;
    QTest::addRow("empty block") << 0 << 0 << 20u << 1 << true << 0x01 << 0 << 0 << 0;
}

void TestFanFlash::uploadPartitionPackets()
{
    QFETCH(int, stored);
    QFETCH(int, plain);
    QFETCH(uint, memAdr);
    QFETCH(int, type);
    QFETCH(bool, encrypted);
    QFETCH(int, typeByte);
    QFETCH(int, chunks);
    QFETCH(int, lastLen);
    QFETCH(int, lastPad);

    FanOnLoopback f;
    LogCapture log;
    QProgressBar bar;
    bar.setValue(55);
    QList<int> progress;
    connect(&bar, &QProgressBar::valueChanged, [&](int v) { progress << v; });
    const QByteArray data = pattern(stored);
    QVERIFY(f.fan.uploadPartition(memAdr, UINT32(stored), UINT32(plain),
                                  CPartitionTable::EPartType(type), 2, 24, 39327, 0xBEEF, encrypted,
                                  reinterpret_cast<const UINT8*>(data.constData()),
                                  progressBarObserver(&bar), false));

    const QVector<HostPacket> sent = f.requests();
    QCOMPARE(sent.size(), chunks + 2);
    QByteArray header = bytesOf({kHeader, 0, 0, 0, 0, plain & 0xFF, (plain >> 8) & 0xFF, typeByte,
                                 2, 24, 0x9F, 0x99, 0, 0, 0xEF, 0xBE});
    le::put32(reinterpret_cast<UINT8*>(header.data()) + 1, memAdr);
    QCOMPARE(sent.first().data, header);
    QCOMPARE(int(sent.first().flags), int(LLF_REPEAT));
    for (int i = 1; i <= chunks; ++i) {
        const QByteArray& p = sent[i].data;
        const bool last = i == chunks;
        QCOMPARE(p.size(), 200);
        QCOMPARE(int(UINT8(p[0])), int(kData));
        QCOMPARE(int(UINT8(p[1])), last ? lastPad : 0);
        QCOMPARE(int(u16At(p, 2)), last ? lastLen : 192);
        QCOMPARE(u32At(p, 4), memAdr + UINT32((i - 1) * 192));
        QCOMPARE(int(sent[i].flags), int(LLF_REPEAT | (encrypted ? LLF_APP : 0)));
    }
    QCOMPARE(reassemble(sent, memAdr), data);
    QCOMPARE(sent.last().data, bytesOf({kEnd}));
    QCOMPARE(int(sent.last().flags), int(LLF_REPEAT));

    QCOMPARE(progress.first(), 0);
    QCOMPARE(bar.value(), chunks ? 100 : 0);
    QVERIFY(std::is_sorted(progress.begin(), progress.end()));
    QCOMPARE(log.count("Start Upload, address: "), 1);
}

void TestFanFlash::uploadPartitionPauses_data()
{
    QTest::addColumn<bool>("slow");
    QTest::addRow("normal") << false;
    QTest::addRow("slow") << true;
}

void TestFanFlash::uploadPartitionPauses()
{
    QFETCH(bool, slow);
    FanOnLoopback f;
    LogCapture log;
    const QByteArray data = pattern(400);
    QVERIFY(f.fan.uploadPartition(0, 400, 400, CPartitionTable::EApplication, 1, 1, 0, 0, true,
                                  reinterpret_cast<const UINT8*>(data.constData()),
                                  SUploadObserver(), slow));
    const QVector<HostPacket> sent = f.requests();
    QCOMPARE(codes(sent), (QList<int>{kHeader, kData, kData, kData, kEnd}));
    const qint64 afterHeader = sent[1].at - sent[0].at;
    QVERIFY2(slow ? afterHeader >= 15000 : afterHeader < 100,
             qPrintable(QString::number(afterHeader)));
    for (int i = 2; i <= 4; ++i) {
        const qint64 gap = sent[i].at - sent[i - 1].at;
        QVERIFY2(slow ? gap >= 100 : gap < 100, qPrintable(QString::number(gap)));
    }
    const qint64 afterEnd = f.wire->now() - sent[4].at;
    QVERIFY2(afterEnd >= 750 && afterEnd < 850, qPrintable(QString::number(afterEnd)));
}

void TestFanFlash::uploadPartitionFaults_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("nth");
    QTest::addRow("header refused") << int(kHeader) << 1;
    QTest::addRow("second chunk refused") << int(kData) << 2;
    QTest::addRow("end refused") << int(kEnd) << 1;
}

void TestFanFlash::uploadPartitionFaults()
{
    QFETCH(int, code);
    QFETCH(int, nth);
    FanOnLoopback f;
    LogCapture log;
    refuse(f, UINT8(code), nth);
    QSignalSpy info(&f.fan, &CFanBase::signalUserInfo);
    const QByteArray data = pattern(1000);
    QVERIFY(!f.fan.uploadPartition(0, 1000, 1000, CPartitionTable::EApplication, 1, 1, 0, 0, true,
                                   reinterpret_cast<const UINT8*>(data.constData()),
                                   SUploadObserver(), false));
    QCOMPARE(userInfos(info), QStringList{"Error sending data to ventaro100."});
    // The refused packet was the last one sent (in its three attempts).
    const QVector<HostPacket> sent = f.requests();
    QCOMPARE(int(sent.last().code()), code);
    QCOMPARE(f.peer.countCode(UINT8(code)), nth - 1 + 3);
}

// A stop is asked between packets: the upload fails with the port open and every packet sent
// whole and acknowledged, and nothing more is sent.
void TestFanFlash::uploadStopsBetweenPackets_data()
{
    QTest::addColumn<int>("chunks"); // data packets sent before the stop is asked for
    QTest::addRow("before the header") << 0;
    QTest::addRow("after the second chunk") << 2;
}

void TestFanFlash::uploadStopsBetweenPackets()
{
    QFETCH(int, chunks);
    FanOnLoopback f;
    LogCapture log;
    QSignalSpy info(&f.fan, &CFanBase::signalUserInfo);
    SUploadObserver observer;
    observer.cancelled = [&] { return f.peer.countCode(kData) >= chunks; };
    const QByteArray data = pattern(1000);
    QVERIFY(!f.fan.uploadPartition(0, 1000, 1000, CPartitionTable::EApplication, 1, 1, 0, 0, true,
                                   reinterpret_cast<const UINT8*>(data.constData()), observer,
                                   false));
    QVERIFY(f.fan.isConnected());
    QCOMPARE(f.peer.countCode(kHeader), chunks > 0 ? 1 : 0);
    QCOMPARE(f.peer.countCode(kData), chunks);
    QCOMPARE(f.peer.countCode(kEnd), 0);
    QCOMPARE(info.size(), 0);
}

void TestFanFlash::uploadPartitionRefusesOversizedBlocks_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("plain");
    QTest::addColumn<bool>("ok");
    QTest::addRow("application, 64 KiB - 1") << 3 << 0xFFFF << 0xFFFF << true;
    QTest::addRow("application, 64 KiB") << 3 << 0x10000 << 0x10000 << false;
    QTest::addRow("WiFi module, 1 MiB - 1") << 4 << 0xFFFFF << 0xFFFFF << true;
    QTest::addRow("WiFi module, 1 MiB") << 4 << 0x100000 << 0x100000 << false;
    QTest::addRow("plain longer than the data") << 1 << 8 << 9 << false;
}

void TestFanFlash::uploadPartitionRefusesOversizedBlocks()
{
    QFETCH(int, type);
    QFETCH(int, stored);
    QFETCH(int, plain);
    QFETCH(bool, ok);
    FanOnLoopback f;
    LogCapture log;
    const QByteArray data(stored, 'x');
    QCOMPARE(f.fan.uploadPartition(
                 0, UINT32(stored), UINT32(plain), CPartitionTable::EPartType(type), 1, 1, 0, 0,
                 true, reinterpret_cast<const UINT8*>(data.constData()), SUploadObserver(), false),
             ok);
    if (!ok) {
        QVERIFY(f.requests().isEmpty());
        QCOMPARE(log.count("Partition does not fit the header"), 1);
    }
}

// GUI events run after every chunk; discovery may close the port or replace the device object,
// and the progress bar may go with its dialog.
void TestFanFlash::eventsDuringUpload_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("ok");
    QTest::addRow("device disconnected") << "disconnect" << false;
    QTest::addRow("progress bar deleted") << "delete bar" << true;
    QTest::addRow("device object deleted") << "delete fan" << false;
}

void TestFanFlash::eventsDuringUpload()
{
    QFETCH(QString, event);
    QFETCH(bool, ok);
    ScriptedPeer peer;
    LogCapture log;
    QPointer<CFan> fan = new CFan;
    fan->connectWire(std::make_unique<CLoopbackWire>(&peer));
    QPointer<QProgressBar> bar = new QProgressBar;
    QSignalSpy info(fan.data(), &CFanBase::signalUserInfo);
    QTimer::singleShot(0, [&] {
        if (event == "disconnect")
            fan->connectWire(nullptr);
        else if (event == "delete bar")
            delete bar;
        else
            delete fan;
    });
    QCOMPARE(fan->uploadImage(CFlashImage::ESystem100, CPartitionTable::ECC3200Bridge,
                              progressBarObserver(bar), false),
             ok);
    QCOMPARE(peer.countCode(kEnd), ok ? 1 : 0);
    if (event == "disconnect") {
        QCOMPARE(peer.countCode(kData), 1);
        QCOMPARE(info.size(), 2);
        QCOMPARE(info.at(0).at(0).toString(), QString("Error sending data to ventaro100."));
    }
    delete fan;
    delete bar;
}

void TestFanFlash::uploadBridgeImage()
{
    FanOnLoopback f;
    LogCapture log;
    QVERIFY(f.fan.uploadImage(CFlashImage::ESystem100, CPartitionTable::ECC3200Bridge,
                              SUploadObserver(), false));
    const CFlashImageList list;
    const CFlashImage* image = list.find(CPartitionTable::ECC3200Bridge, CFlashImage::ESystem100);
    QVERIFY(image);
    const SMemBlock& block = image->m_MemBlocks.first();

    const QVector<HostPacket> sent = f.requests();
    QCOMPARE(int(sent.first().code()), 4);
    QCOMPARE(int(sent.last().code()), 5);
    const QByteArray& header = sent[1].data;
    QCOMPARE(int(UINT8(header[0])), int(kHeader));
    // The bridge firmware is flashed into the WiFi module's partition type.
    QCOMPARE(int(UINT8(header[7])), 0x04);
    QCOMPARE(int(u16At(header, 5)), 30012);
    QCOMPARE(int(UINT8(header[8])), 3);
    QCOMPARE(int(UINT8(header[9])), 11);
    QCOMPARE(int(u16At(header, 14)), int(block.m_CRC16));
    QCOMPARE(reassemble(sent, 0), block.m_BlockData);
    QCOMPARE(log.count("Upload Partion, Adr: "), 1);
}

void TestFanFlash::uploadImageWithoutImage()
{
    FanOnLoopback f;
    LogCapture log;
    QSignalSpy info(&f.fan, &CFanBase::signalUserInfo);
    // The WiFi images are built in for the 100 series only.
    QVERIFY(!f.fan.uploadImage(CFlashImage::ESystemPlus, CPartitionTable::ECC3200,
                               SUploadObserver(), false));
    QCOMPARE(codes(f.requests()), QList<int>{4});
    QVERIFY(info.isEmpty());
}

void TestFanFlash::uploadImageFailure()
{
    FanOnLoopback f;
    LogCapture log;
    refuse(f, kData, 40);
    QSignalSpy info(&f.fan, &CFanBase::signalUserInfo);
    QVERIFY(!f.fan.uploadImage(CFlashImage::ESystemPlus, CPartitionTable::EBootloader1,
                               SUploadObserver(), false));
    QCOMPARE(userInfos(info),
             (QStringList{"Error sending data to ventaro100.",
                          "The update process failed. Please switch off your ventaro100.\nThen "
                          "switch in on again and retry the update."}));
    QCOMPARE(f.peer.countCode(5), 0);
}

void TestFanFlash::swapBootloaders_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<bool>("acked");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text");
    QTest::addRow("return code 0xFF")
        << QList<QByteArray>{hlpReply(10, bytesOf({0xFF, 0x34, 0x12}))} << true << true << "";
    QTest::addRow("wrong reply") << QList<QByteArray>{hlpReply(11, bytesOf({0, 0, 0}))} << true
                                 << false << "ventaro100 did respond with the wrong packet - ";
    QTest::addRow("reply too short") << QList<QByteArray>{hlpReply(10, bytesOf({0}))} << true
                                     << false << "ventaro100 did respond with the wrong packet - ";
    QTest::addRow("no reply") << QList<QByteArray>{} << true << false
                              << "ventaro100 did not (correctly) respond - ";
    QTest::addRow("not acknowledged")
        << QList<QByteArray>{} << false << false << "ventaro100 did not respond - ";
}

void TestFanFlash::swapBootloaders()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(bool, acked);
    QFETCH(bool, ok);
    QFETCH(QString, text);
    FanOnLoopback f;
    LogCapture log;
    f.peer.autoAck = acked;
    f.answer(6, replies);
    QSignalSpy info(&f.fan, &CFanBase::signalUserInfo);
    QCOMPARE(f.fan.swapBootloaders(), ok);
    QCOMPARE(userInfos(info), text.isEmpty() ? QStringList() : QStringList{text});
    QCOMPARE(int(f.requests().first().code()), 6);
    if (ok) {
        QCOMPARE(log.countExact("Swap return code:  255"), 1);
        QCOMPARE(log.countExact("Flah security bits:  4660"), 1);
        QCOMPARE(f.peer.acksReceived(), 1);
    }
}

namespace {

QByteArray tablePacket(int firstEntry, int len = 120)
{
    QByteArray data(len, 0);
    auto* p = reinterpret_cast<UINT8*>(data.data());
    for (int i = 0; i < 10 && (i + 1) * 12 <= len; ++i) {
        const int n = firstEntry + i;
        UINT8* e = p + i * 12;
        le::put32(e, 0x8800u + UINT32(n) * 0x1000u);
        le::put16(e + 4, UINT16(1000 + n));
        e[6] = UINT8(n % 5 + 1);
        e[7] = 2;
        e[8] = UINT8(n);
        e[9] = UINT8(n & 0x0F);
        le::put16(e + 10, 0xFFFF);
    }
    return wirePacket(LLC_HLP, 0, data);
}

} // namespace

void TestFanFlash::partitionTable()
{
    FanOnLoopback f;
    LogCapture log;
    f.answer(11, QList<QByteArray>{tablePacket(0), tablePacket(10)});
    CPartitionTable::SPartition table[20];
    QVERIFY(f.fan.getPartitionTable(table));
    for (int n : {0, 9, 10, 19}) {
        QCOMPARE(table[n].m_Start, 0x8800u + UINT32(n) * 0x1000u);
        QCOMPARE(int(table[n].m_Size), 1000 + n);
        QCOMPARE(int(table[n].m_Type), n % 5 + 1);
        QCOMPARE(int(table[n].m_MainVer), 2);
        QCOMPARE(int(table[n].m_SubVer), n);
    }
    QVERIFY(table[9].crc16Ok() && !table[9].crc16Ko() && !table[9].crc16MirrorOk() &&
            table[9].crc16MirrorKo());
    QVERIFY(!table[10].crc16Ok() && table[10].crc16Ko());
    QCOMPARE(log.count("m_Start: "), 20);
    QCOMPARE(f.peer.acksReceived(), 2);
}

void TestFanFlash::partitionTableShortSecondPacket()
{
    FanOnLoopback f;
    LogCapture log;
    f.answer(11, QList<QByteArray>{tablePacket(0), tablePacket(10, 119)});
    QSignalSpy info(&f.fan, &CFanBase::signalUserInfo);
    CPartitionTable::SPartition table[20];
    for (auto& entry : table)
        entry.m_Start = 0xDEADBEEF;
    QVERIFY(!f.fan.getPartitionTable(table));
    QCOMPARE(userInfos(info), QStringList{"ventaro100 did respond with the wrong packet - "});
    QCOMPARE(table[0].m_Start, 0x8800u);
    QCOMPARE(table[9].m_Start, 0x8800u + 9 * 0x1000u);
    QCOMPARE(table[10].m_Start, 0xDEADBEEFu);
    QCOMPARE(table[19].m_Start, 0xDEADBEEFu);
}

void TestFanFlash::startupMode()
{
    {
        FanOnLoopback f;
        LogCapture log;
        QVERIFY(f.fan.setStartupMode(0));
        const QVector<HostPacket> sent = f.requests();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent[0].data, bytesOf({17}));
        QCOMPARE(int(sent[0].flags), int(LLF_REPEAT | LLF_NO_ACK));
    }
    {
        FanOnLoopback f;
        LogCapture log;
        QVERIFY(f.fan.setStartupMode(2));
        const QVector<HostPacket> sent = f.requests();
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent[0].data, bytesOf({18, 2}));
        QCOMPARE(int(sent[0].flags), 0);
        QCOMPARE(sent[1].data, bytesOf({17}));
    }
    CFan unconnected;
    QVERIFY(!unconnected.setStartupMode(1));
}

void TestFanFlash::startupModeRefused()
{
    FanOnLoopback f;
    LogCapture log;
    f.peer.autoAck = false;
    QSignalSpy info(&f.fan, &CFanBase::signalUserInfo);
    QVERIFY(!f.fan.setStartupMode(1));
    QCOMPARE(userInfos(info), QStringList{"Unable to set startup mode for application."});
    // One attempt, and no start request after it.
    QCOMPARE(codes(f.requests()), QList<int>{18});
}

QTEST_MAIN(TestFanFlash)
#include "tst_fanflash.moc"
