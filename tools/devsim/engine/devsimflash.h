#pragma once

#include "link/lltypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// The flash side of the simulated bootloader: takes the upload requests (begin 4, partition
// header 7, data chunks 8, partition end 9, end 5), reassembles each block from its chunks and
// keeps what was written. Every step that a real bootloader would refuse is refused (the
// caller then withholds the acknowledgement) and recorded as a violation.

struct SDevSimFlashedBlock
{
    UINT32 memAdr = 0;
    UINT32 plainLen = 0;   // bits 16-19 come from the header's type byte for WiFi images
    UINT8 typeByte = 0;    // the header's type byte as sent
    UINT16 crc16 = 0;      // from the header
    QByteArray data;       // reassembled chunk bytes (plain bytes plus the padding sent)
    bool appFlag = false;  // every chunk carried LLF_APP (the image is encrypted)
    bool complete = false; // partition end accepted
};

struct SDevSimFlashedImage
{
    int type = 0; // partition type, 1-5 (a bridge arrives as 4)
    UINT8 mainVer = 0;
    UINT8 subVer = 0;
    UINT32 startAdr = 0;
    QVector<SDevSimFlashedBlock> blocks;
    bool complete = false; // the end request closed it
};

class CDevSimFlash
{
public:
    // Results of one step: accepted (acknowledge it) or refused (no acknowledgement).
    enum EResult { EAccepted, ERefused };

    // `runningCopy` is the bootloader copy that executes; it cannot be overwritten.
    EResult begin();
    EResult header(const UINT8* data, UINT16 len, int runningCopy);
    EResult chunk(const UINT8* data, UINT16 len, bool appFlag);
    EResult partitionEnd(bool checkCrc);
    // On acceptance `finished` is the image the end request closed (null if none was written).
    EResult end(const SDevSimFlashedImage** finished);
    // Records bad input that is not a flash step (a flash request while the application runs,
    // a request too short for its record, a corrupt packet), so every violation is in one list.
    void record(const QString& violation);

    // Called on a power cycle: an upload in progress is lost.
    void reset();

    const QVector<SDevSimFlashedImage>& images() const { return m_Images; }
    const QStringList& violations() const { return m_Violations; }
    // Whether a bootloader copy (1 or 2) holds a complete image: not while it is being
    // written, nor after an upload into it failed.
    bool copyIntact(int copy) const { return copy == 1 ? m_CopyIntact[0] : m_CopyIntact[1]; }
    // The last complete image of a partition type, or null.
    const SDevSimFlashedImage* lastComplete(int type) const;
    // Flash content at an address from the complete blocks; false where nothing was written.
    bool readByte(UINT32 address, UINT8& out) const;
    // Incremented on every change, so a writer knows when to refresh its files.
    int revision() const { return m_Revision; }

private:
    EResult violation(const QString& text);
    SDevSimFlashedBlock* openBlock();

    // The last accepted step, so that a step repeated because its acknowledgement was lost
    // is accepted again without effect.
    enum class EStep { None, Begin, Header, Chunk, PartitionEnd, End };
    EStep m_LastStep = EStep::None;
    QByteArray m_LastHeader;

    QVector<SDevSimFlashedImage> m_Images;
    QStringList m_Violations;
    bool m_InSession = false;
    bool m_BlockOpen = false;
    int m_SessionImage = -1; // index into m_Images of the session's current image
    UINT32 m_LastChunkAdr = 0;
    UINT16 m_LastChunkLen = 0;
    int m_Revision = 0;
    bool m_CopyIntact[2] = {true, true};
};
