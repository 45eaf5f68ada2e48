#include "debugmessage.h"

#include "llprotocolpacket.h"

#include <QDebug>
#include <QTextCursor>
#include <QTextEdit>

#include <cstring>

namespace {
enum : UINT8 { kDebugNumber = 1, kDebugText = 2 };

QString debugText(const CLLProtocolPacket& packet)
{
    const UINT8* data = packet.Data();
    const UINT16 len = packet.DataLen();
    if (len == 0)
        return {};
    if (data[0] == kDebugText) {
        // Ends at the first zero byte, or at the end of the data when the device sent none.
        const char* text = reinterpret_cast<const char*>(data + 1);
        const void* zero = std::memchr(text, 0, len - 1);
        const int size = zero ? int(static_cast<const char*>(zero) - text) : len - 1;
        return QString::fromUtf8(text, size);
    }
    if (data[0] == kDebugNumber && len >= 5)
        return QString::number(le::i32(data + 1));
    return {};
}
} // namespace

bool ProcessDebugMsg(CLLProtocolPacket& packet, QTextEdit* output)
{
    if (packet.GetReadState() != CLLProtocolPacket::RS_PACKET_COMPLETED_CRC_CORRECT ||
        packet.Cmd() != LLC_DEBUG)
        return false;
    QString text;
    if (output) {
        text = debugText(packet);
        if (!text.isEmpty()) {
            QTextCursor cursor(output->document());
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(text);
        }
        output->repaint();
    }
    qDebug() << "Debug message received: " << text;
    packet.Reset();
    return true;
}
