// Arbitrary bytes as a firmware image file on disk, read by the image loader. Loading must
// never crash and must end with ELoadOk or one of the listed codes; an image that loads must
// be one the upload code can send as it stands.
#include "firmware/flashimagelist.h"

#include "fuzzsupport.h"

#include <QTemporaryFile>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceQtMessages();

    // A fresh name per input: QSettings keeps parsed files by path.
    QTemporaryFile file;
    if (!file.open())
        return 0;
    if (file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return 0;
    file.close();

    CFlashImage image;
    const int result = CFlashImageList::loadImage(image, file.fileName(), CFlashImage::ESystem100);
    if (result > CFlashImageList::ELoadOk || result < CFlashImageList::EDataShorterThanPlain)
        std::abort();
    if (result != CFlashImageList::ELoadOk)
        return 0;
    if (image.m_Type < CPartitionTable::kMinPartType ||
        image.m_Type > CPartitionTable::kMaxPartType || image.m_Encryption < 0 ||
        image.m_Encryption > 1 || image.m_System != CFlashImage::ESystem100)
        std::abort();
    for (const SMemBlock& block : image.m_MemBlocks) {
        if (block.m_PlainLen > UINT32(block.m_BlockData.size()))
            std::abort();
    }
    return 0;
}
