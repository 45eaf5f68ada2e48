// The simulated unit in-process on the loopback wire, driven through the tool's own link
// layer (CLLProtocol), as the device object will drive it.

#include "devsimclient.h"
#include "engine/devsimloopback.h"
#include "logcapture.h"

#include "link/llprotocol.h"

#include <QtTest>

namespace {
// The tool's side on the loopback wire.
struct LoopbackLine
{
    CLoopbackWire wire;
};
struct Tool : LoopbackLine, DevSimClient
{
    Tool() : DevSimClient(LoopbackLine::wire) {}
};
} // namespace

class TestDevSimEngine : public QObject
{
    Q_OBJECT

private slots:
    void identity_data();
    void identity();
    void everyRequestAnswered_data();
    void everyRequestAnswered();
    void countersTrain();
    void secLogRingWrapAround_data();
    void secLogRingWrapAround();
    void uploadReassembledByteForByte();
    void repeatedStepsAcceptedOnce();
    void flashViolationsRefused_data();
    void flashViolationsRefused();
    void flashRefusedWhileApplicationRuns();
    void swapFlipsPartner_data();
    void swapFlipsPartner();
    void swapRefusedWhileIdleCopyIncomplete();
    void badRequestsRecorded_data();
    void badRequestsRecorded();
    void powerCycle_data();
    void powerCycle();
    void simulationChangesCurrentState();
    void counterWriteAndRefusal();
    void faults();
    void unplugAfterRequests();
    void garbageNeverCrashes();
};

void TestDevSimEngine::identity_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("partner");
    QTest::addColumn<int>("partnerX");
    QTest::addColumn<int>("features");
    QTest::addRow("100, bootloader A") << 0 << 1 << 0 << ((3 << 1) | (11 << 6));
    QTest::addRow("plus, application, X") << 1 << 3 << 1 << (1 | (3 << 1) | (11 << 6));
}

void TestDevSimEngine::identity()
{
    QFETCH(int, model);
    QFETCH(int, partner);
    QFETCH(int, partnerX);
    QFETCH(int, features);
    SDevSimIdentity id;
    id.model = SDevSimIdentity::EModel(model);
    id.serial = 61234;
    id.board = 7;
    id.partner = UINT8(partner);
    id.partnerX = UINT8(partnerX);
    id.bootMain = 2;
    id.bootSub = 24;
    id.applMain = 2;
    id.applSub = 1;
    id.wifiMain = 3;
    id.wifiSub = 11;
    CDevSimLoopback unit(id);
    Tool tool;
    unit.attach(tool.wire);

    CLLProtocolPacket p;
    p.SetPacketByte(LLC_HLP, false, 1);
    CLLProtocol proto(tool.wire);
    QCOMPARE(proto.Send(p), CLLProtocol::RC_OK);
    QCOMPARE(proto.Receive(p), CLLProtocol::RC_OK);
    QCOMPARE(p.GetPacketId(), UINT16(0x0102));
    QCOMPARE(p.DataLen(), UINT16(39));
    const UINT8* d = p.Data();
    QCOMPARE(le::u32(d + 1), UINT32(61234));
    QCOMPARE(int(d[6]), 7);
    QCOMPARE(int(d[7]), partner);
    QCOMPARE(int(d[8]), partnerX);
    QCOMPARE(int(d[9]), 2);
    QCOMPARE(int(d[10]), 24);
    QCOMPARE(int(d[11]), 2);
    QCOMPARE(int(d[12]), 1);
    QCOMPARE(int(le::u16(d + 13)), features);
    // The reply was acknowledged, so nothing is resent later.
    tool.wire.advance(5000);
    QCOMPARE(tool.wire.pending(), 0);
    QCOMPARE(unit.engine().stats().resends, 0);
}

void TestDevSimEngine::everyRequestAnswered_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("replyId"); // 0: acknowledgement only
    QTest::addColumn<int>("packets");
    QTest::addColumn<int>("size");

    const QByteArray secLogCnt = bytesOf({24}) + QByteArray(19, '\0');
    QByteArray secLog = bytesOf({20, 1, 0, 0, 3, 0}) + QByteArray(160, '\0');
    QByteArray memory(9, '\0');
    memory[0] = 12;
    memory[5] = 16;
    const QByteArray sim100 = bytesOf({16}) + QByteArray(21, '\0');
    const QByteArray sim70 = bytesOf({16}) + QByteArray(29, '\0');
    const QByteArray serial = bytesOf({3, 0x39, 0x30, 0, 0}) + QByteArray(34, '\0');

    for (int model : {0, 1}) {
        const char* m = model ? "plus" : "100";
        QTest::addRow("%s ident", m) << bytesOf({1}) << model << 0x0102 << 1 << 39;
        QTest::addRow("%s serial", m) << serial << model << 0 << 0 << 0;
        QTest::addRow("%s partition table", m) << bytesOf({11}) << model << -1 << 2 << 120;
        QTest::addRow("%s memory", m) << memory << model << 0x010C << 1 << 17;
        QTest::addRow("%s timer", m) << bytesOf({14}) << model << 0x010E << 1 << 8;
        QTest::addRow("%s prim log", m)
            << bytesOf({15}) << model << 0x010F << 2 << (model ? 200 : 186);
        QTest::addRow("%s simulation", m) << (model ? sim70 : sim100) << model << 0 << 0 << 0;
        QTest::addRow("%s startup mode", m) << bytesOf({18, 1}) << model << 0 << 0 << 0;
        QTest::addRow("%s current state", m)
            << bytesOf({19}) << model << 0x0113 << 1 << (model ? 30 : 28);
        QTest::addRow("%s sec log", m) << secLog << model << 0x0114 << 1 << 166;
        QTest::addRow("%s erase", m) << bytesOf({21, 2}) << model << 0 << 0 << 0;
        QTest::addRow("%s average", m) << bytesOf({22}) << model << 0 << 0 << 0;
        QTest::addRow("%s check", m) << bytesOf({23, 1, 0}) << model << 0x0117 << 1 << 3;
        QTest::addRow("%s sec count", m) << secLogCnt << model << 0x0118 << 1 << 20;
        QTest::addRow("%s vent info", m) << bytesOf({25}) << model << 0x0119 << 1 << 146;
        QTest::addRow("%s wifi", m) << bytesOf({26}) << model << 0x011A << 1 << 170;
        QTest::addRow("%s counter", m)
            << bytesOf({27, 39, 0, 0xFF, 0xFF, 0xFF, 0xFF}) << model << 0x011B << 1 << 7;
        QTest::addRow("%s move vent", m) << bytesOf({28, 2, 26}) << model << 0 << 0 << 0;
        QTest::addRow("%s credentials", m)
            << (bytesOf({29}) + QByteArray(199, '\0')) << model << 0 << 0 << 0;
        QTest::addRow("%s swap", m) << bytesOf({6}) << model << 0x010A << 1 << 4;
        QTest::addRow("%s unknown code", m) << bytesOf({99, 1, 2}) << model << 0 << 0 << 0;
    }
}

void TestDevSimEngine::everyRequestAnswered()
{
    QFETCH(QByteArray, request);
    QFETCH(int, model);
    QFETCH(int, replyId);
    QFETCH(int, packets);
    QFETCH(int, size);
    SDevSimIdentity id;
    id.model = SDevSimIdentity::EModel(model);
    CDevSimLoopback unit(id);
    Tool tool;
    unit.attach(tool.wire);

    const QVector<QByteArray> replies = tool.exchange(request, packets);
    QCOMPARE(replies.size(), packets);
    for (const QByteArray& r : replies) {
        QCOMPARE(r.size(), size);
        if (replyId > 0)
            QCOMPARE(0x100 + UINT8(r[0]), replyId);
    }
    // Nothing more follows: the train ended, every reply was acknowledged.
    tool.wire.advance(4000);
    QCOMPARE(tool.wire.pending(), 0);
    QCOMPARE(unit.engine().stats().resends, 0);
    QCOMPARE(unit.unit().requestCount(UINT8(request[0])), 1);
}

void TestDevSimEngine::countersTrain()
{
    SDevSimIdentity id;
    id.counterCount = 20;
    CDevSimLoopback unit(id);
    for (int i = 0; i < 20; ++i)
        unit.unit().counters()[i] = UINT32(1000 + i);
    Tool tool;
    unit.attach(tool.wire);

    const QVector<QByteArray> train = tool.train(bytesOf({13}), 1, 4, 8);
    QCOMPARE(train.size(), 3);
    QList<UINT32> remaining;
    QList<UINT32> values;
    for (const QByteArray& p : train) {
        QCOMPARE(p.size(), 37);
        QCOMPARE(int(p[0]), 13);
        const UINT32 r = u32At(p, 1);
        remaining << r;
        for (UINT32 i = 0; i < std::min<UINT32>(r, 8); ++i)
            values << u32At(p, 5 + 4 * int(i));
    }
    QCOMPARE(remaining, (QList<UINT32>{20, 12, 4}));
    QCOMPARE(values.size(), 20);
    QCOMPARE(values.first(), UINT32(1000));
    QCOMPARE(values.last(), UINT32(1019));
}

void TestDevSimEngine::secLogRingWrapAround_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("expected");
    // Ring of 96, all used, oldest at 90: slot 90 holds sequence 0, slot 89 the newest (95).
    QTest::addRow("10 youngest, no wrap")
        << 81 << 10 << QList<int>{81, 82, 83, 84, 85, 86, 87, 88, 89, 90};
    QTest::addRow("across the end") << 92 << 7 << QList<int>{92, 93, 94, 95, 0, 1, 2};
    QTest::addRow("oldest first") << 90 << 6 << QList<int>{90, 91, 92, 93, 94, 95};
}

void TestDevSimEngine::secLogRingWrapAround()
{
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QList<int>, expected);
    CDevSimLoopback unit;
    unit.unit().fillSecRing(0, 96, 96, 90);
    Tool tool;
    unit.attach(tool.wire);

    // The counts the report's ring arithmetic starts from.
    const QVector<QByteArray> cnt = tool.exchange(bytesOf({24}) + QByteArray(19, '\0'));
    QCOMPARE(cnt.size(), 1);
    QCOMPARE(u16At(cnt[0], 2), UINT16(96));
    QCOMPARE(u16At(cnt[0], 8), UINT16(96));
    QCOMPARE(u16At(cnt[0], 14), UINT16(90));

    QByteArray request = bytesOf({20, 0, first & 0xFF, first >> 8, count & 0xFF, count >> 8});
    request += QByteArray(160, '\0');
    const QVector<QByteArray> train = tool.train(request, 4, 2, 5);
    QList<int> got;
    for (const QByteArray& p : train) {
        QCOMPARE(p.size(), 166);
        QCOMPARE(int(p[1]), 0);
        const int r = u16At(p, 4);
        for (int i = 0; i < std::min(r, 5); ++i) {
            const QByteArray e = p.mid(6 + 32 * i, 32);
            const int slot = u16At(e, 30) & 0x3FF;
            got << slot;
            // Age mark: sequence counted from the oldest slot.
            QCOMPARE(int(u16At(e, 22)), (slot - 90 + 96) % 96);
        }
    }
    QCOMPARE(got, expected);
}

void TestDevSimEngine::uploadReassembledByteForByte()
{
    SDevSimIdentity id;
    id.partner = 1;
    id.applMain = 2;
    id.applSub = 1;
    id.partnerX = 1;
    CDevSimLoopback unit(id);
    Tool tool;
    unit.attach(tool.wire);

    const Block small = makeBlock(0x8800, 2, 1);   // 2 plain bytes sent as 8
    const Block large = makeBlock(0x9000, 453, 2); // three chunks, the last one padded
    QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));
    QVERIFY(uploadBlock(tool, small, 3, 2, 24));
    QVERIFY(uploadBlock(tool, large, 3, 2, 24));
    QVERIFY(tool.send(bytesOf({5}), LLF_REPEAT));

    const auto& images = unit.unit().flash().images();
    QCOMPARE(images.size(), 1);
    const SDevSimFlashedImage& img = images[0];
    QVERIFY(img.complete);
    QCOMPARE(img.type, 3);
    QCOMPARE(img.startAdr, UINT32(1124));
    QCOMPARE(img.blocks.size(), 2);
    QCOMPARE(img.blocks[0].data, small.data);
    QCOMPARE(img.blocks[1].data, large.data);
    QCOMPARE(img.blocks[1].plainLen, UINT32(453));
    QVERIFY(img.blocks[1].appFlag);
    QVERIFY(unit.unit().flash().violations().isEmpty());
    // The new version is reported at once; a complete application clears the X marker.
    QCOMPARE(int(unit.unit().identity().applMain), 2);
    QCOMPARE(int(unit.unit().identity().applSub), 24);
    QCOMPARE(int(unit.unit().identity().partnerX), 0);
    // Reading back the flash through the memory dump gives the same bytes.
    const QVector<QByteArray> dump = tool.exchange(bytesOf({12, 0x00, 0x90, 0, 0, 16, 0, 0, 0}));
    QCOMPARE(dump.size(), 1);
    QCOMPARE(dump[0].mid(1), large.data.left(16));
}

void TestDevSimEngine::repeatedStepsAcceptedOnce()
{
    // Every step twice, as the tool repeats one whose acknowledgement was lost.
    CDevSimLoopback unit;
    Tool tool;
    unit.attach(tool.wire);
    const Block b = makeBlock(0x8800, 300, 8);
    auto twice = [&](const QByteArray& step, UINT8 flags) {
        return tool.send(step, flags) && tool.send(step, flags);
    };
    QVERIFY(twice(bytesOf({4}), LLF_REPEAT));
    QVERIFY(twice(partitionHeader(b, 3, 2, 24, 1124), LLF_REPEAT));
    QVERIFY(twice(dataChunk(b, 0, 192), LLF_REPEAT | LLF_APP));
    QVERIFY(twice(dataChunk(b, 192, 112), LLF_REPEAT | LLF_APP));
    QVERIFY(twice(bytesOf({9}), LLF_REPEAT));
    QVERIFY(twice(bytesOf({5}), LLF_REPEAT));
    QVERIFY2(unit.unit().flash().violations().isEmpty(),
             qPrintable(unit.unit().flash().violations().join(" | ")));
    QCOMPARE(unit.unit().flash().images().size(), 1);
    QCOMPARE(unit.unit().flash().images()[0].blocks.size(), 1);
    QCOMPARE(unit.unit().flash().images()[0].blocks[0].data, b.data);
    QVERIFY(unit.unit().flash().images()[0].complete);
}

void TestDevSimEngine::flashViolationsRefused_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("violation");
    QTest::addRow("data before header") << 0 << "chunk before a partition header";
    QTest::addRow("chunk out of order") << 1 << "expected 0x8800";
    QTest::addRow("wrong pad count") << 2 << "pad count";
    QTest::addRow("block CRC mismatch") << 3 << "CRC16";
    QTest::addRow("short block ended") << 4 << "of 300 plain bytes";
    QTest::addRow("running copy written") << 5 << "copy 1 is running";
    QTest::addRow("short header") << 6 << "header: length 15";
}

void TestDevSimEngine::flashViolationsRefused()
{
    QFETCH(int, fault);
    QFETCH(QString, violation);
    CDevSimLoopback unit; // bootloader copy 1 answers
    Tool tool;
    unit.attach(tool.wire);
    Block b = makeBlock(0x8800, 300, 3);
    QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));

    bool refused = false;
    switch (fault) {
    case 0:
        refused = !tool.send(dataChunk(b, 0, 192), LLF_REPEAT);
        break;
    case 1:
        QVERIFY(tool.send(partitionHeader(b, 3, 2, 24, 0), LLF_REPEAT));
        refused = !tool.send(dataChunk(b, 192, 112), LLF_REPEAT);
        break;
    case 2: {
        QVERIFY(tool.send(partitionHeader(b, 3, 2, 24, 0), LLF_REPEAT));
        QVERIFY(tool.send(dataChunk(b, 0, 192), LLF_REPEAT));
        QByteArray last = dataChunk(b, 192, 112);
        last[1] = 0;
        refused = !tool.send(last, LLF_REPEAT);
        break;
    }
    case 3:
        b.crc ^= 0x1234;
        refused = !uploadBlock(tool, b, 3, 2, 24);
        break;
    case 4:
        QVERIFY(tool.send(partitionHeader(b, 3, 2, 24, 0), LLF_REPEAT));
        QVERIFY(tool.send(dataChunk(b, 0, 192), LLF_REPEAT));
        refused = !tool.send(bytesOf({9}), LLF_REPEAT);
        break;
    case 5:
        refused = !tool.send(partitionHeader(b, 1, 2, 24, 0), LLF_REPEAT);
        break;
    default:
        refused = !tool.send(partitionHeader(b, 3, 2, 24, 0).left(15), LLF_REPEAT);
        break;
    }
    QVERIFY(refused);
    const QStringList v = unit.unit().flash().violations();
    QVERIFY2(!v.isEmpty() && v.last().contains(violation), qPrintable(v.join(" | ")));
    // The unit still answers afterwards.
    QCOMPARE(tool.exchange(bytesOf({1})).size(), 1);
}

void TestDevSimEngine::flashRefusedWhileApplicationRuns()
{
    SDevSimIdentity id;
    id.partner = 3;
    CDevSimLoopback unit(id);
    Tool tool;
    unit.attach(tool.wire);
    QVERIFY(!tool.send(bytesOf({4}), LLF_REPEAT));
    QCOMPARE(unit.unit().flash().violations().size(), 3); // one per attempt
    QVERIFY(unit.unit().flash().violations().first().contains("partner 3"));
}

void TestDevSimEngine::swapFlipsPartner_data()
{
    QTest::addColumn<bool>("ackLost");
    QTest::addRow("acknowledged") << false;
    // The tool takes the reply for something else and sends the request again: the unit
    // answers it again but swaps only once.
    QTest::addRow("acknowledgement lost") << true;
}

void TestDevSimEngine::swapFlipsPartner()
{
    QFETCH(bool, ackLost);
    SDevSimIdentity id;
    id.partner = 1;
    id.bootMain = 2;
    id.bootSub = 10;
    CDevSimLoopback unit(id);
    Tool tool;
    unit.attach(tool.wire);

    // Write bootloader copy 2 with version 2.24, then swap.
    const Block b = makeBlock(0, 20, 4);
    QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));
    QVERIFY(uploadBlock(tool, b, 2, 2, 24));
    QVERIFY(tool.send(bytesOf({5}), LLF_REPEAT));
    QCOMPARE(int(unit.unit().identity().bootSub), 10); // copy 1 still runs

    SDevSimFaults faults;
    faults.lostAck.count = ackLost ? 1 : 0;
    unit.engine().setFaults(faults, 1);
    const QVector<QByteArray> reply = tool.exchange(bytesOf({6}));
    QCOMPARE(reply.size(), 1);
    QCOMPARE(reply[0].size(), 4);
    QCOMPARE(int(reply[0][0]), 10);
    QCOMPARE(unit.engine().stats().repeatsAnswered, ackLost ? 1 : 0);
    QCOMPARE(unit.unit().requestCount(6), 1);
    const QVector<QByteArray> ident = tool.exchange(bytesOf({1}));
    QCOMPARE(ident.size(), 1);
    QCOMPARE(int(ident[0][7]), 2); // partner B
    QCOMPARE(int(ident[0][9]), 2);
    QCOMPARE(int(ident[0][10]), 24);
    // Swapping again (a new request) runs copy 1 with its old version again.
    QCOMPARE(tool.exchange(bytesOf({6})).size(), 1);
    QCOMPARE(int(unit.unit().identity().partner), 1);
    QCOMPARE(int(unit.unit().identity().bootSub), 10);
}

void TestDevSimEngine::swapRefusedWhileIdleCopyIncomplete()
{
    CDevSimLoopback unit; // copy 1 runs
    Tool tool;
    unit.attach(tool.wire);
    const Block b = makeBlock(0, 400, 6);
    QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));
    QVERIFY(tool.send(partitionHeader(b, 2, 2, 24, 1124), LLF_REPEAT));
    QVERIFY(tool.send(dataChunk(b, 0, 192), LLF_REPEAT)); // the upload stops here

    QVector<QByteArray> reply = tool.exchange(bytesOf({6}));
    QCOMPARE(reply.size(), 1);
    QCOMPARE(int(reply[0][1]), 1); // refused: copy 2 is half written
    QCOMPARE(int(unit.unit().identity().partner), 1);
    QVERIFY(unit.unit().flash().violations().last().contains("swap refused"));

    // A complete upload makes the copy usable again.
    QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));
    QVERIFY(uploadBlock(tool, b, 2, 2, 24));
    QVERIFY(tool.send(bytesOf({5}), LLF_REPEAT));
    reply = tool.exchange(bytesOf({6}));
    QCOMPARE(reply.size(), 1);
    QCOMPARE(int(reply[0][1]), 0);
    QCOMPARE(int(unit.unit().identity().partner), 2);
}

void TestDevSimEngine::badRequestsRecorded_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("violation");
    QTest::addRow("unknown code") << bytesOf({99}) << "unknown request code 99";
    QTest::addRow("short counter request") << bytesOf({27, 39}) << "request 27: 2 bytes, needs 7";
    QTest::addRow("short sec-log request") << bytesOf({20, 0, 1}) << "request 20: 3 bytes";
    QTest::addRow("plus-size simulation")
        << (bytesOf({16}) + QByteArray(29, '\0')) << "simulation values: 30 bytes, expected 22";
    QTest::addRow("no such vent") << bytesOf({28, 4, 25}) << "move vent 4";
}

void TestDevSimEngine::badRequestsRecorded()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, violation);
    CDevSimLoopback unit;
    Tool tool;
    unit.attach(tool.wire);
    // Acknowledged at the link level, then ignored: no reply follows.
    QVERIFY(tool.send(request));
    tool.wire.advance(3000);
    QCOMPARE(tool.wire.pending(), 0);
    const QStringList v = unit.unit().flash().violations();
    QVERIFY2(!v.isEmpty() && v.last().contains(violation), qPrintable(v.join(" | ")));
    QCOMPARE(tool.exchange(bytesOf({1})).size(), 1);
}

void TestDevSimEngine::powerCycle_data()
{
    QTest::addColumn<int>("trigger"); // 0 swap, 1 application upload, 2 the user
    QTest::addColumn<bool>("toApplication");
    QTest::addColumn<int>("partnerAfter");
    QTest::addRow("after a swap") << 0 << false << 2;
    QTest::addRow("after the application upload") << 1 << false << 1;
    QTest::addRow("by the user, into the application") << 2 << true << 3;
}

void TestDevSimEngine::powerCycle()
{
    QFETCH(int, trigger);
    QFETCH(bool, toApplication);
    QFETCH(int, partnerAfter);
    SDevSimIdentity id;
    id.partner = 1;
    SDevSimBehaviour behaviour;
    behaviour.rebootAfterSwapMs = 100;
    behaviour.rebootAfterUploadMs = 100;
    behaviour.rebootPauseMs = 2000;
    behaviour.restart = toApplication ? EDevSimRestart::Application : EDevSimRestart::Bootloader;
    CDevSimLoopback unit(id, behaviour);
    Tool tool;
    unit.attach(tool.wire);

    if (trigger == 0) {
        QCOMPARE(tool.exchange(bytesOf({6})).size(), 1);
    } else if (trigger == 1) {
        QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));
        QVERIFY(uploadBlock(tool, makeBlock(0x8800, 40, 5), 3, 2, 24));
        QVERIFY(tool.send(bytesOf({5}), LLF_REPEAT));
    } else {
        unit.powerCycle(tool.wire);
    }
    tool.wire.advance(150);
    QVERIFY(!unit.engine().present());
    QVERIFY(!tool.send(bytesOf({1}))); // unplugged: the write fails
    tool.wire.advance(2000);
    QVERIFY(unit.engine().present());
    const QVector<QByteArray> ident = tool.exchange(bytesOf({1}));
    QCOMPARE(ident.size(), 1);
    QCOMPARE(int(ident[0][7]), partnerAfter);
    QCOMPARE(unit.unit().powerCycles(), 1);
    QCOMPARE(unit.unit().counters()[3], UINT32(88)); // boot cycles
}

void TestDevSimEngine::simulationChangesCurrentState()
{
    CDevSimLoopback unit;
    Tool tool;
    unit.attach(tool.wire);
    QByteArray sim(22, '\0');
    auto* p = reinterpret_cast<UINT8*>(sim.data());
    p[0] = 16;
    p[1] = 4;                                // comfort code
    le::put16(p + 6, UINT16(INT16(-2 * 8))); // supply -2 degC
    le::put16(p + 14, UINT16(22 * 8));       // extract 22 degC
    le::put16(p + 16, 55);                   // extract humidity
    le::put16(p + 18, 1600);                 // CO2 ppm
    QVERIFY(tool.send(sim));

    const QVector<QByteArray> state = tool.exchange(bytesOf({19}));
    QCOMPARE(state.size(), 1);
    const QByteArray e = state[0].mid(2);
    const int supply = u16At(e, 0) & 0x7FF;
    QCOMPARE(supply, 0x800 - 16); // -2 degC as 11-bit two's complement
    QCOMPARE(u16At(e, 6) & 0x7FF, 22 * 8);
    QCOMPARE(int(UINT8(e[11])) & 0x7F, 55);
    QCOMPARE(int(UINT8(e[12])), 100);    // 1600 / 16
    QCOMPARE(int(UINT8(e[13])) >> 5, 4); // comfort level
    QCOMPARE(int(UINT8(e[15])) & 7, 4);  // reaction: CO2 ventilation
    QCOMPARE(unit.unit().simulationCount(), 1);
}

void TestDevSimEngine::counterWriteAndRefusal()
{
    CDevSimLoopback unit;
    Tool tool;
    unit.attach(tool.wire);
    QVector<QByteArray> r = tool.exchange(bytesOf({27, 39, 1, 5, 0, 0, 0}));
    QCOMPARE(r.size(), 1);
    QCOMPARE(int(r[0][2]), 1);
    QCOMPARE(u32At(r[0], 3), UINT32(5));
    QCOMPARE(unit.unit().counters()[39], UINT32(5));
    r = tool.exchange(bytesOf({27, 80, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    QCOMPARE(r.size(), 1);
    QCOMPARE(int(r[0][2]), 2); // no such counter
}

void TestDevSimEngine::faults()
{
    // Stray bytes before every packet: the tool drops them and the exchange completes.
    {
        CDevSimLoopback unit;
        SDevSimFaults f;
        f.strayBytes.probability = 1.0;
        unit.engine().setFaults(f, 7);
        Tool tool;
        unit.attach(tool.wire);
        LogCapture log;
        QCOMPARE(tool.exchange(bytesOf({1})).size(), 1);
        QVERIFY(log.count("Byte lost") >= 2);
    }
    // A lost acknowledgement: the repeated request is answered (and carried out once).
    {
        CDevSimLoopback unit;
        SDevSimFaults f;
        f.lostAck.count = 1;
        unit.engine().setFaults(f, 1);
        Tool tool;
        unit.attach(tool.wire);
        QCOMPARE(tool.exchange(bytesOf({14})).size(), 1);
        QCOMPARE(unit.engine().stats().lostAck, 1);
        QCOMPARE(unit.engine().stats().repeatsAnswered, 1);
        QCOMPARE(unit.unit().requestCount(14), 1);
    }
    // A corrupt reply fails the tool's receive; debug messages are consumed on the way.
    {
        CDevSimLoopback unit;
        SDevSimFaults f;
        f.corruptCrc.count = 1;
        f.debugMessage.count = 2;
        unit.engine().setFaults(f, 1);
        Tool tool;
        unit.attach(tool.wire);
        LogCapture log;
        QVERIFY(tool.exchange(bytesOf({19})).isEmpty());
        QVERIFY(log.contains("Received packet corrupt."));
        QCOMPARE(tool.exchange(bytesOf({19})).size(), 1);
        QCOMPARE(log.count("Debug message received: "), 4);
    }
    // Wrong id and wrong length, then a reply slower than the tool waits.
    {
        CDevSimLoopback unit;
        SDevSimFaults f;
        f.wrongId.count = 1;
        f.wrongLength.count = 1;
        f.slowReply.count = 1;
        f.slowDelayMs = 1500;
        unit.engine().setFaults(f, 1);
        Tool tool;
        unit.attach(tool.wire);
        QVector<QByteArray> r = tool.exchange(bytesOf({19}));
        QVERIFY(r.isEmpty()); // 1.5 s of silence: the tool gave up
        tool.wire.advance(1000);
        CLLProtocolPacket late;
        QVERIFY(tool.receive(late));
        QCOMPARE(late.GetPacketId(), UINT16(0x0114));
        QCOMPARE(late.DataLen(), UINT16(27));
    }
}

void TestDevSimEngine::unplugAfterRequests()
{
    CDevSimLoopback unit;
    SDevSimFaults f;
    f.unplugAfterPackets = 2;
    unit.engine().setFaults(f, 1);
    Tool tool;
    unit.attach(tool.wire);
    QCOMPARE(tool.exchange(bytesOf({1})).size(), 1);
    QCOMPARE(tool.exchange(bytesOf({14})).size(), 1);
    QVERIFY(tool.exchange(bytesOf({1})).isEmpty());
    QVERIFY(!unit.engine().present());
    tool.wire.advance(60000);
    QVERIFY(!unit.engine().present());
}

void TestDevSimEngine::garbageNeverCrashes()
{
    LogCapture quiet; // the unit's parser reports every lost byte
    CDevSimLoopback unit;
    CLoopbackWire wire;
    unit.attach(wire);
    quint32 x = 12345;
    for (int round = 0; round < 2000; ++round) {
        QByteArray noise;
        const int n = int(x % 64) + 1;
        for (int i = 0; i < n; ++i) {
            x = x * 1103515245u + 12345u;
            noise.append(char(x >> 16));
        }
        // Sprinkle real packets with random codes and lengths between the noise.
        if (round % 3 == 0) {
            CLLProtocolPacket p;
            QByteArray data(int(x % 201), '\0');
            for (int i = 0; i < data.size(); ++i)
                data[i] = char((x >> (i % 24)) + i);
            if (!data.isEmpty())
                data[0] = char(x % 32);
            p.SetPacket(LLC_HLP, x & 1, false, false, UINT16(data.size()), data.constData());
            CLLProtocolPacket copy = p;
            for (int c = 0;; ++c) {
                UINT16 len = 0;
                const UINT8* bytes = copy.GetChunk(c, len);
                if (!bytes)
                    break;
                noise.append(reinterpret_cast<const char*>(bytes), len);
            }
        }
        wire.Send(noise.constData(), UINT16(noise.size()));
        wire.advance(int(x % 50));
        UINT16 len = 0;
        while (wire.Read(len)) {
        }
    }
    QVERIFY(unit.engine().present());
}

QTEST_GUILESS_MAIN(TestDevSimEngine)
#include "tst_devsimengine.moc"
