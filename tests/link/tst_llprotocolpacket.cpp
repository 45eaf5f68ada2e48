#include "link/llprotocolpacket.h"
#include "logcapture.h"
#include "scriptedpeer.h"

#include <QtTest>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray chunkBytes(CLLProtocolPacket& packet, int index)
{
    UINT16 len = 0;
    const UINT8* p = packet.GetChunk(index, len);
    return p ? QByteArray(reinterpret_cast<const char*>(p), len) : QByteArray();
}

QByteArray wireBytes(CLLProtocolPacket& packet)
{
    return chunkBytes(packet, 0) + chunkBytes(packet, 1) + chunkBytes(packet, 2);
}

struct Parsed
{
    UINT8 cmd;
    UINT8 flags;
    QByteArray data;
    int state;
    bool operator==(const Parsed& o) const
    {
        return cmd == o.cmd && flags == o.flags && data == o.data && state == o.state;
    }
};

// Feeds the stream in the given slice sizes, moving to a fresh packet whenever one completes.
QVector<Parsed> parseInSlices(const QByteArray& stream, const QVector<int>& slices)
{
    QVector<Parsed> out;
    CLLProtocolPacket packet;
    int pos = 0;
    for (int size : slices) {
        UINT16 left = UINT16(size);
        while (left > 0) {
            const UINT16 before = left;
            packet.PacketFromBuffer(stream.constData() + pos + (size - left), left);
            if (packet.IsComplete()) {
                out << Parsed{
                    packet.Cmd(), packet.Flags(),
                    QByteArray(reinterpret_cast<const char*>(packet.Data()), packet.DataLen()),
                    packet.GetReadState()};
                packet.Reset();
            } else if (left == before) {
                break;
            }
        }
        pos += size;
    }
    return out;
}
} // namespace

class tst_LLProtocolPacket : public QObject
{
    Q_OBJECT

private slots:
    void crcCheckValues_data();
    void crcCheckValues();
    void builtPacketsAreByteExact();
    void setPacketRejectsOversizedData();
    void statesByteByByte_data();
    void statesByteByByte();
    void noiseAndSync();
    void twoPacketsInOneBuffer();
    void headerBitsAreNotCovered();
    void oversizedLengthFieldIsDropped();
    void everySplitGivesTheSamePackets();
    void packetId();
};

void tst_LLProtocolPacket::crcCheckValues_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("crc");
    QTest::addRow("123456789") << QByteArray("123456789") << 0x29B1;
    QTest::addRow("abc") << QByteArray("abc") << 0x514A;
    QTest::addRow("empty") << QByteArray() << 0xFFFF;
    QTest::addRow("one byte 01") << hex("01") << 0xF1D1;
}

void tst_LLProtocolPacket::crcCheckValues()
{
    QFETCH(QByteArray, data);
    QFETCH(int, crc);
    QCOMPARE(int(CLLProtocolPacket::CalcCrc16(data.constData(), UINT32(data.size()))), crc);
}

void tst_LLProtocolPacket::builtPacketsAreByteExact()
{
    CLLProtocolPacket ack;
    ack.SetPacket(LLC_HLP, false, true, false, 0, nullptr);
    QCOMPARE(wireBytes(ack), hex("746F6C7601200000FFFF"));
    QCOMPARE(chunkBytes(ack, 1), hex("FFFF"));
    QVERIFY(chunkBytes(ack, 2).isEmpty());

    CLLProtocolPacket one;
    one.SetPacketByte(LLC_HLP, false, 0x01);
    QCOMPARE(wireBytes(one), hex("746F6C760100010001D1F1"));

    // The application flag, repeat and no-ack bits; no-ack does not survive a refill.
    CLLProtocolPacket flags;
    const UINT8 data[2] = {7, 9};
    flags.SetPacket(LLC_HLP, true, false, true, 2, data);
    flags.SetNoAckExpected();
    QCOMPARE(int(flags.Flags()), LLF_APP | LLF_REPEAT | LLF_NO_ACK);
    QVERIFY(flags.IsAppFlag() && flags.IsRepeat() && flags.IsNoAckExpected() && !flags.IsAck());
    flags.SetPacket(LLC_HLP, false, false, false, 2, data);
    QCOMPARE(int(flags.Flags()), 0);

    UINT16 len = 99;
    QVERIFY(!flags.GetChunk(3, len));
    QCOMPARE(int(len), 0);
    QVERIFY(!flags.GetChunk(-1, len));
}

void tst_LLProtocolPacket::setPacketRejectsOversizedData()
{
    CLLProtocolPacket packet;
    packet.SetPacketByte(LLC_HLP, true, 19);
    const QByteArray before = wireBytes(packet);
    QByteArray big(201, 'x');
    packet.SetPacket(LLC_DEBUG, true, true, false, 201, big.constData());
    QCOMPARE(wireBytes(packet), before);

    QByteArray max(200, 'y');
    packet.SetPacket(LLC_HLP, false, false, false, 200, max.constData());
    QCOMPARE(wireBytes(packet), wirePacket(LLC_HLP, 0, max));
}

void tst_LLProtocolPacket::statesByteByByte_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVector<int>>("states");
    // After each of the 10 + N bytes.
    QTest::addRow("N=0") << QByteArray() << QVector<int>{1, 1, 1, 1, 1, 1, 1, 2, 5, 6};
    QTest::addRow("N=1") << hex("01") << QVector<int>{1, 1, 1, 1, 1, 1, 1, 2, 4, 5, 6};
    QTest::addRow("N=3") << hex("0A0B0C") << QVector<int>{1, 1, 1, 1, 1, 1, 1, 2, 3, 3, 4, 5, 6};
}

void tst_LLProtocolPacket::statesByteByByte()
{
    QFETCH(QByteArray, data);
    QFETCH(QVector<int>, states);
    const QByteArray stream = wirePacket(LLC_HLP, 0, data);
    QCOMPARE(stream.size(), states.size());
    CLLProtocolPacket packet;
    QCOMPARE(int(packet.GetReadState()), 0);
    for (int i = 0; i < stream.size(); ++i) {
        UINT16 len = 1;
        packet.PacketFromBuffer(stream.constData() + i, len);
        QCOMPARE(int(len), 0);
        QCOMPARE(int(packet.GetReadState()), states[i]);
    }
    QCOMPARE(int(packet.Crc()), int(packet.RxCrc()));
}

void tst_LLProtocolPacket::noiseAndSync()
{
    const QByteArray packet = wirePacket(LLC_HLP, 0, hex("0102"));
    {
        LogCapture log;
        const auto parsed = parseInSlices("x" + packet, {int(packet.size()) + 1});
        QCOMPARE(parsed.size(), 1);
        QCOMPARE(log.countExact("-------------------- Byte lost"), 1);
    }
    {
        // "ttolv…": the second t breaks the pattern and the packet is lost.
        LogCapture log;
        const auto parsed = parseInSlices("t" + packet, {int(packet.size()) + 1});
        QCOMPARE(parsed.size(), 0);
        QVERIFY(log.countExact("-------------------- Byte lost") >= 4);
    }
}

void tst_LLProtocolPacket::twoPacketsInOneBuffer()
{
    const QByteArray first = wirePacket(LLC_HLP, 0, hex("0203"));
    const QByteArray second = wirePacket(LLC_DEBUG, 0, hex("020041"));
    const QByteArray both = first + second;
    CLLProtocolPacket packet;
    UINT16 len = UINT16(both.size());
    packet.PacketFromBuffer(both.constData(), len);
    QCOMPARE(int(len), second.size());
    QCOMPARE(int(packet.GetReadState()), int(CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_CORRECT));
    QCOMPARE(int(packet.GetPacketId()), 0x0102);
}

void tst_LLProtocolPacket::headerBitsAreNotCovered()
{
    QByteArray stream = wirePacket(LLC_HLP, 0, hex("0A0B"));
    stream[4] = char(stream[4] ^ 0x80); // command
    stream[5] = char(stream[5] ^ 0x02); // flags
    auto parsed = parseInSlices(stream, {int(stream.size())});
    QCOMPARE(parsed.size(), 1);
    QCOMPARE(parsed[0].state, 6);

    stream = wirePacket(LLC_HLP, 0, hex("0A0B"));
    stream[9] = char(stream[9] ^ 0x10); // a data bit
    parsed = parseInSlices(stream, {int(stream.size())});
    QCOMPARE(parsed.size(), 1);
    QCOMPARE(parsed[0].state, 7);
}

void tst_LLProtocolPacket::oversizedLengthFieldIsDropped()
{
    // A header claiming 201 data bytes must never be stored; the parser drops it and finds
    // the next packet.
    QByteArray bogus = hex("746F6C760100C900");
    const QByteArray good = wirePacket(LLC_HLP, 0, hex("13"));
    QByteArray stream = bogus + QByteArray(300, '\xAA') + good;
    LogCapture log;
    const auto parsed = parseInSlices(stream, {100, 100, 100, int(stream.size()) - 300});
    QCOMPARE(parsed.size(), 1);
    QCOMPARE(parsed[0].data, hex("13"));
    QVERIFY(log.contains("exceeds"));

    bogus = hex("746F6C760100FFFF");
    CLLProtocolPacket packet;
    UINT16 len = UINT16(bogus.size());
    packet.PacketFromBuffer(bogus.constData(), len);
    QCOMPARE(int(packet.GetReadState()), 0);
    QVERIFY(packet.DataLen() <= CLLProtocolPacket::kMaxDataLen);
}

void tst_LLProtocolPacket::everySplitGivesTheSamePackets()
{
    // Two packets, noise around and between them: every way of cutting the stream into
    // three slices must give the same two packets.
    const QByteArray a = wirePacket(LLC_HLP, LLF_REPEAT, hex("0102"));
    const QByteArray b = wirePacket(LLC_DEBUG, 0, hex("02414200"));
    const QByteArray stream = hex("AA") + a + hex("55FF") + b + hex("00");
    LogCapture quiet;
    const QVector<Parsed> expected = parseInSlices(stream, {int(stream.size())});
    QCOMPARE(expected.size(), 2);
    QCOMPARE(expected[0].data, hex("0102"));
    QCOMPARE(int(expected[0].flags), int(LLF_REPEAT));
    QCOMPARE(expected[1].data, hex("02414200"));

    const int n = stream.size();
    for (int i = 0; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            const QVector<int> slices{i, j - i, n - j};
            if (parseInSlices(stream, slices) != expected)
                QFAIL(qPrintable(QString("split %1/%2/%3").arg(i).arg(j - i).arg(n - j)));
        }
    }
    // Byte by byte, as the slowest reader sees it.
    QCOMPARE(parseInSlices(stream, QVector<int>(n, 1)), expected);
}

void tst_LLProtocolPacket::packetId()
{
    CLLProtocolPacket packet;
    packet.SetPacket(LLC_HLP, false, true, false, 0, nullptr);
    QCOMPARE(int(packet.GetPacketId()), 0x0100);
    packet.SetPacketByte(LLC_DEBUG, false, 0x02);
    QCOMPARE(int(packet.GetPacketId()), 0x0202);
}

QTEST_GUILESS_MAIN(tst_LLProtocolPacket)
#include "tst_llprotocolpacket.moc"
