// The operations that change the device's flash: image and partition upload, bootloader swap,
// start-up mode, and the partition-table read-out.
#include "fanbase.h"

#include "firmware/flashpackets.h"
#include "link/llprotocol.h"
#include "link/llprotocolpacket.h"
#include "link/llprotocolwire.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>

namespace {

const char* const kSendError = QT_TRANSLATE_NOOP("CFanBase", "Error sending data to %1.");

} // namespace

bool CFanBase::uploadImage(CFlashImage::ESystem system, CPartitionTable::EPartType type,
                           const SUploadObserver& observer, bool slow)
{
    if (observer.cancelRequested())
        return false;
    if (!sendCommand(flash::kBeginUpload))
        return false;
    if (slow)
        wire().Sleep(flash::kSlowBeginPauseMs);

    const CFlashImageList images;
    const CFlashImage* image = images.find(type, system);
    if (!image) {
        qDebug() << "CFan::uploadImage: no built-in image of type" << int(type) << "for system"
                 << int(system);
        return false;
    }
    // The WiFi bridge firmware goes into the WiFi module's partition.
    const auto partType = CPartitionTable::EPartType(
        image->m_Type == CPartitionTable::ECC3200Bridge ? CPartitionTable::ECC3200 : image->m_Type);
    // GUI events run during the upload and may delete this object.
    const QPointer<CFanBase> self(this);
    for (const SMemBlock& block : image->m_MemBlocks) {
        qDebug() << "Upload Partion, Adr: " << block.m_MemAdr;
        const bool ok = uploadPartition(
            block.m_MemAdr, UINT32(block.m_BlockData.size()), block.m_PlainLen, partType,
            image->m_MainVer, image->m_SubVer, UINT32(image->m_StartAdr), block.m_CRC16,
            image->m_Encryption != 0, reinterpret_cast<const UINT8*>(block.m_BlockData.constData()),
            observer, slow);
        if (!self)
            return false;
        if (!ok && observer.cancelRequested()) {
            qDebug() << "CFan::uploadImage: stopped on request";
            return false;
        }
        if (!ok) {
            userInfo(userText(QT_TRANSLATE_NOOP(
                "CFanBase", "The update process failed. Please switch off your %1.\nThen switch "
                            "in on again and retry the update.")));
            return false;
        }
    }
    return sendCommand(flash::kEndUpload);
}

bool CFanBase::uploadPartition(UINT32 memAdr, UINT32 dataLen, UINT32 plainLen,
                               CPartitionTable::EPartType type, UINT8 mainVer, UINT8 subVer,
                               UINT32 startAdr, UINT16 crc16, bool encrypted, const UINT8* data,
                               const SUploadObserver& observer, bool slow)
{
    if (!isConnected() || observer.cancelRequested())
        return false;
    // The header announces the plain length; a block it cannot describe, or that holds fewer
    // bytes than it announces, would be flashed wrongly.
    if (plainLen > flash::maxPlainLen(type) || plainLen > dataLen || (!data && dataLen > 0)) {
        qDebug() << "CFan::uploadPartition: Partition does not fit the header, length:" << dataLen
                 << ", plain length:" << plainLen << ", type:" << int(type);
        return false;
    }
    const QPointer<CFanBase> self(this);
    const int connection = connectionId();

    qDebug() << "Start Upload, address: " << memAdr << ", length:" << plainLen;
    int shown = 0;
    observer.report(shown);

    const auto header =
        flash::partitionHeader(memAdr, plainLen, type, mainVer, subVer, startAdr, crc16);
    CLLProtocolPacket packet;
    packet.SetPacket(LLC_HLP, false, false, true, flash::kHeaderLen, header.data());
    if (CLLProtocol(wire(), debugOutput()).Send(packet) != CLLProtocol::RC_OK) {
        userInfo(userText(kSendError));
        return false;
    }
    if (slow)
        wire().Sleep(flash::kSlowBeginPauseMs);

    UINT32 position = 0;
    while (position < dataLen) {
        const UINT16 len = UINT16(qMin<UINT32>(flash::kChunkLen, dataLen - position));
        const UINT32 chunkAdr = memAdr + position;
        const UINT8* chunk = data + position;
        position += len;
        const auto bytes =
            flash::partitionData(chunkAdr, chunk, len, flash::padCount(position, plainLen));
        packet.SetPacket(LLC_HLP, encrypted, false, true, flash::kDataPacketLen, bytes.data());
        if (CLLProtocol(wire(), debugOutput()).Send(packet) != CLLProtocol::RC_OK) {
            userInfo(userText(kSendError));
            return false;
        }
        if (slow)
            wire().Sleep(flash::kSlowChunkPauseMs);
        // Most chunks of a large block leave the percentage as it is: not reported again.
        const int percent = int(qint64(position) * 100 / dataLen);
        if (percent != shown)
            observer.report(shown = percent);
        QCoreApplication::processEvents();
        if (!self)
            return false;
        // Between packets: the unit holds whole packets only, and the port stays open.
        if (observer.cancelRequested()) {
            qDebug() << "CFan::uploadPartition: stopped on request";
            return false;
        }
        // Discovery may have closed the port meanwhile, and may have opened it again for a
        // unit that came back (or another one): the rest of the image must not go there.
        if (!isConnected() || connectionId() != connection) {
            qDebug() << "CFan::uploadPartition: Device disconnected during upload";
            userInfo(userText(kSendError));
            return false;
        }
    }

    packet.SetPacketByte(LLC_HLP, true, flash::kPartitionEnd);
    if (CLLProtocol(wire(), debugOutput()).Send(packet) != CLLProtocol::RC_OK) {
        userInfo(userText(kSendError));
        return false;
    }
    wire().Sleep(flash::kPartitionEndPauseMs);
    return true;
}

bool CFanBase::swapBootloaders()
{
    if (!sendCommand(HLP_SWAP_BOOTLOADERS))
        return false;
    CLLProtocolPacket reply;
    if (CLLProtocol(wire(), debugOutput()).Receive(reply) != CLLProtocol::RC_OK) {
        userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", "%1 did not (correctly) respond - ")));
        return false;
    }
    // A reply too short for its fields is as wrong as one with another id.
    if (reply.GetPacketId() != hlpReplyId(HLP_SWAP_REPLY) ||
        reply.DataLen() < flash::kSwapReplyMinLen) {
        userInfo(
            userText(QT_TRANSLATE_NOOP("CFanBase", "%1 did respond with the wrong packet - ")));
        return false;
    }
    // The return code is the device's business; it is logged, not judged.
    qDebug() << "Swap return code: " << int(reply.Data()[1]);
    qDebug() << "Flah security bits: " << le::u16(reply.Data() + 2);
    return true;
}

bool CFanBase::getPartitionTable(CPartitionTable::SPartition (&table)[CPartitionTable::kEntries])
{
    if (!isConnected())
        return false;
    if (!sendCommand(HLP_GET_PARTITION_TABLE))
        return false;
    for (int part = 0; part < flash::kTablePackets; ++part) {
        CLLProtocolPacket reply;
        if (CLLProtocol(wire(), debugOutput()).Receive(reply) != CLLProtocol::RC_OK) {
            userInfo(userText(QT_TRANSLATE_NOOP("CFanBase", "%1 did not (correctly) respond - ")));
            return false;
        }
        if (reply.Cmd() != LLC_HLP || reply.DataLen() != flash::kTablePacketLen) {
            userInfo(
                userText(QT_TRANSLATE_NOOP("CFanBase", "%1 did respond with the wrong packet - ")));
            return false;
        }
        for (int i = 0; i < flash::kTableEntriesPerPacket; ++i) {
            CPartitionTable::SPartition& entry = table[part * flash::kTableEntriesPerPacket + i];
            entry = CPartitionTable::SPartition::fromBytes(
                reply.Data() + i * CPartitionTable::SPartition::kWireSize);
            qDebug() << "m_Start: " << entry.m_Start;
        }
    }
    return true;
}

bool CFanBase::setStartupMode(UINT8 mode)
{
    if (!isConnected())
        return false;
    if (mode != 0) {
        const UINT8 record[2] = {HLP_SET_STARTUP_MODE, mode};
        CLLProtocolPacket packet;
        packet.SetPacket(LLC_HLP, false, false, false, sizeof record, record);
        if (CLLProtocol(wire(), debugOutput()).Send(packet) != CLLProtocol::RC_OK) {
            userInfo(userText(
                QT_TRANSLATE_NOOP("CFanBase", "Unable to set startup mode for application.")));
            return false;
        }
    }
    return sendCommand(HLP_START);
}
