#pragma once

#include "firmware/partitiontable.h"
#include "link/lltypes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

// One contiguous piece of flash as stored in an image file.
struct SMemBlock
{
    UINT32 m_MemAdr = 0;    // flash address of the first byte
    UINT32 m_PlainLen = 0;  // length of the plain content; the device checks m_CRC16 over it
    QByteArray m_BlockData; // the bytes to send, at least m_PlainLen (padded to cipher blocks)
    UINT16 m_CRC16 = 0;     // carried to the device, never computed here
};

// One firmware image. Its payload is opaque: it is sent exactly as stored.
class CFlashImage
{
public:
    // Device variants, used as a bit mask.
    enum ESystem {
        ESystem100 = 1,  // 100 series, model object CFan
        ESystemPlus = 2, // plus model, model object CFan_70_PC
    };

    int m_Type = 0;   // CPartitionTable::EPartType
    int m_System = 0; // ESystem mask
    UINT8 m_MainVer = 0;
    UINT8 m_SubVer = 0;
    QVector<SMemBlock> m_MemBlocks; // in file order
    int m_Encryption = 0;
    int m_StartAdr = 0; // an unsigned 32-bit address stored as a signed integer
};

// The images to install: the built-in ones, read from the resources at construction, except
// those a loaded firmware bundle replaces (useBundle). Nothing is cached between lists;
// QSettings keeps the parsed files of a process, so building another list is cheap.
class CFlashImageList
{
public:
    // loadImage results, in the order the file is checked.
    enum ELoadResult {
        ELoadOk = 0,
        ETypeMissing = -1,
        ETypeTooSmall = -2,
        ETypeTooLarge = -3,
        EMainVerMissing = -4,
        EMainVerRange = -5,
        ESubVerMissing = -6,
        ESubVerRange = -7,
        EStartAdrMissing = -8,
        EEncryptionMissing = -9,
        EEncryptionRange = -10,
        EBlockCountNegative = -11,
        EMemAdrMissing = -12,
        EPlainLenMissing = -13,
        EDataMissing = -14,
        ECrc16Missing = -15,
        ECrc16Range = -16,
        EDataShorterThanPlain = -17, // would send less than the header announces
    };

    struct SResource
    {
        const char* path;
        int system; // CFlashImage::ESystem mask
    };
    static const SResource kResources[6];

    // An image of a firmware bundle, in place of the built-in image kResources[resource].
    struct SBundleImage
    {
        int resource = 0;
        CFlashImage image;
    };

    // Which firmware bundle the images come from, for the production record; empty fields (and
    // counter -1) for the built-in set.
    struct SBundleTag
    {
        QString release;
        QString manifestSha256;
        QString keyId;
        qint64 counter = -1;
    };

    CFlashImageList();

    // From now on every list of this process takes these images instead of the built-in ones
    // of the same name; the others stay built in. useBuiltIn() goes back to the built-in set.
    static void useBundle(const QList<SBundleImage>& images, const SBundleTag& tag);
    static void useBuiltIn();
    static bool bundleInUse();
    static const SBundleTag& bundleTag();
    // kResources' index of "Application", "cc3200_bridge", ... (the file name without .ini);
    // -1 for none.
    static int resourceIndex(const QString& name);

    // The first image of the given type whose variant mask shares a bit with `system`.
    const CFlashImage* find(int type, int system) const;
    const QList<CFlashImage>& images() const { return m_Images; }

    // Reads one INI image file into `image`; 0 or an ELoadResult. On failure `image` may be
    // partly filled and must be discarded.
    [[nodiscard]] static int loadImage(CFlashImage& image, const QString& resourcePath, int system);
    // The same for an image file's bytes held in memory, parsed from an anonymous memory file
    // (never from a file others could change between the check and the parse).
    [[nodiscard]] static int loadImageBytes(CFlashImage& image, const QByteArray& bytes,
                                            int system);

private:
    QList<CFlashImage> m_Images;
};
