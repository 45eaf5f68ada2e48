#include "link/debugmessage.h"
#include "link/llprotocol.h"
#include "logcapture.h"
#include "scriptedpeer.h"

#include <QTextEdit>
#include <QtTest>

namespace {
CLLProtocolPacket request(UINT8 code, bool repeat = false)
{
    CLLProtocolPacket packet;
    packet.SetPacketByte(LLC_HLP, repeat, code);
    return packet;
}

CLLProtocolPacket parsed(const QByteArray& bytes)
{
    CLLProtocolPacket packet;
    UINT16 len = UINT16(bytes.size());
    packet.PacketFromBuffer(bytes.constData(), len);
    return packet;
}

QByteArray withBadCrc(QByteArray packet)
{
    packet[packet.size() - 1] = char(packet[packet.size() - 1] ^ 0x5A);
    return packet;
}
} // namespace

class tst_LLProtocol : public QObject
{
    Q_OBJECT

private slots:
    void replyInTheSameReadAsItsAck();
    void debugPacketWhileWaitingForAck();
    void corruptDebugPacketEndsTheWait();
    void noAckReturnsAfterWriting();
    void repeatAgainstSilentPeer();
    void nonAckPacketIsDroppedAndResent();
    void failedChunkWritesAreRetried();
    void receiveAgainstSilence();
    void receiveRejectsOutOfPlaceAck();
    void receiveOfPartialPacketNamesTheState();
    void idleLimitMeasuresSilence();
    void failedSendDrainsLateBytes();
    void debugOutputCannotHoldAnExchange_data();
    void debugOutputCannotHoldAnExchange();
    void debugMessages_data();
    void debugMessages();
    void debugMessagesWithoutOutput();
};

void tst_LLProtocol::replyInTheSameReadAsItsAck()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    peer.autoAck = false;
    peer.onPacket = [](CLoopbackWire& w, const HostPacket& p) {
        if (!p.isAck())
            w.deliver(ackPacket() + hlpReply(0x0E, QByteArray(7, '\x11')));
    };
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    auto req = request(14, true);
    LogCapture log;
    QCOMPARE(protocol.Send(req), CLLProtocol::RC_OK);
    QVERIFY(log.contains("Received ACK packet"));
    QCOMPARE(log.countExact("Unused bytes left over!... 18"), 1);

    CLLProtocolPacket reply;
    QCOMPARE(protocol.Receive(reply), CLLProtocol::RC_OK);
    QCOMPARE(int(reply.GetPacketId()), 0x010E);
    QCOMPARE(int(reply.DataLen()), 8);
    // The host acknowledged the reply with a ten-byte ACK.
    QCOMPARE(peer.received.size(), 2);
    QVERIFY(peer.received[1].isAck());
    QVERIFY(wire.sent().endsWith(ackPacket()));
    QVERIFY(log.contains("Sending completed with success code:  true"));
}

void tst_LLProtocol::debugPacketWhileWaitingForAck()
{
    QTextEdit view;
    view.setPlainText("log: ");
    CLoopbackWire wire;
    ScriptedPeer peer;
    peer.autoAck = false;
    peer.onPacket = [](CLoopbackWire& w, const HostPacket&) {
        w.deliver(debugTextPacket("Boot ok\n") + debugNumberPacket(-1), 5);
        w.deliver(ackPacket(), 20);
    };
    wire.setPeer(&peer);
    CLLProtocol protocol(wire, &view);
    auto req = request(22);
    LogCapture log;
    QCOMPARE(protocol.Send(req), CLLProtocol::RC_OK);
    QCOMPARE(view.toPlainText(), QString("log: Boot ok\n-1"));
    QVERIFY(log.contains("Debug message received:  \"Boot ok\\n\""));
    // Debug packets are never acknowledged.
    QCOMPARE(peer.acksReceived(), 0);
}

void tst_LLProtocol::corruptDebugPacketEndsTheWait()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    peer.autoAck = false;
    peer.onPacket = [](CLoopbackWire& w, const HostPacket&) {
        w.deliver(withBadCrc(debugTextPacket("x")) + ackPacket());
    };
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    auto req = request(22);
    LogCapture log;
    QCOMPARE(protocol.Send(req), CLLProtocol::RC_FAILED);
    QCOMPARE(log.countExact("Received packet corrupt."), 1);
    QCOMPARE(log.countExact("Did not receive ACK packet\n"), 1);
}

void tst_LLProtocol::noAckReturnsAfterWriting()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    peer.autoAck = false;
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    auto req = request(17, true);
    req.SetNoAckExpected();
    QCOMPARE(protocol.Send(req), CLLProtocol::RC_OK);
    QCOMPARE(peer.received.size(), 1);
    QVERIFY(peer.received[0].flags & LLF_NO_ACK);
    QCOMPARE(wire.now(), qint64(0));
}

void tst_LLProtocol::repeatAgainstSilentPeer()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    peer.autoAck = false;
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    LogCapture log;
    auto req = request(1, true);
    QCOMPARE(protocol.Send(req), CLLProtocol::RC_FAILED);
    QCOMPARE(peer.countCode(1), 3);
    QVERIFY(wire.now() >= 3000 && wire.now() <= 3010);
    QCOMPARE(log.countExact("Sending packet...: 0"), 1);
    QCOMPARE(log.countExact("Sending packet...: 2"), 1);
    QCOMPARE(log.countExact("Did not receive ACK packet\n"), 1);

    // Without the repeat flag: one attempt.
    peer.received.clear();
    auto once = request(1, false);
    QCOMPARE(protocol.Send(once), CLLProtocol::RC_FAILED);
    QCOMPARE(peer.countCode(1), 1);
}

void tst_LLProtocol::nonAckPacketIsDroppedAndResent()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    peer.autoAck = false;
    int seen = 0;
    peer.onPacket = [&seen](CLoopbackWire& w, const HostPacket&) {
        w.deliver(++seen == 1 ? hlpReply(0x55) : ackPacket());
    };
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    LogCapture log;
    auto req = request(13, true);
    QCOMPARE(protocol.Send(req), CLLProtocol::RC_OK);
    QCOMPARE(log.countExact("Received non-ACK packet"), 1);
    QCOMPARE(peer.countCode(13), 2);
}

void tst_LLProtocol::failedChunkWritesAreRetried()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    {
        LogCapture log;
        wire.failNextSends(2);
        auto req = request(13, true);
        QCOMPARE(protocol.Send(req), CLLProtocol::RC_OK);
        QCOMPARE(log.countExact("CLLProtocol::Send: m_Wire.Send failed! Chunk:  0"), 2);
        QCOMPARE(wire.now() >= 2000, true);
        QCOMPARE(peer.countCode(13), 1);
    }
    {
        // One attempt, one write per chunk: a single failure ends the send.
        LogCapture log;
        wire.failNextSends(1);
        auto req = request(13, false);
        QCOMPARE(protocol.Send(req), CLLProtocol::RC_FAILED);
        QCOMPARE(peer.countCode(13), 1);
    }
    {
        // Three failures of one chunk use up an attempt; the next one starts with the header.
        LogCapture log;
        peer.received.clear();
        wire.failNextSends(3);
        auto req = request(13, true);
        QCOMPARE(protocol.Send(req), CLLProtocol::RC_OK);
        QCOMPARE(log.countExact("Sending packet...: 1"), 1);
        QCOMPARE(peer.countCode(13), 1);
    }
}

void tst_LLProtocol::receiveAgainstSilence()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    LogCapture log;
    CLLProtocolPacket reply;
    QCOMPARE(protocol.Receive(reply), CLLProtocol::RC_FAILED);
    QVERIFY(log.contains("Try to receicve packet..."));
    QCOMPARE(log.countExact("Packet not completlely received."), 1);
    QCOMPARE(log.countExact("CLLProtocolPacket::RS_READING_NOT_STARTED"), 1);
    QCOMPARE(log.countExact("Receive failed."), 1);
    QCOMPARE(peer.received.size(), 0);
    QCOMPARE(wire.now(), qint64(1000));
}

void tst_LLProtocol::receiveRejectsOutOfPlaceAck()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    wire.setPeer(&peer);
    wire.deliver(ackPacket());
    CLLProtocol protocol(wire);
    LogCapture log;
    CLLProtocolPacket reply;
    QCOMPARE(protocol.Receive(reply), CLLProtocol::RC_FAILED);
    QCOMPARE(log.countExact("Received out-of place ACK package."), 1);
    QVERIFY(reply.IsAck());
    QCOMPARE(peer.received.size(), 0);
}

void tst_LLProtocol::receiveOfPartialPacketNamesTheState()
{
    CLoopbackWire wire;
    const QByteArray reply = hlpReply(0x13, QByteArray(27, '\x01'));
    wire.deliver(reply.left(12));
    wire.deliver(reply.mid(12, 3), 500); // more bytes: the silence starts again
    CLLProtocol protocol(wire);
    LogCapture log;
    CLLProtocolPacket packet;
    QCOMPARE(protocol.Receive(packet), CLLProtocol::RC_FAILED);
    QCOMPARE(log.countExact("CLLProtocolPacket::RS_DATA_STARTED"), 1);
    QVERIFY(wire.now() >= 1499);
}

void tst_LLProtocol::idleLimitMeasuresSilence()
{
    // A reply trickling in, 900 ms between pieces, still arrives: the limit counts silence.
    CLoopbackWire wire;
    const QByteArray reply = hlpReply(0x0C, QByteArray(50, '\x07'));
    for (int i = 0; i < reply.size(); i += 20)
        wire.deliver(reply.mid(i, 20), 900 * (i / 20 + 1));
    CLLProtocol protocol(wire);
    LogCapture log;
    CLLProtocolPacket packet;
    QCOMPARE(protocol.Receive(packet), CLLProtocol::RC_OK);
    QCOMPARE(int(packet.GetPacketId()), 0x010C);
    QVERIFY(wire.now() >= 2700);
}

void tst_LLProtocol::failedSendDrainsLateBytes()
{
    CLoopbackWire wire;
    ScriptedPeer peer;
    peer.autoAck = false;
    peer.onPacket = [](CLoopbackWire& w, const HostPacket&) {
        w.deliver(hlpReply(0x30)); // never an ACK
    };
    wire.setPeer(&peer);
    CLLProtocol protocol(wire);
    LogCapture log;
    auto req = request(13, false);
    QCOMPARE(protocol.Send(req), CLLProtocol::RC_FAILED);
    wire.deliver(QByteArray(600, '\x42'));
    auto again = request(13, false);
    QCOMPARE(protocol.Send(again), CLLProtocol::RC_FAILED);
    QCOMPARE(wire.pending(), qint64(0));
}

void tst_LLProtocol::debugOutputCannotHoldAnExchange_data()
{
    QTest::addColumn<bool>("send");
    QTest::addColumn<int>("answerAfterMs"); // -1: never
    QTest::addRow("send, debug output without end") << true << -1;
    QTest::addRow("receive, debug output without end") << false << -1;
    QTest::addRow("send, ACK after 40 s of debug output") << true << 40000;
    QTest::addRow("receive, reply after 40 s of debug output") << false << 40000;
}

void tst_LLProtocol::debugOutputCannotHoldAnExchange()
{
    QFETCH(bool, send);
    QFETCH(int, answerAfterMs);
    // Every debug packet restarts the silence count; only the overall limit ends the wait.
    CLoopbackWire wire;
    const int debugUntilMs = answerAfterMs < 0 ? 600000 : answerAfterMs;
    for (int at = 0; at < debugUntilMs; at += 500)
        wire.deliver(debugTextPacket("erasing"), at);
    if (answerAfterMs >= 0)
        wire.deliver(send ? ackPacket() : hlpReply(0x0C, "x"), answerAfterMs);
    CLLProtocol protocol(wire);
    LogCapture log;
    auto packet = request(13, true);
    const auto rc = send ? protocol.Send(packet) : protocol.Receive(packet);
    if (answerAfterMs >= 0) {
        QCOMPARE(rc, CLLProtocol::RC_OK);
        return;
    }
    QCOMPARE(rc, CLLProtocol::RC_FAILED);
    QCOMPARE(log.countExact("Exchange given up after 60000 ms of waiting."), 1);
    QCOMPARE(wire.now(), qint64(CLLProtocol::kExchangeLimitMs));
    // No further attempt follows a wait that used up the limit; a failed receive sends no ACK.
    QCOMPARE(wire.sent(), send ? wirePacket(LLC_HLP, LLF_REPEAT, QByteArray(1, '\x0D')) : "");
}

void tst_LLProtocol::debugMessages_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("shown");
    QTest::addRow("text") << debugTextPacket("Boot ok") << "Boot ok";
    QTest::addRow("text stops at zero") << debugTextPacket(QByteArray("ab\0cd", 5)) << "ab";
    QTest::addRow("text without zero") << debugTextPacket("tail", false) << "tail";
    QTest::addRow("utf-8") << debugTextPacket("Au\xc3\x9f"
                                              "en")
                           << QString::fromUtf8("Au\xc3\x9f"
                                                "en");
    QTest::addRow("number -1") << wirePacket(LLC_DEBUG, 0, QByteArray::fromHex("01FFFFFFFF"))
                               << "-1";
    QTest::addRow("number max") << debugNumberPacket(2147483647) << "2147483647";
    QTest::addRow("number too short")
        << wirePacket(LLC_DEBUG, 0, QByteArray::fromHex("01FF")) << "";
    QTest::addRow("type 3") << wirePacket(LLC_DEBUG, 0, QByteArray::fromHex("03414243")) << "";
    QTest::addRow("no data") << wirePacket(LLC_DEBUG, 0, {}) << "";
}

void tst_LLProtocol::debugMessages()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, shown);
    QTextEdit view;
    auto p = parsed(packet);
    LogCapture log;
    QVERIFY(ProcessDebugMsg(p, &view));
    QCOMPARE(view.toPlainText(), shown);
    QCOMPARE(log.countExact(QString("Debug message received:  \"%1\"").arg(shown)), 1);
    QCOMPARE(int(p.GetReadState()), 0);
}

void tst_LLProtocol::debugMessagesWithoutOutput()
{
    auto text = parsed(debugTextPacket("hidden"));
    LogCapture log;
    QVERIFY(ProcessDebugMsg(text, nullptr));
    QCOMPARE(log.countExact("Debug message received:  \"\""), 1);

    // Not a debug packet, or not a correct one: left untouched.
    auto reply = parsed(hlpReply(2));
    QVERIFY(!ProcessDebugMsg(reply, nullptr));
    QCOMPARE(int(reply.GetReadState()), 6);
    auto corrupt = parsed(withBadCrc(debugTextPacket("x")));
    QVERIFY(!ProcessDebugMsg(corrupt, nullptr));
    QCOMPARE(int(corrupt.GetReadState()), 7);
}

QTEST_MAIN(tst_LLProtocol)
#include "tst_llprotocol.moc"
