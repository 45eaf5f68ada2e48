// The built-in firmware images, uploaded to the simulated bootloader as the device object
// sends them, arrive byte for byte and pass the bootloader's block checks.

#include "devsimclient.h"
#include "engine/devsimloopback.h"
#include "logcapture.h"

#include "firmware/flashimagelist.h"

#include <QtTest>

namespace {
struct LoopbackLine
{
    CLoopbackWire wire;
};
struct Tool : LoopbackLine, DevSimClient
{
    Tool() : DevSimClient(LoopbackLine::wire) {}
};
} // namespace

class TestDevSimImages : public QObject
{
    Q_OBJECT

private slots:
    void builtInImagesFlashCleanly_data();
    void builtInImagesFlashCleanly();
};

void TestDevSimImages::builtInImagesFlashCleanly_data()
{
    QTest::addColumn<int>("index");
    const CFlashImageList list;
    QCOMPARE(list.images().size(), 6);
    for (int i = 0; i < list.images().size(); ++i)
        QTest::addRow("image %d type %d", i + 1, list.images()[i].m_Type) << i;
}

void TestDevSimImages::builtInImagesFlashCleanly()
{
    QFETCH(int, index);
    const CFlashImageList list;
    const CFlashImage& image = list.images()[index];
    SDevSimIdentity id;
    id.partner = image.m_Type == 1 ? 2 : 1; // the running copy cannot be written
    id.model = image.m_System == CFlashImage::ESystemPlus ? SDevSimIdentity::EModelPlus
                                                          : SDevSimIdentity::EModel100;
    LogCapture quiet; // a line per packet sent and acknowledged
    CDevSimLoopback unit(id);
    Tool tool;
    unit.attach(tool.wire);

    QVERIFY(tool.send(bytesOf({4}), LLF_REPEAT));
    const int sentType = image.m_Type == 5 ? 4 : image.m_Type;
    for (const SMemBlock& b : image.m_MemBlocks)
        QVERIFY(uploadBlock(tool, b.m_MemAdr, b.m_PlainLen, b.m_BlockData, b.m_CRC16, sentType,
                            image.m_MainVer, image.m_SubVer, UINT32(image.m_StartAdr),
                            image.m_Encryption != 0));
    QVERIFY(tool.send(bytesOf({5}), LLF_REPEAT));

    QVERIFY2(unit.unit().flash().violations().isEmpty(),
             qPrintable(unit.unit().flash().violations().join(" | ")));
    const auto& flashed = unit.unit().flash().images();
    QCOMPARE(flashed.size(), 1);
    QVERIFY(flashed[0].complete);
    QCOMPARE(flashed[0].type, sentType);
    QCOMPARE(flashed[0].blocks.size(), image.m_MemBlocks.size());
    for (int k = 0; k < flashed[0].blocks.size(); ++k) {
        QCOMPARE(flashed[0].blocks[k].memAdr, image.m_MemBlocks[k].m_MemAdr);
        QCOMPARE(flashed[0].blocks[k].plainLen, image.m_MemBlocks[k].m_PlainLen);
        QCOMPARE(flashed[0].blocks[k].data, image.m_MemBlocks[k].m_BlockData);
    }
    // The unit reports the written version.
    const SDevSimIdentity& now = unit.unit().identity();
    if (sentType == 3)
        QCOMPARE(int(now.applMain) * 100 + now.applSub, image.m_MainVer * 100 + image.m_SubVer);
    if (sentType == 4)
        QCOMPARE(int(now.wifiMain) * 100 + now.wifiSub, image.m_MainVer * 100 + image.m_SubVer);
    if (sentType <= 2)
        QCOMPARE(unit.unit().bootVersion(sentType), image.m_MainVer * 100 + image.m_SubVer);
}

QTEST_GUILESS_MAIN(TestDevSimImages)
#include "tst_devsimimages.moc"
