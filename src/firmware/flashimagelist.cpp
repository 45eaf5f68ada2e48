#include "flashimagelist.h"

#include <QDebug>
#include <QSettings>

#include <algorithm>
#include <array>
#include <iterator>
#include <memory>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

const CFlashImageList::SResource CFlashImageList::kResources[6] = {
    {":/Images/Bootloader1.ini", CFlashImage::ESystem100 | CFlashImage::ESystemPlus},
    {":/Images/Bootloader2.ini", CFlashImage::ESystem100 | CFlashImage::ESystemPlus},
    {":/Images/Application.ini", CFlashImage::ESystem100},
    {":/Images/ventaroplus.ini", CFlashImage::ESystemPlus},
    {":/Images/cc3200.ini", CFlashImage::ESystem100},
    {":/Images/cc3200_bridge.ini", CFlashImage::ESystem100},
};

// The images live in a static library, whose resource initialiser the linker would drop
// unless something refers to it.
static void registerImageResources()
{
    Q_INIT_RESOURCE(images);
}

namespace {

// QSettings shares one parsed copy of a file among all its live objects, but of the files
// nobody holds it keeps only a few small ones. One reader per built-in image, alive for the
// whole process, keeps their parsed copies, so every list after the first costs look-ups
// instead of parsing about 750 KB of text. The resources never change while the process runs.
class CPinnedImages
{
public:
    CPinnedImages()
    {
        registerImageResources();
        for (size_t i = 0; i < std::size(CFlashImageList::kResources); ++i) {
            m_Readers[i] = std::make_unique<QSettings>(
                QString::fromLatin1(CFlashImageList::kResources[i].path), QSettings::IniFormat);
        }
    }

private:
    std::array<std::unique_ptr<QSettings>, std::size(CFlashImageList::kResources)> m_Readers;
};

// The images of the firmware bundle in use; empty for the built-in set. One thread per process
// looks images up (the GUI thread, or the command line's).
QList<CFlashImageList::SBundleImage>& bundleImages()
{
    static QList<CFlashImageList::SBundleImage> images;
    return images;
}

CFlashImageList::SBundleTag& tagInUse()
{
    static CFlashImageList::SBundleTag tag;
    return tag;
}

} // namespace

void CFlashImageList::useBundle(const QList<SBundleImage>& images, const SBundleTag& tag)
{
    bundleImages() = images;
    tagInUse() = tag;
}

void CFlashImageList::useBuiltIn()
{
    bundleImages().clear();
    tagInUse() = SBundleTag();
}

const CFlashImageList::SBundleTag& CFlashImageList::bundleTag()
{
    return tagInUse();
}

bool CFlashImageList::bundleInUse()
{
    return !bundleImages().isEmpty();
}

int CFlashImageList::resourceIndex(const QString& name)
{
    for (size_t i = 0; i < std::size(kResources); ++i) {
        const QString path = QString::fromLatin1(kResources[i].path);
        if (path == QStringLiteral(":/Images/%1.ini").arg(name))
            return int(i);
    }
    return -1;
}

CFlashImageList::CFlashImageList()
{
    static const CPinnedImages pinned;
    for (size_t i = 0; i < std::size(kResources); ++i) {
        const SResource& resource = kResources[i];
        const auto replaced =
            std::find_if(bundleImages().cbegin(), bundleImages().cend(),
                         [i](const SBundleImage& b) { return b.resource == int(i); });
        if (replaced != bundleImages().cend()) {
            m_Images.append(replaced->image);
            continue;
        }
        const QString path = QString::fromLatin1(resource.path);
        CFlashImage image;
        if (loadImage(image, path, resource.system) == ELoadOk)
            m_Images.append(image);
        else
            qDebug() << "CFlashImageList::CFlashImageList: Could not read from Resources: " << path;
    }
}

const CFlashImage* CFlashImageList::find(int type, int system) const
{
    for (const CFlashImage& image : m_Images) {
        if (image.m_Type == type && (image.m_System & system) != 0)
            return &image;
    }
    return nullptr;
}

namespace {

bool inRange(int value, int lo, int hi)
{
    return value >= lo && value <= hi;
}

} // namespace

int CFlashImageList::loadImageBytes(CFlashImage& image, const QByteArray& bytes, int system)
{
    // QSettings keeps parsed files by path and reads one again only when its size or time
    // changed, and a closed descriptor's number (so its path) is handed out again: every
    // memory file gets a time of its own, one second after the one before.
    static qint64 made = 0;
    ++made;
    const QByteArray name = "ventaro-image-" + QByteArray::number(made);
    const int fd = ::memfd_create(name.constData(), MFD_CLOEXEC);
    if (fd < 0)
        return EDataMissing;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    const struct timespec times[2] = {{time_t(made), 0}, {time_t(made), 0}};
    const int result = done == bytes.size() && ::futimens(fd, times) == 0
                           ? loadImage(image, QStringLiteral("/proc/self/fd/%1").arg(fd), system)
                           : int(EDataMissing);
    ::close(fd);
    return result;
}

int CFlashImageList::loadImage(CFlashImage& image, const QString& resourcePath, int system)
{
    image.m_System = system;
    image.m_MemBlocks.clear();
    QSettings ini(resourcePath, QSettings::IniFormat);

    const QVariant type = ini.value("Type");
    if (!type.isValid())
        return ETypeMissing;
    image.m_Type = type.toInt();
    if (image.m_Type < CPartitionTable::kMinPartType)
        return ETypeTooSmall;
    if (image.m_Type > CPartitionTable::kMaxPartType)
        return ETypeTooLarge;

    const QVariant mainVer = ini.value("MainVer");
    if (!mainVer.isValid())
        return EMainVerMissing;
    if (!inRange(mainVer.toInt(), 0, 255))
        return EMainVerRange;
    image.m_MainVer = UINT8(mainVer.toInt());

    const QVariant subVer = ini.value("SubVer");
    if (!subVer.isValid())
        return ESubVerMissing;
    if (!inRange(subVer.toInt(), 0, 255))
        return ESubVerRange;
    image.m_SubVer = UINT8(subVer.toInt());

    const QVariant startAdr = ini.value("StartAdr");
    if (!startAdr.isValid())
        return EStartAdrMissing;
    image.m_StartAdr = startAdr.toInt();

    const QVariant encryption = ini.value("Encryption");
    if (!encryption.isValid())
        return EEncryptionMissing;
    if (!inRange(encryption.toInt(), 0, 1))
        return EEncryptionRange;
    image.m_Encryption = encryption.toInt();

    const int blocks = ini.beginReadArray("MemBlocks");
    if (blocks < 0)
        return EBlockCountNegative;
    // No reserve(blocks): the count comes from the file, and a forged one would ask for
    // gigabytes before the first missing block ends the loop.
    for (int i = 0; i < blocks; ++i) {
        ini.setArrayIndex(i);
        SMemBlock block;
        const QVariant memAdr = ini.value("MemAdr");
        if (!memAdr.isValid())
            return EMemAdrMissing;
        block.m_MemAdr = UINT32(memAdr.toInt());
        const QVariant plainLen = ini.value("PlainLen");
        if (!plainLen.isValid())
            return EPlainLenMissing;
        block.m_PlainLen = UINT32(plainLen.toInt());
        const QVariant data = ini.value("Data");
        if (!data.isValid())
            return EDataMissing;
        block.m_BlockData = data.toByteArray();
        const QVariant crc16 = ini.value("CRC16");
        if (!crc16.isValid())
            return ECrc16Missing;
        if (!inRange(crc16.toInt(), 0, 0xFFFF))
            return ECrc16Range;
        block.m_CRC16 = UINT16(crc16.toInt());
        // A negative PlainLen lands here too, as a huge unsigned length.
        if (block.m_PlainLen > UINT32(block.m_BlockData.size()))
            return EDataShorterThanPlain;
        image.m_MemBlocks.append(block);
    }
    ini.endArray();
    return ELoadOk;
}
