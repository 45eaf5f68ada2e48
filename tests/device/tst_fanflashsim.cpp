// Flashing the built-in images into the simulated unit through the device object: what the
// unit's bootloader reassembles must equal the image blocks byte for byte.
#include "engine/devsimloopback.h"
#include "logcapture.h"

#include "device/fan.h"
#include "device/fan_70_pc.h"
#include "firmware/flashimagelist.h"

#include <QtTest>

#include <memory>

namespace {

struct FanOnSim
{
    CDevSimLoopback sim;
    std::unique_ptr<CFanBase> fan;

    FanOnSim(const SDevSimIdentity& id) : sim(id)
    {
        if (id.plus())
            fan = std::make_unique<CFan_70_PC>();
        else
            fan = std::make_unique<CFan>();
        auto wire = std::make_unique<CLoopbackWire>();
        sim.attach(*wire);
        fan->connectWire(std::move(wire));
    }
};

} // namespace

class TestFanFlashSim : public QObject
{
    Q_OBJECT

private slots:
    void uploadBuiltInImage_data();
    void uploadBuiltInImage();
    void bootloaderUpdate();
};

void TestFanFlashSim::uploadBuiltInImage_data()
{
    QTest::addColumn<int>("index");
    const CFlashImageList list;
    QCOMPARE(list.images().size(), 6);
    for (int i = 0; i < list.images().size(); ++i)
        QTest::addRow("%s", CFlashImageList::kResources[i].path) << i;
}

void TestFanFlashSim::uploadBuiltInImage()
{
    QFETCH(int, index);
    const CFlashImageList list;
    const CFlashImage& image = list.images()[index];
    const bool plus = image.m_System == CFlashImage::ESystemPlus;
    SDevSimIdentity id;
    id.model = plus ? SDevSimIdentity::EModelPlus : SDevSimIdentity::EModel100;
    id.partner = image.m_Type == CPartitionTable::EBootloader1 ? 2 : 1; // not the running copy
    FanOnSim d(id);
    LogCapture quiet;

    QVERIFY(d.fan->uploadImage(plus ? CFlashImage::ESystemPlus : CFlashImage::ESystem100,
                               CPartitionTable::EPartType(image.m_Type), SUploadObserver(), false));

    const CDevSimFlash& flash = d.sim.unit().flash();
    QVERIFY2(flash.violations().isEmpty(), qPrintable(flash.violations().join(" | ")));
    QCOMPARE(flash.images().size(), 1);
    const SDevSimFlashedImage& written = flash.images().first();
    QVERIFY(written.complete);
    QCOMPARE(written.type, image.m_Type == CPartitionTable::ECC3200Bridge ? 4 : image.m_Type);
    QCOMPARE(int(written.mainVer), int(image.m_MainVer));
    QCOMPARE(int(written.subVer), int(image.m_SubVer));
    QCOMPARE(written.startAdr, UINT32(image.m_StartAdr));
    QCOMPARE(written.blocks.size(), image.m_MemBlocks.size());
    for (int k = 0; k < written.blocks.size(); ++k) {
        const SMemBlock& block = image.m_MemBlocks[k];
        QVERIFY(written.blocks[k].complete);
        QVERIFY(written.blocks[k].appFlag);
        QCOMPARE(written.blocks[k].memAdr, block.m_MemAdr);
        QCOMPARE(written.blocks[k].plainLen, block.m_PlainLen);
        QCOMPARE(written.blocks[k].crc16, block.m_CRC16);
        QCOMPARE(written.blocks[k].data, block.m_BlockData);
    }
}

// The update's bootloader steps: the idle copy is written, the copies swapped, the start-up
// mode set; the partition table then reports the new version.
void TestFanFlashSim::bootloaderUpdate()
{
    SDevSimIdentity id;
    id.partner = 1;
    FanOnSim d(id);
    LogCapture log;
    QVERIFY(d.fan->uploadImage(CFlashImage::ESystem100, CPartitionTable::EBootloader2,
                               SUploadObserver(), false));
    QVERIFY(d.fan->swapBootloaders());
    QCOMPARE(log.count("Swap return code: "), 1);

    CPartitionTable::SPartition table[CPartitionTable::kEntries];
    QVERIFY(d.fan->getPartitionTable(table));
    bool found = false;
    for (const auto& entry : table) {
        if (entry.m_Type == CPartitionTable::EBootloader2) {
            found = true;
            QCOMPARE(int(entry.m_MainVer) * 100 + entry.m_SubVer, 224);
        }
    }
    QVERIFY(found);

    QVERIFY(d.fan->setStartupMode(1));
    QCOMPARE(int(d.sim.unit().startupMode()), 1);
    QCOMPARE(d.sim.unit().startRequests(), 1);
}

QTEST_MAIN(TestFanFlashSim)
#include "tst_fanflashsim.moc"
