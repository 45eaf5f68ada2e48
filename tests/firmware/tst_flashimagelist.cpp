#include "firmware/flashimagelist.h"
#include "link/llprotocolpacket.h"
#include "logcapture.h"

#include <QFile>
#include <QResource>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

namespace {

// A well-formed image with three blocks, as text, so each test row can break one thing.
struct IniParts
{
    QString general = "Type=1\nMainVer=2\nSubVer=24\nStartAdr=1124\nEncryption=1\n";
    QString blocks[3] = {
        "1\\MemAdr=0\n1\\PlainLen=2\n1\\Data=@ByteArray(abcdefgh)\n1\\CRC16=4660\n",
        "2\\MemAdr=20\n2\\PlainLen=14\n2\\Data=@ByteArray(0123456789abcdef)\n2\\CRC16=0\n",
        "3\\MemAdr=36\n3\\PlainLen=8\n3\\Data=@ByteArray(ABCDEFGH)\n3\\CRC16=65535\n",
    };
    QString size = "size=3\n";

    QByteArray text() const
    {
        return ("[General]\n" + general + "\n[MemBlocks]\n" + blocks[0] + blocks[1] + blocks[2] +
                size)
            .toUtf8();
    }
};

QString drop(QString text, const QString& key)
{
    QStringList lines = text.split('\n');
    for (int i = lines.size() - 1; i >= 0; --i) {
        if (lines[i].startsWith(key + '='))
            lines.removeAt(i);
    }
    return lines.join('\n');
}

QString set(QString text, const QString& key, const QString& value)
{
    return drop(text, key) + key + '=' + value + '\n';
}

struct BlockLayout
{
    UINT32 memAdr;
    UINT32 plainLen;
};

struct BuiltIn
{
    const char* path;
    int system;
    int type;
    int mainVer;
    int subVer;
    int startAdr;
    std::vector<BlockLayout> blocks;
};

const std::vector<BlockLayout> kBootHead = {
    {0, 2},  {20, 14}, {36, 2},   {44, 2},   {50, 2},     {60, 2},
    {66, 2}, {94, 2},  {128, 20}, {192, 14}, {280, 2792}, {3318, 777},
};

std::vector<BlockLayout> boot(std::vector<BlockLayout> tail)
{
    std::vector<BlockLayout> blocks = kBootHead;
    blocks.insert(blocks.end(), tail.begin(), tail.end());
    return blocks;
}

} // namespace

class TestFlashImageList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_Dir.isValid()); }

    void loadImageCodes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("expected");
        const IniParts ok;
        auto withGeneral = [&](const QString& general) {
            IniParts p = ok;
            p.general = general;
            return p.text();
        };
        auto withBlock = [&](int index, const QString& block) {
            IniParts p = ok;
            p.blocks[index] = block;
            return p.text();
        };
        QTest::addRow("well-formed") << ok.text() << 0;
        QTest::addRow("empty file") << QByteArray() << -1;
        QTest::addRow("binary junk") << QByteArray("\x00\xff[\x01=\n\x80", 7) << -1;
        QTest::addRow("Type missing") << withGeneral(drop(ok.general, "Type")) << -1;
        QTest::addRow("Type 0") << withGeneral(set(ok.general, "Type", "0")) << -2;
        QTest::addRow("Type not a number") << withGeneral(set(ok.general, "Type", "abc")) << -2;
        QTest::addRow("Type 6") << withGeneral(set(ok.general, "Type", "6")) << -3;
        QTest::addRow("MainVer missing") << withGeneral(drop(ok.general, "MainVer")) << -4;
        QTest::addRow("MainVer 256") << withGeneral(set(ok.general, "MainVer", "256")) << -5;
        QTest::addRow("MainVer -1") << withGeneral(set(ok.general, "MainVer", "-1")) << -5;
        QTest::addRow("SubVer missing") << withGeneral(drop(ok.general, "SubVer")) << -6;
        QTest::addRow("SubVer 300") << withGeneral(set(ok.general, "SubVer", "300")) << -7;
        QTest::addRow("StartAdr missing") << withGeneral(drop(ok.general, "StartAdr")) << -8;
        QTest::addRow("Encryption missing") << withGeneral(drop(ok.general, "Encryption")) << -9;
        QTest::addRow("Encryption 2") << withGeneral(set(ok.general, "Encryption", "2")) << -10;
        IniParts negative = ok;
        negative.size = "size=-1\n";
        QTest::addRow("negative block count") << negative.text() << -11;
        // The count is the file's word only: a huge one must fail at the first missing block,
        // not try to set aside room for two billion blocks first.
        IniParts huge = ok;
        huge.size = "size=2000000000\n";
        QTest::addRow("block count beyond the blocks") << huge.text() << -12;
        QTest::addRow("MemAdr missing in block 2")
            << withBlock(1, drop(ok.blocks[1], "2\\MemAdr")) << -12;
        QTest::addRow("PlainLen missing") << withBlock(0, drop(ok.blocks[0], "1\\PlainLen")) << -13;
        QTest::addRow("Data missing") << withBlock(2, drop(ok.blocks[2], "3\\Data")) << -14;
        QTest::addRow("CRC16 missing in block 3")
            << withBlock(2, drop(ok.blocks[2], "3\\CRC16")) << -15;
        QTest::addRow("CRC16 65536") << withBlock(1, set(ok.blocks[1], "2\\CRC16", "65536")) << -16;
        QTest::addRow("CRC16 -1") << withBlock(1, set(ok.blocks[1], "2\\CRC16", "-1")) << -16;
        // The checks run in file order: the first failure decides.
        QTest::addRow("Type 6 and MainVer missing")
            << withGeneral(drop(set(ok.general, "Type", "6"), "MainVer")) << -3;
        QTest::addRow("data shorter than plain length")
            << withBlock(0, set(ok.blocks[0], "1\\PlainLen", "9")) << -17;
        QTest::addRow("negative plain length")
            << withBlock(0, set(ok.blocks[0], "1\\PlainLen", "-1")) << -17;
    }

    void loadImageCodes()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, expected);
        const QString path = writeFile(QTest::currentDataTag(), text);
        CFlashImage image;
        QCOMPARE(CFlashImageList::loadImage(image, path, CFlashImage::ESystemPlus), expected);
        QCOMPARE(image.m_System, int(CFlashImage::ESystemPlus));
    }

    void loadImageFields()
    {
        const QString path = writeFile("fields", IniParts().text());
        CFlashImage image;
        image.m_MemBlocks.append(SMemBlock{}); // left over from earlier use: must go
        QCOMPARE(CFlashImageList::loadImage(image, path, 3), 0);
        QCOMPARE(image.m_Type, 1);
        QCOMPARE(image.m_System, 3);
        QCOMPARE(int(image.m_MainVer), 2);
        QCOMPARE(int(image.m_SubVer), 24);
        QCOMPARE(image.m_StartAdr, 1124);
        QCOMPARE(image.m_Encryption, 1);
        QCOMPARE(image.m_MemBlocks.size(), 3);
        QCOMPARE(image.m_MemBlocks[1].m_MemAdr, 20u);
        QCOMPARE(image.m_MemBlocks[1].m_PlainLen, 14u);
        QCOMPARE(image.m_MemBlocks[1].m_BlockData, QByteArray("0123456789abcdef"));
        QCOMPARE(int(image.m_MemBlocks[0].m_CRC16), 4660);
        QCOMPARE(int(image.m_MemBlocks[2].m_CRC16), 65535);
    }

    void loadImageWithoutBlocks()
    {
        IniParts parts;
        for (QString& block : parts.blocks)
            block.clear();
        parts.size = "size=0\n";
        CFlashImage image;
        QCOMPARE(CFlashImageList::loadImage(image, writeFile("noblocks", parts.text()), 1), 0);
        QCOMPARE(image.m_Type, 1);
        QVERIFY(image.m_MemBlocks.isEmpty());
    }

    void builtInImages_data()
    {
        QTest::addColumn<int>("index");
        const std::vector<BuiltIn>& all = builtIns();
        for (size_t i = 0; i < all.size(); ++i)
            QTest::addRow("%s", all[i].path) << int(i);
    }

    void builtInImages()
    {
        QFETCH(int, index);
        const BuiltIn& want = builtIns()[size_t(index)];
        const CFlashImageList list;
        QCOMPARE(list.images().size(), 6);
        const CFlashImage& image = list.images()[index];
        QCOMPARE(image.m_Type, want.type);
        QCOMPARE(image.m_System, want.system);
        QCOMPARE(int(image.m_MainVer), want.mainVer);
        QCOMPARE(int(image.m_SubVer), want.subVer);
        QCOMPARE(image.m_StartAdr, want.startAdr);
        QCOMPARE(image.m_Encryption, 1);
        QCOMPARE(size_t(image.m_MemBlocks.size()), want.blocks.size());
        for (size_t i = 0; i < want.blocks.size(); ++i) {
            const SMemBlock& block = image.m_MemBlocks[int(i)];
            QCOMPARE(block.m_MemAdr, want.blocks[i].memAdr);
            QCOMPARE(block.m_PlainLen, want.blocks[i].plainLen);
            QCOMPARE(UINT32(block.m_BlockData.size()), (want.blocks[i].plainLen + 7) / 8 * 8);
            QCOMPARE(block.m_CRC16,
                     CLLProtocolPacket::CalcCrc16(block.m_BlockData.constData(), block.m_PlainLen));
        }
        // Only the WiFi module image is stored compressed, and with zlib.
        const QResource resource(want.path);
        QVERIFY(resource.isValid());
        const bool wifi = QByteArray(want.path).endsWith("/cc3200.ini");
        QCOMPARE(resource.compressionAlgorithm(),
                 wifi ? QResource::ZlibCompression : QResource::NoCompression);
    }

    void builtInListLogsNothing()
    {
        LogCapture log;
        const CFlashImageList list;
        QCOMPARE(log.count("Could not read from Resources"), 0);
    }

    void find_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("system");
        QTest::addColumn<int>("expectedIndex"); // -1: none
        QTest::addRow("plus application") << 3 << int(CFlashImage::ESystemPlus) << 3;
        QTest::addRow("100 application") << 3 << int(CFlashImage::ESystem100) << 2;
        QTest::addRow("bootloader 1 for plus") << 1 << int(CFlashImage::ESystemPlus) << 0;
        QTest::addRow("bootloader 2 for 100") << 2 << int(CFlashImage::ESystem100) << 1;
        QTest::addRow("WiFi for plus") << 4 << int(CFlashImage::ESystemPlus) << -1;
        QTest::addRow("bridge for 100") << 5 << int(CFlashImage::ESystem100) << 5;
        QTest::addRow("unknown type") << 6 << 3 << -1;
        QTest::addRow("no variant bit") << 3 << 0 << -1;
    }

    void find()
    {
        QFETCH(int, type);
        QFETCH(int, system);
        QFETCH(int, expectedIndex);
        const CFlashImageList list;
        const CFlashImage* found = list.find(type, system);
        if (expectedIndex < 0)
            QCOMPARE(found, nullptr);
        else
            QCOMPARE(found, &list.images()[expectedIndex]);
    }

private:
    QString writeFile(const QString& name, const QByteArray& text)
    {
        // A fresh name per call: QSettings keeps parsed files for the life of the process.
        const QString path = m_Dir.filePath(
            QString("%1-%2.ini").arg(++m_Files).arg(QString(name).replace(QChar(' '), QChar('_'))));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static const std::vector<BuiltIn>& builtIns()
    {
        static const std::vector<BuiltIn> all = {
            {":/Images/Bootloader1.ini", 3, 1, 2, 24, 1124,
             boot({{8192, 11943}, {20136, 187}, {20324, 92}})},
            {":/Images/Bootloader2.ini", 3, 2, 2, 24, 1124,
             boot({{21504, 12167}, {33672, 187}, {33860, 92}})},
            {":/Images/Application.ini",
             1,
             3,
             2,
             24,
             39327,
             {{34816, 28473}, {65534, 27643}, {93178, 106}}},
            {":/Images/ventaroplus.ini",
             2,
             3,
             2,
             24,
             40061,
             {{34816, 389}, {35206, 3353}, {38560, 25098}, {65534, 14903}, {80438, 212}}},
            {":/Images/cc3200.ini", 1, 4, 3, 11, 0, {{0, 94838}}},
            {":/Images/cc3200_bridge.ini", 1, 5, 3, 11, 0, {{0, 30012}}},
        };
        return all;
    }

    QTemporaryDir m_Dir;
    int m_Files = 0;
};

QTEST_GUILESS_MAIN(TestFlashImageList)
#include "tst_flashimagelist.moc"
