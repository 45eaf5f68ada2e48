// Writes the six synthetic firmware images that are built into the tool when no vendor images
// are given. Each file has the layout of the vendor image it stands in for (type, version,
// start address, encryption flag, block addresses and plain lengths) but pseudo-random content
// from a fixed seed, so the output is the same on every run and every machine.
//
//   ventaro-imagegen <output folder>

#include "link/llprotocolpacket.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

struct BlockLayout
{
    UINT32 memAdr;
    UINT32 plainLen;
};

struct ImageLayout
{
    const char* fileName;
    int type;
    int mainVer;
    int subVer;
    int startAdr;
    int encryption;
    std::vector<BlockLayout> blocks;
};

// The first twelve blocks are shared by both bootloader copies.
const std::vector<BlockLayout> kBootHead = {
    {0, 2},  {20, 14}, {36, 2},   {44, 2},   {50, 2},     {60, 2},
    {66, 2}, {94, 2},  {128, 20}, {192, 14}, {280, 2792}, {3318, 777},
};

std::vector<BlockLayout> bootBlocks(std::vector<BlockLayout> tail)
{
    std::vector<BlockLayout> blocks = kBootHead;
    blocks.insert(blocks.end(), tail.begin(), tail.end());
    return blocks;
}

const std::vector<ImageLayout> kImages = {
    {"Bootloader1.ini", 1, 2, 24, 1124, 1, bootBlocks({{8192, 11943}, {20136, 187}, {20324, 92}})},
    {"Bootloader2.ini", 2, 2, 24, 1124, 1, bootBlocks({{21504, 12167}, {33672, 187}, {33860, 92}})},
    {"Application.ini", 3, 2, 24, 39327, 1, {{34816, 28473}, {65534, 27643}, {93178, 106}}},
    {"ventaroplus.ini",
     3,
     2,
     24,
     40061,
     1,
     {{34816, 389}, {35206, 3353}, {38560, 25098}, {65534, 14903}, {80438, 212}}},
    {"cc3200.ini", 4, 3, 11, 0, 1, {{0, 94838}}},
    {"cc3200_bridge.ini", 5, 3, 11, 0, 1, {{0, 30012}}},
};

constexpr quint64 kSeed = 0x76656e7461726f00ull; // "ventaro\0"
constexpr UINT32 kCipherBlock = 8;               // stored data is padded to whole cipher blocks

const char* const kBanner =
    "; SYNTHETIC TEST IMAGE written by tools/imagegen: pseudo-random content, not device "
    "firmware.\n";

// splitmix64: tiny, portable and fully defined, unlike the standard distributions.
class Random
{
public:
    explicit Random(quint64 seed) : m_State(seed) {}
    UINT8 nextByte()
    {
        if (m_Left == 0) {
            quint64 z = (m_State += 0x9e3779b97f4a7c15ull);
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
            m_Word = z ^ (z >> 31);
            m_Left = 8;
        }
        const UINT8 byte = UINT8(m_Word);
        m_Word >>= 8;
        --m_Left;
        return byte;
    }

private:
    quint64 m_State;
    quint64 m_Word = 0;
    int m_Left = 0;
};

bool writeImage(const QString& path, const ImageLayout& layout, quint64 seed)
{
    QFile::remove(path);
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue("Type", layout.type);
        ini.setValue("MainVer", layout.mainVer);
        ini.setValue("SubVer", layout.subVer);
        ini.setValue("StartAdr", layout.startAdr);
        ini.setValue("Encryption", layout.encryption);
        Random random(seed);
        ini.beginWriteArray("MemBlocks", int(layout.blocks.size()));
        for (size_t i = 0; i < layout.blocks.size(); ++i) {
            const BlockLayout& block = layout.blocks[i];
            const UINT32 stored = (block.plainLen + kCipherBlock - 1) / kCipherBlock * kCipherBlock;
            QByteArray data(int(stored), '\0');
            for (UINT32 k = 0; k < stored; ++k)
                data[int(k)] = char(random.nextByte());
            ini.setArrayIndex(int(i));
            ini.setValue("MemAdr", block.memAdr);
            ini.setValue("PlainLen", block.plainLen);
            ini.setValue("Data", data);
            ini.setValue("CRC16", CLLProtocolPacket::CalcCrc16(data.constData(), block.plainLen));
        }
        ini.endArray();
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return false;
    }
    // QSettings keeps no comments, so the banner is put in front afterwards; its reader skips
    // lines that begin with ';'.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray body = file.readAll();
    file.close();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(kBanner) > 0 && file.write(body) == body.size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: ventaro-imagegen <output folder>\n");
        return 2;
    }
    const QDir out(args[1]);
    if (!out.exists()) {
        std::fprintf(stderr, "ventaro-imagegen: no such folder: %s\n", qPrintable(args[1]));
        return 2;
    }
    for (size_t i = 0; i < kImages.size(); ++i) {
        const QString path = out.filePath(QString::fromLatin1(kImages[i].fileName));
        if (!writeImage(path, kImages[i], kSeed + i)) {
            std::fprintf(stderr, "ventaro-imagegen: could not write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
