// Arbitrary bytes, cut into arbitrary slices, through the packet parser and the debug-message
// handler, the way the receive loop feeds them.
#include "link/debugmessage.h"
#include "link/llprotocolpacket.h"

#include "fuzzsupport.h"

#include <QApplication>
#include <QTextEdit>

#include <cstdint>
#include <cstdlib>

namespace {
QTextEdit& view()
{
    static int argc = 1;
    static char name[] = "fuzz_packetparser";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        silenceQtMessages();
        return new QApplication(argc, argv);
    }();
    (void)app;
    static QTextEdit edit;
    return edit;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QTextEdit& output = view();
    output.clear();
    if (size < 2)
        return 0;
    // The first byte chooses the slice sizes, the rest is the stream.
    const unsigned sliceSeed = data[0];
    data += 1;
    size -= 1;
    CLLProtocolPacket packet;
    size_t pos = 0;
    unsigned slice = 0;
    while (pos < size) {
        const size_t want = 1 + ((sliceSeed * 31u + slice++ * 17u) % 97u);
        UINT16 len = UINT16(want < size - pos ? want : size - pos);
        const UINT16 offered = len;
        while (len > 0) {
            const UINT16 before = len;
            packet.PacketFromBuffer(data + pos + (offered - len), len);
            if (packet.BytesRead() >= CLLProtocolPacket::kHeaderLen &&
                packet.DataLen() > CLLProtocolPacket::kMaxDataLen)
                std::abort();
            if (packet.IsComplete()) {
                if (!ProcessDebugMsg(packet, (slice & 1) ? &output : nullptr))
                    packet.Reset();
            } else if (len == before) {
                break;
            }
        }
        pos += offered;
    }
    return 0;
}
